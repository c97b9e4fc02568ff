#include "ui/invoice/invoicecommands.h"

#include "core/app/dbsession.h"
#include "core/app/oplog.h"
#include "core/app/userinterface.h"
#include "ui/app/menucommand.h"
#include "ui/invoice/guiinvoiceprinter.h"
#include "ui/invoice/invoiceframe.h"

#include <QAction>
#include <QInputDialog>
#include <QMdiArea>
#include <QMenu>
#include <limits>

void AddInvoiceWindowCommands(QWidget* mainWindow, QMdiArea* area, QMenu* menu) {
    static CGuiInvoicePrinter printer;
    SetDefaultInvoicePrinter(&printer);

    auto add = [mainWindow, menu](const char* name, const QString& text, const QString& tip,
                                  auto slot) {
        return AddMenuCommand(menu, mainWindow, name, text, tip, slot);
    };
    add("actionOpenInvoice", QStringLiteral("Open &invoice..."),
        QStringLiteral("Open an invoice window by the invoice's number"),
        [mainWindow, area] { OpenInvoiceByNumber(mainWindow, area); });
    add("actionPrintAllInvoices", QStringLiteral("&Print all invoices"),
        QStringLiteral("Print all viewed invoices"), [area] { PrintAllViewedInvoices(area); });
    add("actionEmailAllInvoices", QStringLiteral("E&mails all viewed invoices"),
        QStringLiteral("E-mail all viewed invoices with their own invoicing plans"),
        [area] { EmailAllViewedInvoices(area); });
}

void OpenInvoiceByNumber(QWidget* parent, QMdiArea* area) {
    Database* db = theDatabase();
    if (!db)
        return;
    bool ok = false;
    const int number = QInputDialog::getInt(parent, QStringLiteral("Open Invoice"),
                                            QStringLiteral("Invoice number:"), 1, 1,
                                            std::numeric_limits<int>::max(), 1, &ok);
    if (ok)
        CInvoiceFrame::open(area, *db, number);
}

bool PrintAllViewedInvoices(QMdiArea* area) {
    if (!ui().askYesNo(QStringLiteral("Print all viewed invoices?"), MessageIcon::Question))
        return false;
    {
        CWaitCursor wait;
        for (CInvoiceFrame* frame : CInvoiceFrame::openFrames(area))
            frame->printDirect();
    }
    ui().showMessage(QStringLiteral("Finished printing all viewed invoices."),
                     MessageIcon::Information);
    return true;
}

bool EmailAllViewedInvoices(QMdiArea* area) {
    if (!ui().askYesNo(QStringLiteral("Email invoices for all displayed invoices?"),
                       MessageIcon::Question))
        return false;
    {
        CWaitCursor wait;
        for (CInvoiceFrame* frame : CInvoiceFrame::openFrames(area))
            frame->emailWithOwnPlan();
    }
    ui().showMessage(QStringLiteral("Finished emailing all displayed invoices."),
                     MessageIcon::Information);
    ReportLogOutcome(true, -1, false);
    return true;
}
