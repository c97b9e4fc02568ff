#include "common/cliprocess.h"
#include "core/db/database.h"
#include "core/db/dbexception.h"
#include "core/db/schema.h"
#include "common/testfolders.h"

#include <QtTest>
#include <memory>

// The built tollkeeper-cli run as a separate process, with its own settings and data folders:
// exit statuses, where messages and results go, and what the commands do to the files.
class TestCli : public QObject {
    Q_OBJECT

    using Result = CliResult;

    std::unique_ptr<CTestFolders> m_folders;

    Result run(const QStringList& args) { return RunCli(m_folders->path(), args); }
    QString dataFolder() const { return m_folders->dataHome() + "/Corvane/Tollkeeper"; }
    QString newDatabase(const QString& name) {
        const QString path = m_folders->filePath(name);
        CreateNewDatabase(path);
        return path;
    }

private slots:
    void initTestCase() { QVERIFY2(CliMissing().isEmpty(), qPrintable(CliMissing())); }
    void init() {
        m_folders = std::make_unique<CTestFolders>();
        QVERIFY(m_folders->isValid());
    }
    void cleanup() { m_folders.reset(); }

    void helpAndUsageErrors() {
        Result r = run({"--help"});
        QCOMPARE(r.code, 0);
        QVERIFY(r.out.startsWith("Usage: tollkeeper-cli"));
        for (const char* c :
             {"init", "schema", "compact", "repair", "backup FILE", "log [--clear]"})
            QVERIFY2(r.out.contains(QString("\n  ") + c), c);

        r = run({});
        QCOMPARE(r.code, 2);
        QVERIFY(r.out.isEmpty());

        r = run({"frobnicate"});
        QCOMPARE(r.code, 2);
        QVERIFY(r.err.contains("Unknown command 'frobnicate'"));
        QVERIFY(r.out.isEmpty());

        QCOMPARE(run({"--yes", "--no", "schema"}).code, 2);
        QCOMPARE(run({"--bogus", "schema"}).code, 2);
        QCOMPARE(run({"--db"}).code, 2);
        QCOMPARE(run({"backup"}).code, 2);
    }

