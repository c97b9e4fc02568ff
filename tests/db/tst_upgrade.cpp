#include "common/billingfixture.h"
#include "common/cliprocess.h"
#include "common/earlierlayout.h"
#include "common/recordingui.h"
#include "common/testfolders.h"
#include "core/app/registrystore.h"
#include "core/app/schemaupgrade.h"
#include "core/billing/invoicedoc.h"
#include "core/db/database.h"
#include "core/db/datetimeutil.h"
#include "core/db/schema.h"

#include <QtTest>
#include <memory>

// The upgrade of earlier layouts on database files that the tests write themselves: the
// whole way from the first layout, reruns, the billing-plan file, failures half-way and the
// command line.
class TestUpgrade : public QObject {
    Q_OBJECT

    std::unique_ptr<CTestFolders> m_folders;
    std::unique_ptr<CRecordingUi> m_ui;
    QString m_path;

    // Every table with its fields and rows, to tell whether anything changed.
    static QString dump(Database& db) {
        QString out;
        QStringList tables = db.tableNames();
        tables.sort();
        for (const QString& t : tables) {
            out += t + ':';
            for (const FieldDef& f : db.fields(t))
                out += ' ' + f.name + '/' + QString::number(int(f.kind)) + '/' +
                       QString::number(f.size);
            out += '\n';
            Statement st = db.prepare(QStringLiteral("SELECT * FROM \"%1\" ORDER BY rowid").arg(t));
            while (st.next()) {
                for (int i = 0; i < st.columnCount(); ++i)
                    out += st.value(i).toString() + '|';
                out += '\n';
            }
        }
        return out;
    }
    // A first-layout file: alice with an address and a last bill on the 15th, bob with no
    // address and no last bill, sessions of both, an invoice of each and one of a customer
    // that no longer exists.
    void writeFirstLayout() {
        Database db;
        CEarlierLayout old(db, m_path, CEarlierLayout::FirstLayout);
        CEarlierLayout::Customer alice;
        alice.name = "alice";
        alice.address1 = "1 Harbour Road";
        alice.city = "Kestrel Bay";
        alice.province = "ON";
        alice.email = "alice@example.org";
        alice.lastBill = QVariant::fromValue(DbFromDate(2026, 10, 15));
        old.addCustomer(alice);
        CEarlierLayout::Customer bob;
        bob.name = "bob";
        bob.hourlyRate = "3.00";
        old.addCustomer(bob);
        old.addSession("alice", QDateTime(QDate(2026, 11, 3), QTime(20, 0)), 2 * 3600);
        old.addSession("bob", QDateTime(QDate(2026, 11, 4), QTime(9, 0)), 1800);
        old.addInvoice("alice", 17, QDate(2026, 10, 15), "12.00", "0.50", "0.25");
        old.addInvoice("bob", 18, QDate(2026, 10, 15), "7.00");
        old.addInvoice("carol", 19, QDate(2026, 10, 15), "9.00");
    }
    int upgrade(const UpgradeOptions& options = {}) {
        Database db;
        db.open(m_path);
        return UpgradeDatabase(db, options);
    }
    UpgradeOptions inFolder() const {
        UpgradeOptions o;
        o.planFileFolder = m_folders->path();
        return o;
    }

private slots:
    void init() {
        theRegistry().close();
        m_folders = std::make_unique<CTestFolders>();
        QVERIFY(theRegistry().open());
        ResetUpgradeState();
        m_ui = std::make_unique<CRecordingUi>();
        m_ui->defaultAnswer = true;
        m_path = m_folders->filePath("tollk.db");
    }
    void cleanup() {
        if (QTest::currentTestFailed() && m_ui)
            qDebug().noquote() << m_ui->transcript().join('\n');
        m_ui.reset();
        theRegistry().close();
        m_folders.reset();
    }

