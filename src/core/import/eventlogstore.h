#pragma once
#include "core/db/database.h"
#include "core/db/dbdatetime.h"
#include "core/db/transaction.h"
#include "core/import/eventinsert.h"

#include <QString>

#include <optional>

struct EventRow;

// The database side of the event-log import: the duplicate tests, the Events rows and the
// logons waiting in LANTemp for their logoff, all through statements prepared once. A stored
// ServerId of 0 (a row from before servers were recorded) matches every server. The work is
// kept in batches: begin() opens one, commit() keeps it.
class CEventLogStore {
public:
    CEventLogStore(Database& db, qint32 serverId);
    CEventLogStore(const CEventLogStore&) = delete;
    CEventLogStore& operator=(const CEventLogStore&) = delete;

    // A session of the user (cut to the name length) that connected and disconnected at
    // these times (to the second) is stored already; with a session id, only a row of that
    // id or of none ("None") counts.
    bool isDuplicate(const QString& user, const DbDateTime& connect, const DbDateTime& disconnect,
                     const QString* sessionId = nullptr);
    // Stores a session of this server (the user name after the logon-name rule).
    void store(EventRow row);

    // A logon of the user (cut to the name length) at this time waits already.
    bool logonWaiting(const QString& user, const DbDateTime& when);
    void addLogon(const QString& user, const DbDateTime& when, const QString& logonId);
    struct WaitingLogon {
        qint64 id = 0;
        DbDateTime when;
    };
    // The first waiting logon of a logon id on this server (or on server 0).
    std::optional<WaitingLogon> findLogon(const QString& logonId);
    void removeLogon(qint64 id);

    void begin();
    void commit();
    // After a failure: keeps what was stored before it. Answers the sessions lost with a
    // batch that could not be kept.
    qint32 commitAfterFailure();

private:
    Database& m_db;
    qint32 m_serverId;
    Statement m_duplicate;
    Statement m_duplicateWithId;
    CEventInsert m_insert;
    Statement m_logonWaiting;
    Statement m_addLogon;
    Statement m_findLogon;
    Statement m_removeLogon;
    std::optional<Transaction> m_batch;
    qint32 m_uncommitted = 0;
};
