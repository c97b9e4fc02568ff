// The accounting-log import with input that stretches it: byte counts beyond 32 bits carried
// through to the invoice, texts longer than their fields and NUL bytes, the hour skipped by
// daylight saving, server names, a failing commit and interruption inside a long record.
#include "common/billingfixture.h"
#include "common/loggedentries.h"
#include "common/radiusdetail.h"
#include "common/recordingui.h"
#include "common/testfolders.h"
#include "core/app/busystate.h"
#include "core/app/operationlog.h"
#include "core/app/registrystore.h"
#include "core/billing/chargetypes.h"
#include "core/billing/invoicedoc.h"
#include "core/db/database.h"
#include "core/db/datetimeutil.h"
#include "core/db/eventrecord.h"
#include "core/db/invoicerecord.h"
#include "core/db/schema.h"
#include "core/import/importcodes.h"
#include "core/import/serverregister.h"
#include "core/import/textlogimport.h"

#include <QtTest>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

RadiusDetailSession session(const QString& user, const QString& id) {
    RadiusDetailSession s;
    s.user = user;
    s.written = QDateTime(QDate(2024, 4, 10), QTime(12, 0));
    s.sessionTime = 3600;
    s.sessionId = id;
    return s;
}

} // namespace

class TestImportRobustness : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void byteCountsBeyond32BitsReachTheInvoice();
    void textsAreStoredAsCompared();
    void disconnectInSkippedHour();
    void serverNamesAndMissingFile();
    void failedCommitCountsNothing();
    void escInsideRecordWithoutDelimiter();

private:
    QString writeLog(const QByteArray& bytes) {
        const QString path = m_folders->filePath(u"detail%1"_s.arg(++m_files));
        if (!WriteFileBytes(path, bytes))
            qFatal("cannot write %s", qPrintable(path));
        return path;
    }
    TextLogImportOutcome run(const QString& path) {
        return ImportTextLogInto(*m_db, path, AUTH_RADIUS, 1, false);
    }
    QList<EventRow> events() {
        QList<EventRow> rows;
        CEventRecord rec(*m_db);
        rec.openWhere(u"1 = 1 ORDER BY [Id]"_s);
        for (; !rec.isEOF(); rec.moveNext())
            rows.append(rec.row());
        return rows;
    }
    int count(const char* sql) { return m_db->scalar(QString::fromLatin1(sql)).toInt(); }

    std::unique_ptr<CTestFolders> m_folders;
    std::unique_ptr<CRecordingUi> m_ui;
    std::unique_ptr<Database> m_db;
    int m_files = 0;
};

void TestImportRobustness::initTestCase() {
    m_folders = std::make_unique<CTestFolders>();
    QVERIFY(m_folders->isValid());
    QVERIFY(theRegistry().open());
}

void TestImportRobustness::init() {
    theLog().clear();
    m_ui = std::make_unique<CRecordingUi>();
    const QString path = m_folders->filePath(u"tollk%1.db"_s.arg(++m_files));
    CreateNewDatabase(path);
    m_db = std::make_unique<Database>();
    m_db->open(path);
}

void TestImportRobustness::cleanup() {
    QCOMPARE(m_db->transactionDepth(), 0);
    QVERIFY(!IsProcessRunning());
    m_db.reset();
    m_ui.reset();
}

void TestImportRobustness::cleanupTestCase() {
    theLog().close();
    theRegistry().close();
    m_folders.reset();
}

void TestImportRobustness::byteCountsBeyond32BitsReachTheInvoice() {
    RadiusDetailSession big = session(u"big"_s, u"G1"_s);
    big.inputOctets = u"705032704"_s; // + 1 gigaword = 5,000,000,000
    big.extra = {{u"Acct-Input-Gigawords"_s, u"1"_s}};
    big.outputOctets = u"4000000000"_s;
    RadiusDetailSession negative = session(u"neg"_s, u"G2"_s);
    negative.inputOctets = u"-5"_s;
    const QString path = writeLog(RadiusDetailRecord(big) + RadiusDetailRecord(negative));
    QCOMPARE(run(path).found, 2);
    QCOMPARE(run(path).found, 0); // warned once, for the stored session
    const QList<EventRow> rows = events();
    QCOMPARE(rows[0].Sent, Q_INT64_C(5000000000));
    QCOMPARE(rows[0].Received, Q_INT64_C(4000000000));
    QCOMPARE(rows[1].Sent, 0);
    QCOMPARE(rows[1].Received, 2000);
    const QList<LoggedEntry> log = LoggedEntries();
    QCOMPARE(log.size(), 1);
    QCOMPARE(log[0].name, u"neg"_s);
    QCOMPARE(log[0].severity, u"WARNING"_s);

    // Invoiced: 9,000,000,000 bytes at 0.10 per 1,000,000.
    CBillingFixture fx(*m_db);
    const qint32 plan = fx.addPlan(u"April"_s, QDate(2024, 4, 1), QDate(2024, 5, 1), "0");
    fx.attach(plan, fx.addCharge(CBillingFixture::bytes(u"Traffic"_s, "0.10", 1000000)));
    const qint32 ip = fx.addInvoicePlan(u"Plain"_s);
    const qint32 customer = fx.addCustomer(u"big"_s, plan, ip);
    CInvoiceDoc doc(*m_db);
    QCOMPARE(doc.Create(customer, plan, ip, DbFromDate(2024, 5, 2), true, false), 39);
    QCOMPARE(doc.Charges()[0].InvoicedAmount, CBillingFixture::money("900.00"));
    CInvoiceRecord inv(*m_db);
    QVERIFY(inv.findByNumber(doc.InvoiceNum()));
    QCOMPARE(inv.Sent, Q_INT64_C(5000000000));
    QCOMPARE(inv.Received, Q_INT64_C(4000000000));
}

