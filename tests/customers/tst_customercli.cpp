// customer, group, options and customer import run as the built tollkeeper-cli on a real
// database: changes are all or nothing, unknown names fail with one line, the card is masked.
#include "common/billingfixture.h"
#include "common/cliprocess.h"
#include "common/testfolders.h"
#include "core/db/database.h"
#include "core/db/schema.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;

class TestCustomerCli : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY2(CliMissing().isEmpty(), qPrintable(CliMissing())); }
    void init();
    void cleanup() { folders.reset(); }

    void addSetShowAndList();
    void refusalsChangeNothing_data();
    void refusalsChangeNothing();
    void groupMembersAndDelete();
    void importReportsEveryBadLine();
    void optionsAreChecked();

private:
    CliResult cli(const QStringList& args) { return RunCliOn(folders->path(), dbPath, args); }
    QString show(const QString& name) { return cli({"customer", "show", name}).out; }

    std::unique_ptr<CTestFolders> folders;
    QString dbPath;
};

void TestCustomerCli::init() {
    folders = std::make_unique<CTestFolders>();
    dbPath = folders->filePath(u"cli.db"_s);
    CreateNewDatabase(dbPath);
    Database db;
    db.open(dbPath);
    CBillingFixture fx(db);
    const qint32 plan = fx.addPlan(u"Basic"_s, QDate(2026, 1, 1), QDate(2027, 1, 1));
    ChargeRow ip = CBillingFixture::fixed(u"Static IP"_s, "5");
    ip.DefUnitQuantity = 1;
    fx.attach(plan, fx.addCharge(ip));
    fx.addInvoicePlan(u"Plain"_s);
}

void TestCustomerCli::addSetShowAndList() {
    // A new database file is for its owner's eyes only (it holds card numbers).
    const QString created = folders->filePath(u"new.db"_s);
    QCOMPARE(RunCliOn(folders->path(), created, {"init"}).code, 0);
    QCOMPARE(QFile::permissions(created) & (QFileDevice::ReadGroup | QFileDevice::ReadOther |
                                            QFileDevice::WriteGroup | QFileDevice::WriteOther),
             QFileDevice::Permissions());

    CliResult r = cli({"customer", "add", "alice", "--full-name", "Alice A", "--billing-plan",
                       "basic", "--start", "2026-02-03"});
    QVERIFY2(r.code == 0, qPrintable(r.err));
    r = cli({"customer", "set", "ALICE", "CreditCard=4111 1111 1111 1234", "ExpiryDate=07/2030",
             "Home.City=Kiel", "Phone.Fax=555", "Units.Static IP=3", "AnniversaryDay=9"});
    QVERIFY2(r.code == 0, qPrintable(r.err));
    const QString text = show(u"alice"_s);
    for (const char* line :
         {"FullName: Alice A", "StartDate: 2026-02-03", "BillingPlan: Basic",
          "CreditCard: ************1234", "ExpiryDate: 07/2030", "Home.City: Kiel",
          "Phone.Fax: 555", "Units.Static IP: 3", "AnniversaryDay: 9"})
        QVERIFY2(text.contains(QLatin1String(line)), line);
    QVERIFY(!text.contains(u"4111"_s));

    r = cli({"customer", "list", "--format", "json"});
    QCOMPARE(r.code, 0);
    const QJsonArray rows = QJsonDocument::fromJson(r.outBytes).array();
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows.at(0).toObject().value("Name").toString(), u"alice"_s);
}

void TestCustomerCli::refusalsChangeNothing_data() {
    QTest::addColumn<QStringList>("args");
    QTest::newRow("unknown field") << QStringList{"customer", "set", "bob", "FullName=X", "Shoe=9"};
    QTest::newRow("unknown plan") << QStringList{"customer", "set", "bob", "FullName=X",
                                                 "BillingPlan=Gold"};
    QTest::newRow("unknown name") << QStringList{"customer", "set", "nobody", "FullName=X"};
    QTest::newRow("add unknown plan")
        << QStringList{"customer", "add", "carl", "--invoice-plan", "Fancy"};
    QTest::newRow("add taken") << QStringList{"customer", "add", "BOB"};
}

