#include "core/db/database.h"
#include "core/db/dbexception.h"
#include "core/db/pgengine.h"
#include "core/db/sqliteengine.h"

// Opening and closing, the statement cache and the transaction levels; the engines do the rest.

Database::Database() = default;

Database::~Database() {
    close();
}

bool Database::isServerName(const QString& name) {
    return name.startsWith(QLatin1String("postgresql://"), Qt::CaseInsensitive) ||
           name.startsWith(QLatin1String("postgres://"), Qt::CaseInsensitive);
}

void Database::open(const QString& path, OpenMode mode, bool create) {
    close();
    if (isServerName(path))
        m_engine = std::make_unique<PgEngine>(*this, path, create);
    else
        m_engine = std::make_unique<SqliteEngine>(*this, path, mode, create);
    ++m_generation;
    m_path = path;
    m_mode = mode;
    m_transDepth = 0;
}

void Database::close() {
    if (!m_engine)
        return;
    m_transDepth = 0;
    clearCaches();
    ++m_generation;
    m_engine.reset(); // rolls back what is still open
}

QString Database::displayNameOf(const QString& name) {
    return isServerName(name) ? PgEngine::displayName(name) : name;
}

DbEngineKind Database::engineKind() const {
    return engine().kind();
}

DbEngine& Database::engine() const {
    ensureOpen();
    return *m_engine;
}

void Database::clearCaches() {
    m_statementCache.clear();
    m_fieldCache.clear();
}

void Database::recycle(const QString& key, std::unique_ptr<DbCursor> cursor, quint64 generation) {
    constexpr size_t kMaxCachedStatements = 128;
    if (!m_engine || generation != m_generation || m_statementCache.count(key) ||
        m_statementCache.size() >= kMaxCachedStatements)
        return;
    cursor->discardQueued();
    cursor->reset();
    m_statementCache.emplace(key, std::move(cursor));
}

void Database::ensureOpen() const {
    if (!m_engine)
        throw DbException(QStringLiteral("The database is not open."));
}

Statement Database::prepare(const QString& sql) {
    ensureOpen();
    // Statements are prepared once per text and reused: the program runs the same few
    // queries for every customer of a run.
    if (auto hit = m_statementCache.find(sql); hit != m_statementCache.end()) {
        std::unique_ptr<DbCursor> cached = std::move(hit->second);
        m_statementCache.erase(hit);
        return Statement(this, std::move(cached), sql, m_generation);
    }
    return Statement(this, m_engine->prepare(sql), sql, m_generation);
}

int Database::execute(const QString& sql, const QVariantList& params) {
    Statement st = prepare(sql);
    st.bindAll(params);
    return st.exec();
}

void Database::post(const QString& sql, const QVariantList& params) {
    Statement st = prepare(sql);
    st.bindAll(params);
    st.post();
}

QVariant Database::scalar(const QString& sql, const QVariantList& params) {
    Statement st = prepare(sql);
    st.bindAll(params);
    if (!st.next())
        return QVariant();
    return st.value(0);
}

qint64 Database::lastInsertId() const {
    return engine().lastInsertId();
}

void Database::flush() {
    engine().flush();
}

std::unique_ptr<DbBulkLoad> Database::bulkLoad(const QString& table, const QStringList& columns) {
    return engine().bulkLoad(table, columns);
}

// Transactions: the outer level is BEGIN/COMMIT, inner levels are savepoints.

void Database::beginTrans() {
    ensureOpen();
    if (m_transDepth == 0)
        execute(QStringLiteral("BEGIN"));
    else
        post(QStringLiteral("SAVEPOINT tk_level%1").arg(m_transDepth)); // with the next statement
    ++m_transDepth;
}

void Database::commitTrans() {
    ensureOpen();
    if (m_transDepth == 0)
        throw DbException(QStringLiteral("Commit without a transaction."));
    if (m_transDepth == 1) {
        if (m_engine->transactionFailed())
            throw DbException(QStringLiteral("A statement of the transaction failed; its changes "
                                             "cannot be committed."));
        execute(QStringLiteral("COMMIT"));
    } else {
        post(QStringLiteral("RELEASE tk_level%1").arg(m_transDepth - 1));
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
        if (m_engine->inTransaction())
            execute(QStringLiteral("ROLLBACK"));
    } else {
        const QString sp = QStringLiteral("tk_level%1").arg(m_transDepth);
        execute(QStringLiteral("ROLLBACK TO %1").arg(sp));
        execute(QStringLiteral("RELEASE %1").arg(sp));
    }
}