void TestImportRobustness::textsAreStoredAsCompared() {
    RadiusDetailSession s = session(u"bo"_s + QChar(0) + u"b"_s, QString(300, QLatin1Char('7')));
    s.nasPort = QString(1000, QLatin1Char('p'));
    const QString path = writeLog(RadiusDetailRecord(s));
    QCOMPARE(run(path).found, 1);
    QCOMPARE(run(path).found, 0); // the stored, cut id is what the duplicate test compares
    const QList<EventRow> rows = events();
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows[0].Username, u"bob"_s);
    QCOMPARE(rows[0].SessionId.size(), kDefaultTextSize);
    QCOMPARE(rows[0].Port.size(), kDefaultTextSize);
}

void TestImportRobustness::disconnectInSkippedHour() {
    // 26 March 2023, 02:00 -> 03:00 in Berlin: the log names a local time that never was.
    const QByteArray record = "Sun Mar 26 02:30:00 2023\n\tUser-Name = \"dst\"\n"
                              "\tAcct-Status-Type = Stop\n\tAcct-Session-Time = 600\n\n";
    QCOMPARE(run(writeLog(record)).found, 1);
    const EventRow row = events().value(0);
    const qint64 disconnect = DbToSecondsOr0(row.DisconnectDate);
    QCOMPARE(disconnect - DbToSecondsOr0(row.ConnectDate), 600);
    QCOMPARE(row.DisconnectDate, DbFromLocal(QDate(2023, 3, 26), QTime(3, 30)));
    QCOMPARE(row.ConnectDate, DbFromLocal(QDate(2023, 3, 26), QTime(3, 20)));
}

void TestImportRobustness::serverNamesAndMissingFile() {
    bool added = true;
    auto import = [&](const QString& path, const char* server) {
        return ImportTextLogForServer(*m_db, path, AUTH_RADIUS, QString::fromLatin1(server), false,
                                      &added);
    };
    const QString missing = m_folders->filePath(u"no such file"_s);
    QCOMPARE(import(missing, "radius1").result, int(IMPORT_OPEN_FAILED));
    QVERIFY(!added);
    QCOMPARE(count("SELECT COUNT(*) FROM Servers"), 0);

    const QString path = writeLog(RadiusDetailRecord(session(u"u"_s, "S1")));
    QCOMPARE(import(path, "Radius1").found, 1);
    QVERIFY(added);
    QCOMPARE(import(path, " radius1\t").found, 0); // the same server: nothing new
    QVERIFY(!added);

    qint32 first = 0, second = 0;
    const QString longName(1000, QLatin1Char('n'));
    QCOMPARE(ResolveServer(*m_db, longName, &first), int(IMPORT_OK));
    QCOMPARE(ResolveServer(*m_db, longName + u"x"_s, &second), int(IMPORT_OK));
    QCOMPARE(second, first);
    QCOMPARE(count("SELECT MAX(LENGTH(ServerName)) FROM Servers"), kDefaultTextSize);
    QCOMPARE(count("SELECT COUNT(*) FROM Servers"), 2);
}

void TestImportRobustness::failedCommitCountsNothing() {
    // The insert succeeds; the commit fails on a deferred constraint.
    m_db->execute(u"PRAGMA foreign_keys = ON"_s);
    m_db->execute(u"CREATE TABLE Parent (Id INTEGER PRIMARY KEY)"_s);
    m_db->execute(QStringLiteral("CREATE TABLE Child (P INTEGER REFERENCES Parent (Id) "
                                 "DEFERRABLE INITIALLY DEFERRED)"));
    m_db->execute(QStringLiteral("CREATE TRIGGER orphan AFTER INSERT ON Events "
                                 "BEGIN INSERT INTO Child VALUES (42); END"));
    const TextLogImportOutcome out = run(writeLog(RadiusDetailRecord(session(u"a"_s, "1")) +
                                                  RadiusDetailRecord(session(u"b"_s, "2"))));
    QCOMPARE(out.result, int(IMPORT_FAILED));
    QVERIFY(m_ui->hasMessage(u"Error importing event log."_s));
    QCOMPARE(out.found, 0);
    QCOMPARE(count("SELECT COUNT(*) FROM Events"), 0);
}

void TestImportRobustness::escInsideRecordWithoutDelimiter() {
    m_ui->pressEsc();
    m_ui->queueAnswer(true); // "Interrupt process?"
    const TextLogImportOutcome out = run(writeLog(QByteArray(512 * 1024, 'x')));
    QCOMPARE(out.result, int(IMPORT_INTERRUPTED));
    QVERIFY(m_ui->hasMessage(u"Import aborted."_s));
    QCOMPARE(out.total, 0);
}

QTEST_GUILESS_MAIN(TestImportRobustness)
#include "tst_importrobustness.moc"
