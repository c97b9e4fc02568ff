#include "ui/customers/customercommands.h"

#include "core/app/appcontext.h"
#include "core/app/appservices.h"
#include "core/app/dbsession.h"
#include "core/app/settingsvalues.h"
#include "core/app/userinterface.h"
#include "core/customers/customerdelete.h"
#include "core/customers/customergroups.h"
#include "core/db/dbexception.h"
#include "core/db/userrecord.h"
#include "ui/app/menucommand.h"
#include "ui/customers/customerbrowser.h"
#include "ui/customers/customerdefaultsdlg.h"
#include "ui/customers/groupmembersdlg.h"
#include "ui/customers/newcustomerdlg.h"
#include "ui/customers/optionsdlg.h"
#include "ui/invoice/generateinvoicedlg.h"
#include "ui/invoice/groupinvoicesdlg.h"
#include "ui/invoice/invoicebrowser.h"

#include <QAction>
#include <QEvent>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <optional>

namespace {

// Remembers, as the main window closes, whether the browser is to come back at the next start
// (before the document windows are closed).
class CShowAtStartRecorder : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Close &&
            !RegWriteYesNo(Reg::ShowCustBrowser, CCustomerBrowser::current() != nullptr))
            qWarning("Unable to store whether the customer browser is shown at start");
        return QObject::eventFilter(watched, event);
    }
};

// The browser's selected row, after its unsaved edits were settled; null with the message
// when there is none of the wanted kind.
std::optional<UserRow> selectedRow(bool group, bool anyKind = false) {
    CCustomerBrowser* browser = CCustomerBrowser::current();
    const qint32 id = browser ? qint32(browser->SelectedCustomerId()) : 0;
    const bool isGroup = browser && browser->selectedIsGroup();
    if (id == 0 || (!anyKind && isGroup != group)) {
        ui().showMessage(group ? QStringLiteral("Please select a group first.")
                               : QStringLiteral("Please select a customer first."),
                         MessageIcon::Exclamation);
        return std::nullopt;
    }
    if (!browser->mayLeaveSelection())
        return std::nullopt;
    Database* db = theDatabase();
    try {
        CUserRecord rec(*db);
        if (rec.findById(id) && !rec.Username.isEmpty())
            return rec.row();
    } catch (const DbException& e) {
        ui().showMessage(QStringLiteral("User not found. (%1)").arg(e.message()),
                         MessageIcon::Exclamation);
        return std::nullopt;
    }
    ui().showMessage(QStringLiteral("User not found."), MessageIcon::Exclamation);
    return std::nullopt;
}

void reloadBrowser(qint32 select = 0) {
    if (CCustomerBrowser* browser = CCustomerBrowser::current()) {
        (void)browser->reload(); // a failure has been shown
        if (select)
            (void)browser->selectId(select);
    }
    RefreshViews(CCustomerBrowser::current());
}

// The run dialogs of the customer or group: "Generate Invoice" for a customer, "Generate
// Group Invoices" for a group.
void runInvoices(QWidget* parent, long idCust, bool group) {
    if (group)
        GenerateGroupInvoicesDialog(parent, idCust);
    else
        GenerateInvoiceDialog(parent, idCust);
}

} // namespace

void NewCustomerCommand(QWidget* parent, QMdiArea* area, bool group) {
    if (!theDatabase())
        return;
    CNewCustomerDlg dlg(group, parent);
    if (dlg.exec() != QDialog::Accepted)
        return;
    if (!CCustomerBrowser::current())
        CCustomerBrowser::open(area);
    reloadBrowser(dlg.newId());
}

void GroupMembersCommand(QWidget* parent) {
    const auto row = selectedRow(false, true);
    if (!row)
        return;
    CGroupMembersDlg dlg(*theDatabase(), row->Id, parent);
    if (dlg.exec() != QDialog::Accepted)
        return;
    if (dlg.turn() == GroupTurn::BecameCustomer)
        ui().showMessage(GroupEmptiedMessage(dlg.groupName()), MessageIcon::Information);
    reloadBrowser(row->Id);
}

