#pragma once
#include "record.h"

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
