// Imports and invoice runs of the command line stopped at named points of their work: killed
// outright or sent SIGTERM, SIGHUP or SIGINT. Afterwards the database must be intact, hold no
// invoice without its copies and no half-made one, and a run started again must bill each
// customer exactly once. Also: the same month run twice, and an interrupted read of a file
// without record delimiters.
#include "common/cliprocess.h"
#include "common/testfolders.h"
#include "core/db/database.h"

#include <QtTest>

namespace {

const QString kDate = QStringLiteral("2026-12-01");

QString sampleDetail() {
    return QStringLiteral(TK_SOURCE_DIR "/data/sample/detail-202611");
}

// Each invoice of a database by customer: its plan and charge copies and its amounts, so that
// a half-written invoice differs from the whole one. Opening the file also rolls back what a
// killed process left unfinished.
struct Ledger {
    QString integrity;
    qint64 events = 0;
    QMultiMap<qint32, QString> invoices; // Users.Id -> "bp ip charges newCharges totalDue"
    QString totalDue;
};

Ledger readLedger(const QString& path) {
    Ledger l;
    Database db;
    db.open(path);
    l.integrity = db.scalar(QStringLiteral("PRAGMA integrity_check")).toString();
    l.events = db.scalar(QStringLiteral("SELECT COUNT(*) FROM Events")).toLongLong();
    l.totalDue = db.scalar(QStringLiteral("SELECT SUM(TotalDue) FROM Invoices")).toString();
    Statement st = db.prepare(QStringLiteral(
        "SELECT i.IdUser, (SELECT COUNT(*) FROM BillingPlans b WHERE b.IdInvoice = i.InvoiceNum), "
        "(SELECT COUNT(*) FROM InvoicePlans p WHERE p.IdInvoice = i.InvoiceNum), "
        "(SELECT COUNT(*) FROM Charges c WHERE c.IdInvoice = i.InvoiceNum), "
        "i.NewCharges, i.TotalDue FROM Invoices i"));
    while (st.next())
        l.invoices.insert(st.value(0).toInt(),
                          QStringLiteral("%1 %2 %3 %4 %5")
                              .arg(st.value(1).toInt())
                              .arg(st.value(2).toInt())
                              .arg(st.value(3).toInt())
                              .arg(st.value(4).toString(), st.value(5).toString()));
    db.close();
    return l;
}

// Runs the command line with a fault point armed; the marker file proves the point acted.
CliResult runAt(const QString& dir, const QString& point, const QString& action,
                const QStringList& args) {
    const QString marker = dir + QStringLiteral("/fault-marker");
    QFile::remove(marker);
    qputenv("TK_FAULT_POINT", point.toUtf8());
    qputenv("TK_FAULT_ACTION", action.toUtf8());
    qputenv("TK_FAULT_MARKER", marker.toUtf8());
    const CliResult r = RunCli(dir, args);
    qunsetenv("TK_FAULT_POINT");
    qunsetenv("TK_FAULT_ACTION");
    qunsetenv("TK_FAULT_MARKER");
    if (!QFile::exists(marker))
        qWarning("fault point %s was not reached", qPrintable(point));
    return r;
}

bool reached(const QString& dir) {
    return QFile::exists(dir + QStringLiteral("/fault-marker"));
}

QStringList monthArgs(const QString& db, const QString& out, const QStringList& more = {}) {
    return QStringList{QStringLiteral("--db"),   db,    QStringLiteral("month"),
                       QStringLiteral("--date"), kDate, QStringLiteral("--no-pdf"),
                       QStringLiteral("--out"),  out} +
           more;
}

// A stop by a signal the tool catches ends with an interruption and a failure status; one by
// SIGKILL ends the process where it stands.
void checkStopped(const CliResult& r, const QString& action) {
    if (action == QLatin1String("kill")) {
        QCOMPARE(r.code, -1);
        return;
    }
    QVERIFY2(r.code > 0, qPrintable(r.err));
    const QString name = action == QLatin1String("term")  ? QStringLiteral("SIGTERM")
                         : action == QLatin1String("hup") ? QStringLiteral("SIGHUP")
                                                          : QStringLiteral("SIGINT");
    QVERIFY2(r.err.contains(QStringLiteral("Interrupted by ") + name), qPrintable(r.err));
}

} // namespace

class TestRunFaults : public QObject {
    Q_OBJECT

    std::unique_ptr<CTestFolders> m_folders;
    QString m_base; // the sample month imported, not billed
    Ledger m_reference;

