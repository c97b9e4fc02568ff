// Several workstations on one database: the operation locks on two connections, and the
// program's own processes working at once (on a server; a file has one process at a time).
#include "common/billingfixture.h"
#include "common/cliprocess.h"
#include "common/radiusdetail.h"
#include "common/testdatabase.h"
#include "common/testfolders.h"
#include "core/db/database.h"
#include "core/db/dbexception.h"
#include "core/db/operationlock.h"
#include "core/db/schema.h"

#include <QProcess>
#include <QtTest>
#include <csignal>
#include <optional>

using F = CBillingFixture;
using Kind = OperationKind;
const char* const kOneProcess = "A database file is opened by one process at a time.";

class TestOperationLock : public QObject {
    Q_OBJECT

    CTestFolders m_folders;
    QString m_db;

    // tollkeeper-cli on the database, running beside the test; stderr read through err().
    std::unique_ptr<QProcess> start(const QStringList& args, const QStringList& env = {}) {
        auto p = std::make_unique<QProcess>();
        QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
        for (const QString& v : env)
            e.insert(v.section('=', 0, 0), v.section('=', 1));
        p->setProcessEnvironment(e);
        p->setWorkingDirectory(m_folders.path());
        p->setStandardInputFile(QProcess::nullDevice());
        p->setReadChannel(QProcess::StandardError);
        p->start(CliBinary(), QStringList{"--db", m_db, "--verbose"} + args);
        return p;
    }
    // What the process has said on stderr once it said `text` (or ended).
    static QString err(QProcess& p, const QString& text) {
        QString said;
        while (!said.contains(text) && (p.waitForReadyRead(60000) || p.bytesAvailable()))
            said += QString::fromLocal8Bit(p.readAllStandardError());
        return said;
    }
    qint64 count(const QString& sql) {
        Database db;
        db.open(m_db, Database::OpenMode::Shared);
        return db.scalar(sql).toLongLong();
    }

private slots:
    void initTestCase() {
        QVERIFY2(CliMissing().isEmpty(), qPrintable(CliMissing()));
        m_db = TestDatabaseName(m_folders.filePath("ops.db"));
        CreateNewDatabase(m_db);
        Database db;
        db.open(m_db);
        F fx(db);
        const qint32 plan = fx.addPlan("Monthly", QDate(2024, 4, 1), QDate(2024, 5, 1));
        fx.attach(plan, fx.addCharge(F::fixed("Fee", "10")));
        const qint32 ip = fx.addInvoicePlan("Plain");
        fx.addCustomer("ann", plan, ip);
        fx.addCustomer("bob", plan, ip);
    }

    void lockWaitsThenRefusesOrIsGranted() {
        Database a, b;
        a.open(m_db, Database::OpenMode::Shared);
        std::optional<OperationLock> held(std::in_place, a, Kind::InvoiceRun);
        if (!TestOnPostgres()) { // the one process holding the file is granted every lock
            QVERIFY(!OperationLock(a, Kind::InvoiceRun, [] { return false; }).waited());
            return;
        }
        b.open(m_db, Database::OpenMode::Shared);
        int asked = 0;
        try {
            OperationLock second(b, Kind::InvoiceRun, [&] { return ++asked < 3; });
            QFAIL("granted while another connection holds it");
        } catch (const DbException& e) {
            QVERIFY2(e.message().startsWith("Another workstation is running invoice run on this "
                                            "database"),
                     qPrintable(e.message()));
        }
        QCOMPARE(asked, 3);
        QVERIFY_THROWS_EXCEPTION(DbException, OperationLock(b, Kind::InvoiceRun, {}, 0));
        QVERIFY(!OperationLock(b, Kind::Import).waited()); // the other kinds stay free
        QVERIFY(OperationLock(b, Kind::InvoiceRun, [&] { return held.reset(), true; }).waited());
        try { // released when an exception leaves its scope
            OperationLock purge(b, Kind::Purge);
            throw DbException("failed");
        } catch (const DbException&) {
        }
        QVERIFY(!OperationLock(a, Kind::InvoiceRun).waited());
        QVERIFY(!OperationLock(a, Kind::Purge).waited());
    }

