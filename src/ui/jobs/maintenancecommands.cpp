#include "ui/jobs/maintenancecommands.h"

#include "core/app/appservices.h"
#include "ui/jobs/balancesdlg.h"
#include "ui/jobs/purgedlg.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

namespace {

QMenu* invoicesMenu(QMenuBar* menuBar) {
    if (auto* menu = menuBar->findChild<QMenu*>(QStringLiteral("InvoicesMenu")))
        return menu;
    auto* menu = new QMenu(QStringLiteral("&Invoices"), menuBar);
    menu->setObjectName(QStringLiteral("InvoicesMenu"));
    auto* reports = menuBar->findChild<QMenu*>(QStringLiteral("ReportsMenu"));
    if (reports)
        menuBar->insertMenu(reports->menuAction(), menu);
    else
        menuBar->addMenu(menu);
    return menu;
}

QAction* actionNamed(QMenu* menu, const QString& name) {
    for (QAction* a : menu->actions())
        if (a->objectName() == name)
            return a;
    return nullptr;
}

} // namespace

void ShowBalancesDialog(QWidget* parent, qint32 customerId) {
    CBalancesDlg dlg(parent, customerId);
    dlg.exec();
}

void PurgeOldRecords(QWidget* parent) {
    if (!CheckNoDocumentsOpen())
        return;
    CPurgeDlg dlg(parent);
    dlg.exec();
}

void AddMaintenanceCommands(QWidget* mainWindow, QMenuBar* menuBar, QMenu* fileMenu,
                            std::function<qint32()> selectedCustomer) {
    QMenu* menu = invoicesMenu(menuBar);
    const auto openBalances = [mainWindow, selectedCustomer] {
        ShowBalancesDialog(mainWindow, selectedCustomer ? selectedCustomer() : 0);
    };
    for (auto [name, text] : {std::pair{"actionBalances", "Set current &balances..."},
                              std::pair{"actionPay", "&Pay..."}}) {
        QAction* a = menu->addAction(QLatin1String(text));
        a->setObjectName(QLatin1String(name));
        a->setStatusTip(QStringLiteral("Set current balances, pay invoices"));
        QObject::connect(a, &QAction::triggered, mainWindow, openBalances);
    }

    auto* purge = new QAction(QStringLiteral("&Purge Old Records..."), fileMenu);
    purge->setObjectName(QStringLiteral("actionPurge"));
    purge->setStatusTip(QStringLiteral("Remove old records from database."));
    QObject::connect(purge, &QAction::triggered, mainWindow,
                     [mainWindow] { PurgeOldRecords(mainWindow); });
    // Among the database commands: after Backup, before Locate.
    fileMenu->insertAction(actionNamed(fileMenu, QStringLiteral("actionLocate")), purge);
}
