#pragma once

class QMdiArea;
class QMenuBar;
class QWidget;

// The "&Customers" menu of the main window (also the customer browser's context menu):
// "Customer &Browser", "New &Customer...", "New &Group...", "&Members...", "&Delete Customer",
// "Delete G&roup", "&Generate Invoice...", "Open &Invoices", "&Options..." and "Customer
// &Defaults...". Remembers in "ShowCustBrowser" whether the browser was open when the main
// window closed.
void AddCustomerCommands(QWidget* mainWindow, QMdiArea* area, QMenuBar* menuBar);
// Opens the customer browser when "ShowCustBrowser" says it was open at the last exit.
void ReopenCustomerBrowserAtStart(QMdiArea* area);

// The commands, for the menu and for tests. Each acts on the open browser's selection where
// it needs one and tells the user when there is none.
void NewCustomerCommand(QWidget* parent, QMdiArea* area, bool group);
void GroupMembersCommand(QWidget* parent);
void DeleteCustomerCommand(bool group);
void GenerateInvoiceCommand(QWidget* parent);
void OpenInvoicesCommand(QMdiArea* area);
