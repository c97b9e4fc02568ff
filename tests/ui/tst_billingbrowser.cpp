// The billing plans browser offscreen on a real database: a charge created from the menu and
// edited through its property sheet, assigning charges in priority order, deleting a plan
// that issued invoices still carry, and the browser reopened at start.
#include "common/billingfixture.h"
#include "common/modalwatcher.h"
#include "common/recordingui.h"
#include "common/testfolders.h"
#include "core/app/appcontext.h"
#include "core/app/dbsession.h"
#include "core/app/registrystore.h"
#include "core/app/settingsvalues.h"
#include "core/billing/planassign.h"
#include "core/billing/plandelete.h"
#include "core/db/database.h"
#include "core/db/schema.h"
#include "ui/app/mainframe.h"
#include "ui/billing/billingcommands.h"
#include "ui/billing/billingtreedoc.h"
#include "ui/billing/billingtreeframe.h"
#include "ui/billing/bpchargesdlg.h"
#include "ui/billing/newitemdlg.h"
#include "ui/billing/planprops.h"
#include "ui/billing/propsheet.h"

#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiArea>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTreeView>
#include <QtTest>

class TestBillingBrowser : public QObject {
    Q_OBJECT

    std::unique_ptr<CTestFolders> folders;
    std::unique_ptr<CDatabaseSession> session;
    std::unique_ptr<CRecordingUi> rec;
    std::unique_ptr<CMainFrame> frame;
    CBillingCommands* commands = nullptr;

    Database& db() { return *session->database(); }
    CBillingTreeFrame* browser() { return commands->openBrowser(); }
    // The names under a tree item (the roots under none), in order.
    static QStringList children(const CBillingTreeDoc* doc, const QModelIndex& parent = {}) {
        QStringList names;
        for (int row = 0; row < doc->rowCount(parent); ++row)
            names << doc->index(row, 0, parent).data().toString();
        return names;
    }
    int count(const QString& sql) { return db().scalar(sql).toInt(); }

private slots:
    void init() {
        App().reset();
        folders = std::make_unique<CTestFolders>();
        QVERIFY(theRegistry().open());
        const QString path = folders->filePath(QStringLiteral("plans.db"));
        CreateNewDatabase(path);
        QVERIFY(RegWriteText(Reg::DatabasePath, path));
        QVERIFY(RegWriteYesNo(Reg::SuppressDatabasePrompt, true));
        session = std::make_unique<CDatabaseSession>();
        QVERIFY(session->openAtStartup());
        rec = std::make_unique<CRecordingUi>();
        frame = std::make_unique<CMainFrame>(nullptr);
        commands = frame->findChild<CBillingCommands*>();
        QVERIFY(commands);
    }
    void cleanup() {
        frame.reset();
        rec.reset();
        session.reset();
        theRegistry().close();
        folders.reset();
    }

