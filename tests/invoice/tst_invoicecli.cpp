// Invoices computed on a real database file, loaded back and rendered: the page data read
// from the database (address, member names), and `tollkeeper-cli invoice show` run as a
// separate process against the same file.
#include "core/billing/invoicedoc.h"
#include "common/billingfixture.h"
#include "common/cliprocess.h"
#include "core/db/database.h"
#include "core/db/datetimeutil.h"
#include "core/db/schema.h"
#include "core/invoice/invoicerep.h"
#include "core/invoice/invoicerepdata.h"
#include "common/testfolders.h"

#include <QTest>
#include <memory>

class TestInvoiceCli : public QObject {
    Q_OBJECT

    using Result = CliResult;

    // The tool opens the database exclusively: the test's own connection is closed meanwhile.
    Result run(const QStringList& args) {
        m_fx.reset();
        m_db.reset();
        const Result r = RunCliOn(m_folders->path(), m_dbPath, args);
        openDatabase();
        return r;
    }
    void openDatabase() {
        m_db = std::make_unique<Database>();
        m_db->open(m_dbPath);
        m_fx = std::make_unique<CBillingFixture>(*m_db);
    }
    // Renders invoice n as the tool does.
    std::unique_ptr<CInvoiceRep> render(qint32 n, InvoiceRepData* data = nullptr) {
        CInvoiceDoc doc(*m_db);
        doc.SetReporter([](const RatingReport&) {});
        if (doc.Load(n) != 0)
            return nullptr;
        auto rep = std::make_unique<CInvoiceRep>();
        const InvoiceRepData d = InvoiceRepDataFromDoc(doc, *m_db);
        rep->Render(d);
        if (data)
            *data = d;
        return rep;
    }

    qint32 computeInvoice(qint32 customer, bool summary = false,
                          const QList<qint32>& members = {}) {
        CInvoiceDoc doc(*m_db);
        doc.SetReporter([](const RatingReport&) {});
        const DbDateTime billed = DbFromDate(2024, 4, 2);
        if (doc.Create(customer, m_plan, m_invoicePlan, billed, true, summary) != 39)
            return 0;
        for (qint32 m : members) {
            if (doc.Create(m, m_plan, m_invoicePlan, billed, false, true) != 39)
                return 0;
        }
        if (summary && doc.Finish())
            return 0;
        return doc.InvoiceNum();
    }

    void addAddress(qint32 owner, const QString& street, const QString& city) {
        m_db->execute(QStringLiteral("INSERT INTO Address (Type, Address1, Address2, City, "
                                     "Province, PostalCode, EMail, IdOwner) "
                                     "VALUES (0, ?, '', ?, '', '', '', ?)"),
                      {street, city, owner});
    }

    std::unique_ptr<CTestFolders> m_folders;
    std::unique_ptr<Database> m_db;
    std::unique_ptr<CBillingFixture> m_fx;
    QString m_dbPath;
    qint32 m_plan = 0;
    qint32 m_invoicePlan = 0;

private slots:
    void initTestCase() { QVERIFY2(CliMissing().isEmpty(), qPrintable(CliMissing())); }
    void init();
    void cleanup();
    void pageReadsAddressAndMembers();
    void showWritesTheChosenPage();
    void showRefusals();
};

void TestInvoiceCli::init() {
    m_folders = std::make_unique<CTestFolders>();
    QVERIFY(m_folders->isValid());
    m_dbPath = m_folders->filePath(QStringLiteral("tollk.db"));
    CreateNewDatabase(m_dbPath);
    openDatabase();

    m_plan = m_fx->addPlan(QStringLiteral("March"), QDate(2024, 3, 1), QDate(2024, 4, 1));
    const qint32 online = m_fx->addCharge(CBillingFixture::online(QStringLiteral("Online"), "2"));
    const qint32 vat = m_fx->addCharge(CBillingFixture::tax(QStringLiteral("VAT"), 10));
    m_fx->attach(m_plan, online);
    m_fx->attach(m_plan, vat); // plan level
    InvoicePlanRow ip;
    ip.Name = QStringLiteral("Detailed");
    ip.ShowDetails = true;
    ip.ShowAddress = true;
    ip.DateFormat = QStringLiteral("%m/%d/%Y %H:%M");
    ip.Heading = QStringLiteral("Kestrel Net");
    m_invoicePlan = m_fx->addInvoicePlan(ip);
}

