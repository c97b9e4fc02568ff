// Payments, payments taken back, invoice deletions and purges of the command line killed in
// the middle of their transaction: the database must be exactly as before, and the same
// command run again must then do its whole work once.
#include "common/billingfixture.h"
#include "common/cliprocess.h"
#include "common/testfolders.h"
#include "core/db/database.h"
#include "core/db/datetimeutil.h"
#include "core/db/schema.h"

#include <QtTest>

namespace {

using F = CBillingFixture;

// Every invoice with its amounts and copies, and every session, in one text.
QString snapshot(const QString& path) {
    Database db;
    db.open(path);
    const QString check = db.scalar("PRAGMA integrity_check").toString();
    const QString invoices =
        db.scalar("SELECT group_concat(InvoiceNum || ':' || TotalPaid || ':' || IFNULL(Version, 0) "
                  "|| ':' || "
                  "(SELECT COUNT(*) FROM Charges c WHERE c.IdInvoice = InvoiceNum), ' ') "
                  "FROM Invoices")
            .toString();
    const QString events = db.scalar("SELECT group_concat(Sent) FROM Events").toString();
    return check + " | " + invoices + " | " + events;
}

} // namespace

class TestMoneyFaults : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY2(CliMissing().isEmpty(), qPrintable(CliMissing())); }

    void killedChangeLeavesDatabaseAsBefore_data() {
        QTest::addColumn<QString>("point");
        QTest::addColumn<QStringList>("args");
        QTest::newRow("payment") << "payment-line:2" << QStringList{"payment", "add", "ann", "100"};
        QTest::newRow("unpay") << "unpay-line:1" << QStringList{"payment", "undo", "1", "2"};
        QTest::newRow("delete") << "delete-invoice:1" << QStringList{"invoice", "delete", "1", "2"};
        QTest::newRow("purge") << "purge-events"
                               << QStringList{"purge", "--before", "2024-05-31", "--both"};
    }
    void killedChangeLeavesDatabaseAsBefore() {
        QFETCH(QString, point);
        QFETCH(QStringList, args);
        CTestFolders folders;
        const QString path = folders.filePath("money.db");
        CreateNewDatabase(path);
        {
            Database db;
            db.open(path);
            F fx(db);
            const qint32 ann = fx.addCustomer("ann");
            for (const char* paid : {"10", "0", "5"}) {
                db.execute("INSERT INTO Invoices (IdUser, ClosingDate, NewCharges, TotalDue, "
                           "TotalPaid) VALUES (?, ?, ?, ?, ?)",
                           {ann, QVariant::fromValue(DbFromDate(2024, 5, 1)),
                            QVariant::fromValue(F::money("10")),
                            QVariant::fromValue(F::money("10")),
                            QVariant::fromValue(F::money(paid))});
                db.execute("INSERT INTO Charges (Name, IdInvoice) VALUES ('c', ?)",
                           {db.lastInsertId()});
            }
            for (int i = 1; i <= 3; ++i)
                fx.addSession("ann", F::at(2024, 5, i), 60, i);
        }
        const QString before = snapshot(path);
        QVERIFY2(before.startsWith("ok | 1:100000:0:1 2:0:0:1 3:50000:0:1 | "), qPrintable(before));

        const QString marker = folders.filePath("marker");
        qputenv("TK_FAULT_POINT", point.toUtf8());
        qputenv("TK_FAULT_ACTION", "kill");
        qputenv("TK_FAULT_MARKER", marker.toUtf8());
        const CliResult killed = RunCliOn(folders.path(), path, QStringList{"--yes"} + args);
        qunsetenv("TK_FAULT_POINT");
        qunsetenv("TK_FAULT_ACTION");
        qunsetenv("TK_FAULT_MARKER");
        QVERIFY2(QFile::exists(marker), qPrintable(killed.err));
        QCOMPARE(killed.code, -1);
        QCOMPARE(snapshot(path), before);

        const CliResult again = RunCliOn(folders.path(), path, QStringList{"--yes"} + args);
        QVERIFY2(again.code == 0, qPrintable(again.err));
        QVERIFY(snapshot(path) != before);
    }
};

QTEST_GUILESS_MAIN(TestMoneyFaults)
#include "tst_moneyfaults.moc"
