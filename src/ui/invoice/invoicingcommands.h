#pragma once

class QMdiArea;
class QMenuBar;
class QWidget;

// The "&Invoices" menu of the main window (joined with one already on the menu bar):
// "&Invoices browser", "&Generate invoice...", "Generate &group invoices..." and "&Send group
// invoices..." (each asks first for the customer or group). Also keeps "ShowInvoiceBrowser":
// the browser open when the main window closes opens again at the next start.
void AddInvoicingCommands(QWidget* mainWindow, QMdiArea* area, QMenuBar* menuBar);
