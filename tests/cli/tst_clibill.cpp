// The built tollkeeper-cli's invoice runs on real database files: bill for a group or a
// customer (one line per new invoice, the run's warnings and errors, exit statuses), keep and
// discard, sending after keeping to PDF, and send-group.
#include "common/billingfixture.h"
#include "common/cliprocess.h"
#include "core/db/currency.h"
#include "core/db/database.h"
#include "core/db/datetimeutil.h"
#include "core/db/schema.h"
#include "common/testfolders.h"

#include <QDirIterator>
#include <QtTest>

#include <memory>

namespace {
using F = CBillingFixture;
} // namespace

class TestCliBill : public QObject {
    Q_OBJECT

    // Standard output as lines.
    struct Result {
        int code = -1;
        QStringList out;
        QString err;
    };

    std::unique_ptr<CTestFolders> m_folders;
    QString m_db;

    Result run(const QStringList& args) {
        const CliResult r = RunCliOn(m_folders->path(), m_db, args);
        return {r.code, r.outLines(), r.err};
    }
    static QString amount(const char* text) { return F::money(text).format(CurrencyDecimals()); }
    int count(const QString& sql) {
        Database db;
        db.open(m_db);
        return db.scalar(sql).toInt();
    }
    // Builds the test data: plans "Monthly" (fee 10) and "Premium" (fee 25), invoicing plans
    // "Plain" and "Printed" (prints on sending); customers ann and bob, the inactive idle and
    // the departed gone; groups team (ann, bob, idle), strict (override bit, no override
    // plan) and leavers (gone).
    void buildDatabase() {
        m_db = m_folders->filePath("bill.db");
        CreateNewDatabase(m_db);
        Database db;
        db.open(m_db);
        F fx(db);
        const qint32 monthly = fx.addPlan("Monthly", QDate(2024, 4, 1), QDate(2024, 5, 1));
        fx.attach(monthly, fx.addCharge(F::fixed("Fee", "10")));
        const qint32 premium = fx.addPlan("Premium", QDate(2024, 4, 1), QDate(2024, 5, 1));
        fx.attach(premium, fx.addCharge(F::fixed("Premium fee", "25")));
        const qint32 plain = fx.addInvoicePlan("Plain");
        InvoicePlanRow printed;
        printed.Name = "Printed";
        printed.PrintOnCreate = true;
        printed.CreateIfZero = true;
        fx.addInvoicePlan(printed);

        const qint32 ann = fx.addCustomer("ann", monthly, plain);
        const qint32 bob = fx.addCustomer("bob", monthly, plain);
        UserRow idle = fx.customer(fx.addCustomer("idle", monthly, plain));
        idle.ActiveStatus = 0;
        fx.updateCustomer(idle);
        UserRow gone = fx.customer(fx.addCustomer("gone", monthly, plain));
        gone.EndDate = DbFromDate(2024, 1, 1);
        fx.updateCustomer(gone);
        fx.addCustomer("noplan", monthly, 0);

        auto group = [&](const char* name, qint32 options, QList<qint32> members) {
            UserRow g;
            g.Username = name;
            g.IsGroup = true;
            g.GroupOptions = options;
            const qint32 id = fx.addCustomer(g);
            for (const qint32 m : members)
                db.execute("INSERT INTO UserGroupJoin (GroupId, UserLinkId) VALUES (?, ?)",
                           {id, m});
        };
        group("team", 0, {ann, bob, idle.Id});
        group("strict", 0x01, {ann});
        group("leavers", 0, {gone.Id});
    }
    QStringList pdfFiles() {
        QStringList files;
        QDirIterator it(m_folders->path(), {"*.pdf"}, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext())
            files << QFileInfo(it.next()).fileName();
        files.sort();
        return files;
    }

private slots:
    void initTestCase() { QVERIFY2(CliMissing().isEmpty(), qPrintable(CliMissing())); }
    void init() {
        m_folders = std::make_unique<CTestFolders>();
        QVERIFY(m_folders->isValid());
        buildDatabase();
    }
    void cleanup() { m_folders.reset(); }

    void groupKeptPrintsOneLinePerInvoice() {
        const Result r = run({"bill", "--group", "team", "--date", "2024-05-02", "--keep"});
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out, (QStringList{"1\tann\t" + amount("10") + "\t" + amount("10"),
                                     "2\tbob\t" + amount("10") + "\t" + amount("10")}));
        QVERIFY2(r.err.contains("WARNING\tteam\tNo billing plan."), qPrintable(r.err));
        QVERIFY2(r.err.contains("WARNING\tidle\tcustomer is not active."), qPrintable(r.err));
        QCOMPARE(count("SELECT COUNT(*) FROM Invoices"), 2);
        QCOMPARE(count("SELECT COUNT(*) FROM Users WHERE GotFirstInvoice <> 0 AND "
                       "Username IN ('ann', 'bob')"),
                 2);

