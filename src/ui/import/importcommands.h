#pragma once

class QMenu;
class QMenuBar;
class QWidget;

// The import's commands of the main window: "&Import Logon Events..." in the File menu (before
// Exit), and "Create from &logon events..." and "Create from &system user database..." in the
// "&Customers" menu (the one named "CustomersMenu", created when no other command made it).
void AddImportCommands(QWidget* mainWindow, QMenu* fileMenu, QMenuBar* menuBar);

// The "&Import Logon Events..." command: refused while an invoice or report window is open;
// on Import the options are kept and the import runs, followed, when asked, by the creation of
// customers from the imported sessions (its dialog).
void RunImportLogonEvents(QWidget* parent);
