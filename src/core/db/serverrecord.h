#pragma once
#include "core/db/record.h"

// A server that sessions are imported from.
struct ServerRow {
    QString ServerName;
    qint32 Id = 0;

    // Visits every bound field as (field name, member), in the record type's order.
    template <class F> void forEachField(F&& f) {
        f("ServerName", ServerName);
        f("Id", Id);
    }

    bool operator==(const ServerRow&) const = default;
};

class CServerRecord : public CRecord, public ServerRow {
public:
    // Bound fields, in the order the record type exchanges them.
    static constexpr int kFieldCount = 2;

    explicit CServerRecord(Database& db);
    CServerRecord& operator=(const ServerRow& row) {
        static_cast<ServerRow&>(*this) = row;
        return *this;
    }
    const ServerRow& row() const { return *this; }

    // The server of this host name ("[ServerName] = ?").
    [[nodiscard]] bool findByName(const QString& serverName);

protected:
    void bindFields(FieldBinder& b) override;
};
