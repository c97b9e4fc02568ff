// The reports and the card batch through the built command line: exact amounts in CSV and
// JSON, the printed report read back from its PDF, the batch file and its count.
#include "common/billingfixture.h"
#include "common/cliprocess.h"
#include "common/pdftext.h"
#include "common/testfolders.h"
#include "core/db/database.h"
#include "core/db/datetimeutil.h"
#include "core/db/insertrecord.h"
#include "core/db/invoicerecord.h"
#include "core/db/schema.h"
#include "core/db/userrecord.h"

#include <QDir>
#include <QTest>

using namespace Qt::StringLiterals;

class TestReportCli : public QObject {
    Q_OBJECT
    CTestFolders m_folders;
    QString m_db;

private slots:
    void initTestCase();
    void incomeAsCsvJsonAndPdf();
    void icverifyIntoCurrentFolder();
};

void TestReportCli::initTestCase() {
    QVERIFY2(CliMissing().isEmpty(), qPrintable(CliMissing()));
    m_db = m_folders.filePath(u"cli.db"_s);
    CreateNewDatabase(m_db);
    Database db;
    db.open(m_db);
    CBillingFixture fx(db);
    UserRow u = fx.customer(fx.addCustomer(u"amy"_s));
    u.FullName = u"Amy Archer"_s;
    u.CreditCard = u"4111111111111111"_s;
    u.ExpiryDate = u"12/03"_s;
    fx.updateCustomer(u);
    for (const char* amount : {"1234.5", "0.25"}) {
        InvoiceRow r;
        r.IdUser = u.Id;
        r.ClosingDate = DbFromDate(2026, 11, 1);
        r.NewCharges = CBillingFixture::money(amount);
        insertRecord<CInvoiceRecord>(db, r);
    }
}

void TestReportCli::incomeAsCsvJsonAndPdf() {
    const QStringList period{"report", "income", "--from", "2026-11-01", "--to", "2026-12-01"};
    CliResult r = RunCliOn(m_folders.path(), m_db, period + QStringList{"--format", "csv"});
    QCOMPARE(r.code, 0);
    QVERIFY2(r.out.contains(u"amy,Amy Archer,1234.50,0.00,0.00,0,0,0"_s), qPrintable(r.out));
    QVERIFY(r.out.contains(u"Totals,,1234.75,"_s));
    r = RunCliOn(m_folders.path(), m_db, period + QStringList{"--format", "json"});
    QCOMPARE(r.code, 0);
    QVERIFY2(r.out.contains(u"1234.75"_s), qPrintable(r.out));

    const QString pdf = m_folders.filePath(u"income.pdf"_s);
    r = RunCliOn(m_folders.path(), m_db, period + QStringList{"--pdf", pdf});
    QCOMPARE(r.code, 0);
    const QString text = PdfText(pdf);
    QVERIFY2(text.contains(u"Income Report for 2026-11-01 - 2026-12-01"_s), qPrintable(text));
    QVERIFY(text.contains(u"Page 1 of 1"_s));
    QVERIFY(text.contains(u"Totals"_s));

    r = RunCliOn(m_folders.path(), m_db,
                 {"report", "income", "--from", "2026-12-01", "--to", "2026-11-01"});
    QCOMPARE(r.code, 2);
    QVERIFY(r.err.contains(u"The end time must proceed the start time."_s));
}

void TestReportCli::icverifyIntoCurrentFolder() {
    const CliResult r =
        RunCliOn(m_folders.path(), m_db,
                 {"export", "icverify", "--from", "2026-11-01", "--to", "2026-11-02"});
    QCOMPARE(r.code, 0);
    const QString file = QDir(m_folders.path()).absoluteFilePath(u"ICVERIFY.TXT"_s);
    QCOMPARE(r.out.trimmed(), QDir::toNativeSeparators(file) + u"\t2"_s);
    const QByteArray bytes = FileBytes(file);
    QVERIFY2(bytes.startsWith("\"C1\",\"Tollkeeper\",\"COMPUTER INVOICE\",\"4111111111111111\","
                              "\"0312\",\"1234.50\",\"\",\"\"\r\n"),
             bytes.constData());
    QCOMPARE(RunCliOn(m_folders.path(), m_db,
                      {"export", "icverify", "--from", "2026-11-01", "--to", "2026-11-02",
                       "--clerk", "a\"b"})
                 .code,
             2);
}

QTEST_GUILESS_MAIN(TestReportCli)
#include "tst_reportcli.moc"
