// The customer browser, its property sheet and the customer commands, driven offscreen on a
// real database.
#include "common/billingfixture.h"
#include "common/modalwatcher.h"
#include "common/recordingui.h"
#include "common/testfolders.h"
#include "core/app/appcontext.h"
#include "core/app/dbsession.h"
#include "core/app/registrystore.h"
#include "core/app/settingsvalues.h"
#include "core/customers/appoptions.h"
#include "core/customers/customercreate.h"
#include "core/db/database.h"
#include "core/db/schema.h"
#include "ui/app/mainframe.h"
#include "ui/customers/customerbrowser.h"
#include "ui/customers/customercommands.h"
#include "ui/customers/customerdefaultsdlg.h"
#include "ui/customers/customertreemodel.h"
#include "ui/customers/groupmembersdlg.h"
#include "ui/customers/optionsdlg.h"
#include "ui/customers/userprops.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiArea>
#include <QPushButton>
#include <QSplitter>
#include <QTabWidget>
#include <QTreeView>
#include <QtTest>

namespace {

// A database opened as the program opens it, with a browser in a document area.
struct Office {
    CTestFolders folders;
    bool fresh = (App().reset(), true); // before the recording interface is installed
    CRecordingUi rec;
    std::unique_ptr<CDatabaseSession> session;
    QMdiArea area;
    CCustomerBrowser* browser = nullptr;

    Office() {
        const QString path = folders.filePath(QStringLiteral("office.db"));
        CreateNewDatabase(path);
        if (!theRegistry().open() || !RegWriteText(Reg::DatabasePath, path) ||
            !RegWriteYesNo(Reg::SuppressDatabasePrompt, true))
            qFatal("The test settings could not be written.");
        session = std::make_unique<CDatabaseSession>();
        (void)session->openAtStartup();
        area.show();
    }
    Database& db() { return *theDatabase(); }
    qint32 add(const QString& name, bool group = false) {
        qint32 id = 0;
        (void)CreateCustomer(db(), name, group, {}, QDate(2026, 12, 1), &id);
        return id;
    }
    CCustomerBrowser* open() {
        browser = CCustomerBrowser::open(&area);
        return browser;
    }
    QStringList section(const QModelIndex& section) const {
        QStringList names;
        CCustomerTreeModel* m = browser->model();
        for (int i = 0; i < m->rowCount(section); ++i)
            names << m->nameAt(m->index(i, 0, section));
        return names;
    }
    QStringList tabs() const {
        QStringList titles;
        for (int i = 0; i < browser->props()->tabs()->count(); ++i)
            titles << browser->props()->tabs()->tabText(i);
        return titles;
    }
};

void click(QWidget* modal, const char* button) {
    if (auto* b = modal->findChild<QPushButton*>(QString::fromLatin1(button)))
        b->click();
}

} // namespace

class TestCustomerBrowser : public QObject {
    Q_OBJECT
private slots:
    void newCustomerAppearsWithItsDefaultsAndSearchNarrows();
    void membershipRefusesCycleAndEmptiedGroupBecomesCustomer();
    void groupPageFollowsSelectionKeepingTheActivePage();
    void pendingEditsAskBeforeTheSelectionMoves();
    void deletingGroupRemovesItAndItsInvoices();
    void paneWidthAndShowAtStartAreRemembered();
    void optionsAndDefaultsDialogsCheckAndStore();
};

void TestCustomerBrowser::newCustomerAppearsWithItsDefaultsAndSearchNarrows() {
    Office o;
    CBillingFixture fx(o.db());
    const qint32 plan = fx.addPlan(QStringLiteral("Basic"), QDate(2026, 1, 1), QDate(2027, 1, 1));
    CustomerDefaults defaults;
    defaults.billingPlan = plan;
    defaults.emailDomain = QStringLiteral("kestrel.example");
    QVERIFY(defaults.write().ok());
    o.add(QStringLiteral("zoe"));
    QVERIFY(o.open());
    {
        CModalWatcher typer([](QWidget* w) {
            w->findChild<QLineEdit*>(QStringLiteral("LogonNameEdit"))->setText("alice");
            static_cast<QDialog*>(w)->accept();
        });
        NewCustomerCommand(nullptr, &o.area, false);
    }
    QCOMPARE(o.browser->selectedName(), QStringLiteral("alice"));
    QCOMPARE(o.section(o.browser->model()->customersSection()), (QStringList{"alice", "zoe"}));
    QCOMPARE(o.browser->countLabel()->text(), QStringLiteral("2 customers."));
    // The sheet shows the new row with the defaults it was given.
    auto* plans = o.browser->props()->findChild<QComboBox*>(QStringLiteral("BillingPlanBox"));
    QCOMPARE(plans->currentText(), QStringLiteral("Basic"));
    QCOMPARE(o.browser->props()->findChild<QLineEdit*>(QStringLiteral("EmailEdit"))->text(),
             QStringLiteral("alice@kestrel.example"));

    o.db().execute(
        QStringLiteral("UPDATE Users SET FullName = 'Zoe Alder' WHERE Username = 'zoe'"));
    QVERIFY(o.browser->reload());
    o.browser->searchField()->setText(QStringLiteral("ALDER"));
    QCOMPARE(o.section(o.browser->model()->customersSection()), QStringList{"zoe"});
    QCOMPARE(o.browser->countLabel()->text(), QStringLiteral("1 customers."));
}

