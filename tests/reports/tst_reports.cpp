// The income and overdue documents and the ICVerify batch on real database files.
#include "common/testdatabase.h"
#include "common/billingfixture.h"
#include "common/testfolders.h"
#include "core/db/database.h"
#include "core/db/datetimeutil.h"
#include "core/db/insertrecord.h"
#include "core/db/invoicerecord.h"
#include "core/db/schema.h"
#include "core/db/userrecord.h"
#include "core/reports/icvexport.h"
#include "core/reports/incomedoc.h"
#include "core/reports/overduedoc.h"

#include <QFile>
#include <QTest>
#include <memory>

using namespace Qt::StringLiterals;

namespace {
using F = CBillingFixture;

QDateTime local(int y, int m, int d, int h = 0, int mi = 0) {
    return SecondsToDateTime(F::at(y, m, d, h, mi));
}
} // namespace

class TestReports : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void incomePeriodOrderAndTotals();
    void overdueBuckets_data();
    void overdueBuckets();
    void overdueCountsEqualInvoicesAndDropsNetZero();
    void icvSelectionAndLineFormat();
    void icvExpiryField_data();
    void icvExpiryField();
    void icvSkipsValuesThatBreakTheLine();
    void icvEmptyBatchAndFailureKeepPreviousFile();

private:
    qint32 customer(const QString& logon, const QString& card = {}, const QString& expiry = {});
    qint32 invoice(qint32 user, const QDateTime& closing, const char* charges,
                   const char* paid = "0");

    std::unique_ptr<CTestFolders> folders;
    std::unique_ptr<Database> db;
    std::unique_ptr<F> fx;
};

void TestReports::init() {
    folders = std::make_unique<CTestFolders>();
    const QString path = TestDatabaseName(folders->filePath(u"reports.db"_s));
    CreateNewDatabase(path);
    db = std::make_unique<Database>();
    db->open(path);
    fx = std::make_unique<F>(*db);
}

void TestReports::cleanup() {
    fx.reset();
    db.reset();
    folders.reset();
}

qint32 TestReports::customer(const QString& logon, const QString& card, const QString& expiry) {
    const qint32 id = fx->addCustomer(logon);
    UserRow u = fx->customer(id);
    u.FullName = logon.toUpper();
    u.CreditCard = card;
    u.ExpiryDate = expiry;
    fx->updateCustomer(u);
    return id;
}

qint32 TestReports::invoice(qint32 user, const QDateTime& closing, const char* charges,
                            const char* paid) {
    InvoiceRow r;
    r.IdUser = user;
    r.ClosingDate = DateTimeToDb(closing);
    r.NewCharges = F::money(charges);
    r.TotalPaid = F::money(paid);
    return insertRecord<CInvoiceRecord>(*db, r);
}

void TestReports::incomePeriodOrderAndTotals() {
    const QDateTime start = local(2026, 11, 1);
    const QDateTime end = local(2026, 12, 1);
    const qint32 zed = customer(u"zed"_s);
    const qint32 gone = customer(u"gone"_s);
    invoice(zed, start, "10.00");             // at the start: listed
    invoice(zed, end, "99.00");               // at the end: not listed
    invoice(zed, start.addSecs(-1), "98.00"); // before: not listed
    const qint32 deleted = invoice(gone, local(2026, 11, 20), "5.25", "5.25");
    db->execute(u"DELETE FROM Users WHERE Id = ?"_s, {gone});
    // 25 h 1 min 1 s of connect time and 1,999 bytes each way on one invoice.
    db->execute(QStringLiteral("UPDATE Invoices SET TotalTimeHH = 25, TotalTimeMM = 1, "
                               "TotalTimeSS = 1, Sent = 1999, Received = 1000 WHERE "
                               "InvoiceNum = ?"),
                {deleted});

    CIncomeDoc doc(start, end, u"a"_s, u"b"_s);
    doc.load(*db);
    QCOMPARE(doc.rowCount(), 2);
    QCOMPARE(doc.rows()[0].logonName, QString());
    QCOMPARE(doc.rows()[0].fullName, u"*** User record missing ***"_s);
    QCOMPARE(doc.rows()[1].logonName, u"zed"_s);
    QCOMPARE(doc.totalNewCharges(), F::money("15.25"));
    QCOMPARE(doc.totalPaid(), F::money("5.25"));
    const QStringList totals = doc.totalsCells(CReportDoc::Form::Display);
    QCOMPARE(totals.mid(5), (QStringList{"1:01:01:01", "1K", "1K"}));
    QCOMPARE(doc.rowCells(0, CReportDoc::Form::Display)[5], u"25:01:01"_s);
    // Exact totals keep the bytes and seconds; amounts are plain decimals.
    QCOMPARE(doc.totalsCells(CReportDoc::Form::Exact).mid(2),
             (QStringList{"15.25", "5.25", "0.00", "90061", "1999", "1000"}));
}

void TestReports::overdueBuckets_data() {
    QTest::addColumn<int>("ageDays");
    QTest::addColumn<int>("bucket");
    QTest::newRow("future") << -3 << int(COverdueDoc::Current);
    QTest::newRow("10") << 10 << int(COverdueDoc::Current);
    QTest::newRow("30") << 30 << int(COverdueDoc::Days10To30);
    QTest::newRow("31") << 31 << int(COverdueDoc::Days30To60);
    QTest::newRow("120") << 120 << int(COverdueDoc::Days90To120);
    QTest::newRow("121") << 121 << int(COverdueDoc::Over120);
}

