#include "core/db/currency.h"
#include "core/db/dbdatetime.h"
#include "core/db/dbexception.h"
#include "core/db/dbvalue.h"
#include "core/db/sqliteengine.h"

#include <QByteArray>
#include <sqlite3.h>

#include <cmath>

// SQLite statements: preparing, binding, stepping and reading values by declared kind.

namespace {

[[noreturn]] void statementFail(sqlite3_stmt* stmt, int rc) {
    sqlite3* db = stmt ? sqlite3_db_handle(stmt) : nullptr;
    QString msg =
        db ? QString::fromUtf8(sqlite3_errmsg(db)) : QString::fromUtf8(sqlite3_errstr(rc));
    if (stmt)
        msg += QStringLiteral(" (%1)").arg(QString::fromUtf8(sqlite3_sql(stmt)));
    throw DbException(msg, db ? sqlite3_extended_errcode(db) : rc);
}

void bindResult(int rc) {
    if (rc != SQLITE_OK)
        throw DbException(QString::fromUtf8(sqlite3_errstr(rc)), rc);
}

class SqliteCursor final : public DbCursor {
public:
    SqliteCursor(sqlite3_stmt* stmt, QString sql) : m_stmt(stmt), m_sql(std::move(sql)) {}
    ~SqliteCursor() override { sqlite3_finalize(m_stmt); }

    int parameterCount() const override { return sqlite3_bind_parameter_count(m_stmt); }
    void bind(int index, const QVariant& value) override { sqliteBindValue(m_stmt, index, value); }
    void bindNull(int index) override { bindResult(sqlite3_bind_null(m_stmt, index)); }
    void bindInt64(int index, qint64 value) override {
        bindResult(sqlite3_bind_int64(m_stmt, index, value));
    }
    void bindDouble(int index, double value) override {
        bindResult(sqlite3_bind_double(m_stmt, index, value));
    }
    void bindText(int index, QStringView text) override;
    bool next() override;
    int exec() override;
    void reset() override {
        sqlite3_reset(m_stmt);
        sqlite3_clear_bindings(m_stmt);
    }
    int columnCount() const override { return sqlite3_column_count(m_stmt); }
    QString columnName(int i) const override {
        return QString::fromUtf8(sqlite3_column_name(m_stmt, i));
    }
    QVariant value(int i) const override { return sqliteValueFromColumn(m_stmt, i); }
    QString sql() const override { return m_sql; }

private:
    sqlite3_stmt* m_stmt;
    QString m_sql;
};

void SqliteCursor::bindText(int index, QStringView text) {
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
        bindResult(sqlite3_bind_text64(m_stmt, index, ascii, sqlite3_uint64(text.size()),
                                       SQLITE_TRANSIENT, SQLITE_UTF8));
        return;
    }
    const QByteArray utf8 = text.toUtf8();
    bindResult(sqlite3_bind_text64(m_stmt, index, utf8.constData(), sqlite3_uint64(utf8.size()),
                                   SQLITE_TRANSIENT, SQLITE_UTF8));
}

bool SqliteCursor::next() {
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    sqlite3_reset(m_stmt);
    statementFail(m_stmt, rc);
}

int SqliteCursor::exec() {
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

} // namespace

