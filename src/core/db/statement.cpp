#include "core/db/database.h"
#include "core/db/dbexception.h"

#include <sqlite3.h>

Statement::Statement(Statement&& o) noexcept
    : m_db(o.m_db), m_stmt(o.m_stmt), m_cacheKey(std::move(o.m_cacheKey)),
      m_generation(o.m_generation) {
    o.m_stmt = nullptr;
}

Statement& Statement::operator=(Statement&& o) noexcept {
    if (this != &o) {
        release();
        m_db = o.m_db;
        m_stmt = o.m_stmt;
        m_cacheKey = std::move(o.m_cacheKey);
        m_generation = o.m_generation;
        o.m_stmt = nullptr;
    }
    return *this;
}

Statement::~Statement() {
    release();
}

void Statement::release() noexcept {
    if (!m_stmt)
        return;
    if (m_db && !m_cacheKey.isEmpty())
        m_db->recycle(m_cacheKey, m_stmt, m_generation);
    else
        sqlite3_finalize(m_stmt);
    m_stmt = nullptr;
}

static void statementFail(sqlite3_stmt* stmt, int rc) {
    sqlite3* db = stmt ? sqlite3_db_handle(stmt) : nullptr;
    QString msg =
        db ? QString::fromUtf8(sqlite3_errmsg(db)) : QString::fromUtf8(sqlite3_errstr(rc));
    if (stmt)
        msg += QStringLiteral(" (%1)").arg(QString::fromUtf8(sqlite3_sql(stmt)));
    throw DbException(msg, db ? sqlite3_extended_errcode(db) : rc);
}

void Statement::bind(int index, const QVariant& value) {
    if (!m_stmt)
        throw DbException(QStringLiteral("The statement is not prepared."));
    dbBindValue(m_stmt, index, value);
}

void Statement::bindAll(const QVariantList& values) {
    if (!m_stmt)
        throw DbException(QStringLiteral("The statement is not prepared."));
    const int expected = sqlite3_bind_parameter_count(m_stmt);
    if (expected != values.size())
        throw DbException(QStringLiteral("The statement takes %1 parameters, %2 given (%3)")
                              .arg(expected)
                              .arg(values.size())
                              .arg(QString::fromUtf8(sqlite3_sql(m_stmt))));
    for (int i = 0; i < values.size(); ++i)
        dbBindValue(m_stmt, i + 1, values.at(i));
}

static sqlite3_stmt* preparedOrThrow(sqlite3_stmt* stmt) {
    if (!stmt)
        throw DbException(QStringLiteral("The statement is not prepared."));
    return stmt;
}

static void bindResult(int rc) {
    if (rc != SQLITE_OK)
        throw DbException(QString::fromUtf8(sqlite3_errstr(rc)), rc);
}

void Statement::bindNull(int index) {
    bindResult(sqlite3_bind_null(preparedOrThrow(m_stmt), index));
}

void Statement::bindInt64(int index, qint64 value) {
    bindResult(sqlite3_bind_int64(preparedOrThrow(m_stmt), index, value));
}

void Statement::bindDouble(int index, double value) {
    bindResult(sqlite3_bind_double(preparedOrThrow(m_stmt), index, value));
}

void Statement::bindText(int index, QStringView text) {
    sqlite3_stmt* stmt = preparedOrThrow(m_stmt);
    // Short ASCII texts (names, ports, session ids) are copied on the stack; others converted.
    constexpr qsizetype kStack = 256;
    char ascii[kStack];
    bool isAscii = text.size() <= kStack;
    for (qsizetype i = 0; isAscii && i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        isAscii = c < 0x80;
        ascii[i] = char(c);
    }
    if (isAscii) {
        bindResult(sqlite3_bind_text64(stmt, index, ascii, sqlite3_uint64(text.size()),
                                       SQLITE_TRANSIENT, SQLITE_UTF8));
        return;
    }
    const QByteArray utf8 = text.toUtf8();
    bindResult(sqlite3_bind_text64(stmt, index, utf8.constData(), sqlite3_uint64(utf8.size()),
                                   SQLITE_TRANSIENT, SQLITE_UTF8));
}

bool Statement::next() {
    if (!m_stmt)
        throw DbException(QStringLiteral("The statement is not prepared."));
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    sqlite3_reset(m_stmt);
    statementFail(m_stmt, rc);
    return false;
}

int Statement::exec() {
    if (!m_stmt)
        throw DbException(QStringLiteral("The statement is not prepared."));
    int rc;
    while ((rc = sqlite3_step(m_stmt)) == SQLITE_ROW) {
    }
    if (rc != SQLITE_DONE) {
        sqlite3_reset(m_stmt);
        statementFail(m_stmt, rc);
    }
    const int changed = sqlite3_changes(sqlite3_db_handle(m_stmt));
    sqlite3_reset(m_stmt);
    return changed;
}

void Statement::reset() {
    if (!m_stmt)
        return;
    sqlite3_reset(m_stmt);
    sqlite3_clear_bindings(m_stmt);
}

int Statement::columnCount() const {
    return m_stmt ? sqlite3_column_count(m_stmt) : 0;
}

QString Statement::columnName(int i) const {
    return m_stmt ? QString::fromUtf8(sqlite3_column_name(m_stmt, i)) : QString();
}

QVariant Statement::value(int i) const {
    return m_stmt ? dbValueFromColumn(m_stmt, i) : QVariant();
}