void TestInvoiceCli::cleanup() {
    m_fx.reset();
    m_db.reset();
    m_folders.reset();
}

void TestInvoiceCli::pageReadsAddressAndMembers() {
    UserRow group;
    group.Username = QStringLiteral("family");
    group.IsGroup = true;
    const qint32 g = m_fx->addCustomer(group);
    addAddress(g, QStringLiteral("1 <Harbour> Road"), QStringLiteral("Kestrel Bay"));
    const qint32 alice = m_fx->addCustomer(QStringLiteral("alice"), m_plan, m_invoicePlan);
    const qint32 bob = m_fx->addCustomer(QStringLiteral("bob"), m_plan, m_invoicePlan);
    m_fx->addSession(QStringLiteral("alice"), CBillingFixture::at(2024, 3, 2, 9), 3600, 10, 20);
    m_fx->addSession(QStringLiteral("bob"), CBillingFixture::at(2024, 3, 3, 9), 1800, 30, 40);
    const qint32 n = computeInvoice(g, true, {alice, bob});
    QVERIFY(n > 0);

    InvoiceRepData data;
    const auto rep = render(n, &data);
    QVERIFY(rep);
    QVERIFY(data.summary);
    QVERIFY(data.address);
    QCOMPARE(data.memberName(alice), QStringLiteral("alice"));
    QCOMPARE(data.memberName(bob), QStringLiteral("bob"));
    const QByteArray text = rep->PlainText();
    QVERIFY(text.contains("To:  family\r\n1 <Harbour> Road\r\nKestrel Bay\r\n"));
    QVERIFY(rep->Html().contains("1 &lt;Harbour&gt; Road<BR>"));
    // Sessions and charges grouped under the members' logon names.
    QVERIFY(text.contains("\r\nalice:\r\n03/02/2024 08:00"));
    QVERIFY(text.contains("\r\n\r\nbob:\r\n03/03/2024 08:30"));
    QVERIFY(text.contains("\r\n=== alice ===\r\nOnline:\r\n   01:00:00 (1.00) at 2.00 per Hour"));
    QVERIFY(text.contains("\r\n=== bob ===\r\nOnline:\r\n   00:30:00 (0.50) at 2.00 per Hour"));
    // The plan-level tax comes without a member line.
    QVERIFY(text.contains("\r\nVAT:\r\n   10.00% of 3.00"));
    QVERIFY(text.contains("Totals"));
}

