#pragma once
#include "core/db/record.h"

// The per-customer rate fields of the earlier Users layout, read once by the upgrade before
// they are removed.
struct UserOldRow {
    QString Username;
    Currency HRate;
    Currency MRate;
    Currency Minimum;
    bool Tax1 = false;
    bool Tax2 = false;
    float HDay = 0;
    float HMonth = 0;
    Currency ORate;
    Currency Premium1;
    Currency Premium2;
    bool Prepay = false;

    // Visits every bound field as (field name, member), in the record type's order.
    template <class F> void forEachField(F&& f) {
        f("Username", Username);
        f("HRate", HRate);
        f("MRate", MRate);
        f("Minimum", Minimum);
        f("Tax1", Tax1);
        f("Tax2", Tax2);
        f("HDay", HDay);
        f("HMonth", HMonth);
        f("ORate", ORate);
        f("Premium1", Premium1);
        f("Premium2", Premium2);
        f("Prepay", Prepay);
    }

    bool operator==(const UserOldRow&) const = default;
};

class CUserRecordOld : public CRecord, public UserOldRow {
public:
    // Bound fields, in the order the record type exchanges them.
    static constexpr int kFieldCount = 12;

    explicit CUserRecordOld(Database& db);
    CUserRecordOld& operator=(const UserOldRow& row) {
        static_cast<UserOldRow&>(*this) = row;
        return *this;
    }
    const UserOldRow& row() const { return *this; }

protected:
    void bindFields(FieldBinder& b) override;
};