void TestCustomerCli::refusalsChangeNothing() {
    QFETCH(QStringList, args);
    QCOMPARE(cli({"customer", "add", "bob"}).code, 0);
    const QString before = cli({"customer", "list", "--format", "csv"}).out + show("bob");
    const CliResult r = cli(args);
    QCOMPARE(r.code, 1);
    QCOMPARE(r.err.trimmed().count(QLatin1Char('\n')), 0); // one line says why
    QCOMPARE(cli({"customer", "list", "--format", "csv"}).out + show("bob"), before);
}

// The group rules are tested in process; here the output of members, the refusal's line and
// the question of delete (refused without a terminal: status 3).
void TestCustomerCli::groupMembersAndDelete() {
    for (const char* name : {"a", "b", "x"})
        QCOMPARE(cli({"customer", "add", name}).code, 0);
    QCOMPARE(cli({"group", "add-member", "a", "b", "x"}).code, 0);
    QCOMPARE(cli({"group", "add-member", "b", "x"}).code, 0);
    const CliResult refused = cli({"group", "add-member", "b", "a"});
    QCOMPARE(refused.code, 1);
    QVERIFY(refused.err.contains(u"'a' cannot be added to 'b'"_s));
    QCOMPARE(cli({"group", "members", "a"}).outLines(), (QStringList{"(+)b", "x"}));
    QCOMPARE(cli({"customer", "delete", "x"}).code, 3);
    QCOMPARE(cli({"customer", "delete", "x", "--yes"}).code, 0);
    QCOMPARE(cli({"customer", "show", "x"}).code, 1);
}

// Each refused line is named with its file and line number; nothing is stored.
void TestCustomerCli::importReportsEveryBadLine() {
    const QString csv = folders->filePath(u"in.csv"_s);
    QVERIFY(WriteFileBytes(csv, "Username,BillingPlan,AnniversaryDay\nann,Basic,1\nbob,Gold,2\n"
                                "cyd,,40\n"));
    CliResult r = cli({"customer", "import", csv});
    QCOMPARE(r.code, 1);
    QVERIFY(r.err.contains(u"in.csv:3: no billing plan named 'Gold'"_s));
    QVERIFY(r.err.contains(u"in.csv:4: "_s));
    QCOMPARE(cli({"customer", "list", "--format", "csv"}).outLines().size(), 1); // header only
}

void TestCustomerCli::optionsAreChecked() {
    QCOMPARE(cli({"options", "set", "CompanyName=Kestrel Bay", "DefBillingPlan=basic",
                  "DefAnniversaryDate=0", "DefaultEmailDomain=kb.example"})
                 .code,
             0);
    for (const QStringList& bad :
         {QStringList{"options", "set", "DefAnniversaryDate=32", "CompanyName=Other"},
          QStringList{"options", "set", "CompanyName=" + QString(51, QLatin1Char('n'))},
          QStringList{"options", "set", "DefInvoicePlan=Fancy"},
          QStringList{"options", "set", "Colour=red"},
          // A password would go in clear text without TLS.
          QStringList{"options", "set", "SmtpUser=clerk", "SmtpPassword=s3cret"}})
        QCOMPARE(cli(bad).code, 1);
    const CliResult smtp =
        cli({"options", "set", "SmtpSecurity=starttls", "SmtpUser=clerk", "SmtpPassword=s3cret"});
    QVERIFY2(smtp.code == 0 && smtp.out.contains(QLatin1String("owner only")),
             qPrintable(smtp.err));
    const QString text = cli({"options", "show"}).out;
    QVERIFY(text.contains(u"CompanyName: Kestrel Bay\n"_s));
    QVERIFY(text.contains(u"DefBillingPlan: Basic\n"_s));
    QVERIFY(text.contains(u"SmtpSecurity: starttls\nSmtpUser: clerk\nSmtpPassword: (set)\n"_s));
    QVERIFY(!text.contains(u"s3cret"_s));
    // A new customer takes the defaults.
    QCOMPARE(cli({"customer", "add", "eve"}).code, 0);
    const QString eve = show("eve");
    QVERIFY(eve.contains(u"Billing.EMail: eve@kb.example"_s));
    QVERIFY(eve.contains(u"BillingPlan: Basic"_s));
}

QTEST_GUILESS_MAIN(TestCustomerCli)
#include "tst_customercli.moc"