    void firstLayoutUpgradedInOneGoThenBilled() {
        writeFirstLayout();
        const QByteArray original = FileBytes(m_path);
        QCOMPARE(upgrade(inFolder()), 0);
        // One question, the one for first-layout files; the copy holds the file as it was.
        QCOMPARE(m_ui->questions.size(), 1);
        QVERIFY(m_ui->questions[0].text.contains("All invoice numbers will be altered."));
        QCOMPARE(FileBytes(m_path + ".before-upgrade-0"), original);

        Database db;
        db.open(m_path);
        for (const TableSchema& t : CurrentSchema())
            for (const FieldDef& f : t.fields)
                QVERIFY2(db.fieldExists(t.name, f.name), qPrintable(t.name + '.' + f.name));
        for (const char* gone : {"HRate", "Address1", "LastBill", "Prepaid", "Prepay"})
            QVERIFY2(!db.fieldExists("Users", gone), gone);
        QVERIFY(!db.tableExists("Comments"));
        QCOMPARE(db.scalar("SELECT [Version] FROM DBInfo").toInt(),
                 std::max(ProgramVersionCode(), int(kCurrentDbVersion)));
        // Addresses moved for alice only; anniversary days from the last bill.
        QCOMPARE(db.scalar("SELECT COUNT(*) FROM Address").toInt(), 1);
        QCOMPARE(db.scalar("SELECT a.City FROM Address a JOIN Users u ON a.IdOwner = u.Id "
                           "WHERE u.Username = 'alice' AND a.Type = 0")
                     .toString(),
                 QString("Kestrel Bay"));
        QCOMPARE(db.scalar("SELECT AnniversaryDay FROM Users WHERE Username = 'alice'").toInt(),
                 15);
        QCOMPARE(db.scalar("SELECT AnniversaryDay FROM Users WHERE Username = 'bob'").toInt(), 0);
        // carol's invoice went with carol; the others belong to their customers by Id.
        QCOMPARE(db.scalar("SELECT COUNT(*) FROM Invoices").toInt(), 2);
        QCOMPARE(
            db.scalar("SELECT COUNT(*) FROM Invoices i JOIN Users u ON i.IdUser = u.Id").toInt(),
            2);
        QCOMPARE(db.scalar("SELECT Taxes FROM Invoices i JOIN Users u ON i.IdUser = u.Id "
                           "WHERE u.Username = 'alice'")
                     .value<Currency>(),
                 Currency::fromUnits(7500));
        QCOMPARE(db.scalar("SELECT COUNT(*) FROM Events WHERE SessionId = 'None'").toInt(), 2);

        // The rates are in the summary file, by customer and by value.
        const QString summary =
            QString::fromLatin1(FileBytes(m_folders->filePath("BillingPlans.txt")));
        QVERIFY(summary.contains("ALICE\nRegular hourly rate:  2.50\n"));
        QVERIFY(summary.contains("Data: Regular hourly rate:\nValue: 3.00\n\tBOB\n"));
        QVERIFY(m_ui->transcript().join('\n').contains(
            "Tollkeeper has compiled and written all of your billing plan data to the file: " +
            QDir::toNativeSeparators(m_folders->filePath("BillingPlans.txt")) + ".\n\n"));

        // The converted customer bills with a plan of the new model over the old sessions.
        CBillingFixture fx(db);
        const qint32 plan = fx.addPlan("November", QDate(2026, 11, 1), QDate(2026, 12, 1));
        fx.attach(plan, fx.addCharge(CBillingFixture::online("Hours", "1.00")));
        const qint32 ip = fx.addInvoicePlan("Plain");
        const qint32 alice = db.scalar("SELECT Id FROM Users WHERE Username = 'alice'").toInt();
        CInvoiceDoc doc(db);
        QCOMPARE(doc.Create(alice, plan, ip, DbFromDate(2026, 12, 1), true, false), 39);
        QCOMPARE(db.scalar("SELECT NewCharges FROM Invoices WHERE IdUser = ? ORDER BY "
                           "InvoiceNum DESC",
                           {alice})
                     .value<Currency>(),
                 Currency::fromUnits(20000));
    }

    void reopeningAsksOnceAndChangesNothing() {
        writeFirstLayout();
        QCOMPARE(upgrade(inFolder()), 0);
        QString before;
        {
            Database db;
            db.open(m_path);
            before = dump(db);
        }
        QCOMPARE(upgrade(inFolder()), 0);
        // A negative version (a failure of an older release) reruns every level safely.
        {
            Database db;
            db.open(m_path);
            db.execute("UPDATE DBInfo SET [Version] = -393216");
        }
        QCOMPARE(upgrade(inFolder()), 0);
        Database db;
        db.open(m_path);
        QCOMPARE(dump(db), before);
        QCOMPARE(m_ui->questions.size(), 1);
        QCOMPARE(m_ui->countMessages("Error updating Tollkeeper database"), 0);
    }

