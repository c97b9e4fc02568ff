// Files replaced by the command line under a full disk, with wrong targets, while another
// process wants the database, and after damage: the previous file always survives.
#include "common/cliprocess.h"
#include "common/limitedcli.h"
#include "common/testfolders.h"

#include "core/db/database.h"
#include "core/db/dbexception.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>
#include <QThread>

#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {

QVariant scalar(const QString& path, const QString& sql) {
    Database db;
    db.open(path, Database::OpenMode::Shared);
    return db.scalar(sql);
}

} // namespace

class TestFileFaults : public QObject {
    Q_OBJECT

    std::unique_ptr<CTestFolders> m_folders;
    QString m_month; // a sample database after its monthly job: sessions and invoices
    int m_invoice = 0;
    int m_copies = 0;

    QString dir() const { return m_folders->path(); }
    // A private copy of the month's database.
    QString freshCopy() {
        const QString path = m_folders->filePath(u"copy%1.db"_s.arg(++m_copies));
        QFile::remove(path);
        if (!QFile::copy(m_month, path))
            qFatal("copy failed");
        return path;
    }
    static bool sound(const QString& path) {
        return scalar(path, u"PRAGMA integrity_check"_s).toString() == u"ok"_s;
    }
    // No new file of an unfinished write is left in the folder.
    bool noLeftovers() const {
        return QDir(dir()).entryList({u".*.??????"_s}, QDir::Files | QDir::Hidden).isEmpty();
    }

private slots:
    void initTestCase() {
        QVERIFY2(CliMissing().isEmpty(), qPrintable(CliMissing()));
        m_folders = std::make_unique<CTestFolders>();
        qputenv("TMPDIR", QFile::encodeName(dir()));
        const CliResult r = RunCli(dir(), {"month", "--sample", "--out", "job"}, 180000);
        QVERIFY2(r.code == 0, qPrintable(r.err));
        m_month = m_folders->filePath(u"job/tollk.sample.db"_s);
        m_invoice = scalar(m_month, "SELECT min(InvoiceNum) FROM Invoices").toInt();
        QVERIFY(m_invoice > 0);
    }

    // A write that fails halfway (a full disk) leaves the previous file as it was, fails the
    // command and says so.
    void fullDiskKeepsTheOldFile_data() {
        QTest::addColumn<QString>("command");
        QTest::addColumn<qint64>("limit");
        QTest::addColumn<QString>("said");
        QTest::newRow("compact") << "compact" << qint64(64 * 1024) << "Failed to compact";
        QTest::newRow("backup") << "backup" << qint64(64 * 1024) << "Database backup failed.";
        QTest::newRow("invoice show -o") << "show" << qint64(1000) << "Unable to write";
    }
    void fullDiskKeepsTheOldFile() {
        QFETCH(QString, command);
        QFETCH(qint64, limit);
        QFETCH(QString, said);
        const QString db = freshCopy();
        QVERIFY(QFileInfo(db).size() > limit);
        const QString out = m_folders->filePath("previous.out");
        QVERIFY(WriteFileBytes(out, "the previous file"));
        QStringList args = {"--db", db, "--yes"};
        QString target = out;
        if (command == "compact") {
            args << "compact";
            target = db;
        } else if (command == "backup") {
            args << "backup" << out;
        } else {
            args << "invoice"
                 << "show" << QString::number(m_invoice) << "-o" << out;
        }
        const QByteArray before = FileBytes(target);
        const CliResult r = RunCliLimited(dir(), args, limit);
        QVERIFY2(r.code == 1, qPrintable(QString::number(r.code) + r.err));
        QVERIFY2(r.err.contains(said), qPrintable(r.err));
        QVERIFY(FileBytes(target) == before);
        QVERIFY(sound(db));
        QVERIFY(noLeftovers());
        // Without the limit the same command works.
        QCOMPARE(RunCli(dir(), args).code, 0);
        QVERIFY(sound(db));
    }

