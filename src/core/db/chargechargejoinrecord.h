#pragma once
#include "core/db/record.h"

// A link from charge IdChargeFrom to charge IdChargeTo.
struct ChargeChargeJoinRow {
    qint32 Id = 0;
    qint32 IdChargeFrom = 0;
    qint32 IdChargeTo = 0;

    // Visits every bound field as (field name, member), in the record type's order.
    template <class F> void forEachField(F&& f) {
        f("Id", Id);
        f("IdChargeFrom", IdChargeFrom);
        f("IdChargeTo", IdChargeTo);
    }

    bool operator==(const ChargeChargeJoinRow&) const = default;
};

class CChargeChargeJoinRecord : public CRecord, public ChargeChargeJoinRow {
public:
    // Bound fields, in the order the record type exchanges them.
    static constexpr int kFieldCount = 3;

    explicit CChargeChargeJoinRecord(Database& db);
    CChargeChargeJoinRecord& operator=(const ChargeChargeJoinRow& row) {
        static_cast<ChargeChargeJoinRow&>(*this) = row;
        return *this;
    }
    const ChargeChargeJoinRow& row() const { return *this; }

protected:
    void bindFields(FieldBinder& b) override;
};