    void concurrentImportsStoreEachSessionOnce() {
        if (!TestOnPostgres())
            QSKIP(kOneProcess);
        QByteArray log;
        for (int i = 0; i < 40; ++i) {
            RadiusDetailSession s;
            s.user = i % 2 ? "ann" : "bob";
            s.written = QDateTime(QDate(2024, 4, 2), QTime(8, 0)).addSecs(600 * i);
            s.sessionId = QString::number(0x10000 + i, 16);
            log += RadiusDetailRecord(s);
        }
        const QString file = m_folders.filePath("detail"), marker = m_folders.filePath("mid");
        QVERIFY(WriteFileBytes(file, log));
        const QStringList import{"import", "--system", "radius", "--server", "nas1", file};
        // The first is held half-way, its sessions not yet committed, while the second starts.
        auto first = start(import, {"TK_FAULT_POINT=import-record:20", "TK_FAULT_ACTION=pause:2000",
                                    "TK_FAULT_MARKER=" + marker});
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(marker), 60000);
        ::kill(pid_t(first->processId()), SIGSTOP);
        auto second = start(import);
        const QString waiting = "Waiting for another workstation's import to finish...";
        QVERIFY(err(*second, waiting).contains(waiting));
        ::kill(pid_t(first->processId()), SIGCONT);
        for (QProcess* p : {first.get(), second.get()}) {
            QVERIFY(p->waitForFinished(120000));
            QVERIFY2(p->exitCode() == 0, qPrintable(p->readAllStandardError()));
        }
        QCOMPARE(count("SELECT COUNT(*) FROM Events"), 40);
        QCOMPARE(count("SELECT COUNT(*) FROM Servers"), 1);
    }

    void secondRunWaitsThenRefusesOrRuns() {
        if (!TestOnPostgres())
            QSKIP(kOneProcess);
        Database holder;
        holder.open(m_db, Database::OpenMode::Shared);
        std::optional<OperationLock> held(std::in_place, holder, Kind::InvoiceRun);
        const QStringList bill{"bill", "--customer", "ann", "--date", "2024-05-01", "--keep"};
        const QString waiting = "Waiting for another workstation's invoice run to finish...";
        auto refused = start(bill);
        QVERIFY(err(*refused, waiting).contains(waiting));
        ::kill(pid_t(refused->processId()), SIGINT); // Ctrl+C ends the wait: refused
        QVERIFY(err(*refused, "Interrupted")
                    .contains("Another workstation is running invoice "
                              "run on this database"));
        QVERIFY(refused->waitForFinished(60000) && refused->exitCode() != 0);
        auto run = start(bill);
        QVERIFY(err(*run, waiting).contains(waiting));
        QCOMPARE(count("SELECT COUNT(*) FROM Invoices"), 0);
        held.reset(); // the first run ends: the second goes on
        QVERIFY(run->waitForFinished(60000));
        QCOMPARE(run->exitCode(), 0);
        QCOMPARE(count("SELECT COUNT(*) FROM Invoices"), 1);
    }

    void paymentWhileARunBillsAnotherCustomer() {
        if (!TestOnPostgres())
            QSKIP(kOneProcess);
        const CliResult bob =
            RunCliOn(m_folders.path(), m_db,
                     {"bill", "--customer", "bob", "--date", "2024-05-01", "--keep"});
        QVERIFY2(bob.code == 0, qPrintable(bob.err));
        const QString marker = m_folders.filePath("at-keep");
        auto run = start(
            {"bill", "--customer", "ann", "--date", "2024-05-01", "--keep", "--again"},
            {"TK_FAULT_POINT=run-keep", "TK_FAULT_ACTION=pause:2000", "TK_FAULT_MARKER=" + marker});
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(marker), 60000);
        ::kill(pid_t(run->processId()), SIGSTOP); // held with its invoice written, not kept
        const CliResult paid = RunCliOn(m_folders.path(), m_db, {"payment", "add", "bob", "10"});
        ::kill(pid_t(run->processId()), SIGCONT);
        QVERIFY2(paid.code == 0, qPrintable(paid.err));
        QVERIFY(run->waitForFinished(60000));
        QVERIFY2(run->exitCode() == 0, qPrintable(run->readAllStandardError()));
        QCOMPARE(count("SELECT COUNT(*) FROM Invoices"), 3);
        QCOMPARE(count("SELECT COUNT(*) FROM Invoices WHERE TotalPaid > 0"), 1);
    }
};

QTEST_GUILESS_MAIN(TestOperationLock)
#include "tst_operationlock.moc"
