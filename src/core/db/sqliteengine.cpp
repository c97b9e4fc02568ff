#include "core/db/sqliteengine.h"
#include "core/db/databasehold.h"
#include "core/db/dbexception.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <sqlite3.h>

// Opening and closing an SQLite file; the connection's state.

namespace {

QString engineMessage(sqlite3* db) {
    return db ? QString::fromUtf8(sqlite3_errmsg(db)) : QStringLiteral("out of memory");
}

// Runs SQL without parameters on a raw connection; throws with the engine's message.
void rawExec(sqlite3* db, const char* sql) {
    char* err = nullptr;
    const int rc = sqlite3_exec(db, sql, nullptr, nullptr, &err);
    if (rc != SQLITE_OK) {
        const QString msg = err ? QString::fromUtf8(err) : QString::fromUtf8(sqlite3_errstr(rc));
        sqlite3_free(err);
        throw DbException(msg, sqlite3_extended_errcode(db));
    }
}

bool isBusy(int code) {
    const int primary = code & 0xff;
    return primary == SQLITE_BUSY || primary == SQLITE_LOCKED;
}

} // namespace

SqliteEngine::SqliteEngine(Database& owner, const QString& path, Database::OpenMode mode,
                           bool create)
    : DbEngine(owner) {
    const QString native = QDir::toNativeSeparators(path);
    if (!create && !QFileInfo::exists(path))
        throw DbException(QStringLiteral("The database file %1 does not exist.").arg(native),
                          SQLITE_CANTOPEN);
    if (QFileInfo(path).isDir())
        throw DbException(QStringLiteral("%1 is a folder, not a database file.").arg(native),
                          SQLITE_CANTOPEN);

    // An empty file would silently become a database; whatever it was meant to be, it is not one.
    if (!create && QFileInfo(path).isFile() && QFileInfo(path).size() == 0)
        throw DbException(
            QStringLiteral("The file %1 is empty, not a Tollkeeper database file.").arg(native),
            SQLITE_NOTADB);
    // Another process's hold refuses the file before the engine touches it.
    m_hold = DatabaseHold::acquire(path, mode == Database::OpenMode::Exclusive);
    sqlite3* db = nullptr;
    const int flags = SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0);
    int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &db, flags, nullptr);
    if (rc != SQLITE_OK) {
        const QString msg = engineMessage(db);
        sqlite3_close(db);
        throw DbException(
            QStringLiteral("Unable to open the database file %1: %2").arg(native, msg), rc);
    }
    sqlite3_extended_result_codes(db, 1);
    sqlite3_busy_timeout(db, 0);

    try {
        if (mode == Database::OpenMode::Exclusive)
            rawExec(db, "PRAGMA locking_mode=EXCLUSIVE");
        // Rollback journal with full syncs: after every commit the file itself is complete and
        // consistent, so it survives a power loss and may be copied as a backup while open.
        rawExec(db, "PRAGMA journal_mode=DELETE");
        rawExec(db, "PRAGMA synchronous=FULL");
        rawExec(db, "PRAGMA foreign_keys=OFF");
        // Take the lock now, and read the schema so that a file of another kind is refused
        // before anything is written to it.
        rawExec(db, mode == Database::OpenMode::Exclusive ? "BEGIN EXCLUSIVE" : "BEGIN");
        try {
            rawExec(db, "SELECT count(*) FROM sqlite_master");
            rawExec(db, "COMMIT");
        } catch (...) {
            sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
            throw;
        }
    } catch (const DbException& e) {
        sqlite3_close(db);
        if (isBusy(e.code()))
            throw DbException(
                QStringLiteral("The database file %1 is in use by another program.").arg(native),
                e.code());
        if ((e.code() & 0xff) == SQLITE_NOTADB)
            throw DbException(QStringLiteral("The file %1 is not a Tollkeeper database file "
                                             "or is damaged beyond repair.")
                                  .arg(native),
                              e.code());
        throw DbException(
            QStringLiteral("Unable to open the database file %1: %2").arg(native, e.message()),
            e.code());
    }
    // In shared mode other connections may briefly hold the file; wait for them a little.
    if (mode == Database::OpenMode::Shared)
        sqlite3_busy_timeout(db, 5000);
    m_handle = db;
}


SqliteEngine::~SqliteEngine() {
    if (!sqlite3_get_autocommit(m_handle))
        sqlite3_exec(m_handle, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close_v2(m_handle);
}

qint64 SqliteEngine::lastInsertId() {
    return sqlite3_last_insert_rowid(m_handle);
}

bool SqliteEngine::inTransaction() {
    // The engine may have ended the transaction itself after a failure.
    return !sqlite3_get_autocommit(m_handle);
}
