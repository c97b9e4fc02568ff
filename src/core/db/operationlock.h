#pragma once
#include <QString>
#include <QtGlobal>
#include <functional>

class Database;

// The long operations that must never run twice at once on one database. Browsing and editing
// run beside them; each of these runs alone among every workstation of the database.
enum class OperationKind {
    Import = 1,
    InvoiceRun = 2,
    Purge = 3,
    Upgrade = 4,
    Compact = 5,
};

// The lock key of a kind: the fixed prefix 0x546F6C6C ("Toll") in the high 32 bits and the
// kind's number in the low ones. The keys are part of the database's contract with every
// program version that shares it, so the numbers above never change.
qint64 OperationLockKey(OperationKind kind);
// The operation as messages name it ("import", "invoice run", ...).
QString OperationName(OperationKind kind);

// Holds the lock of one kind of operation for its lifetime (a guard; the destructor releases
// it, also when an exception leaves the scope). On a server another workstation may hold it:
// the constructor then tries again a few times a second, asking keepWaiting before every pause
// (an empty one always waits), for at most maxWaitMs; when the time is up or keepWaiting says
// no, it throws DbException "Another workstation is running <operation> on this database; try
// again when it has finished." On an SQLite file the lock is always granted at once.
//
// The lock belongs to the connection: within one connection it is granted again while held
// (nested operations, such as a run inside the monthly job), and closing the connection frees
// it. The database must stay open while the guard lives.
class OperationLock {
public:
    static constexpr int kMaxWaitMs = 30000;
    static constexpr int kPollIntervalMs = 200;

    OperationLock(Database& db, OperationKind kind, const std::function<bool()>& keepWaiting = {},
                  int maxWaitMs = kMaxWaitMs);
    ~OperationLock();
    OperationLock(const OperationLock&) = delete;
    OperationLock& operator=(const OperationLock&) = delete;

    OperationKind kind() const { return m_kind; }
    // True when the first try was refused and the lock came only after waiting.
    bool waited() const { return m_waited; }

private:
    Database& m_db;
    OperationKind m_kind;
    bool m_waited = false;
};
