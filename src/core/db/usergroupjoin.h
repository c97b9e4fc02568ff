#pragma once
#include "core/db/record.h"

// Membership of customer or group UserLinkId in group GroupId.
struct UserGroupJoinRow {
    qint32 GroupId = 0;
    qint32 UserLinkId = 0;
    qint32 Id = 0;

    // Visits every bound field as (field name, member), in the record type's order.
    template <class F> void forEachField(F&& f) {
        f("GroupId", GroupId);
        f("UserLinkId", UserLinkId);
        f("Id", Id);
    }

    bool operator==(const UserGroupJoinRow&) const = default;
};

class CUserGroupJoin : public CRecord, public UserGroupJoinRow {
public:
    // Bound fields, in the order the record type exchanges them.
    static constexpr int kFieldCount = 3;

    explicit CUserGroupJoin(Database& db);
    CUserGroupJoin& operator=(const UserGroupJoinRow& row) {
        static_cast<UserGroupJoinRow&>(*this) = row;
        return *this;
    }
    const UserGroupJoinRow& row() const { return *this; }

protected:
    void bindFields(FieldBinder& b) override;
};
