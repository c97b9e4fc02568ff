// Bulk loads on a server: COPY ... FROM STDIN in the text format. The rows are gathered in
// memory and the COPY starts only when they are many (or at the end), so that whatever the
// server is still doing for earlier statements goes on while the program prepares them.
#include "core/db/dbexception.h"
#include "core/db/pgengine.h"

#include <libpq-fe.h>

namespace {

constexpr qsizetype kSendAt = 8 * 1024 * 1024; // bytes gathered before they are sent

class PgBulkLoad final : public DbBulkLoad {
public:
    PgBulkLoad(PgEngine& engine, const QString& table, const QStringList& columns)
        : m_engine(engine), m_conn(engine.connection()), m_table(table),
          m_columns(int(columns.size())) {
        QStringList names;
        for (const QString& c : columns)
            names << PgEngine::quoteName(c);
        m_sql = QStringLiteral("COPY %1 (%2) FROM STDIN")
                    .arg(PgEngine::quoteName(table), names.join(QLatin1String(", ")))
                    .toUtf8();
    }

    ~PgBulkLoad() override {
        if (m_finished || !m_started)
            return;
        // Abandoned (a failure while the rows were gathered): the server ends the COPY with an
        // error, which its transaction keeps until rolled back.
        if (PQputCopyEnd(m_conn.get(), "bulk load abandoned") == 1)
            drain();
    }

    void addNull() override { field("\\N", 2); }
    void addInt64(qint64 value) override {
        const QByteArray text = QByteArray::number(value);
        field(text.constData(), text.size());
    }
    void addDouble(double value) override {
        const QByteArray text = QByteArray::number(value, 'g', 17);
        field(text.constData(), text.size());
    }
    void addText(QStringView text) override {
        separate();
        const QByteArray utf8 = text.toUtf8();
        for (const char c : utf8) {
            switch (c) {
            case '\0':
                // A bound parameter ends at a zero byte too; text holds none on a server.
                return;
            case '\\':
                m_buffer += "\\\\";
                break;
            case '\t':
                m_buffer += "\\t";
                break;
            case '\n':
                m_buffer += "\\n";
                break;
            case '\r':
                m_buffer += "\\r";
                break;
            default:
                m_buffer += c;
            }
        }
    }
    void endRow() override {
        if (m_inRow != m_columns)
            throw DbException(QStringLiteral("A row of %1 values for the %2 columns of %3")
                                  .arg(m_inRow)
                                  .arg(m_columns)
                                  .arg(m_table));
        m_buffer += '\n';
        m_inRow = 0;
        if (m_buffer.size() >= kSendAt)
            send();
    }

    qint64 finish() override {
        if (m_inRow != 0)
            throw DbException(QStringLiteral("An unfinished row for %1").arg(m_table));
        send();
        m_finished = true;
        if (PQputCopyEnd(m_conn.get(), nullptr) != 1)
            throw DbException(QStringLiteral("Unable to load rows into %1: %2")
                                  .arg(m_table, m_engine.lastError()));
        qint64 rows = 0;
        QString error;
        while (PGresult* res = PQgetResult(m_conn.get())) {
            if (PQresultStatus(res) == PGRES_COMMAND_OK)
                rows = QByteArray(PQcmdTuples(res)).toLongLong();
            else
                error = QString::fromUtf8(PQresultErrorMessage(res)).trimmed();
            PQclear(res);
        }
        if (!error.isEmpty())
            throw DbException(
                QStringLiteral("Unable to load rows into %1: %2").arg(m_table, error));
        return rows;
    }

private:
    void separate() {
        if (m_inRow++ > 0)
            m_buffer += '\t';
    }
    void field(const char* text, qsizetype size) {
        separate();
        m_buffer.append(text, size);
    }
    // Starts the COPY once the connection is free.
    void start() {
        if (m_started)
            return;
        m_engine.settle();
        PGresult* res = PQexec(m_conn.get(), m_sql.constData());
        const bool started = PQresultStatus(res) == PGRES_COPY_IN;
        const QString message = QString::fromUtf8(PQresultErrorMessage(res)).trimmed();
        PQclear(res);
        if (!started)
            throw DbException(
                QStringLiteral("Unable to load rows into %1: %2").arg(m_table, message));
        m_started = true;
    }
    void send() {
        start();
        if (m_buffer.isEmpty())
            return;
        if (PQputCopyData(m_conn.get(), m_buffer.constData(), int(m_buffer.size())) != 1) {
            m_finished = true; // the connection failed: nothing more can be said to it
            throw DbException(QStringLiteral("Unable to load rows into %1: %2")
                                  .arg(m_table, m_engine.lastError()));
        }
        m_buffer.clear();
    }
    void drain() {
        while (PGresult* res = PQgetResult(m_conn.get()))
            PQclear(res);
    }

    PgEngine& m_engine;
    std::shared_ptr<pg_conn> m_conn;
    QString m_table;
    QByteArray m_sql;
    int m_columns = 0;
    bool m_started = false;
    int m_inRow = 0; // fields added to the row being written
    QByteArray m_buffer;
    bool m_finished = false;
};

} // namespace

std::unique_ptr<DbBulkLoad> PgEngine::bulkLoad(const QString& table, const QStringList& columns) {
    return std::make_unique<PgBulkLoad>(*this, table, columns);
}