void TestInvoiceCli::showWritesTheChosenPage() {
    const qint32 c = m_fx->addCustomer(QStringLiteral("carol"), m_plan, m_invoicePlan);
    addAddress(c, QStringLiteral("2 Quay Street"), QStringLiteral("Kestrel Bay"));
    m_fx->addSession(QStringLiteral("carol"), CBillingFixture::at(2024, 3, 10, 12), 5400, 1, 2);
    const qint32 n = computeInvoice(c);
    QVERIFY(n > 0);
    const auto rep = render(n);
    QVERIFY(rep);
    QVERIFY(rep->PlainText().contains("2 Quay Street"));

    Result r = run({QStringLiteral("invoice"), QStringLiteral("show"), QString::number(n),
                    QStringLiteral("--text")});
    QCOMPARE(r.code, 0);
    QCOMPARE(r.outBytes, rep->PlainText());

    const QString file = m_folders->filePath(QStringLiteral("out/../page.htm"));
    r = run({QStringLiteral("invoice"), QStringLiteral("show"), QStringLiteral("--html"),
             QStringLiteral("-o"), file, QString::number(n)});
    QCOMPARE(r.code, 0);
    QVERIFY(r.outBytes.isEmpty());
    QFile page(m_folders->filePath(QStringLiteral("page.htm")));
    QVERIFY(page.open(QIODevice::ReadOnly));
    QCOMPARE(page.readAll(), rep->Html());

    // Without a choice: the page the customer receives (the plan says text; the customer's
    // own choice of HTML beats it).
    r = run({QStringLiteral("invoice"), QStringLiteral("show"), QString::number(n)});
    QCOMPARE(r.code, 0);
    QCOMPARE(r.outBytes, rep->PlainText());
    UserRow u = m_fx->customer(c);
    u.Options = 3;
    m_fx->updateCustomer(u);
    r = run({QStringLiteral("invoice"), QStringLiteral("show"), QString::number(n)});
    QCOMPARE(r.code, 0);
    QVERIFY(r.outBytes.startsWith("<HTML>\r\n"));
    QVERIFY(r.outBytes.contains("<HR SIZE=3 NOSHADE>"));
}

void TestInvoiceCli::showRefusals() {
    const QStringList bad[] = {
        {QStringLiteral("invoice")},
        {QStringLiteral("invoice"), QStringLiteral("frob")},
        {QStringLiteral("invoice"), QStringLiteral("show")},
        {QStringLiteral("invoice"), QStringLiteral("show"), QStringLiteral("x")},
        {QStringLiteral("invoice"), QStringLiteral("show"), QStringLiteral("0")},
        {QStringLiteral("invoice"), QStringLiteral("show"), QStringLiteral("1"),
         QStringLiteral("2")},
        {QStringLiteral("invoice"), QStringLiteral("show"), QStringLiteral("1"),
         QStringLiteral("--text"), QStringLiteral("--html")},
        {QStringLiteral("invoice"), QStringLiteral("show"), QStringLiteral("1"),
         QStringLiteral("-o")},
        {QStringLiteral("invoice"), QStringLiteral("show"), QStringLiteral("1"),
         QStringLiteral("-o"), QString()},
        {QStringLiteral("invoice"), QStringLiteral("show"), QStringLiteral("1"),
         QStringLiteral("-o"), QStringLiteral("a"), QStringLiteral("-o"), QStringLiteral("b")},
    };
    for (const QStringList& args : bad) {
        const Result r = run(args);
        QVERIFY2(r.code == 2, qPrintable(args.join(' ')));
        QVERIFY(r.err.contains(QStringLiteral("Usage: invoice show N [--text|--html] [-o FILE]")));
        QVERIFY(r.outBytes.isEmpty());
    }

    // A missing invoice fails with its reason; nothing is written.
    const QString file = m_folders->filePath(QStringLiteral("none.htm"));
    Result r = run({QStringLiteral("invoice"), QStringLiteral("show"), QStringLiteral("4711"),
                    QStringLiteral("-o"), file});
    QCOMPARE(r.code, 1);
    QVERIFY2(r.err.contains(QStringLiteral("Invoice 4711 could not be loaded")), qPrintable(r.err));
    QVERIFY(!QFile::exists(file));

    // An output file that cannot be written.
    const qint32 c = m_fx->addCustomer(QStringLiteral("dave"), m_plan, m_invoicePlan);
    const qint32 n = computeInvoice(c);
    QVERIFY(n > 0);
    r = run({QStringLiteral("invoice"), QStringLiteral("show"), QString::number(n),
             QStringLiteral("-o"), m_folders->filePath(QStringLiteral("no/such/dir/x.htm"))});
    QCOMPARE(r.code, 1);
    QVERIFY2(r.err.contains(QStringLiteral("Unable to write")), qPrintable(r.err));
}

QTEST_GUILESS_MAIN(TestInvoiceCli)
#include "tst_invoicecli.moc"