        // The next run carries the balance: total due includes the unpaid 10.
        const Result next = run({"bill", "--customer", "ann", "--date", "2024-05-03", "--keep",
                                 "--billing-plan", "Premium"});
        QCOMPARE(next.code, 0);
        QCOMPARE(next.out, QStringList{"3\tann\t" + amount("25") + "\t" + amount("35")});
    }

    void discardLeavesNoInvoice() {
        Result r = run({"bill", "--group", "team", "--date", "2024-05-02", "--discard"});
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out.size(), 2);
        QVERIFY(r.err.contains("Discarded 2 new invoice(s)."));
        QCOMPARE(count("SELECT COUNT(*) FROM Invoices"), 0);
        QCOMPARE(count("SELECT COUNT(*) FROM Charges WHERE IdInvoice <> 0"), 0);
        QCOMPARE(count("SELECT COUNT(*) FROM BillingPlans WHERE IdInvoice <> 0"), 0);

        r = run({"bill", "--customer", "bob", "--date", "2024-05-02", "--discard"});
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out.size(), 1);
        QCOMPARE(count("SELECT COUNT(*) FROM Invoices"), 0);
    }

    void failuresExitNonZero_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("err");
        const QStringList keep{"--date", "2024-05-02", "--keep"};
        QTest::newRow("group refused") << (QStringList{"bill", "--group", "strict"} + keep) << 1
                                       << "Group has no override billing plan.";
        QTest::newRow("no such group") << (QStringList{"bill", "--group", "ann"} + keep) << 1
                                       << "Customer group record not found.";
        QTest::newRow("no such customer") << (QStringList{"bill", "--customer", "zoe"} + keep) << 1
                                          << "Customer record not found.";
        QTest::newRow("no invoicing plan")
            << (QStringList{"bill", "--customer", "noplan"} + keep) << 1
            << "Please choose an invoicing plan to use, even if you choose not to execute the "
               "send options.";
        QTest::newRow("inactive customer") << (QStringList{"bill", "--customer", "idle"} + keep)
                                           << 1 << "Customer does not have active status.";
        QTest::newRow("invoice fails") << (QStringList{"bill", "--group", "leavers"} + keep) << 1
                                       << "ERROR\tgone\tcustomer's service was terminated";
        QTest::newRow("no such plan")
            << (QStringList{"bill", "--customer", "ann", "--billing-plan", "Gold"} + keep) << 1
            << "There is no billing plan named 'Gold'.";
        QTest::newRow("neither keep nor discard")
            << QStringList{"bill", "--group", "team"} << 2 << "Usage: bill";
        QTest::newRow("send without keep")
            << QStringList{"bill", "--group", "team", "--discard", "--send"} << 2 << "Usage: bill";
        QTest::newRow("customer and group")
            << (QStringList{"bill", "--group", "team", "--customer", "ann"} + keep) << 2
            << "Usage: bill";
        QTest::newRow("bad date") << QStringList{"bill",   "--group",    "team",
                                                 "--date", "2024-13-01", "--keep"}
                                  << 2 << "YYYY-MM-DD";
        QTest::newRow("send-group without date")
            << QStringList{"send-group", "--group", "team"} << 2 << "Usage: send-group";
    }

    void failuresExitNonZero() {
        QFETCH(QStringList, args);
        QFETCH(int, code);
        QFETCH(QString, err);
        const Result r = run(args);
        QCOMPARE(r.code, code);
        QVERIFY2(r.err.contains(err), qPrintable(r.err));
        QVERIFY(r.out.isEmpty());
        QCOMPARE(count("SELECT COUNT(*) FROM Invoices"), 0);
    }

    void sendAfterKeepingAndSendGroup() {
        Result r = run({"bill", "--group", "team", "--date", "2024-05-02", "--invoice-plan",
                        "Printed", "--keep", "--send"});
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out.size(), 2);
        QCOMPARE(pdfFiles(), (QStringList{"Invoice 1.pdf", "Invoice 2.pdf"}));

        // Sending again by date: the group's invoices with the chosen plan, the others not.
        QDirIterator it(m_folders->path(), {"*.pdf"}, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext())
            QVERIFY(QFile::remove(it.next()));
        r = run(
            {"send-group", "--group", "team", "--date", "2024-05-02", "--invoice-plan", "Printed"});
        QCOMPARE(r.code, 0);
        QStringList out = r.out;
        out.sort();
        QCOMPARE(out, (QStringList{"1\tann\tsent", "2\tbob\tsent"}));
        QCOMPARE(pdfFiles(), (QStringList{"Invoice 1.pdf", "Invoice 2.pdf"}));

        // Their own frozen plan prints too; a plan without send options sends nothing.
        r = run({"send-group", "--group", "team", "--date", "2024-05-02"});
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out.size(), 2);
        r = run(
            {"send-group", "--group", "team", "--date", "2024-05-02", "--invoice-plan", "Plain"});
        QCOMPARE(r.code, 0);
        out = r.out;
        out.sort();
        QCOMPARE(out, (QStringList{"1\tann\tnot sent", "2\tbob\tnot sent"}));
        QVERIFY(r.err.contains("The invoicing plan has no 'send' options selected."));
        // Another date has no invoices.
        r = run({"send-group", "--group", "team", "--date", "2024-06-02"});
        QCOMPARE(r.code, 0);
        QVERIFY(r.out.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestCliBill)
#include "tst_clibill.moc"
