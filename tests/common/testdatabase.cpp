#include "common/testdatabase.h"
#include "core/db/database.h"

#include <QCoreApplication>
#include <QFile>
#include <QStringList>
#include <QUrl>

#include <libpq-fe.h>

#include <mutex>

using namespace Qt::StringLiterals;

namespace {
// The superuser the harness's server is initialised with (trusted on its socket).
constexpr char kSuperuser[] = "tk";

QString socketFolder() {
    const QString dir = qEnvironmentVariable("TK_TEST_PGHOST");
    if (dir.isEmpty())
        qFatal("TK_TEST_ENGINE=postgresql without TK_TEST_PGHOST: the PostgreSQL runs get the "
               "server's socket folder from ctest (the pg.server.start fixture)");
    return dir;
}

// The maintenance connection of the process: creates its databases and drops them when the
// process exits (best effort; removing the server at the end of the run cleans up anyway).
class CTestServer {
public:
    ~CTestServer() {
        if (m_conn && PQstatus(m_conn) == CONNECTION_OK) {
            // FORCE: a test may leave a connection open (a failed check skips its clean-up).
            for (const QString& name : std::as_const(m_created))
                PQclear(PQexec(m_conn, dropSql(name).constData()));
        }
        PQfinish(m_conn);
    }

    QString create() {
        std::lock_guard lock(m_mutex);
        connect();
        const QString name = u"tk_%1_%2"_s.arg(QCoreApplication::applicationPid()).arg(++m_counter);
        const QByteArray create = "CREATE DATABASE \"" + name.toUtf8() + '"';
        QByteArray state;
        QString error;
        if (!exec(create, &state, &error) && state == "42P04") {
            // Left behind by a crashed process that had the same pid.
            exec(dropSql(name), nullptr, nullptr);
            exec(create, nullptr, &error);
        }
        if (!error.isEmpty())
            qFatal("cannot create the test database %s: %s", qPrintable(name), qPrintable(error));
        m_created << name;
        return TestServerUrl(name);
    }

private:
    static QByteArray dropSql(const QString& name) {
        return "DROP DATABASE IF EXISTS \"" + name.toUtf8() + "\" WITH (FORCE)";
    }

    void connect() {
        if (m_conn && PQstatus(m_conn) == CONNECTION_OK)
            return;
        PQfinish(m_conn);
        const QByteArray host = QFile::encodeName(socketFolder());
        const char* keys[] = {"host", "user", "dbname", nullptr};
        const char* values[] = {host.constData(), kSuperuser, "postgres", nullptr};
        m_conn = PQconnectdbParams(keys, values, 0);
        if (PQstatus(m_conn) != CONNECTION_OK)
            qFatal("cannot connect to the test server in %s: %s", host.constData(),
                   PQerrorMessage(m_conn));
    }

    // Runs one command; on failure, its SQLSTATE and message (an empty error means success).
    bool exec(const QByteArray& sql, QByteArray* state, QString* error) {
        PGresult* res = PQexec(m_conn, sql.constData());
        const bool ok = PQresultStatus(res) == PGRES_COMMAND_OK;
        if (!ok && state)
            *state = PQresultErrorField(res, PG_DIAG_SQLSTATE);
        if (error)
            *error = ok ? QString() : QString::fromUtf8(PQerrorMessage(m_conn)).trimmed();
        PQclear(res);
        return ok;
    }

    std::mutex m_mutex;
    PGconn* m_conn = nullptr;
    QStringList m_created;
    int m_counter = 0;
};
} // namespace

bool TestOnPostgres() {
    return qEnvironmentVariable("TK_TEST_ENGINE") == "postgresql"_L1;
}

QString TestDatabaseName(const QString& sqlitePath) {
    if (!TestOnPostgres())
        return sqlitePath;
    static CTestServer server;
    return server.create();
}

QString TestServerUrl(const QString& dbname) {
    // libpq's URI form; the socket folder goes in the host parameter, percent-encoded.
    return u"postgresql://%1@/%2?host=%3"_s.arg(
        QLatin1StringView(kSuperuser), QString::fromLatin1(QUrl::toPercentEncoding(dbname)),
        QString::fromLatin1(QUrl::toPercentEncoding(socketFolder())));
}

void RefuseDeletes(Database& db, const QString& table, const QString& condition,
                   const QString& message) {
    const QString name = u"tk_refuse_"_s + table;
    if (TestOnPostgres()) {
        db.execute(u"CREATE FUNCTION %1() RETURNS trigger LANGUAGE plpgsql AS 'BEGIN IF %2 THEN "
                   "RAISE EXCEPTION ''%3''; END IF; RETURN old; END'"_s.arg(name, condition,
                                                                          message));
        db.execute(u"CREATE TRIGGER %1 BEFORE DELETE ON %2 FOR EACH ROW EXECUTE FUNCTION %1()"_s
                       .arg(name, table));
    } else {
        db.execute(u"CREATE TRIGGER %1 BEFORE DELETE ON %2 WHEN %3 BEGIN SELECT RAISE(ABORT, "
                   "'%4'); END"_s.arg(name, table, condition, message));
    }
}

void AllowDeletes(Database& db, const QString& table) {
    const QString name = u"tk_refuse_"_s + table;
    if (TestOnPostgres()) {
        db.execute(u"DROP TRIGGER %1 ON %2"_s.arg(name, table));
        db.execute(u"DROP FUNCTION %1()"_s.arg(name));
    } else {
        db.execute(u"DROP TRIGGER %1"_s.arg(name));
    }
}