    QString copyOfBase(const QString& name) {
        const QString path = m_folders->filePath(name + QStringLiteral(".db"));
        QFile::remove(path);
        return QFile::copy(m_base, path) ? path : QString();
    }

private slots:
    void initTestCase() {
        QVERIFY2(CliMissing().isEmpty(), qPrintable(CliMissing()));
        m_folders = std::make_unique<CTestFolders>();
        const QString dir = m_folders->path();
        // The sample month killed just before its first run is kept: the import stands, no
        // invoice does.
        const CliResult r =
            runAt(dir, QStringLiteral("run-keep"), QStringLiteral("kill"),
                  {QStringLiteral("month"), QStringLiteral("--sample"), QStringLiteral("--no-pdf"),
                   QStringLiteral("--out"), dir + QStringLiteral("/sample")});
        QVERIFY(reached(dir));
        QCOMPARE(r.code, -1);
        m_base = dir + QStringLiteral("/sample/tollk.sample.db");
        const Ledger base = readLedger(m_base);
        QCOMPARE(base.integrity, QStringLiteral("ok"));
        QVERIFY(base.events > 0);
        QCOMPARE(base.invoices.size(), 0);

        const QString ref = copyOfBase(QStringLiteral("reference"));
        const CliResult full = RunCli(dir, monthArgs(ref, dir + QStringLiteral("/ref")));
        QVERIFY2(full.code == 0, qPrintable(full.err));
        m_reference = readLedger(ref);
        QVERIFY(m_reference.invoices.size() > 3);
    }

    void killedMonthBillsOnceWhenRunAgain_data() {
        QTest::addColumn<QString>("point");
        QTest::addColumn<QString>("action");
        QTest::newRow("invoice row") << "invoice-row:3"
                                     << "kill";
        QTest::newRow("charge copies") << "charge-copy:12"
                                       << "term";
        QTest::newRow("summary member, kill") << "summary-member:2"
                                              << "kill";
        QTest::newRow("summary member, hangup") << "summary-member:1"
                                                << "hup";
        QTest::newRow("before keep") << "run-keep:4"
                                     << "term";
        QTest::newRow("Ctrl-C without terminal") << "charge-copy:30"
                                                 << "int";
    }
    void killedMonthBillsOnceWhenRunAgain() {
        QFETCH(QString, point);
        QFETCH(QString, action);
        const QString dir = m_folders->path();
        const QString db = copyOfBase(QStringLiteral("month"));
        const CliResult r = runAt(dir, point, action, monthArgs(db, dir + QStringLiteral("/m1")));
        QVERIFY(reached(dir));
        checkStopped(r, action);

        const Ledger after = readLedger(db);
        QCOMPARE(after.integrity, QStringLiteral("ok"));
        QVERIFY(after.invoices.size() < m_reference.invoices.size());
        for (auto it = after.invoices.cbegin(); it != after.invoices.cend(); ++it)
            QCOMPARE(it.value(), m_reference.invoices.value(it.key()));

        const CliResult again = RunCli(dir, monthArgs(db, dir + QStringLiteral("/m2")));
        QVERIFY2(again.code == 0, qPrintable(again.err));
        const Ledger finished = readLedger(db);
        QCOMPARE(finished.invoices, m_reference.invoices);
        QCOMPARE(finished.totalDue, m_reference.totalDue);
    }

    void stoppedRunLeavesNoInvoice_data() {
        QTest::addColumn<QString>("point");
        QTest::addColumn<QString>("action");
        QTest::addColumn<QStringList>("args");
        const QStringList discardGroup{QStringLiteral("--group"),
                                       QStringLiteral("Riverside Families"),
                                       QStringLiteral("--discard")};
        const QStringList keepSummary{QStringLiteral("--group"),
                                      QStringLiteral("Harbor Business Park"),
                                      QStringLiteral("--keep")};
        QTest::newRow("discard, second invoice") << "invoice-row:2"
                                                 << "kill" << discardGroup;
        QTest::newRow("discard, signalled") << "invoice-row:2"
                                            << "term" << discardGroup;
        QTest::newRow("summary, killed") << "summary-member:2"
                                         << "kill" << keepSummary;
        QTest::newRow("summary, signalled") << "charge-copy:3"
                                            << "term" << keepSummary;
    }
    void stoppedRunLeavesNoInvoice() {
        QFETCH(QString, point);
        QFETCH(QString, action);
        QFETCH(QStringList, args);
        const QString dir = m_folders->path();
        const QString db = copyOfBase(QStringLiteral("bill"));
        const CliResult r = runAt(dir, point, action,
                                  QStringList{QStringLiteral("--db"), db, QStringLiteral("bill"),
                                              QStringLiteral("--date"), kDate} +
                                      args);
        QVERIFY(reached(dir));
        checkStopped(r, action);
        const Ledger after = readLedger(db);
        QCOMPARE(after.integrity, QStringLiteral("ok"));
        QCOMPARE(after.invoices.size(), 0);
    }

