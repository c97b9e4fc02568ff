#pragma once
#include <QString>

// Flags of BeginProcess, combinable.
enum ProcessFlags : int {
    PROC_DISABLE_WINDOWS = 1,
    PROC_STATUS_BAR = 4,
    PROC_ESC_INTERRUPTS = 8,
    PROC_CLOSE_INTERRUPTS = 16,
    PROC_DEFAULT = 29 // customers, invoices and imports
};

// The busy state of a long operation: idle, running, running-and-interrupted.
void BeginProcess(const QString& message, int flags);
// True when the operation must stop (stays true once interrupted).
bool CheckInterrupt();
void EndProcess();
// Asks "Interrupt process?" while an operation runs; true without asking when none runs.
bool ConfirmInterrupt();
bool IsProcessRunning();
