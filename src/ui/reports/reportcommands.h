#pragma once

class QDateTime;
class QMdiArea;
class QString;
class QMenuBar;
class QWidget;

// The "&Reports" menu of the main window: "Show &income...", "Show &overdue..." (each opens
// a report window) and "&Export for ICVerify...".
void AddReportCommands(QWidget* mainWindow, QMdiArea* area, QMenuBar* menuBar);

// Opens a report window of a loaded document; false (after the message) when it could not be
// read.
bool ShowIncomeReport(QMdiArea* area, const QDateTime& start, const QDateTime& end,
                      const QString& startText, const QString& endText);
bool ShowOverdueReport(QMdiArea* area);
