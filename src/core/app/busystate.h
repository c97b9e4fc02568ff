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

// The busy state of a long operation: idle, running, running-and-interrupted. Only one
// operation runs at a time: BeginProcess while one runs only replaces its message (a
// non-empty one), keeping its flags and its interrupted mark; one EndProcess ends it.
void BeginProcess(const QString& message, int flags);
// True when the operation must stop (stays true once interrupted, until EndProcess).
// Lets the user interface dispatch waiting events; an Esc or close request is confirmed
// with "Interrupt process?" before it interrupts, unless the interface says its requests
// need no confirmation (a signal to the command line).
[[nodiscard]] bool CheckInterrupt();
void EndProcess();
// Asks "Interrupt process?" while an operation runs; true without asking when none runs.
[[nodiscard]] bool ConfirmInterrupt();
bool IsProcessRunning();
bool IsProcessInterrupted();
// Flags of the running operation (0 when idle).
int CurrentProcessFlags();
// For the user interface (progress dialog cancel, main window close): asks ConfirmInterrupt
// while an operation runs and marks it interrupted on Yes. Returns the mark.
[[nodiscard]] bool RequestInterrupt();

// The state itself, one per process (App().busy()); the functions above act on it.
class CBusyState {
public:
    enum class State { Idle, Running, Interrupted };
    State state = State::Idle;
    int flags = 0;

    // Idle without telling the user interface (a fresh process).
    void reset() {
        state = State::Idle;
        flags = 0;
    }
};

// Begins a process unless one already runs, and ends it on destruction only if it began it.
class CProcessScope {
public:
    CProcessScope(const QString& message, int flags);
    ~CProcessScope();
    CProcessScope(const CProcessScope&) = delete;
    CProcessScope& operator=(const CProcessScope&) = delete;

private:
    bool m_owner = false;
};