void TestCustomerBrowser::membershipRefusesCycleAndEmptiedGroupBecomesCustomer() {
    Office o;
    const qint32 a = o.add(QStringLiteral("A"), true);
    const qint32 b = o.add(QStringLiteral("B"), true);
    const qint32 c = o.add(QStringLiteral("carol"));
    QVERIFY(SaveGroupMembers(o.db(), a, {b}).ok());
    QVERIFY(SaveGroupMembers(o.db(), b, {c}).ok());
    {
        CGroupMembersDlg dlg(o.db(), b);
        auto* candidates = dlg.nonMembers();
        QList<QListWidgetItem*> found = candidates->findItems("(+)A", Qt::MatchExactly);
        QCOMPARE(found.size(), 1);
        found[0]->setSelected(true);
        dlg.addSelected();
        QVERIFY(o.rec.hasMessage("Group 'A' contains group 'B'.  'A' cannot be added to 'B'."));
        QCOMPARE(dlg.members()->count(), 1);
        QCOMPARE(dlg.countLabel()->text(), QStringLiteral("1 members"));
    }
    QVERIFY(o.open());
    QVERIFY(o.browser->selectId(b));
    {
        CModalWatcher emptier([](QWidget* w) {
            if (auto* dlg = qobject_cast<CGroupMembersDlg*>(w)) {
                dlg->members()->selectAll();
                dlg->removeSelected();
                dlg->accept();
            }
        });
        GroupMembersCommand(nullptr);
    }
    QVERIFY(o.rec.hasMessage(
        "Customer group 'B' has no members and will now moved to the Customers list."));
    QCOMPARE(o.section(o.browser->model()->groupsSection()), QStringList{"A"});
    QCOMPARE(o.section(o.browser->model()->customersSection()), (QStringList{"B", "carol"}));
    QCOMPARE(o.browser->SelectedCustomerId(), long(b));
    QVERIFY(!o.browser->selectedIsGroup());
}

void TestCustomerBrowser::groupPageFollowsSelectionKeepingTheActivePage() {
    Office o;
    const qint32 g = o.add(QStringLiteral("Sales"), true);
    const qint32 c = o.add(QStringLiteral("bob"));
    QVERIFY(SaveGroupMembers(o.db(), g, {c}).ok());
    QVERIFY(o.open());
    QVERIFY(o.browser->selectId(g));
    QVERIFY(o.tabs().contains("Group"));
    o.browser->props()->tabs()->setCurrentIndex(o.tabs().indexOf("Billing"));
    QVERIFY(o.browser->selectId(c));
    QCOMPARE(o.tabs(),
             (QStringList{"General", "Addresses", "Credit Card", "Phones", "Charges", "Billing"}));
    QCOMPARE(o.browser->props()->tabs()->tabText(o.browser->props()->tabs()->currentIndex()),
             QStringLiteral("Billing"));
    QVERIFY(o.browser->selectId(g));
    QCOMPARE(o.tabs().last(), QStringLiteral("Group"));
    QCOMPARE(o.browser->props()->tabs()->tabText(o.browser->props()->tabs()->currentIndex()),
             QStringLiteral("Billing"));
}

