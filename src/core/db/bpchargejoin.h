#pragma once
#include "core/db/record.h"

// A live charge held by a live billing plan, at OrdinalPosition.
struct BPChargeJoinRow {
    qint32 Id = 0;
    qint32 IdBillingPlan = 0;
    qint32 IdCharge = 0;
    qint32 OrdinalPosition = 0;

    // Visits every bound field as (field name, member), in the record type's order.
    template <class F> void forEachField(F&& f) {
        f("Id", Id);
        f("IdBillingPlan", IdBillingPlan);
        f("IdCharge", IdCharge);
        f("OrdinalPosition", OrdinalPosition);
    }

    bool operator==(const BPChargeJoinRow&) const = default;
};

class CBPChargeJoin : public CRecord, public BPChargeJoinRow {
public:
    // Bound fields, in the order the record type exchanges them.
    static constexpr int kFieldCount = 4;

    explicit CBPChargeJoin(Database& db);
    CBPChargeJoin& operator=(const BPChargeJoinRow& row) {
        static_cast<BPChargeJoinRow&>(*this) = row;
        return *this;
    }
    const BPChargeJoinRow& row() const { return *this; }

protected:
    void bindFields(FieldBinder& b) override;
};
