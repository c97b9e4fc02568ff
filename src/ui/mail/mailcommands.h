#pragma once

class QMenuBar;
class QWidget;

// "&Mail Server..." in the "&Options" menu of the main window (the menu is made when no
// other command has made it yet).
void AddMailCommands(QWidget* mainWindow, QMenuBar* menuBar);
