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

using namespace Qt::StringLiterals;
using F = CBillingFixture;
using Kind = OperationKind;

class TestOperationLock : public QObject {
    Q_OBJECT

    CTestFolders m_folders;
    QString m_db;

    // tollkeeper-cli on the database, running beside the test. With a fault point it is
    // stopped (SIGSTOP) where the point is reached, in the middle of its work.
    std::unique_ptr<QProcess> start(const QStringList& args, const QString& point = {}) {
        auto p = std::make_unique<QProcess>();
        const QString marker = m_folders.filePath(point);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        if (!point.isEmpty()) {
            env.insert("TK_FAULT_POINT", point);
            env.insert("TK_FAULT_ACTION", "pause:2000");
            env.insert("TK_FAULT_MARKER", marker);
        }
        p->setProcessEnvironment(env);
        p->setWorkingDirectory(m_folders.path());
        p->setStandardInputFile(QProcess::nullDevice());
        p->setReadChannel(QProcess::StandardError);
        p->start(CliBinary(), QStringList{"--db", m_db, "--verbose"} + args);
        while (!point.isEmpty() && !QFile::exists(marker) && p->state() != QProcess::NotRunning)
            QTest::qWait(20);
        // Never with a pid of 0: that would stop the whole process group, the test runner
        // with it.
        if (!point.isEmpty() && p->processId() > 0 && p->state() == QProcess::Running)
            ::kill(pid_t(p->processId()), SIGSTOP);
        return p;
    }
    // Reads stderr until the process says `text` (true) or ends.
    static bool says(QProcess& p, const QString& text) {
        QString said;
        while (!said.contains(text) && (p.waitForReadyRead(60000) || p.bytesAvailable()))
            said += QString::fromLocal8Bit(p.readAllStandardError());
        return said.contains(text);
    }
    static bool succeeds(QProcess& p) {
        return p.waitForFinished(120000) && p.exitStatus() == QProcess::NormalExit &&
               p.exitCode() == 0;
    }
    qint64 count(const QString& sql) {
        Database db;
        db.open(m_db, Database::OpenMode::Shared);
        return db.scalar(sql).toLongLong();
    }

private slots:
    void init() {
        if (!TestOnPostgres() &&
            QTest::currentTestFunction() != "lockWaitsThenRefusesOrIsGranted"_L1)
            QSKIP("A database file is opened by one process at a time.");
    }
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
        QVERIFY_THROWS_EXCEPTION(DbException,
                                 OperationLock(b, Kind::InvoiceRun, [&] { return ++asked < 3; }));
        QCOMPARE(asked, 3);
        QVERIFY_THROWS_EXCEPTION(DbException, OperationLock(b, Kind::InvoiceRun, {}, 0));
        QVERIFY(!OperationLock(b, Kind::Import).waited()); // the other kinds stay free
        QVERIFY(OperationLock(b, Kind::InvoiceRun, [&] { return held.reset(), true; }).waited());
        QVERIFY(!OperationLock(a, Kind::InvoiceRun).waited()); // given back by its destructor
    }

    void concurrentImportsStoreEachSessionOnce() {
        QByteArray log;
        for (int i = 0; i < 40; ++i) {
            RadiusDetailSession s;
            s.written = QDateTime(QDate(2024, 4, 2), QTime(8, 0)).addSecs(600 * i);
            s.sessionId = QString::number(0x10000 + i, 16);
            log += RadiusDetailRecord(s);
        }
        const QString file = m_folders.filePath("detail");
        QVERIFY(WriteFileBytes(file, log));
        const QStringList import{"import", "--system", "radius", "--server", "nas1", file};
        // The first is held half-way, its sessions not committed, while the second starts.
        auto first = start(import, "import-record:20");
        auto second = start(import);
        QVERIFY(says(*second, "Waiting for another workstation's import to finish..."));
        if (first->processId() > 0)
            ::kill(pid_t(first->processId()), SIGCONT);
        QVERIFY(succeeds(*first) && succeeds(*second));
        QCOMPARE(count("SELECT COUNT(*) FROM Events"), 40);
        QCOMPARE(count("SELECT COUNT(*) FROM Servers"), 1);
    }

    void twoRunsAndAPaymentAtOnce() {
        const QStringList bill{"bill", "--date", "2024-05-01", "--keep", "--customer"};
        QVERIFY(succeeds(*start(bill + QStringList{"bob"})));
        auto first = start(bill + QStringList{"ann"}, "run-keep"); // its invoice not yet kept
        auto second = start(bill + QStringList{"bob", "--again"});
        QVERIFY(says(*second, "Waiting for another workstation's invoice run to finish..."));
        // Another customer's payment meanwhile; then the first run ends and the second goes on.
        QVERIFY(succeeds(*start({"payment", "add", "bob", "10"})));
        QCOMPARE(count("SELECT COUNT(*) FROM Invoices"), 1);
        if (first->processId() > 0)
            ::kill(pid_t(first->processId()), SIGCONT);
        QVERIFY(succeeds(*first) && succeeds(*second));
        QCOMPARE(count("SELECT COUNT(*) FROM Invoices"), 3);
        QCOMPARE(count("SELECT COUNT(*) FROM Invoices WHERE TotalPaid > 0"), 1);
    }
};

QTEST_GUILESS_MAIN(TestOperationLock)
#include "tst_operationlock.moc"
