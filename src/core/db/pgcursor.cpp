// PostgreSQL statements: prepared once on the server, run with text parameters, and their
// results read back in the kinds the program declared for its columns.
#include "core/db/currency.h"
#include "core/db/dbdatetime.h"
#include "core/db/dbexception.h"
#include "core/db/dbvalue.h"
#include "core/db/pgengine.h"

#include <libpq-fe.h>

#include <cmath>
#include <vector>

namespace {

constexpr Oid kBool = 16, kBytea = 17, kInt8 = 20, kInt2 = 21, kInt4 = 23, kFloat4 = 700,
              kFloat8 = 701, kNumeric = 1700;

QString resultMessage(const PGresult* res, pg_conn* conn) {
    QString msg = res ? QString::fromUtf8(PQresultErrorMessage(res)).trimmed() : QString();
    if (msg.isEmpty() && conn)
        msg = QString::fromUtf8(PQerrorMessage(conn)).trimmed();
    if (msg.startsWith(QLatin1String("ERROR:")))
        msg = msg.mid(6).trimmed();
    return msg;
}

bool changesSchema(const QByteArray& text) {
    const QByteArray head = text.trimmed().left(8).toUpper();
    return head.startsWith("CREATE") || head.startsWith("ALTER") || head.startsWith("DROP") ||
           head.startsWith("COMMENT");
}

class PgCursor final : public DbCursor, private PgEngine::PipelineReader {
public:
    PgCursor(PgEngine& engine, QString sql);
    ~PgCursor() override;

    int parameterCount() const override { return m_translation.parameters; }
    void bind(int index, const QVariant& value) override;
    void bindNull(int index) override { slot(index).isNull = true; }
    void bindInt64(int index, qint64 value) override { setText(index, QByteArray::number(value)); }
    void bindDouble(int index, double value) override {
        setText(index, QByteArray::number(value, 'g', 17));
    }
    void bindText(int index, QStringView text) override { setText(index, text.toUtf8()); }
    bool next() override;
    int exec() override;
    void reset() override;
    int columnCount() const override { return PQnfields(m_description); }
    QString columnName(int i) const override;
    QVariant value(int i) const override;
    QString sql() const override { return m_sql; }
    void queue() override;
    int takeQueued() override;
    void discardQueued() override {
        if (m_inFlight > 0)
            m_engine.settle(false); // outcomes still on their way land here first
        m_queued.clear();
        m_queuedErrors.clear();
    }
    void post() override;
    void postInsert(const std::shared_ptr<qint64>& key, DbEngine& engine) override;

private:
    void queuedOutcome(int changed, const QString& error) override;
    std::deque<QString> m_queuedErrors; // beside m_queued, empty when the run succeeded
    int m_inFlight = 0;                 // queued runs whose outcome has not arrived

    struct Param {
        QByteArray text;
        bool isNull = true;
        bool binary = false;
    };
    // The bound parameters as libpq takes them.
    struct Arguments {
        explicit Arguments(const std::vector<Param>& params) {
            for (const Param& p : params) {
                values.push_back(p.isNull ? nullptr : p.text.constData());
                lengths.push_back(int(p.text.size()));
                formats.push_back(p.binary ? 1 : 0);
            }
        }
        int count() const { return int(values.size()); }
        std::vector<const char*> values;
        std::vector<int> lengths;
        std::vector<int> formats;
    };
    Param& slot(int index);
    void setText(int index, QByteArray text);
    void run();
    void clearResult();
    [[noreturn]] void fail(const PGresult* res) const;