void TestReports::overdueBuckets() {
    QFETCH(int, ageDays);
    QFETCH(int, bucket);
    // Measured across a change of daylight saving: ages are whole elapsed days.
    const QDateTime now = local(2026, 12, 6, 12);
    invoice(customer(u"amy"_s), now.addSecs(-qint64(ageDays) * 86400), "7.00");
    COverdueDoc doc(now);
    doc.load(*db);
    QCOMPARE(doc.rowCount(), 1);
    for (int b = 0; b < COverdueDoc::Buckets; ++b)
        QCOMPARE(doc.rows()[0].buckets[size_t(b)], b == bucket ? F::money("7.00") : Currency());
}

void TestReports::overdueCountsEqualInvoicesAndDropsNetZero() {
    const QDateTime now = local(2026, 12, 6, 12);
    const qint32 amy = customer(u"amy"_s);
    invoice(amy, now.addDays(-45), "20.00", "5.00");
    invoice(amy, now.addDays(-45), "20.00", "5.00");
    const qint32 bob = customer(u"bob"_s);
    invoice(bob, now.addDays(-2), "-12.00");
    invoice(bob, now.addDays(-100), "12.00");
    invoice(customer(u"cat"_s), now.addDays(-5), "8.00", "8.00"); // paid
    COverdueDoc doc(now);
    doc.load(*db);
    QCOMPARE(doc.rowCount(), 1);
    QCOMPARE(doc.rows()[0].logonName, u"amy"_s);
    QCOMPARE(doc.rows()[0].buckets[COverdueDoc::Days30To60], F::money("30.00"));
    QCOMPARE(doc.totals().total, F::money("30.00"));
    QCOMPARE(doc.totals().buckets[COverdueDoc::Current], Currency());
}

void TestReports::icvSelectionAndLineFormat() {
    const QDateTime start = local(2026, 11, 1);
    const QDateTime end = local(2026, 12, 1);
    const qint32 longName =
        customer(u"a_very_long_logon_name_x"_s, u"4111111111111111"_s, u"7/1999"_s);
    const qint32 nocard = customer(u"nocard"_s);
    invoice(longName, start, "12.5");
    invoice(longName, end, "13.00"); // the end day is excluded
    invoice(longName, start, "0");   // nothing to charge
    invoice(nocard, start, "9.00");  // no card on record
    IcvExportOptions o{start, end, true, QString(), u"Tollkeeper"_s, u"12345"_s, u"1 Main St"_s};
    const QString path = folders->filePath(u"ICVERIFY.TXT"_s);
    const IcvExportResult r = ExportIcverify(*db, o, path);
    QVERIFY2(!r.failed, qPrintable(r.error));
    QCOMPARE(r.transactions, 1);
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("\"C1\",\"Tollkeeper\",\"a_very_long_logon_na\","
                                     "\"4111111111111111\",\"9907\",\"12.50\",\"12345\","
                                     "\"1 Main St\"\r\n"));
    QCOMPARE(f.permissions() & (QFileDevice::ReadGroup | QFileDevice::ReadOther),
             QFileDevice::Permissions());
}

void TestReports::icvExpiryField_data() {
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("field");
    QTest::newRow("7/1999") << u"7/1999"_s << u"9907"_s;
    QTest::newRow("12/03") << u"12/03"_s << u"0312"_s;
    QTest::newRow("both empty") << u"/"_s << u""_s;
}

void TestReports::icvExpiryField() {
    QFETCH(QString, stored);
    QFETCH(QString, field);
    QCOMPARE(IcvExpiryField(stored), field);
}

void TestReports::icvSkipsValuesThatBreakTheLine() {
    const QDateTime start = local(2026, 11, 1);
    invoice(customer(u"quo\"te"_s, u"4111"_s, u"1/30"_s), start, "1.00");
    invoice(customer(u"fine"_s, u"41\r\n11"_s, u"1/30"_s), start, "1.00");
    IcvExportOptions o{start, start.addDays(1), true, {}, u"c"_s, {}, {}};
    const IcvExportResult r = ExportIcverify(*db, o, folders->filePath(u"ICVERIFY.TXT"_s));
    QVERIFY(!r.failed);
    QCOMPARE(r.transactions, 0);
    QCOMPARE(r.skipped.size(), 2);
    o.clerk = u"a\"b"_s;
    QCOMPARE(IcvOptionBreakingLine(o), u"Clerk"_s);
}

void TestReports::icvEmptyBatchAndFailureKeepPreviousFile() {
    const QString path = folders->filePath(u"ICVERIFY.TXT"_s);
    IcvExportOptions o{
        local(2026, 11, 1), local(2026, 12, 1), false, u"COMPUTER INVOICE"_s, u"c"_s, {}, {}};
    QVERIFY(WriteFileBytes(path, "previous batch\r\n"));
    IcvExportResult r = ExportIcverify(*db, o, path);
    QVERIFY(!r.failed);
    QCOMPARE(r.transactions, 0);
    QCOMPARE(QFileInfo(path).size(), 0);

    QVERIFY(WriteFileBytes(path, "previous batch\r\n"));
    db->execute(u"DROP TABLE Users"_s);
    invoice(1, local(2026, 11, 2), "3.00");
    r = ExportIcverify(*db, o, path);
    QVERIFY(r.failed);
    QVERIFY(!r.error.isEmpty());
    QCOMPARE(FileBytes(path), QByteArray("previous batch\r\n"));
}

QTEST_GUILESS_MAIN(TestReports)
#include "tst_reports.moc"
