// tollkeeper-cli import run as a separate process on a real database file: the summary line,
// the server register, and distinct exit statuses for each result.
#include "common/cliprocess.h"
#include "core/db/database.h"
#include "core/db/schema.h"
#include "common/radiusdetail.h"
#include "common/testfolders.h"

#include <QtTest>
#include <memory>

class TestCliImport : public QObject {
    Q_OBJECT

    using Result = CliResult;

    std::unique_ptr<CTestFolders> m_folders;
    QString m_db;

    Result run(const QStringList& args) { return RunCliOn(m_folders->path(), m_db, args, 120000); }

    static QString lastLine(const QString& text) {
        return text.trimmed().split(QLatin1Char('\n')).last();
    }

    QString detailFile(int sessions, int offset = 0) {
        QByteArray bytes;
        for (int i = 0; i < sessions; ++i) {
            RadiusDetailSession s;
            s.user = QStringLiteral("Puser%1").arg(i + offset);
            s.written = QDateTime(QDate(2023, 6, 1), QTime(0, 0)).addSecs((i + offset) * 90);
            s.sessionId = QString::number(i + offset);
            s.framedProtocol.clear(); // written after the user name, as many servers do
            s.extra = {{QStringLiteral("Framed-Protocol"), QStringLiteral("PPP")}};
            bytes += RadiusDetailRecord(s);
        }
        const QString path = m_folders->filePath(QStringLiteral("detail-%1").arg(offset));
        if (!WriteFileBytes(path, bytes))
            qFatal("cannot write");
        return path;
    }

    QVariant scalar(const QString& sql) {
        Database db;
        db.open(m_db);
        return db.scalar(sql);
    }

private slots:
    void initTestCase() { QVERIFY2(CliMissing().isEmpty(), qPrintable(CliMissing())); }
    void init() {
        m_folders = std::make_unique<CTestFolders>();
        QVERIFY(m_folders->isValid());
        m_db = m_folders->filePath(QStringLiteral("tollk.db"));
        CreateNewDatabase(m_db);
    }
    void cleanup() { m_folders.reset(); }

    void importsAndReportsLastLine() {
        const QString file = detailFile(3);
        Result r =
            run({"import", "--system", "radius", "--server", "NAS-1", "--strip-prefixes", file});
        QCOMPARE(r.code, 0);
        QCOMPARE(lastLine(r.out), QStringLiteral("Found 3 new logons out of 3 events"));
        QCOMPARE(scalar("SELECT COUNT(*) FROM Servers").toInt(), 1);
        QCOMPARE(scalar("SELECT MIN(Username) FROM Events").toString(), QStringLiteral("user0"));

        // The same server in another letter case; nothing new.
        r = run({"import", "--system=RADIUS", "--server=nas-1", "--strip-prefixes", file});
        QCOMPARE(r.code, 0);
        QCOMPARE(lastLine(r.out), QStringLiteral("Found 0 new logons out of 3 events"));
        QCOMPARE(scalar("SELECT COUNT(*) FROM Servers").toInt(), 1);

        // Another server keeps its own sessions.
        r = run({"import", "--system", "radius", "--server", "nas-2", "--strip-prefixes", file});
        QCOMPARE(lastLine(r.out), QStringLiteral("Found 3 new logons out of 3 events"));
        QCOMPARE(scalar("SELECT COUNT(DISTINCT ServerId) FROM Events").toInt(), 2);
    }

    void exitStatusesAreDistinct() {
        const Result ok = run({"import", "--system", "unet", "--server", "u", detailFile(1)});
        QCOMPARE(ok.code, 0);

        const Result missing = run({"import", "--system", "radius", "--server", "s",
                                    m_folders->filePath(QStringLiteral("missing.log"))});
        QCOMPARE(missing.code, 4);
        QVERIFY(!missing.err.isEmpty());
        QCOMPARE(lastLine(missing.out), QStringLiteral("Found 0 new logons out of 0 events"));

        // A failure while storing (the Events table is gone) is 13: status 1.
        {
            Database db;
            db.open(m_db);
            db.execute(QStringLiteral("DROP TABLE Events"));
        }
        const Result failed = run({"import", "--system", "radius", "--server", "s", detailFile(2)});
        QCOMPARE(failed.code, 1);
        QVERIFY(failed.err.contains(QStringLiteral("Error importing event log.")));

        const QList<int> codes = {ok.code, missing.code, failed.code};
        QCOMPARE(QSet<int>(codes.begin(), codes.end()).size(), 3);
    }

    void usageErrors() {
        QCOMPARE(run({"import"}).code, 2);
        QCOMPARE(run({"import", "--system", "ras", "--server", "s", "f"}).code, 2);
        QCOMPARE(run({"import", "--system", "radius", "f"}).code, 2);
        QCOMPARE(run({"import", "--system", "radius", "--server", "s"}).code, 2);
        QCOMPARE(run({"import", "--system", "radius", "--server", "s", "a", "b"}).code, 2);
    }
};

QTEST_GUILESS_MAIN(TestCliImport)
#include "tst_cliimport.moc"