    PgEngine& m_engine;
    std::shared_ptr<pg_conn> m_conn;
    QString m_sql;
    PgEngine::Translation m_translation;
    QByteArray m_name; // of the prepared statement on the server
    std::vector<Param> m_params;
    PGresult* m_description = nullptr; // the statement's columns
    PGresult* m_res = nullptr;
    int m_row = -1;
    bool m_changesSchema = false;
    bool m_rollsBack = false; // ROLLBACK [TO]: undoes a posted write that failed
};

PgCursor::PgCursor(PgEngine& engine, QString sql)
    : m_engine(engine), m_conn(engine.connection()), m_sql(std::move(sql)) {
    m_translation = engine.translate(m_sql);
    m_changesSchema = changesSchema(m_translation.text);
    m_rollsBack = m_translation.text.trimmed().left(8).toUpper().startsWith("ROLLBACK");
    m_params.resize(size_t(m_translation.parameters));
    m_name = "tk" + QByteArray::number(engine.nextStatementNumber());
    engine.settle(false); // a posted failure is raised when a statement runs
    // Parameters are left for the server to type from their use: a text compared with a
    // case-blind column takes the column's kind, so the comparison stays case-blind.
    PGresult* res = PQprepare(m_conn.get(), m_name.constData(), m_translation.text.constData(),
                              m_translation.parameters, nullptr);
    if (PQresultStatus(res) != PGRES_COMMAND_OK) {
        const QString msg = resultMessage(res, m_conn.get());
        PQclear(res);
        throw DbException(QStringLiteral("%1 (%2)").arg(msg, m_sql), 1);
    }
    PQclear(res);
    // The columns are known before the first run, as they are in SQLite.
    m_description = PQdescribePrepared(m_conn.get(), m_name.constData());
    if (PQresultStatus(m_description) != PGRES_COMMAND_OK) {
        const QString msg = resultMessage(m_description, m_conn.get());
        PQclear(m_description);
        m_description = nullptr;
        throw DbException(QStringLiteral("%1 (%2)").arg(msg, m_sql), 1);
    }
}

PgCursor::~PgCursor() {
    try {
        m_engine.settle(false);
    } catch (const std::exception&) {
        m_engine.forgetReader(this);
    }
    clearResult();
    PQclear(m_description);
    // A statement of a connection whose transaction failed goes with the connection's reset.
    if (PQstatus(m_conn.get()) == CONNECTION_OK &&
        PQtransactionStatus(m_conn.get()) != PQTRANS_INERROR)
        PQclear(PQexec(m_conn.get(), ("DEALLOCATE " + m_name).constData()));
}

PgCursor::Param& PgCursor::slot(int index) {
    if (index < 1 || index > int(m_params.size()))
        throw DbException(QStringLiteral("Parameter %1 is out of range (%2)").arg(index).arg(m_sql),
                          25);
    return m_params[size_t(index - 1)];
}

void PgCursor::setText(int index, QByteArray text) {
    Param& p = slot(index);
    p.text = std::move(text);
    p.isNull = false;
    p.binary = false;
}

void PgCursor::bind(int index, const QVariant& value) {
    const DbStoredValue v = dbStoredForm(value);
    switch (v.type) {
    case DbStoredValue::Null:
        bindNull(index);
        break;
    case DbStoredValue::Integer:
        bindInt64(index, v.integer);
        break;
    case DbStoredValue::Real:
        bindDouble(index, v.real);
        break;
    case DbStoredValue::Text:
        setText(index, v.bytes);
        break;
    case DbStoredValue::Blob: {
        Param& p = slot(index);
        p.text = v.bytes;
        p.isNull = false;
        p.binary = true;
        break;
    }
    }
}

void PgCursor::clearResult() {
    if (m_res)
        PQclear(m_res);
    m_res = nullptr;
    m_row = -1;
}

void PgCursor::fail(const PGresult* res) const {
    const QString msg = resultMessage(res, m_conn.get());
    const char* state = res ? PQresultErrorField(res, PG_DIAG_SQLSTATE) : nullptr;
    throw DbException(QStringLiteral("%1 (%2)").arg(msg, m_sql),
                      state ? int(QByteArray(state).toInt(nullptr, 36)) : 1);
}

void PgCursor::run() {
    clearResult();
    const Arguments a(m_params);
    PGresult* res = nullptr;
    if (m_rollsBack) {
        // The rollback undoes whatever posted write failed; its message is logged.
        m_engine.settle(false);
        const QString failure = m_engine.takePostedFailure();
        if (!failure.isEmpty())
            qWarning("A write undone by a rollback had failed (code 1): %s", qPrintable(failure));
    }
    if (m_engine.onlyPostedPending()) {
        // The posted writes and this statement share one round trip.
        res = m_engine.runAfterPosted(m_name, a.count(), a.values.data(), a.lengths.data(),
                                      a.formats.data());
    } else {
        m_engine.settle();
        res = PQexecPrepared(m_conn.get(), m_name.constData(), a.count(), a.values.data(),
                             a.lengths.data(), a.formats.data(), 0);
    }
    const ExecStatusType status = PQresultStatus(res);
    if (status != PGRES_TUPLES_OK && status != PGRES_COMMAND_OK) {
        const PGresult* keep = res;
        try {
            fail(keep);
        } catch (...) {
            PQclear(res);
            throw;
        }
    }
    if (m_changesSchema)
        m_engine.schemaChanged();
    m_res = res;
    // The key of an added row, for lastInsertId (the statement asked for it with RETURNING).
    if (m_translation.returnsKey && status == PGRES_TUPLES_OK && PQntuples(res) > 0)
        m_engine.noteInsertedKey(QByteArray(PQgetvalue(res, PQntuples(res) - 1, 0)).toLongLong());
}

void PgCursor::queue() {
    const Arguments a(m_params);
    m_engine.sendQueued(this, m_name, a.count(), a.values.data(), a.lengths.data(),
                        a.formats.data());
    ++m_inFlight;
}

void PgCursor::post() {
    if (m_changesSchema) {
        exec(); // the schema's version moves on at once
        return;
    }
    const Arguments a(m_params);
    m_engine.postQueued(m_name, a.count(), a.values.data(), a.lengths.data(), a.formats.data());
}

void PgCursor::postInsert(const std::shared_ptr<qint64>& key, DbEngine& engine) {
    if (m_changesSchema || !m_translation.returnsKey) {
        DbCursor::postInsert(key, engine); // no key to wait for: run now
        return;
    }
    const Arguments a(m_params);
    m_engine.postInsert(key, m_name, a.count(), a.values.data(), a.lengths.data(),
                        a.formats.data());
}

void PgCursor::queuedOutcome(int changed, const QString& error) {
    --m_inFlight;
    m_queued.push_back(changed);
    m_queuedErrors.push_back(error);
}

int PgCursor::takeQueued() {
    if (m_queued.empty())
        m_engine.collectQueued(false);
    const int changed = DbCursor::takeQueued();
    const QString error = m_queuedErrors.front();
    m_queuedErrors.pop_front();
    if (!error.isEmpty())
        throw DbException(QStringLiteral("%1 (%2)").arg(error, m_sql), 1);
    return changed;
}

bool PgCursor::next() {
    if (!m_res)
        run();
    if (++m_row < PQntuples(m_res))
        return true;
    clearResult(); // a further next() runs the statement again
    return false;
}

int PgCursor::exec() {
    run();
    const int changed = QByteArray(PQcmdTuples(m_res)).toInt();
    clearResult();
    return changed;
}

void PgCursor::reset() {
    clearResult();
    for (Param& p : m_params)
        p = Param();
}

QString PgCursor::columnName(int i) const {
    if (i < 0 || i >= PQnfields(m_description))
        return {};
    if (const PgEngine::ColumnInfo* info =
            m_engine.columnInfo(PQftable(m_description, i), PQftablecol(m_description, i)))
        if (!info->name.isEmpty())
            return info->name;
    const QByteArray name(PQfname(m_description, i));
    return m_translation.aliases.value(name, QString::fromUtf8(name));
}

QVariant PgCursor::value(int i) const {
    if (!m_res || m_row < 0 || m_row >= PQntuples(m_res) || i < 0 || i >= PQnfields(m_res) ||
        PQgetisnull(m_res, m_row, i))
        return QVariant();
    const char* text = PQgetvalue(m_res, m_row, i);
    const int length = PQgetlength(m_res, m_row, i);
    const Oid type = PQftype(m_res, i);
    const PgEngine::ColumnInfo* info = m_engine.columnInfo(PQftable(m_res, i),
                                                           PQftablecol(m_res, i));
    const auto integer = [&]() -> qint64 {
        if (type == kFloat4 || type == kFloat8 || type == kNumeric)
            return std::llround(QByteArray(text, length).toDouble());
        return QByteArray(text, length).toLongLong();
    };
    if (!info || !info->declared) {
        // An expression, or a column of a table made outside the program.
        switch (type) {
        case kBool:
            return QVariant(qint64(text[0] == 't' ? 1 : 0));
        case kInt2:
        case kInt4:
        case kInt8:
            return QVariant(QByteArray(text, length).toLongLong());
        case kFloat4:
        case kFloat8:
            return QVariant(QByteArray(text, length).toDouble());
        case kNumeric: {
            // Sums of integers are numeric here; whole ones read back whole, as in SQLite.
            const QByteArray n(text, length);
            if (!n.contains('.') && !n.contains('e') && !n.contains('E')) {
                bool ok = false;
                const qint64 v = n.toLongLong(&ok);
                if (ok)
                    return QVariant(v);
            }
            return QVariant(n.toDouble());
        }
        case kBytea: {
            size_t size = 0;
            unsigned char* bytes =
                PQunescapeBytea(reinterpret_cast<const unsigned char*>(text), &size);
            const QByteArray b(reinterpret_cast<const char*>(bytes), qsizetype(size));
            PQfreemem(bytes);
            return QVariant(b);
        }
        default:
            return QVariant(QString::fromUtf8(text, length));
        }
    }
    switch (info->kind) {
    case FieldKind::Long:
    case FieldKind::AutoNumber: {
        // The engine keeps 64 bits (byte counts use them); a value beyond 32 bits stays whole.
        const qint64 v = integer();
        if (v != qint64(int(v)))
            return QVariant(v);
        return QVariant(int(v));
    }
    case FieldKind::Integer:
        return QVariant(int(qint16(integer())));
    case FieldKind::Single:
        return QVariant(float(QByteArray(text, length).toDouble()));
    case FieldKind::Double:
        return QVariant(QByteArray(text, length).toDouble());
    case FieldKind::Currency:
        return QVariant::fromValue(Currency::fromUnits(integer()));
    case FieldKind::DateTime:
        return QVariant::fromValue(DbDateTime(QByteArray(text, length).toDouble()));
    case FieldKind::YesNo:
        return QVariant(QByteArray(text, length).toDouble() != 0);
    case FieldKind::Text:
    case FieldKind::Memo:
        return QVariant(QString::fromUtf8(text, length));
    case FieldKind::LongBinary: {
        size_t size = 0;
        unsigned char* bytes = PQunescapeBytea(reinterpret_cast<const unsigned char*>(text), &size);
        const QByteArray b(reinterpret_cast<const char*>(bytes), qsizetype(size));
        PQfreemem(bytes);
        return QVariant(b);
    }
    }
    return QVariant();
}

} // namespace

std::unique_ptr<DbCursor> PgEngine::prepare(const QString& sql) {
    return std::make_unique<PgCursor>(*this, sql);
}
