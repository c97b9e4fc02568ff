#pragma once
#include "core/db/database.h"
#include "core/import/logrecordparser.h"

#include <QHash>
#include <memory>

struct EventRow;

// How a text-log import stores its sessions on a database server: the records are gathered in
// blocks, each loaded in one stream into a temporary table of the connection and stored with one
// statement that keeps the import's duplicate rule, so that no record waits for a round trip of
// its own. A session is a duplicate of one already stored (before the import or earlier in the
// file) with the same user name and session id, for the same server or none, whose dates are
// within half a second of its own. The file keeps its statement per record, as fast there.
class CSessionBulkStore {
public:
    explicit CSessionBulkStore(Database& db);
    ~CSessionBulkStore();
    CSessionBulkStore(const CSessionBulkStore&) = delete;
    CSessionBulkStore& operator=(const CSessionBulkStore&) = delete;

    // At the start of every transaction (the temporary table goes with one rolled back).
    void begin();
    // Adds a session to the block; session gives the warnings due once it is known to be new.
    void add(const EventRow& row, const LogSession& session);
    qsizetype gathered() const { return m_gathered; }
    // Sends the block to be stored, the server storing it while the next one is gathered;
    // answers how many sessions were new among those of blocks whose outcome was read.
    qint32 store();
    // store(), then waits for every block sent: answers how many were new among them.
    qint32 storeAll();
    // After the import, outside its transactions: when it stored many sessions, the server's
    // statistics of Events are gathered at once, so that an invoice run following it (the
    // monthly job) plans with them; autovacuum would gather them only a while later.
    void refreshStatistics(qint64 stored);

private:
    qint32 takeStored(); // the outcome of the block sent, if any

    Database& m_db;
    Statement m_store; // stores a block
    Statement m_empty; // empties the table of the block
    bool m_prepared = false;
    bool m_storing = false;             // a block sent, its outcome not read
    std::unique_ptr<DbBulkLoad> m_load; // the block being loaded
    qsizetype m_gathered = 0;
    QHash<qint64, LogSession> m_warnings; // by place in the block: sessions that need a warning
};
