// The "Current Balances" and "Purge old records" dialogs driven offscreen on a real database:
// the preselected customer, the amount that follows the selection, Pay, UnPay and Delete
// with the list read again after each, a name that matches no customer, and the purge's
// refusal when nothing is chosen.
#include "common/billingfixture.h"
#include "common/recordingui.h"
#include "common/testfolders.h"
#include "core/app/dbsession.h"
#include "core/app/registrystore.h"
#include "core/app/settingsvalues.h"
#include "core/db/database.h"
#include "core/db/datetimeutil.h"
#include "core/db/schema.h"
#include "ui/jobs/balancesdlg.h"
#include "ui/jobs/purgedlg.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QtTest>

using F = CBillingFixture;

class TestMaintenanceDlgs : public QObject {
    Q_OBJECT

private slots:
    void balancesAndPurge() {
        CTestFolders folders;
        QVERIFY(theRegistry().open());
        QVERIFY(RegWriteText(Reg::LogFileName, folders.filePath("Tollk.log")));
        QVERIFY(RegWriteYesNo(Reg::SuppressDatabasePrompt, true));
        CRecordingUi ui;
        ui.defaultAnswer = true;
        const QString path = folders.filePath("money.db");
        CreateNewDatabase(path);
        CDatabaseSession session;
        QVERIFY(session.openAtStartup(path));
        Database& db = *session.database();
        const qint32 ann = F(db).addCustomer("ann"), bob = F(db).addCustomer("bob");
        for (const char* charges : {"10", "20"})
            db.execute("INSERT INTO Invoices (IdUser, ClosingDate, NewCharges, TotalPaid) VALUES "
                       "(?, ?, ?, 0)",
                       {ann, QVariant::fromValue(DbFromDate(2024, 5, 1)),
                        QVariant::fromValue(F::money(charges))});

        CBalancesDlg dlg(nullptr, ann);
        auto* list = dlg.findChild<QTreeWidget*>("BalanceList");
        auto* amount = dlg.findChild<QLineEdit*>("AmountEdit");
        auto* balance = dlg.findChild<QLineEdit*>("BalanceEdit");
        const auto paidColumn = [list] {
            QStringList out;
            for (int i = 0; i < list->topLevelItemCount(); ++i)
                out << list->topLevelItem(i)->text(3);
            return out;
        };
        QCOMPARE(list->topLevelItemCount(), 2);
        QCOMPARE(amount->text(), "20.00"); // the last line is selected
        list->selectAll();
        QCOMPARE(amount->text(), "30.00");
        QCOMPARE(balance->text(), "30.00");
        amount->setText("0");
        dlg.pay();
        QVERIFY(ui.hasMessage("Enter an amount paid."));
        amount->setText("35");
        dlg.pay();
        QCOMPARE(paidColumn(), QStringList({"10.00", "20.00", "5.00"}));
        QCOMPARE(balance->text(), "-5.00");

        list->clearSelection();
        list->topLevelItem(1)->setSelected(true);
        dlg.unpay();
        QVERIFY(ui.hasQuestion(UnpayQuestion()));
        QCOMPARE(paidColumn(), QStringList({"10.00", "0.00", "5.00"}));
        list->clearSelection();
        list->topLevelItem(0)->setSelected(true);
        dlg.deleteInvoices();
        QCOMPARE(paidColumn(), QStringList({"0.00", "5.00"}));

        auto* combo = dlg.findChild<QComboBox*>("CustomerCombo");
        combo->setEditText("nobody");
        QCOMPARE(list->topLevelItemCount(), 0);
        QVERIFY(!dlg.findChild<QPushButton*>("PayButton")->isEnabled());
        combo->setEditText("BOB");
        QCOMPARE(dlg.customerId(), bob);

        CPurgeDlg purge;
        purge.purge();
        QVERIFY(ui.hasMessage("Please select which types of records you wish to purge."));
        QVERIFY(ui.questions.size() == 2); // nothing asked for the purge
        theRegistry().close();
    }
};

QTEST_MAIN(TestMaintenanceDlgs)
#include "tst_maintenancedlgs.moc"
