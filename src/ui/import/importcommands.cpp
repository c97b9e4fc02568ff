#include "ui/import/importcommands.h"

#include "core/app/appservices.h"
#include "core/app/dbsession.h"
#include "core/app/userinterface.h"
#include "core/import/importdialogmodel.h"
#include "ui/import/createfromaccountsdlg.h"
#include "ui/import/createfromeventsdlg.h"
#include "ui/import/importeventsdlg.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

namespace {

// The "&Customers" menu, shared with the other commands on customers.
QMenu* customersMenu(QMenuBar* menuBar) {
    if (auto* menu = menuBar->findChild<QMenu*>(QStringLiteral("CustomersMenu")))
        return menu;
    QMenu* menu = menuBar->addMenu(QStringLiteral("&Customers"));
    menu->setObjectName(QStringLiteral("CustomersMenu"));
    return menu;
}

QAction* makeAction(QWidget* owner, const char* name, const QString& text, const QString& tip,
                    auto slot) {
    auto* action = new QAction(text, owner);
    action->setObjectName(QString::fromLatin1(name));
    action->setStatusTip(tip);
    QObject::connect(action, &QAction::triggered, owner, slot);
    return action;
}

} // namespace

void RunImportLogonEvents(QWidget* parent) {
    if (!CheckNoDocumentsOpen())
        return;
    Database* db = theDatabase();
    if (!db) {
        ui().showMessage(QStringLiteral("No database is open."), MessageIcon::Exclamation);
        return;
    }
    CImportEventsDlg dlg(*db, parent);
    if (dlg.exec() != QDialog::Accepted)
        return;
    EventLogImportRequest request = dlg.request();
    if (!CImportDialogModel::save(request))
        ui().showMessage(QStringLiteral("The import options could not be stored in the "
                                        "settings."),
                         MessageIcon::Exclamation);
    request.customerSetup = [parent] { RunCreateFromEvents(parent); };
    (void)ImportEventLog(request); // the import has shown its outcome
}

void AddImportCommands(QWidget* mainWindow, QMenu* fileMenu, QMenuBar* menuBar) {
    QAction* import =
        makeAction(mainWindow, "actionImportLogonEvents", QStringLiteral("&Import Logon Events..."),
                   QStringLiteral("Import sessions from an event log or an "
                                  "accounting log"),
                   [mainWindow] { RunImportLogonEvents(mainWindow); });
    QAction* exit = fileMenu->findChild<QAction*>(QStringLiteral("actionExit"));
    if (exit && fileMenu->actions().contains(exit)) {
        fileMenu->insertAction(exit, import);
        fileMenu->insertSeparator(exit);
    } else {
        fileMenu->addAction(import);
    }

    QMenu* customers = customersMenu(menuBar);
    if (!customers->actions().isEmpty())
        customers->addSeparator();
    customers->addAction(makeAction(mainWindow, "actionCreateFromLogonEvents",
                                    QStringLiteral("Create from &logon events..."),
                                    QStringLiteral("Create customers for the logon names of "
                                                   "imported sessions"),
                                    [mainWindow] { RunCreateFromEvents(mainWindow); }));
    customers->addAction(makeAction(mainWindow, "actionCreateFromUserDatabase",
                                    QStringLiteral("Create from &system user database..."),
                                    QStringLiteral("Create customers for the login accounts of "
                                                   "this computer"),
                                    [mainWindow] { RunCreateFromAccounts(mainWindow); }));
}
