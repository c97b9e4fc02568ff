#pragma once
#include "core/db/record.h"

// A customer's number of units of a fixed charge.
struct FixedUnitsJoinRow {
    qint32 Id = 0;
    qint32 IdUser = 0;
    qint32 IdCharge = 0;
    qint32 NumUnits = 0;

    // Visits every bound field as (field name, member), in the record type's order.
    template <class F> void forEachField(F&& f) {
        f("Id", Id);
        f("IdUser", IdUser);
        f("IdCharge", IdCharge);
        f("NumUnits", NumUnits);
    }

    bool operator==(const FixedUnitsJoinRow&) const = default;
};

class CFixedUnitsJoin : public CRecord, public FixedUnitsJoinRow {
public:
    // Bound fields, in the order the record type exchanges them.
    static constexpr int kFieldCount = 4;

    explicit CFixedUnitsJoin(Database& db);
    CFixedUnitsJoin& operator=(const FixedUnitsJoinRow& row) {
        static_cast<FixedUnitsJoinRow&>(*this) = row;
        return *this;
    }
    const FixedUnitsJoinRow& row() const { return *this; }

    // The units of customer `idUser` for charge `idCharge` ("[IdCharge] = ? AND [IdUser] = ?").
    [[nodiscard]] bool findUnits(qint32 idCharge, qint32 idUser);

protected:
    void bindFields(FieldBinder& b) override;
};