    void killedImportCompletesOnReimport_data() {
        QTest::addColumn<QString>("action");
        QTest::newRow("kill") << "kill";
        QTest::newRow("term") << "term";
    }
    void killedImportCompletesOnReimport() {
        QFETCH(QString, action);
        const QString dir = m_folders->path();
        const QString db = copyOfBase(QStringLiteral("import"));
        {
            Database d;
            d.open(db);
            d.execute(QStringLiteral("DELETE FROM Events"));
            d.close();
        }
        const QStringList import{QStringLiteral("--db"),    db,
                                 QStringLiteral("import"),  QStringLiteral("--system"),
                                 QStringLiteral("radius"),  QStringLiteral("--server"),
                                 QStringLiteral("radius1"), sampleDetail()};
        const CliResult r = runAt(dir, QStringLiteral("import-record:300"), action, import);
        QVERIFY(reached(dir));
        checkStopped(r, action);
        const Ledger after = readLedger(db);
        QCOMPARE(after.integrity, QStringLiteral("ok"));
        QVERIFY(after.events < m_reference.events);

        const CliResult again = RunCli(dir, import);
        QVERIFY2(again.code == 0, qPrintable(again.err));
        QCOMPARE(readLedger(db).events, m_reference.events);
    }

    void interruptWhileReadingUndelimitedFile() {
        const QString dir = m_folders->path();
        const QString db = copyOfBase(QStringLiteral("undelimited"));
        const QString file = dir + QStringLiteral("/one-long-line");
        {
            QFile f(file);
            QVERIFY(f.open(QIODevice::WriteOnly));
            const QByteArray block(64 * 1024, 'x');
            for (int i = 0; i < 64; ++i)
                QVERIFY(f.write(block) == block.size());
        }
        const CliResult r = runAt(dir, QStringLiteral("import-piece:2"), QStringLiteral("int"),
                                  {QStringLiteral("--db"), db, QStringLiteral("import"),
                                   QStringLiteral("--system"), QStringLiteral("radius"),
                                   QStringLiteral("--server"), QStringLiteral("radius1"), file});
        QVERIFY(reached(dir));
        checkStopped(r, QStringLiteral("int"));
        QVERIFY2(r.err.contains(QStringLiteral("Import aborted.")), qPrintable(r.err));
        QVERIFY2(!r.err.contains(QStringLiteral("No answer given")), qPrintable(r.err));
    }

    // The same month twice bills nobody twice and says whom it skipped; --again bills again.
    void repeatedMonthSkipsInvoicedCustomers() {
        const QString dir = m_folders->path();
        const QString db = copyOfBase(QStringLiteral("twice"));
        QCOMPARE(RunCli(dir, monthArgs(db, dir + QStringLiteral("/t1"))).code, 0);
        const CliResult second = RunCli(dir, monthArgs(db, dir + QStringLiteral("/t2")));
        QVERIFY2(second.code == 0, qPrintable(second.err));
        QCOMPARE(readLedger(db).invoices, m_reference.invoices);
        QFile log(dir + QStringLiteral("/t2/Tollk.log"));
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QByteArray lines = log.readAll();
        QVERIFY(lines.contains("\tHarbor Business Park\tWARNING\tAlready has an invoice closing "
                               "on 2026-12-01; not billed again."));

        // A single customer already billed by the month is skipped by bill as well.
        const qint32 someone = m_reference.invoices.firstKey();
        Database d;
        d.open(db);
        const QString name =
            d.scalar(QStringLiteral("SELECT Username FROM Users WHERE Id = ?"), {someone})
                .toString();
        d.close();
        const CliResult bill = RunCli(
            dir, {QStringLiteral("--db"), db, QStringLiteral("bill"), QStringLiteral("--customer"),
                  name, QStringLiteral("--date"), kDate, QStringLiteral("--keep")});
        QVERIFY2(bill.code == 0 && bill.err.contains(QStringLiteral("WARNING\t") + name),
                 qPrintable(bill.err));
        QCOMPARE(readLedger(db).invoices, m_reference.invoices);

        QCOMPARE(
            RunCli(dir, monthArgs(db, dir + QStringLiteral("/t3"), {QStringLiteral("--again")}))
                .code,
            0);
        const Ledger again = readLedger(db);
        for (const qint32 id : m_reference.invoices.uniqueKeys())
            QCOMPARE(again.invoices.count(id), 2 * m_reference.invoices.count(id));
    }
};

QTEST_GUILESS_MAIN(TestRunFaults)
#include "tst_runfaults.moc"
