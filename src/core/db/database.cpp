#include "core/db/database.h"
#include "core/db/databasehold.h"
#include "core/db/dbexception.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <sqlite3.h>

// Opening and closing the file, statements and transactions.

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

Database::Database() = default;

Database::~Database() {
    close();
}

void Database::open(const QString& path, OpenMode mode, bool create) {
    close();
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
    std::shared_ptr<DatabaseHold> hold = DatabaseHold::acquire(path, mode == OpenMode::Exclusive);
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
        if (mode == OpenMode::Exclusive)
            rawExec(db, "PRAGMA locking_mode=EXCLUSIVE");
        // Rollback journal with full syncs: after every commit the file itself is complete and
        // consistent, so it survives a power loss and may be copied as a backup while open.
        rawExec(db, "PRAGMA journal_mode=DELETE");
        rawExec(db, "PRAGMA synchronous=FULL");
        rawExec(db, "PRAGMA foreign_keys=OFF");
        // Take the lock now, and read the schema so that a file of another kind is refused
        // before anything is written to it.
        rawExec(db, mode == OpenMode::Exclusive ? "BEGIN EXCLUSIVE" : "BEGIN");
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
    if (mode == OpenMode::Shared)
        sqlite3_busy_timeout(db, 5000);
    m_db = db;
    m_hold = std::move(hold);
    ++m_generation;
    m_path = path;
    m_mode = mode;
    m_transDepth = 0;
}

void Database::close() {
    if (!m_db)
        return;
    if (m_transDepth > 0)
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
    m_transDepth = 0;
    clearCaches();
    ++m_generation;
    sqlite3_close_v2(m_db);
    m_db = nullptr;
    m_hold.reset();
}

void Database::clearCaches() {
    for (sqlite3_stmt* stmt : std::as_const(m_statementCache))
        sqlite3_finalize(stmt);
    m_statementCache.clear();
    m_fieldCache.clear();
}

void Database::recycle(const QString& key, sqlite3_stmt* stmt, quint64 generation) {
    constexpr qsizetype kMaxCachedStatements = 128;
    if (!m_db || generation != m_generation || m_statementCache.contains(key) ||
        m_statementCache.size() >= kMaxCachedStatements) {
        sqlite3_finalize(stmt);
        return;
    }
    sqlite3_reset(stmt);
    sqlite3_clear_bindings(stmt);
    m_statementCache.insert(key, stmt);
}

int Database::schemaVersion() {
    Statement st = prepare(QStringLiteral("PRAGMA schema_version"));
    return st.next() ? st.value(0).toInt() : -1;
}

void Database::ensureOpen() const {
    if (!m_db)
        throw DbException(QStringLiteral("The database is not open."));
}

void Database::fail(const QString& what) const {
    const int code = m_db ? sqlite3_extended_errcode(m_db) : 0;
    const QString msg = engineMessage(m_db);
    throw DbException(what.isEmpty() ? msg : QStringLiteral("%1: %2").arg(what, msg), code);
}

Statement Database::prepare(const QString& sql) {
    ensureOpen();
    // Statements are prepared once per text and reused: the program runs the same few
    // queries for every customer of a run.
    if (sqlite3_stmt* cached = m_statementCache.take(sql))
        return Statement(this, cached, sql, m_generation);
    const QByteArray utf8 = translateSql(sql).toUtf8();
    sqlite3_stmt* stmt = nullptr;
    const char* tail = nullptr;
    const int rc = sqlite3_prepare_v2(m_db, utf8.constData(), int(utf8.size()), &stmt, &tail);
    if (rc != SQLITE_OK) {
        const QString msg = engineMessage(m_db);
        const int code = sqlite3_extended_errcode(m_db);
        sqlite3_finalize(stmt);
        throw DbException(QStringLiteral("%1 (%2)").arg(msg, sql), code);
    }
    if (!stmt)
        throw DbException(QStringLiteral("The SQL text holds no statement (%1)").arg(sql));
    // One statement per call: a second one in the same text is refused, not ignored.
    if (tail && !QByteArray(tail).trimmed().isEmpty() && QByteArray(tail).trimmed() != ";") {
        sqlite3_finalize(stmt);
        throw DbException(
            QStringLiteral("The SQL text holds more than one statement (%1)").arg(sql));
    }
    return Statement(this, stmt, sql, m_generation);
}

int Database::execute(const QString& sql, const QVariantList& params) {
    Statement st = prepare(sql);
    st.bindAll(params);
    return st.exec();
}

QVariant Database::scalar(const QString& sql, const QVariantList& params) {
    Statement st = prepare(sql);
    st.bindAll(params);
    if (!st.next())
        return QVariant();
    return st.value(0);
}

qint64 Database::lastInsertId() const {
    ensureOpen();
    return sqlite3_last_insert_rowid(m_db);
}

// Transactions: the outer level is BEGIN/COMMIT, inner levels are savepoints.

void Database::beginTrans() {
    ensureOpen();
    if (m_transDepth == 0)
        execute(QStringLiteral("BEGIN"));
    else
        execute(QStringLiteral("SAVEPOINT tk_level%1").arg(m_transDepth));
    ++m_transDepth;
}

void Database::commitTrans() {
    ensureOpen();
    if (m_transDepth == 0)
        throw DbException(QStringLiteral("Commit without a transaction."));
    if (m_transDepth == 1) {
        execute(QStringLiteral("COMMIT"));
    } else {
        execute(QStringLiteral("RELEASE tk_level%1").arg(m_transDepth - 1));
    }
    --m_transDepth;
}

void Database::rollback() {
    ensureOpen();
    if (m_transDepth == 0)
        throw DbException(QStringLiteral("Rollback without a transaction."));
    --m_transDepth;
    m_fieldCache.clear(); // a rolled-back schema change may reuse a schema version
    if (m_transDepth == 0) {
        // The engine may have ended the transaction itself after a failure.
        if (!sqlite3_get_autocommit(m_db))
            execute(QStringLiteral("ROLLBACK"));
    } else {
        const QString sp = QStringLiteral("tk_level%1").arg(m_transDepth);
        execute(QStringLiteral("ROLLBACK TO %1").arg(sp));
        execute(QStringLiteral("RELEASE %1").arg(sp));
    }
}