    void chargeCreatedFromTheMenuIsEditedThroughItsSheet() {
        CBillingTreeFrame* tree = browser();
        QVERIFY(tree);
        QCOMPARE(children(tree->document()),
                 (QStringList{"Billing Plans", "Charges", "Invoicing Plans"}));
        {
            CModalWatcher watcher([](QWidget* w) {
                auto* dlg = qobject_cast<CNewItemDlg*>(w);
                if (!dlg)
                    return;
                dlg->findChild<QLineEdit*>(QStringLiteral("NameEdit"))->setText("Evening");
                for (auto* radio : dlg->findChildren<QRadioButton*>())
                    radio->setChecked(radio->text() == QLatin1String("Online"));
                dlg->accept();
            });
            commands->action("actionCreateCharge")->trigger();
        }
        QCOMPARE(children(tree->document(), tree->document()->root(BillingNode::ChargesRoot)),
                 QStringList{"Evening"});
        QCOMPARE(tree->selected().data().toString(), QStringLiteral("Evening"));
        const qint32 id = CBillingTreeDoc::idOf(tree->selected());

        auto sheet = BuildChargeProps(db(), id, nullptr);
        QVERIFY(sheet);
        QStringList tabs;
        for (CPropPage* page : sheet->pages())
            tabs << page->title();
        QCOMPARE(tabs, (QStringList{"General", "Overtime", "Premium", "Origin", "Apply"}));
        auto* units = sheet->findChild<QLineEdit*>(QStringLiteral("UnitsEdit"));
        QCOMPARE(units->text(), QStringLiteral("1")); // hours, not 3600 seconds

        // A refusal on a later page keeps the sheet open and stores nothing of any page.
        sheet->findChild<QLineEdit*>(QStringLiteral("NameEdit"))->setText("Night");
        units->setText(QStringLiteral("2"));
        sheet->findChild<QCheckBox*>(QStringLiteral("StartSet"))->setChecked(true);
        sheet->findChild<QSpinBox*>(QStringLiteral("StartHours"))->setValue(5);
        sheet->findChild<QCheckBox*>(QStringLiteral("StopSet"))->setChecked(true);
        sheet->findChild<QSpinBox*>(QStringLiteral("StopHours"))->setValue(4);
        sheet->accept();
        QVERIFY(rec->hasMessage(QStringLiteral("Stop must be greater than start.")));
        QCOMPARE(sheet->result(), int(QDialog::Rejected));
        QCOMPARE(sheet->tabs()->tabText(sheet->tabs()->currentIndex()), QStringLiteral("Overtime"));
        QCOMPARE(db().scalar("SELECT Name || '/' || UnitQuantity FROM Charges").toString(),
                 QStringLiteral("Evening/3600"));

        sheet->findChild<QSpinBox*>(QStringLiteral("StopHours"))->setValue(6);
        sheet->accept();
        QCOMPARE(sheet->result(), int(QDialog::Accepted));
        QCOMPARE(db().scalar("SELECT Name || '/' || UnitQuantity || '/' || LimitEnd FROM Charges")
                     .toString(),
                 QStringLiteral("Night/7200/21600"));
    }

    void assignedChargesKeepTheirOrderAndThePlanTaxes() {
        CBillingFixture fx(db());
        const qint32 plan = fx.addPlan("Basic", QDate(2026, 11, 1), QDate(2026, 12, 1));
        const qint32 a = fx.addCharge(CBillingFixture::fixed("Access", "10"));
        const qint32 b = fx.addCharge(CBillingFixture::fixed("Backup", "2"));
        const qint32 c = fx.addCharge(CBillingFixture::fixed("Colocation", "30"));
        const qint32 vat = fx.addCharge(CBillingFixture::tax("VAT", 19));
        fx.attach(plan, vat);

        CBPChargesDlg dlg(PlanChargeAssignment::load(db(), plan));
        QCOMPARE(dlg.windowTitle(), QStringLiteral("Assign charges to Basic billing plan"));
        auto* available = dlg.findChild<QListWidget*>(QStringLiteral("AvailableList"));
        auto* assigned = dlg.findChild<QListWidget*>(QStringLiteral("AssignedList"));
        for (int i = 0; i < 3; ++i) { // Access, Backup, Colocation in turn
            available->setCurrentRow(0);
            dlg.findChild<QPushButton*>(QStringLiteral("AddButton"))->click();
        }
        assigned->setCurrentRow(2);
        dlg.findChild<QPushButton*>(QStringLiteral("UpButton"))->click();
        QCOMPARE(assigned->currentItem()->text(), QStringLiteral("Colocation"));
        dlg.accept();
        QCOMPARE(dlg.result(), int(QDialog::Accepted));

        QList<qint32> order;
        Statement st = db().prepare(QStringLiteral(
            "SELECT IdCharge FROM BPChargeJoin j JOIN Charges c ON c.Id = j.IdCharge "
            "WHERE IdBillingPlan = ? AND c.Type <> 1 ORDER BY OrdinalPosition"));
        st.bind(1, plan);
        while (st.next())
            order << st.value(0).toInt();
        QCOMPARE(order, (QList<qint32>{a, c, b}));
        QCOMPARE(
            count(QStringLiteral("SELECT COUNT(*) FROM BPChargeJoin WHERE IdCharge = %1").arg(vat)),
            1);
        // The browser lists the plan's charges in that order.
        CBillingTreeFrame* tree = browser();
        QStringList shown =
            children(tree->document(), tree->document()->find(BillingNode::BillingPlan, plan));
        shown.removeAll(QStringLiteral("VAT")); // the plan's own tax, listed with them
        QCOMPARE(shown, (QStringList{"Access", "Colocation", "Backup"}));
    }

