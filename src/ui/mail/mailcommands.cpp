#include "ui/mail/mailcommands.h"

#include "ui/mail/mailserverdlg.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

void AddMailCommands(QWidget* mainWindow, QMenuBar* menuBar) {
    QMenu* menu = menuBar->findChild<QMenu*>(QStringLiteral("OptionsMenu"));
    if (!menu) {
        menu = menuBar->addMenu(QStringLiteral("&Options"));
        menu->setObjectName(QStringLiteral("OptionsMenu"));
    }
    QAction* action = menu->addAction(QStringLiteral("&Mail Server..."));
    action->setObjectName(QStringLiteral("actionMailServer"));
    action->setStatusTip(QStringLiteral("Set how invoices reach the mail server"));
    QObject::connect(action, &QAction::triggered, mainWindow, [mainWindow] {
        CMailServerDlg dlg(mainWindow);
        dlg.exec();
    });
}
