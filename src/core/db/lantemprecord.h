#pragma once
#include "core/db/record.h"

// A single logon or logoff record kept while an event-log import pairs them.
struct LANTempRow {
    QString UserName;
    DbDateTime EventDate;
    qint32 Id = 0;
    qint32 ServerId = 0;
    QString LogonID;

    // Visits every bound field as (field name, member), in the record type's order.
    template <class F> void forEachField(F&& f) {
        f("UserName", UserName);
        f("EventDate", EventDate);
        f("Id", Id);
        f("ServerId", ServerId);
        f("LogonID", LogonID);
    }

    bool operator==(const LANTempRow&) const = default;
};

class CLANTempRecord : public CRecord, public LANTempRow {
public:
    // Bound fields, in the order the record type exchanges them.
    static constexpr int kFieldCount = 5;

    explicit CLANTempRecord(Database& db);
    CLANTempRecord& operator=(const LANTempRow& row) {
        static_cast<LANTempRow&>(*this) = row;
        return *this;
    }
    const LANTempRow& row() const { return *this; }

protected:
    void bindFields(FieldBinder& b) override;
};
