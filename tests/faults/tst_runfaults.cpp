// Imports and invoice runs of the command line stopped at named points of their work: killed
// outright or sent SIGTERM, SIGHUP or SIGINT. Afterwards the database must be intact, hold no
// invoice without its copies and no half-made one, and a run started again must bill each
// customer exactly once. Also: the same month run twice, and an interrupted read of a file
// without record delimiters.
#include "common/cliprocess.h"
#include "common/testfolders.h"
#include "core/db/database.h"

#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

const QString kDate = u"2026-12-01"_s;

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
    l.integrity = db.scalar(u"PRAGMA integrity_check"_s).toString();
    l.events = db.scalar(u"SELECT COUNT(*) FROM Events"_s).toLongLong();
    l.totalDue = db.scalar(u"SELECT SUM(TotalDue) FROM Invoices"_s).toString();
    Statement st = db.prepare(QStringLiteral(
        "SELECT i.IdUser, (SELECT COUNT(*) FROM BillingPlans b WHERE b.IdInvoice = i.InvoiceNum), "
        "(SELECT COUNT(*) FROM InvoicePlans p WHERE p.IdInvoice = i.InvoiceNum), "
        "(SELECT COUNT(*) FROM Charges c WHERE c.IdInvoice = i.InvoiceNum), "
        "i.NewCharges, i.TotalDue FROM Invoices i"));
    while (st.next())
        l.invoices.insert(st.value(0).toInt(),
                          u"%1 %2 %3 %4 %5"_s.arg(st.value(1).toInt())
                              .arg(st.value(2).toInt())
                              .arg(st.value(3).toInt())
                              .arg(st.value(4).toString(), st.value(5).toString()));
    db.close();
    return l;
}

// Runs the command line with a fault point armed; the marker file proves the point acted.
CliResult runAt(const QString& dir, const QString& point, const QString& action,
                const QStringList& args) {
    const QString marker = dir + u"/fault-marker"_s;
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
    return QFile::exists(dir + u"/fault-marker"_s);
}

QStringList monthArgs(const QString& db, const QString& out, const QStringList& more = {}) {
    return QStringList{u"--db"_s,     db,         u"month"_s, u"--date"_s, kDate,
                       u"--no-pdf"_s, u"--out"_s, out} +
           more;
}

// A stop by a signal the tool catches ends with an interruption and a failure status; one by
// SIGKILL ends the process where it stands.
void checkStopped(const CliResult& r, const QString& action) {
    if (action == u"kill"_s) {
        QCOMPARE(r.code, -1);
        return;
    }
    QVERIFY2(r.code > 0, qPrintable(r.err));
    const QString name = action == u"term"_s  ? u"SIGTERM"_s
                         : action == u"hup"_s ? u"SIGHUP"_s
                                              : u"SIGINT"_s;
    QVERIFY2(r.err.contains(u"Interrupted by "_s + name), qPrintable(r.err));
}

} // namespace

class TestRunFaults : public QObject {
    Q_OBJECT

    std::unique_ptr<CTestFolders> m_folders;
    QString m_base; // the sample month imported, not billed
    Ledger m_reference;

    QString copyOfBase(const QString& name) {
        const QString path = m_folders->filePath(name + u".db"_s);
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
            runAt(dir, u"run-keep"_s, u"kill"_s,
                  {u"month"_s, u"--sample"_s, u"--no-pdf"_s, u"--out"_s, dir + u"/sample"_s});
        QVERIFY(reached(dir));
        QCOMPARE(r.code, -1);
        m_base = dir + u"/sample/tollk.sample.db"_s;
        const Ledger base = readLedger(m_base);
        QCOMPARE(base.integrity, u"ok"_s);
        QVERIFY(base.events > 0);
        QCOMPARE(base.invoices.size(), 0);

        const QString ref = copyOfBase(u"reference"_s);
        const CliResult full = RunCli(dir, monthArgs(ref, dir + u"/ref"_s));
        QVERIFY2(full.code == 0, qPrintable(full.err));
        m_reference = readLedger(ref);
        QVERIFY(m_reference.invoices.size() > 3);
    }

    void killedMonthBillsOnceWhenRunAgain_data() {
        QTest::addColumn<QString>("point");
        QTest::addColumn<QString>("action");
        QTest::newRow("invoice row") << u"invoice-row:3"_s << u"kill"_s;
        QTest::newRow("charge copies") << u"charge-copy:12"_s << u"term"_s;
        QTest::newRow("summary member, kill") << u"summary-member:2"_s << u"kill"_s;
        QTest::newRow("summary member, hangup") << u"summary-member:1"_s << u"hup"_s;
        QTest::newRow("before keep") << u"run-keep:4"_s << u"term"_s;
        QTest::newRow("Ctrl-C without terminal") << u"charge-copy:30"_s << u"int"_s;
    }
    void killedMonthBillsOnceWhenRunAgain() {
        QFETCH(QString, point);
        QFETCH(QString, action);
        const QString dir = m_folders->path();
        const QString db = copyOfBase(u"month"_s);
        const CliResult r = runAt(dir, point, action, monthArgs(db, dir + u"/m1"_s));
        QVERIFY(reached(dir));
        checkStopped(r, action);

        const Ledger after = readLedger(db);
        QCOMPARE(after.integrity, u"ok"_s);
        QVERIFY(after.invoices.size() < m_reference.invoices.size());
        for (auto it = after.invoices.cbegin(); it != after.invoices.cend(); ++it)
            QCOMPARE(it.value(), m_reference.invoices.value(it.key()));

        const CliResult again = RunCli(dir, monthArgs(db, dir + u"/m2"_s));
        QVERIFY2(again.code == 0, qPrintable(again.err));
        const Ledger finished = readLedger(db);
        QCOMPARE(finished.invoices, m_reference.invoices);
        QCOMPARE(finished.totalDue, m_reference.totalDue);
    }