    // A page of the monthly job that cannot be written is an error of that file: counted in
    // the summary, named on stderr, and the job fails; the other pages are still written.
    void monthCountsAFailedPage() {
        const QStringList pdfs =
            QDir(m_folders->filePath("job/invoices")).entryList({"*.pdf"}, QDir::Files, QDir::Name);
        QVERIFY(!pdfs.isEmpty());
        const QString blocked = m_folders->filePath("job2/invoices/" + pdfs.first());
        QVERIFY(QDir().mkpath(blocked)); // a folder where the page should go
        const CliResult r = RunCli(dir(), {"month", "--sample", "--out", "job2"}, 180000);
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains(QDir::toNativeSeparators(blocked)), qPrintable(r.err));
        QVERIFY2(
            r.out.contains(QRegularExpression("^Errors: +1$", QRegularExpression::MultilineOption)),
            qPrintable(r.out));
        const QString html = QString(blocked).replace(".pdf", ".html");
        QVERIFY(QFileInfo(html).size() > 0);
    }

    // The open database and its journal are never targets; a device, a FIFO and standard
    // output are written in place, not replaced by a regular file.
    void outputTargets() {
        const QString db = freshCopy();
        const QByteArray before = FileBytes(db);
        const QString n = QString::number(m_invoice);
        for (const QString& target : {db, db + "-journal", db + ".lock"}) {
            for (const QStringList& args : {QStringList{"invoice", "show", n, "-o", target},
                                            QStringList{"invoice", "print", n, "--pdf", target},
                                            QStringList{"backup", target}}) {
                const CliResult r = RunCliOn(dir(), db, args);
                QVERIFY2(r.code == 1, qPrintable(args.join(' ') + r.err));
                QVERIFY2(r.err.contains("belongs to the open database"), qPrintable(r.err));
            }
            QVERIFY(target == db || !QFile::exists(target));
        }
        QVERIFY(FileBytes(db) == before);

        CliResult r = RunCliOn(dir(), db, {"invoice", "show", n, "--html", "-o", "-"});
        QCOMPARE(r.code, 0);
        QVERIFY(r.out.contains("<html", Qt::CaseInsensitive));
        QCOMPARE(RunCliOn(dir(), db, {"backup", "/dev/null"}).code, 0);
        QCOMPARE(RunCliOn(dir(), db, {"invoice", "show", n, "-o", "/dev/null"}).code, 0);
        struct stat st {};
        QVERIFY(::stat("/dev/null", &st) == 0 && S_ISCHR(st.st_mode));

        const QString fifo = m_folders->filePath("pipe");
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        QByteArray received;
        QThread* reader = QThread::create([&] {
            QFile f(fifo);
            if (f.open(QIODevice::ReadOnly))
                received = f.readAll();
        });
        reader->start();
        r = RunCliOn(dir(), db, {"invoice", "show", n, "--text", "-o", fifo});
        QVERIFY(reader->wait(60000));
        delete reader;
        QCOMPARE(r.code, 0);
        QVERIFY(received.contains(n.toLatin1()));
        QVERIFY(::stat(QFile::encodeName(fifo).constData(), &st) == 0 && S_ISFIFO(st.st_mode));
    }

    // From the start of compact to its reopen no other process writes: an import in between
    // is refused, and afterwards the database holds what it held.
    void compactHoldsTheDatabase() {
        const QString db = freshCopy();
        const qint64 sessions = scalar(db, "SELECT count(*) FROM Events").toLongLong();
        const QString marker = m_folders->filePath("compact.marker");
        QProcess compact;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("TK_FAULT_POINT", "compact-copy-made");
        env.insert("TK_FAULT_ACTION", "pause:15000");
        env.insert("TK_FAULT_MARKER", marker);
        compact.setProcessEnvironment(env);
        compact.setWorkingDirectory(dir());
        compact.start(CliBinary(), {"--db", db, "--yes", "compact"});
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(marker), 60000);
        const CliResult r = RunCliOn(dir(), db,
                                     {"import", "--system", "radius", "--server", "radius1",
                                      m_folders->filePath("job/detail-202611")});
        QVERIFY(compact.waitForFinished(120000));
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains("in use by another program"), qPrintable(r.err));
        QCOMPARE(compact.exitCode(), 0);
        QVERIFY(sound(db));
        QCOMPARE(scalar(db, "SELECT count(*) FROM Events").toLongLong(), sessions);
        QVERIFY(!QFile::exists(db + ".lock"));
    }

    // Repair of a file whose session table is partly unreadable keeps every row it can
    // read, fails, names what it lost and keeps the damaged original beside the result.
    void repairKeepsTheDamagedOriginal() {
        const QString db = freshCopy();
        QList<qint64> leaves;
        int pageSize = 0;
        {
            Database d;
            d.open(db);
            pageSize = d.scalar("PRAGMA page_size").toInt();
            Statement st = d.prepare("SELECT pageno FROM dbstat WHERE name = 'Events' AND "
                                     "pagetype = 'leaf' ORDER BY pageno");
            while (st.next())
                leaves << st.value(0).toLongLong();
        }
        QVERIFY(leaves.size() > 6);
        {
            QFile f(db);
            QVERIFY(f.open(QIODevice::ReadWrite));
            for (int i = 0; i < 3; ++i) {
                f.seek((leaves.at(leaves.size() / 2 + i) - 1) * pageSize);
                f.write(QByteArray(pageSize, '\x5a'));
            }
        }
        const QByteArray damaged = FileBytes(db);
        const CliResult r = RunCliOn(dir(), db, {"--yes", "repair"});
        QCOMPARE(r.code, 1);
        const QString kept = db + ".damaged-" + QDate::currentDate().toString(u"yyyy-MM-dd"_s);
        QVERIFY2(r.err.contains("Events") && r.err.contains(kept), qPrintable(r.err));
        QVERIFY(FileBytes(kept) == damaged);
        QVERIFY(sound(db));
        QVERIFY(scalar(db, "SELECT count(*) FROM Events").toLongLong() > 0);
    }

    // A file that is not this program's database, or is a newer version's, is refused before
    // anything is written to it; a current one is not written by a command that only reads.
    void databasesRefusedUntouched() {
        const QString empty = m_folders->filePath("empty.db");
        QVERIFY(WriteFileBytes(empty, {}));
        const QString other = m_folders->filePath("other.db");
        {
            Database d;
            d.open(other, Database::OpenMode::Exclusive, true);
            d.execute("CREATE TABLE notes (body TEXT)");
        }
        const QString newer = freshCopy();
        {
            Database d;
            d.open(newer);
            d.execute("UPDATE DBInfo SET [Version] = ?", {65536 * 1 + 9999});
        }
        const QList<QPair<QString, QString>> refused = {
            {empty, "is empty"}, {other, "another program"}, {newer, "newer version"}};
        for (const auto& [path, why] : refused) {
            const QByteArray before = FileBytes(path);
            const CliResult r = RunCliOn(dir(), path, {"invoice", "show", "1", "-o", "-"});
            QCOMPARE(r.code, 1);
            QVERIFY2(r.err.count(why) == 1, qPrintable(r.err)); // said once
            QVERIFY(FileBytes(path) == before);
        }
        const QString current = freshCopy();
        const QByteArray before = FileBytes(current);
        QCOMPARE(RunCliOn(dir(), current, {"invoice", "show", QString::number(m_invoice)}).code, 0);
        QVERIFY(FileBytes(current) == before);
    }

    // --force replaces a sample database, but never one another process holds.
    void initForceRespectsAHold() {
        const QString db = freshCopy();
        const QByteArray before = FileBytes(db);
        {
            Database holder;
            holder.open(db);
            const CliResult r = RunCliOn(dir(), db, {"init", "--sample", "--force"});
            QCOMPARE(r.code, 1);
            QVERIFY2(r.err.contains("in use by another program"), qPrintable(r.err));
        }
        QVERIFY(FileBytes(db) == before);
        QCOMPARE(RunCliOn(dir(), db, {"init", "--sample", "--force"}).code, 0);
    }
};

QTEST_MAIN(TestFileFaults)
#include "tst_filefaults.moc"