std::unique_ptr<DbCursor> SqliteEngine::prepare(const QString& sql) {
    const QByteArray utf8 = Database::translateSql(sql).toUtf8();
    sqlite3_stmt* stmt = nullptr;
    const char* tail = nullptr;
    const int rc = sqlite3_prepare_v2(m_handle, utf8.constData(), int(utf8.size()), &stmt, &tail);
    if (rc != SQLITE_OK) {
        const QString msg = QString::fromUtf8(sqlite3_errmsg(m_handle));
        const int code = sqlite3_extended_errcode(m_handle);
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
    return std::make_unique<SqliteCursor>(stmt, sql);
}

QVariant sqliteValueFromColumn(sqlite3_stmt* stmt, int column) {
    const int type = sqlite3_column_type(stmt, column);
    if (type == SQLITE_NULL)
        return QVariant();
    const char* decl = sqlite3_column_decltype(stmt, column);
    if (!decl) {
        switch (type) {
        case SQLITE_INTEGER:
            return QVariant(qint64(sqlite3_column_int64(stmt, column)));
        case SQLITE_FLOAT:
            return QVariant(sqlite3_column_double(stmt, column));
        case SQLITE_BLOB:
            return QVariant(QByteArray(static_cast<const char*>(sqlite3_column_blob(stmt, column)),
                                       sqlite3_column_bytes(stmt, column)));
        default:
            return QVariant(
                QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, column)),
                                  sqlite3_column_bytes(stmt, column)));
        }
    }
    switch (dbKindOfDeclared(decl)) {
    case FieldKind::Long:
    case FieldKind::AutoNumber:
        if (type == SQLITE_FLOAT)
            return QVariant(int(std::llround(sqlite3_column_double(stmt, column))));
        // The engine keeps 64 bits (byte counts use them); a value beyond 32 bits stays whole.
        if (const qint64 v = sqlite3_column_int64(stmt, column); v != qint64(int(v)))
            return QVariant(v);
        return QVariant(int(sqlite3_column_int64(stmt, column)));
    case FieldKind::Integer:
        if (type == SQLITE_FLOAT)
            return QVariant(int(qint16(std::llround(sqlite3_column_double(stmt, column)))));
        return QVariant(int(qint16(sqlite3_column_int64(stmt, column))));
    case FieldKind::Single:
        return QVariant(float(sqlite3_column_double(stmt, column)));
    case FieldKind::Double:
        return QVariant(sqlite3_column_double(stmt, column));
    case FieldKind::Currency:
        // Stored as ten-thousandths; a REAL comes from SQL arithmetic on those units.
        if (type == SQLITE_INTEGER)
            return QVariant::fromValue(Currency::fromUnits(sqlite3_column_int64(stmt, column)));
        return QVariant::fromValue(
            Currency::fromUnits(std::llround(sqlite3_column_double(stmt, column))));
    case FieldKind::DateTime:
        return QVariant::fromValue(DbDateTime(sqlite3_column_double(stmt, column)));
    case FieldKind::YesNo:
        return QVariant(sqlite3_column_double(stmt, column) != 0);
    case FieldKind::Text:
    case FieldKind::Memo:
        return QVariant(
            QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, column)),
                              sqlite3_column_bytes(stmt, column)));
    case FieldKind::LongBinary: {
        const void* p = sqlite3_column_blob(stmt, column);
        return QVariant(
            QByteArray(static_cast<const char*>(p), sqlite3_column_bytes(stmt, column)));
    }
    }
    return QVariant();
}

void sqliteBindValue(sqlite3_stmt* stmt, int index, const QVariant& value) {
    const DbStoredValue v = dbStoredForm(value);
    int rc = SQLITE_OK;
    switch (v.type) {
    case DbStoredValue::Null:
        rc = sqlite3_bind_null(stmt, index);
        break;
    case DbStoredValue::Integer:
        rc = sqlite3_bind_int64(stmt, index, v.integer);
        break;
    case DbStoredValue::Real:
        rc = sqlite3_bind_double(stmt, index, v.real);
        break;
    case DbStoredValue::Text:
        rc = sqlite3_bind_text64(stmt, index, v.bytes.constData(), sqlite3_uint64(v.bytes.size()),
                                 SQLITE_TRANSIENT, SQLITE_UTF8);
        break;
    case DbStoredValue::Blob:
        rc = v.bytes.isEmpty() ? sqlite3_bind_zeroblob(stmt, index, 0)
                               : sqlite3_bind_blob64(stmt, index, v.bytes.constData(),
                                                     sqlite3_uint64(v.bytes.size()),
                                                     SQLITE_TRANSIENT);
        break;
    }
    if (rc != SQLITE_OK)
        throw DbException(QString::fromUtf8(sqlite3_errstr(rc)), rc);
}
