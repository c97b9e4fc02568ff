#include "core/db/database.h"
#include "core/db/dbexception.h"

// The engine-neutral handle of a prepared statement; the engine's cursor does the work.

Statement::Statement(Database* db, std::unique_ptr<DbCursor> cursor, QString cacheKey,
                     quint64 generation)
    : m_db(db), m_cursor(std::move(cursor)), m_cacheKey(std::move(cacheKey)),
      m_generation(generation) {}

Statement::Statement(Statement&& o) noexcept
    : m_db(o.m_db), m_cursor(std::move(o.m_cursor)), m_cacheKey(std::move(o.m_cacheKey)),
      m_generation(o.m_generation) {}

Statement& Statement::operator=(Statement&& o) noexcept {
    if (this != &o) {
        release();
        m_db = o.m_db;
        m_cursor = std::move(o.m_cursor);
        m_cacheKey = std::move(o.m_cacheKey);
        m_generation = o.m_generation;
    }
    return *this;
}

Statement::~Statement() {
    release();
}

void Statement::release() noexcept {
    if (!m_cursor)
        return;
    if (m_db && !m_cacheKey.isEmpty()) {
        try {
            m_db->recycle(m_cacheKey, std::move(m_cursor), m_generation);
        } catch (...) {
            // A statement that cannot be reset is simply not reused.
        }
    }
    m_cursor.reset();
}

DbCursor& Statement::cursor() const {
    if (!m_cursor)
        throw DbException(QStringLiteral("The statement is not prepared."));
    return *m_cursor;
}

void Statement::bind(int index, const QVariant& value) {
    cursor().bind(index, value);
}

void Statement::bindAll(const QVariantList& values) {
    DbCursor& c = cursor();
    const int expected = c.parameterCount();
    if (expected != values.size())
        throw DbException(QStringLiteral("The statement takes %1 parameters, %2 given (%3)")
                              .arg(expected)
                              .arg(values.size())
                              .arg(c.sql()));
    for (int i = 0; i < values.size(); ++i)
        c.bind(i + 1, values.at(i));
}

void Statement::bindNull(int index) {
    cursor().bindNull(index);
}

void Statement::bindInt64(int index, qint64 value) {
    cursor().bindInt64(index, value);
}

void Statement::bindDouble(int index, double value) {
    cursor().bindDouble(index, value);
}

void Statement::bindText(int index, QStringView text) {
    cursor().bindText(index, text);
}

bool Statement::next() {
    return cursor().next();
}

int Statement::exec() {
    return cursor().exec();
}

void Statement::queue() {
    cursor().queue();
}

void Statement::post() {
    cursor().post();
}

void Statement::postInsert(const std::shared_ptr<qint64>& key) {
    if (!m_db)
        throw DbException(QStringLiteral("The statement is not prepared."));
    cursor().postInsert(key, m_db->engine());
}

void DbCursor::postInsert(const std::shared_ptr<qint64>& key, DbEngine& engine) {
    exec();
    *key = engine.lastInsertId();
}

int Statement::takeQueued() {
    return cursor().takeQueued();
}

int DbCursor::takeQueued() {
    if (m_queued.empty())
        throw DbException(QStringLiteral("The statement has no queued run (%1)").arg(sql()));
    const int changed = m_queued.front();
    m_queued.pop_front();
    return changed;
}

void Statement::reset() {
    if (m_cursor)
        m_cursor->reset();
}

int Statement::columnCount() const {
    return m_cursor ? m_cursor->columnCount() : 0;
}

QString Statement::columnName(int i) const {
    return m_cursor ? m_cursor->columnName(i) : QString();
}

QVariant Statement::value(int i) const {
    return m_cursor ? m_cursor->value(i) : QVariant();
}
