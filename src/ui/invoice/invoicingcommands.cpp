#include "ui/invoice/invoicingcommands.h"

#include "core/app/dbsession.h"
#include "core/app/settingsvalues.h"
#include "core/app/userinterface.h"
#include "ui/app/menucommand.h"
#include "ui/customers/customerbrowser.h"
#include "ui/invoice/customercombo.h"
#include "ui/invoice/generateinvoicedlg.h"
#include "ui/invoice/groupinvoicesdlg.h"
#include "ui/invoice/invoicebrowser.h"

#include <QAction>
#include <QEvent>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QTimer>

namespace {

// Notes, as the main window is about to close, whether the invoices browser is open (its own
// close follows and must not count as the user's choice).
class CBrowserAtCloseFilter : public QObject {
public:
    CBrowserAtCloseFilter(QObject* owner, QMdiArea* area) : QObject(owner), m_area(area) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Close && m_area &&
            !RegWriteYesNo(Reg::ShowInvoiceBrowser, CInvoiceBrowserFrame::find(m_area) != nullptr))
            qWarning("Unable to store ShowInvoiceBrowser");
        return QObject::eventFilter(watched, event);
    }

private:
    QPointer<QMdiArea> m_area;
};

QMenu* invoicesMenu(QMenuBar* menuBar) {
    const QString title = QStringLiteral("&Invoices");
    for (QAction* a : menuBar->actions())
        if (a->menu() && a->text() == title)
            return a->menu();
    QMenu* menu = menuBar->addMenu(title);
    menu->setObjectName(QStringLiteral("InvoicesMenu"));
    return menu;
}

// Asks for the customer (or group) and runs `command` with its id.
template <class Command>
void forChosen(QWidget* parent, CCustomerCombo::Kind kind, Command command) {
    Database* db = theDatabase();
    if (!db) {
        ui().showMessage(QStringLiteral("No database is open."), MessageIcon::Exclamation);
        return;
    }
    // The customer browser's selection, when there is one, is offered first.
    const CCustomerBrowser* browser = CCustomerBrowser::current();
    qint32 id = browser ? qint32(browser->SelectedCustomerId()) : 0;
    if (PickCustomer(parent, *db, kind, id))
        command(parent, id);
}

} // namespace

void AddInvoicingCommands(QWidget* mainWindow, QMdiArea* area, QMenuBar* menuBar) {
    QMenu* menu = invoicesMenu(menuBar);
    auto add = [mainWindow, menu](const char* name, const QString& text, const QString& tip,
                                  auto slot) {
        return AddMenuCommand(menu, mainWindow, name, text, tip, slot);
    };
    add("actionInvoiceBrowser", QStringLiteral("&Invoices browser"),
        QStringLiteral("Browse, open, send and delete the stored invoices"),
        [area] { OpenInvoiceBrowser(area); });
    menu->addSeparator();
    add("actionGenerateInvoice", QStringLiteral("&Generate invoice..."),
        QStringLiteral("Generate the invoice of one customer"), [mainWindow] {
            forChosen(mainWindow, CCustomerCombo::Kind::Customers,
                      [](QWidget* p, qint32 id) { GenerateInvoiceDialog(p, id); });
        });
    add("actionGenerateGroupInvoices", QStringLiteral("Generate &group invoices..."),
        QStringLiteral("Generate the invoices of a customer group and its members"), [mainWindow] {
            forChosen(mainWindow, CCustomerCombo::Kind::Groups,
                      [](QWidget* p, qint32 id) { GenerateGroupInvoicesDialog(p, id); });
        });
    add("actionSendGroupInvoices", QStringLiteral("&Send group invoices..."),
        QStringLiteral("Send the invoices of one date of a customer group and its members"),
        [mainWindow] {
            forChosen(mainWindow, CCustomerCombo::Kind::Groups,
                      [](QWidget* p, qint32 id) { SendGroupInvoicesDialog(p, id); });
        });

    mainWindow->installEventFilter(new CBrowserAtCloseFilter(mainWindow, area));
    if (RegYesNo(Reg::ShowInvoiceBrowser))
        QTimer::singleShot(0, area, [area] {
            if (theDatabase())
                OpenInvoiceBrowser(area);
        });
}