    void initCreatesOnceThenRefuses() {
        const QString path = m_folders->filePath("new.db");
        Result r = run({"--db", path, "init"});
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out.trimmed(), path);
        {
            Database db;
            db.open(path);
            QVERIFY(db.tableExists("Users"));
            QCOMPARE(db.scalar("SELECT [Version] FROM DBInfo").toInt(), int(kCurrentDbVersion));
            db.execute("INSERT INTO Users ([Username]) VALUES ('keep')");
        }
        r = run({"--db", path, "init"});
        QCOMPARE(r.code, 1);
        QVERIFY(r.out.isEmpty());
        QVERIFY(r.err.contains(path));
        Database db;
        db.open(path);
        QCOMPARE(db.scalar("SELECT [Username] FROM Users").toString(), QString("keep"));
    }

    void initWithoutDbUsesDataFolder() {
        const Result r = run({"init"});
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out.trimmed(), dataFolder() + "/tollk.db");
        QVERIFY(QFile::exists(dataFolder() + "/tollk.db"));
        // The remembered database of the desktop program is left alone.
        QVERIFY(!QFile::exists(m_folders->filePath("new.db")));
    }

    void schemaPrintsLayout() {
        Result r = run({"schema"});
        QCOMPARE(r.code, 0);
        const QStringList lines = r.out.split('\n');
        QVERIFY(lines.contains("Users"));
        QVERIFY(lines.contains("DBInfo"));
        QVERIFY(r.out.contains(QRegularExpression("\\n  Username +Text\\(40\\)")));
        QVERIFY(r.out.contains("  index PrimaryKey (Id) primary unique"));
        QVERIFY(r.err.isEmpty());

        const QString path = newDatabase("s.db");
        r = run({"--db", path, "schema", "--file"});
        QCOMPARE(r.code, 0);
        QVERIFY(r.out.split('\n').contains("Invoices"));
        QCOMPARE(run({"schema", "extra"}).code, 2);
    }

    void questionsAnsweredOrRefused() {
        const QString path = newDatabase("q.db");
        Result r = run({"--db", path, "compact"});
        QCOMPARE(r.code, 3);
        QVERIFY(r.err.contains("Do you wish to compact the database?"));
        QVERIFY(r.err.contains("--yes or --no"));

        r = run({"--db", path, "--no", "compact"});
        QCOMPARE(r.code, 3);

        r = run({"--db", path, "--yes", "--verbose", "compact"});
        QCOMPARE(r.code, 0);
        QVERIFY(r.err.contains("Compacting database..."));
        QVERIFY(r.err.contains("Done"));

        r = run({"--db", path, "--yes", "repair"});
        QCOMPARE(r.code, 0);
        QVERIFY(!r.err.contains("Repairing database...")); // status only with --verbose
        Database db;
        db.open(path);
        QCOMPARE(db.scalar("SELECT COUNT(*) FROM DBInfo").toInt(), 1);
    }

    void compactKeepsRows() {
        const QString path = newDatabase("c.db");
        {
            Database db;
            db.open(path);
            db.execute("INSERT INTO Users ([Username]) VALUES ('alice')");
        }
        QCOMPARE(run({"--db", path, "--yes", "compact"}).code, 0);
        Database db;
        db.open(path);
        QCOMPARE(db.scalar("SELECT [Username] FROM Users").toString(), QString("alice"));
    }

    void backupCopies() {
        const QString path = newDatabase("live.db");
        {
            Database db;
            db.open(path);
            db.execute("INSERT INTO Users ([Username]) VALUES ('bob')");
        }
        const QString target = m_folders->filePath("copy.db");
        Result r = run({"--db", path, "backup", target});
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out.trimmed(), target);
        {
            Database copy;
            copy.open(target);
            QCOMPARE(copy.scalar("SELECT [Username] FROM Users").toString(), QString("bob"));
        }
        r = run({"--db", path, "backup", m_folders->filePath("missing/dir/copy.db")});
        QCOMPARE(r.code, 1);
        QVERIFY(r.err.contains("Database backup failed."));
        r = run({"--db", path, "backup", path});
        QCOMPARE(r.code, 1);
    }

    void missingOrHeldDatabaseFails() {
        const QString missing = m_folders->filePath("nothere.db");
        Result r = run({"--db", missing, "--yes", "compact"});
        QCOMPARE(r.code, 1);
        QVERIFY(r.err.contains(QString("Error opening Tollkeeper database %1.").arg(missing)));
        QVERIFY(!QFile::exists(missing));

        const QString path = newDatabase("held.db");
        Database holder;
        holder.open(path);
        r = run({"--db", path, "backup", m_folders->filePath("b.db")});
        QCOMPARE(r.code, 1);
        QVERIFY(r.err.contains(QString("Error opening Tollkeeper database %1.").arg(path)));
        QVERIFY(!QFile::exists(m_folders->filePath("b.db")));
    }

    void logPrintsAndClears() {
        QDir().mkpath(dataFolder());
        const QString logPath = dataFolder() + "/Tollk.log";
        {
            QFile f(logPath);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("1/2/2024 10:00:00\tbob\tERROR\tNo billing plan\r\n"
                    "1/2/2024 10:00:01\tcaf\xe9\tSUCCESS\tInvoice created\r\n");
        }
        Result r = run({"log"});
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out, QString("1/2/2024 10:00:00\tbob\tERROR\tNo billing plan\n"
                                "1/2/2024 10:00:01\tcaf\u00e9\tSUCCESS\tInvoice created\n"));

        r = run({"log", "--clear"});
        QCOMPARE(r.code, 3);
        QVERIFY(r.err.contains("Clear the logfile?"));
        QVERIFY(QFileInfo(logPath).size() > 0);

        QCOMPARE(run({"--yes", "log", "--clear"}).code, 0);
        QCOMPARE(QFileInfo(logPath).size(), 0);
        r = run({"log"});
        QCOMPARE(r.code, 0);
        QVERIFY(r.out.isEmpty());
        QCOMPARE(run({"log", "--bogus"}).code, 2);
    }
};

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