    void stoppedRunLeavesNoInvoice_data() {
        QTest::addColumn<QString>("point");
        QTest::addColumn<QString>("action");
        QTest::addColumn<QStringList>("args");
        const QStringList discardGroup{u"--group"_s, u"Riverside Families"_s, u"--discard"_s};
        const QStringList keepSummary{u"--group"_s, u"Harbor Business Park"_s, u"--keep"_s};
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
        const QString db = copyOfBase(u"bill"_s);
        const CliResult r = runAt(dir, point, action,
                                  QStringList{u"--db"_s, db, u"bill"_s, u"--date"_s, kDate} + args);
        QVERIFY(reached(dir));
        checkStopped(r, action);
        const Ledger after = readLedger(db);
        QCOMPARE(after.integrity, u"ok"_s);
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
        const QString db = copyOfBase(u"import"_s);
        {
            Database d;
            d.open(db);
            d.execute(u"DELETE FROM Events"_s);
            d.close();
        }
        const QStringList import{
            u"--db"_s,     db,           u"import"_s,   u"--system"_s, u"radius"_s,
            u"--server"_s, u"radius1"_s, sampleDetail()};
        const CliResult r = runAt(dir, u"import-record:300"_s, action, import);
        QVERIFY(reached(dir));
        checkStopped(r, action);
        const Ledger after = readLedger(db);
        QCOMPARE(after.integrity, u"ok"_s);
        QVERIFY(after.events < m_reference.events);

        const CliResult again = RunCli(dir, import);
        QVERIFY2(again.code == 0, qPrintable(again.err));
        QCOMPARE(readLedger(db).events, m_reference.events);
    }

    void interruptWhileReadingUndelimitedFile() {
        const QString dir = m_folders->path();
        const QString db = copyOfBase(u"undelimited"_s);
        const QString file = dir + u"/one-long-line"_s;
        {
            QFile f(file);
            QVERIFY(f.open(QIODevice::WriteOnly));
            const QByteArray block(64 * 1024, 'x');
            for (int i = 0; i < 64; ++i)
                QVERIFY(f.write(block) == block.size());
        }
        const CliResult r = runAt(dir, u"import-piece:2"_s, u"int"_s,
                                  {u"--db"_s, db, u"import"_s, u"--system"_s, u"radius"_s,
                                   u"--server"_s, u"radius1"_s, file});
        QVERIFY(reached(dir));
        checkStopped(r, u"int"_s);
        QVERIFY2(r.err.contains(u"Import aborted."_s), qPrintable(r.err));
        QVERIFY2(!r.err.contains(u"No answer given"_s), qPrintable(r.err));
    }

    // The same month twice bills nobody twice and says whom it skipped; --again bills again.
    void repeatedMonthSkipsInvoicedCustomers() {
        const QString dir = m_folders->path();
        const QString db = copyOfBase(u"twice"_s);
        QCOMPARE(RunCli(dir, monthArgs(db, dir + u"/t1"_s)).code, 0);
        const CliResult second = RunCli(dir, monthArgs(db, dir + u"/t2"_s));
        QVERIFY2(second.code == 0, qPrintable(second.err));
        QCOMPARE(readLedger(db).invoices, m_reference.invoices);
        QFile log(dir + u"/t2/Tollk.log"_s);
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QByteArray lines = log.readAll();
        QVERIFY(lines.contains("\tHarbor Business Park\tWARNING\tAlready has an invoice closing "
                               "on 2026-12-01; not billed again."));

        // A single customer already billed by the month is skipped by bill as well.
        const qint32 someone = m_reference.invoices.firstKey();
        Database d;
        d.open(db);
        const QString name =
            d.scalar(u"SELECT Username FROM Users WHERE Id = ?"_s, {someone}).toString();
        d.close();
        const CliResult bill = RunCli(dir, {u"--db"_s, db, u"bill"_s, u"--customer"_s, name,
                                            u"--date"_s, kDate, u"--keep"_s});
        QVERIFY2(bill.code == 0 && bill.err.contains(u"WARNING\t"_s + name), qPrintable(bill.err));
        QCOMPARE(readLedger(db).invoices, m_reference.invoices);

        QCOMPARE(RunCli(dir, monthArgs(db, dir + u"/t3"_s, {u"--again"_s})).code, 0);
        const Ledger again = readLedger(db);
        for (const qint32 id : m_reference.invoices.uniqueKeys())
            QCOMPARE(again.invoices.count(id), 2 * m_reference.invoices.count(id));
    }
};

QTEST_GUILESS_MAIN(TestRunFaults)
#include "tst_runfaults.moc"