    void release110Upgrades() {
        {
            Database db;
            CEarlierLayout old(db, m_path, CEarlierLayout::Release110);
            CEarlierLayout::Customer c;
            c.name = "a-name-of-exactly-twenty-nine";
            old.addCustomer(c);
            old.addInvoice(c.name, 0, QDate(2026, 10, 1), "4.00");
        }
        QCOMPARE(upgrade(inFolder()), 0);
        QVERIFY(!m_ui->questions[0].text.contains("invoice numbers"));
        Database db;
        db.open(m_path);
        QCOMPARE(db.scalar("SELECT COUNT(*) FROM Invoices WHERE IdUser > 0").toInt(), 1);
        QCOMPARE(db.fieldInfo("LANTemp", "LogonID").size, 255);
        QVERIFY(!db.fieldExists("LANTemp", "On/Off"));
    }

    void failureHalfWayLeavesFileAsItWas_data() {
        QTest::addColumn<int>("level");
        QTest::addColumn<int>("step");
        QTest::newRow("first layout tables") << 1 << 4;
        QTest::newRow("name conversion") << 5 << 3;
        QTest::newRow("session keys") << 6 << 3;
        QTest::newRow("invoices to IdUser") << 7 << 23;
        QTest::newRow("last step") << 9 << 0;
    }
    void failureHalfWayLeavesFileAsItWas() {
        QFETCH(int, level);
        QFETCH(int, step);
        writeFirstLayout();
        const QByteArray original = FileBytes(m_path);
        UpgradeOptions o = inFolder();
        o.failAt = level * 65536 + step;
        QCOMPARE(upgrade(o), 13);
        QVERIFY(m_ui->transcript().join('\n').contains(
            QString("Error updating Tollkeeper database (Level: %1 Step: %2).")
                .arg(level)
                .arg(step)));
        QCOMPARE(FileBytes(m_path), original);
        QCOMPARE(FileBytes(m_path + ".before-upgrade-0"), original);
    }

    void declinedLeavesFileAsItWas() {
        writeFirstLayout();
        const QByteArray original = FileBytes(m_path);
        m_ui->defaultAnswer = false;
        QCOMPARE(upgrade(inFolder()), 1223);
        QVERIFY(m_ui->messages.isEmpty());
        QCOMPARE(FileBytes(m_path), original);
    }

    void unwritablePlanFileKeepsRates() {
        writeFirstLayout();
        UpgradeOptions o;
        o.planFileFolder = m_folders->filePath("no-such-folder");
        QCOMPARE(upgrade(o), 0);
        QVERIFY(m_ui->hasMessage("Tollkeeper was unable to compile and write out your billing plan "
                                 "data.  Try freeing up disk space.  Tollkeeper will try again "
                                 "each time you start it up until it succeeds."));
        {
            Database db;
            db.open(m_path);
            QVERIFY(db.fieldExists("Users", "HRate"));
        }
        // The next opening writes it and removes the fields.
        QCOMPARE(upgrade(inFolder()), 0);
        QVERIFY(QFile::exists(m_folders->filePath("BillingPlans.txt")));
        Database db;
        db.open(m_path);
        QVERIFY(!db.fieldExists("Users", "HRate"));
    }

    void commandLineListsStepsAndDryRunChangesNothing() {
        QVERIFY2(CliMissing().isEmpty(), qPrintable(CliMissing()));
        writeFirstLayout();
        const QByteArray original = FileBytes(m_path);
        const CliResult dry = RunCliOn(m_folders->path(), m_path, {"upgrade", "--dry-run"});
        QCOMPARE(dry.code, 0);
        QVERIFY(dry.out.contains("Level 7 Step 23: "));
        QCOMPARE(FileBytes(m_path), original);
        const CliResult run = RunCliOn(m_folders->path(), m_path, {"--yes", "upgrade"});
        QVERIFY2(run.code == 0, qPrintable(run.err));
        QCOMPARE(run.outLines().filter("Level ").size(), dry.outLines().filter("Level ").size());
        const CliResult again = RunCliOn(m_folders->path(), m_path, {"upgrade", "--dry-run"});
        QCOMPARE(again.outLines().filter("Level ").size(), 0);
    }
};

QTEST_GUILESS_MAIN(TestUpgrade)
#include "tst_upgrade.moc"
