// The page data of an invoice read back from a real database file: the billing address and
// the members' logon names of a summary invoice, and where they appear on the pages.
#include "common/testdatabase.h"
#include "common/billingfixture.h"
#include "common/testfolders.h"
#include "core/billing/invoicedoc.h"
#include "core/db/database.h"
#include "core/db/datetimeutil.h"
#include "core/db/schema.h"
#include "core/invoice/invoicerep.h"
#include "core/invoice/invoicerepdata.h"

#include <QTest>

using namespace Qt::StringLiterals;

class TestInvoiceRepData : public QObject {
    Q_OBJECT

private slots:
    void pageReadsAddressAndMembers() {
        CTestFolders folders;
        const QString path = TestDatabaseName(folders.filePath(u"tollk.db"_s));
        CreateNewDatabase(path);
        Database db;
        db.open(path);
        CBillingFixture fx(db);
        const qint32 plan = fx.addPlan(u"March"_s, QDate(2024, 3, 1), QDate(2024, 4, 1));
        fx.attach(plan, fx.addCharge(CBillingFixture::online(u"Online"_s, "2")));
        fx.attach(plan, fx.addCharge(CBillingFixture::tax(u"VAT"_s, 10)));
        InvoicePlanRow ip;
        ip.Name = u"Detailed"_s;
        ip.ShowDetails = true;
        ip.ShowAddress = true;
        ip.DateFormat = u"%m/%d/%Y %H:%M"_s;
        const qint32 invoicePlan = fx.addInvoicePlan(ip);

        UserRow group;
        group.Username = u"family"_s;
        group.IsGroup = true;
        const qint32 g = fx.addCustomer(group);
        db.execute(
            QStringLiteral("INSERT INTO Address (Type, Address1, Address2, City, Province, "
                           "PostalCode, EMail, IdOwner) VALUES (0, ?, '', ?, '', '', '', ?)"),
            {u"1 <Harbour> Road"_s, u"Kestrel Bay"_s, g});
        const qint32 alice = fx.addCustomer(u"alice"_s, plan, invoicePlan);
        const qint32 bob = fx.addCustomer(u"bob"_s, plan, invoicePlan);
        fx.addSession(u"alice"_s, CBillingFixture::at(2024, 3, 2, 9), 3600, 10, 20);
        fx.addSession(u"bob"_s, CBillingFixture::at(2024, 3, 3, 9), 1800, 30, 40);

        CInvoiceDoc doc(db);
        doc.SetReporter([](const RatingReport&) {});
        const DbDateTime billed = DbFromDate(2024, 4, 2);
        QCOMPARE(doc.Create(g, plan, invoicePlan, billed, true, true), 39);
        for (const qint32 m : {alice, bob})
            QCOMPARE(doc.Create(m, plan, invoicePlan, billed, false, true), 39);
        QVERIFY(!doc.Finish());

        CInvoiceDoc loaded(db);
        loaded.SetReporter([](const RatingReport&) {});
        QCOMPARE(loaded.Load(doc.InvoiceNum()), 0);
        const InvoiceRepData data = InvoiceRepDataFromDoc(loaded, db);
        QVERIFY(data.summary);
        QVERIFY(data.address);
        QCOMPARE(data.memberName(alice), u"alice"_s);
        QCOMPARE(data.memberName(bob), u"bob"_s);
        CInvoiceRep rep;
        rep.Render(data);
        const QByteArray text = rep.PlainText();
        QVERIFY(text.contains("To:  family\r\n1 <Harbour> Road\r\nKestrel Bay\r\n"));
        QVERIFY(rep.Html().contains("1 &lt;Harbour&gt; Road<BR>"));
        // Sessions and charges grouped under the members' logon names.
        QVERIFY(text.contains("\r\nalice:\r\n03/02/2024 08:00"));
        QVERIFY(text.contains("\r\n\r\nbob:\r\n03/03/2024 08:30"));
        QVERIFY(
            text.contains("\r\n=== alice ===\r\nOnline:\r\n   01:00:00 (1.00) at 2.00 per Hour"));
        QVERIFY(text.contains("\r\n=== bob ===\r\nOnline:\r\n   00:30:00 (0.50) at 2.00 per Hour"));
        // The plan-level tax comes without a member line.
        QVERIFY(text.contains("\r\nVAT:\r\n   10.00% of 3.00"));
    }
};

QTEST_GUILESS_MAIN(TestInvoiceRepData)
#include "tst_invoicerepdata.moc"