void TestCustomerBrowser::pendingEditsAskBeforeTheSelectionMoves() {
    Office o;
    const qint32 ann = o.add(QStringLiteral("ann"));
    const qint32 ben = o.add(QStringLiteral("ben"));
    QVERIFY(o.open());
    QVERIFY(o.browser->selectId(ann));
    auto* name = o.browser->props()->findChild<QLineEdit*>(QStringLiteral("FullNameEdit"));
    QTest::keyClicks(name, QStringLiteral("Ann Edited"));
    QVERIFY(o.browser->props()->isModified());
    {
        CModalWatcher stay([](QWidget* w) { click(w, "StayChoice"); });
        QVERIFY(!o.browser->selectId(ben));
    }
    QCOMPARE(o.browser->SelectedCustomerId(), long(ann));
    QCOMPARE(name->text(), QStringLiteral("Ann Edited"));
    {
        CModalWatcher discard([](QWidget* w) { click(w, "DiscardChoice"); });
        QVERIFY(o.browser->selectId(ben));
    }
    QCOMPARE(o.db().scalar("SELECT FullName FROM Users WHERE Id = ?", {ann}).toString(), QString());
    QVERIFY(!o.browser->props()->isModified());
    // Applied, the new full name is what the search finds.
    QTest::keyClicks(name, QStringLiteral("Ben Sterling"));
    QVERIFY(o.browser->props()->applyAll());
    o.browser->searchField()->setText(QStringLiteral("sterling"));
    QCOMPARE(o.section(o.browser->model()->customersSection()), QStringList{"ben"});
}

void TestCustomerBrowser::deletingGroupRemovesItAndItsInvoices() {
    Office o;
    const qint32 g = o.add(QStringLiteral("Sales"), true);
    const qint32 c = o.add(QStringLiteral("bob"));
    QVERIFY(SaveGroupMembers(o.db(), g, {c}).ok());
    o.db().execute(QStringLiteral("INSERT INTO Invoices (IdUser) VALUES (?)"), {g});
    QVERIFY(o.open());
    QVERIFY(o.browser->selectId(c));
    DeleteCustomerCommand(true);
    QVERIFY(o.rec.hasMessage("Please select a group first."));
    QVERIFY(o.browser->selectId(g));
    o.rec.queueAnswer(true);
    DeleteCustomerCommand(true);
    QVERIFY(o.rec.hasQuestion("Deleting the customer representative Sales will also delete all "
                              "of that customer representative's logon events and invoices.  "
                              "Are you sure you want to delete Sales?"));
    QVERIFY(o.section(o.browser->model()->groupsSection()).isEmpty());
    QCOMPARE(o.db().scalar("SELECT COUNT(*) FROM Invoices").toInt(), 0);
    QCOMPARE(o.browser->SelectedCustomerId(), 0L);
}

void TestCustomerBrowser::paneWidthAndShowAtStartAreRemembered() {
    Office o;
    {
        CMainFrame frame(nullptr);
        frame.action("actionCustomerBrowser")->trigger();
        CCustomerBrowser* browser = CCustomerBrowser::current();
        QVERIFY(browser);
        browser->splitter()->setSizes({180, 400});
        QVERIFY(frame.close());
    }
    QVERIFY(!CCustomerBrowser::current());
    QVERIFY(RegYesNo(Reg::ShowCustBrowser));
    QCOMPARE(RegNumber(Reg::UserPaneWidth), 180);
    QVERIFY(o.open());
    QCOMPARE(o.browser->splitter()->sizes().value(0), 180);
    CMainFrame frame(nullptr);
    o.browser->close();
    QVERIFY(frame.close());
    QVERIFY(!RegYesNo(Reg::ShowCustBrowser));
}

void TestCustomerBrowser::optionsAndDefaultsDialogsCheckAndStore() {
    Office o;
    const QString logo = o.folders.filePath(QStringLiteral("logo.png"));
    {
        COptionsDlg dlg;
        dlg.companyEdit()->setText(QStringLiteral("Kestrel Bay Internet"));
        o.rec.queueOpenFile(logo);
        dlg.browseLogo();
        dlg.browseLogo(); // cancelled: the field keeps the file chosen before
        QCOMPARE(o.rec.fileDialogs.value(0), QStringLiteral("open:Logo Image File"));
        dlg.accept();
    }
    AppOptions stored;
    QVERIFY(ReadAppOptions(o.db(), &stored).ok());
    QCOMPARE(stored.companyName, QStringLiteral("Kestrel Bay Internet"));
    QCOMPARE(stored.logoPath, logo);

    CCustomerDefaultsDlg dlg;
    dlg.anniversaryEdit()->setText(QStringLiteral("32"));
    dlg.domainEdit()->setText(QStringLiteral("kestrel.example"));
    dlg.accept();
    QVERIFY(o.rec.hasMessage("Please enter an integer between 0 and 31."));
    QVERIFY(CustomerDefaults::read().emailDomain.isEmpty()); // nothing written
    dlg.anniversaryEdit()->setText(QStringLiteral("31"));
    dlg.accept();
    QCOMPARE(dlg.result(), int(QDialog::Accepted));
    QCOMPARE(CustomerDefaults::read().anniversaryDay, 31);
    QCOMPARE(CustomerDefaults::read().emailDomain, QStringLiteral("kestrel.example"));
}

QTEST_MAIN(TestCustomerBrowser)
#include "tst_customerbrowser.moc"