void DeleteCustomerCommand(bool group) {
    const auto row = selectedRow(group);
    if (!row)
        return;
    if (!ui().askYesNo(DeleteCustomerQuestion(*row), MessageIcon::Exclamation))
        return;
    const EditResult r = DeleteCustomer(*theDatabase(), row->Id);
    if (!r.ok())
        ui().showMessage(r.text(), MessageIcon::Exclamation);
    reloadBrowser();
}

void GenerateInvoiceCommand(QWidget* parent) {
    if (const auto row = selectedRow(false, true))
        runInvoices(parent, row->Id, row->IsGroup);
}

void OpenInvoicesCommand(QMdiArea* area) {
    if (const auto row = selectedRow(false, true))
        OpenInvoiceBrowser(area, row->Id);
}

void ReopenCustomerBrowserAtStart(QMdiArea* area) {
    if (theDatabase() && RegYesNo(Reg::ShowCustBrowser))
        (void)CCustomerBrowser::open(area); // a failure has been shown
}

void AddCustomerCommands(QWidget* mainWindow, QMdiArea* area, QMenuBar* menuBar) {
    mainWindow->installEventFilter(new CShowAtStartRecorder(mainWindow));
    QMenu* menu = menuBar->addMenu(QStringLiteral("&Customers"));
    menu->setObjectName(QStringLiteral("CustomersMenu"));
    auto add = [mainWindow, menu](const char* name, const QString& text, const QString& tip,
                                  auto slot) {
        return AddMenuCommand(menu, mainWindow, name, text, tip, slot);
    };
    add("actionCustomerBrowser", QStringLiteral("Customer &Browser"),
        QStringLiteral("Show the customers and groups with their properties"),
        [area] { (void)CCustomerBrowser::open(area); }); // a failure has been shown
    menu->addSeparator();
    QList<QAction*> context;
    context << add("actionNewCustomer", QStringLiteral("New &Customer..."),
                   QStringLiteral("Create a customer"),
                   [mainWindow, area] { NewCustomerCommand(mainWindow, area, false); });
    context << add("actionNewGroup", QStringLiteral("New &Group..."),
                   QStringLiteral("Create a customer group"),
                   [mainWindow, area] { NewCustomerCommand(mainWindow, area, true); });
    context << add("actionGroupMembers", QStringLiteral("&Members..."),
                   QStringLiteral("Set the members of the selected group or customer"),
                   [mainWindow] { GroupMembersCommand(mainWindow); });
    context << add("actionDeleteCustomer", QStringLiteral("&Delete Customer"),
                   QStringLiteral("Delete the selected customer with its sessions and invoices"),
                   [] { DeleteCustomerCommand(false); });
    context << add("actionDeleteGroup", QStringLiteral("Delete G&roup"),
                   QStringLiteral("Delete the selected group with its sessions and invoices"),
                   [] { DeleteCustomerCommand(true); });
    menu->addSeparator();
    context << add("actionGenerateInvoice", QStringLiteral("&Generate Invoice..."),
                   QStringLiteral("Bill the selected customer or group"),
                   [mainWindow] { GenerateInvoiceCommand(mainWindow); });
    context << add("actionOpenInvoices", QStringLiteral("Open &Invoices"),
                   QStringLiteral("Show the invoices of the selected customer or group"),
                   [area] { OpenInvoicesCommand(area); });
    CCustomerBrowser::setContextActions(context);
    menu->addSeparator();
    add("actionOptions", QStringLiteral("&Options..."),
        QStringLiteral("Set the company name and logo of the invoices"), [mainWindow] {
            if (!theDatabase())
                return;
            COptionsDlg dlg(mainWindow);
            dlg.exec();
        });
    add("actionCustomerDefaults", QStringLiteral("Customer &Defaults..."),
        QStringLiteral("Set what new customers receive"), [mainWindow] {
            CCustomerDefaultsDlg dlg(mainWindow);
            dlg.exec();
        });
}
