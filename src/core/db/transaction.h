#pragma once
#include <QtGlobal>

class Database;

// One transaction level on a database, held for the lifetime of the object: the constructor
// begins it (inside another transaction it is a savepoint, undone on its own), commit() makes it
// permanent, and leaving the scope without commit() rolls it back, whether by an exception or by
// an early return.
//
// The destructor never throws. When the rollback itself fails while an exception is already
// propagating, that first exception is the one the caller sees and the rollback's failure is only
// logged; a rollback failing on an ordinary return is logged with the engine's code as well. A
// caller that must know whether the rollback succeeded calls rollback() itself.
class Transaction {
public:
    explicit Transaction(Database& db);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    // Commits this level. When the commit fails the level stays open (and is rolled back when
    // the guard goes out of scope).
    void commit();
    // Undoes this level now; throws DbException when the engine refuses.
    void rollback();
    // True until commit() or rollback() has completed.
    bool isActive() const { return m_active; }

private:
    // The level is still ours: the connection is open and has not been closed (which rolls
    // every level back) since it was begun.
    bool levelOpen() const;
    void rollbackLevel();

    Database& m_db;
    int m_level = 0; // transaction depth of the connection with this level open
    int m_uncaught = 0;
    bool m_active = false;
};
