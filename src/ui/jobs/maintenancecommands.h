#pragma once
#include <QtGlobal>
#include <functional>

class QMenu;
class QMenuBar;
class QWidget;

// The main window's record maintenance: "Set current &balances..." and "&Pay..." in the
// "&Invoices" menu (the menu bar's own when it has one, else a new one before "&Reports"),
// and "&Purge Old Records..." in the file menu among the database commands. selectedCustomer
// answers the customer to preselect in the balances dialog (0: none); it may be empty.
void AddMaintenanceCommands(QWidget* mainWindow, QMenuBar* menuBar, QMenu* fileMenu,
                            std::function<qint32()> selectedCustomer = {});

// The balances dialog, modal, with a customer chosen (0: none).
void ShowBalancesDialog(QWidget* parent, qint32 customerId = 0);
// The purge command: the close-windows test, then the purge dialog, modal.
void PurgeOldRecords(QWidget* parent);