    void deletedPlanLeavesTheTreeButNotTheInvoices() {
        CBillingFixture fx(db());
        const qint32 plan = fx.addPlan("Basic", QDate(2026, 11, 1), QDate(2026, 12, 1));
        BPRow frozen;
        frozen.Name = QStringLiteral("Basic");
        frozen.IdInvoice = 7;
        fx.addPlan(frozen);
        QVERIFY(RegWriteNumber(Reg::DefBillingPlan, plan));

        CBillingTreeFrame* tree = browser();
        tree->select(tree->document()->find(BillingNode::BillingPlan, plan));
        rec->queueAnswer(false);
        commands->action("actionPlanDelete")->trigger();
        QCOMPARE(count("SELECT COUNT(*) FROM BillingPlans"), 2);
        rec->queueAnswer(true);
        commands->action("actionPlanDelete")->trigger();
        QCOMPARE(rec->questions.size(), 2);
        QCOMPARE(rec->questions.last().text, DeleteBillingPlanQuestion());
        QVERIFY(children(tree->document(), tree->document()->root(BillingNode::BillingPlansRoot))
                    .isEmpty());
        QCOMPARE(count("SELECT COUNT(*) FROM BillingPlans WHERE IdInvoice = 7"), 1);
        QCOMPARE(RegNumber(Reg::DefBillingPlan), 0);
        QVERIFY(rec->messages.last().text.startsWith(
            QStringLiteral("Note:  You have just deleted the customer default billing plan.")));
    }

    void invoicingPlanSheetRefusesATakenNameAndKeepsOtherOptions() {
        CBillingFixture fx(db());
        InvoicePlanRow plain;
        plain.Name = QStringLiteral("Plain");
        plain.Options = InvoicePlanOption::Html | 0x40;
        const qint32 id = fx.addInvoicePlan(plain);
        fx.addInvoicePlan(QStringLiteral("Fancy"));
        auto sheet = BuildInvoicingPlanProps(db(), id, nullptr);
        QVERIFY(sheet);
        auto* name = sheet->findChild<QLineEdit*>(QStringLiteral("NameEdit"));
        name->setText(QStringLiteral("Fancy"));
        sheet->findChild<QCheckBox*>(QStringLiteral("Html"))->setChecked(false);
        sheet->accept();
        QCOMPARE(sheet->result(), int(QDialog::Rejected));
        QVERIFY(rec->hasMessage(
            QStringLiteral("An invoice plan with the name of 'Fancy' already exists.")));
        QCOMPARE(count(QStringLiteral("SELECT Options FROM InvoicePlans WHERE Id = %1").arg(id)),
                 0x41);
        name->setText(QStringLiteral("Monthly"));
        sheet->accept();
        QCOMPARE(sheet->result(), int(QDialog::Accepted));
        QCOMPARE(db().scalar(QStringLiteral(
                                 "SELECT Name || '/' || Options FROM InvoicePlans WHERE Id = %1")
                                 .arg(id))
                     .toString(),
                 QStringLiteral("Monthly/64"));
    }

    void browserOpenAtTheEndIsReopenedAtStart() {
        QVERIFY(browser());
        frame->close();
        QVERIFY(RegYesNo(Reg::ShowBPBrowser));
        frame = std::make_unique<CMainFrame>(nullptr);
        ReopenBillingPlansBrowser(frame.get());
        QVERIFY(CBillingTreeFrame::current());
        CBillingTreeFrame::current()->close();
        frame->close();
        QVERIFY(!RegYesNo(Reg::ShowBPBrowser));
        frame = std::make_unique<CMainFrame>(nullptr);
        ReopenBillingPlansBrowser(frame.get());
        QVERIFY(!CBillingTreeFrame::current());
    }
};

QTEST_MAIN(TestBillingBrowser)
#include "tst_billingbrowser.moc"
