#pragma once
#include "core/db/record.h"

// One dial-up session. The key Id exists in the table but is not bound; read it with value("Id").
struct EventRow {
    QString Username;
    DbDateTime ConnectDate;
    DbDateTime DisconnectDate;
    qint16 Hours = 0;
    qint16 Minutes = 0;
    qint16 Seconds = 0;
    qint64 Sent = 0; // bytes; Long in the layout, but the engine keeps all 64 bits
    qint64 Received = 0;
    QString Reason;
    QString Port;
    qint32 ServerId = 0;
    QString SessionId;

    // Visits every bound field as (field name, member), in the record type's order.
    template <class F> void forEachField(F&& f) {
        f("Username", Username);
        f("ConnectDate", ConnectDate);
        f("DisconnectDate", DisconnectDate);
        f("Hours", Hours);
        f("Minutes", Minutes);
        f("Seconds", Seconds);
        f("Sent", Sent);
        f("Received", Received);
        f("Reason", Reason);
        f("Port", Port);
        f("ServerId", ServerId);
        f("SessionId", SessionId);
    }

    bool operator==(const EventRow&) const = default;
};

class CEventRecord : public CRecord, public EventRow {
public:
    // Bound fields, in the order the record type exchanges them.
    static constexpr int kFieldCount = 12;

    explicit CEventRecord(Database& db);
    CEventRecord& operator=(const EventRow& row) {
        static_cast<EventRow&>(*this) = row;
        return *this;
    }
    const EventRow& row() const { return *this; }

protected:
    void bindFields(FieldBinder& b) override;
};
