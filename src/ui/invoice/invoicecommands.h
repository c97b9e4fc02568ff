#pragma once

class QMdiArea;
class QMenu;
class QWidget;

// The main window's commands over invoice windows: open one by its number, print all open
// invoices, e-mail all open invoices. Also installs the default printer as the target of
// unattended printing (CGuiInvoicePrinter).
void AddInvoiceWindowCommands(QWidget* mainWindow, QMdiArea* area, QMenu* menu);

// "Open invoice...": asks the number and opens its window.
void OpenInvoiceByNumber(QWidget* parent, QMdiArea* area);
// "Print all invoices": after "Print all viewed invoices?", prints every open invoice window
// directly, in the order they were opened, then "Finished printing all viewed invoices.".
// False when the user said No.
bool PrintAllViewedInvoices(QMdiArea* area);
// "Emails all viewed invoices": after "Email invoices for all displayed invoices?", e-mails
// every open invoice with its own invoicing plan (failures logged with code 20), then
// "Finished emailing all displayed invoices." and the log report. False when the user said No.
bool EmailAllViewedInvoices(QMdiArea* area);
