#pragma once
#include <QString>

// The one interface through which the core reaches the user: questions, messages, status
// text, the wait cursor and the presentation of the busy state. The GUI, the command-line
// tool and the tests each implement it; the core never includes Qt Widgets.
enum class MessageIcon { None, Information, Question, Exclamation, Stop };

class IUserInterface {
public:
    virtual ~IUserInterface() = default;

    // Yes/No question; true for Yes.
    virtual bool askYesNo(const QString& text, MessageIcon icon = MessageIcon::Question) = 0;
    // Modal message (OK only).
    virtual void showMessage(const QString& text, MessageIcon icon = MessageIcon::Exclamation) = 0;
    // Status-bar text ("" clears it).
    virtual void setStatusText(const QString& text) = 0;
    virtual void setWaitCursor(bool on) = 0;

    // Busy state presentation (the state machine itself lives in busystate.h).
    virtual void processStarted(const QString& message, int flags) = 0;
    virtual void processMessage(const QString& message) = 0;
    // Dispatches waiting events; true when the user pressed Esc (with PROC_ESC_INTERRUPTS),
    // tried to close the main window or the progress dialog (PROC_CLOSE_INTERRUPTS), or the
    // application is quitting. The caller confirms before interrupting.
    virtual bool pollInterruptRequest(int flags) = 0;
    virtual void processEnded(int flags) = 0;
    // Whether a request seen by pollInterruptRequest is confirmed with "Interrupt process?"
    // first (a key pressed by mistake) or interrupts at once (a signal sent on purpose).
    virtual bool confirmsInterrupt() const { return true; }

    // File choice (open an existing file / save under a name, overwrite confirmed by the
    // implementation). An empty answer means the user cancelled. filter uses the Qt form
    // "Label (*.ext);;All Files (*)".
    virtual QString chooseOpenFile(const QString& title, const QString& filter,
                                   const QString& initial = {}) {
        (void)title, (void)filter, (void)initial;
        return {};
    }
    virtual QString chooseSaveFile(const QString& title, const QString& filter,
                                   const QString& initial = {}) {
        (void)title, (void)filter, (void)initial;
        return {};
    }
};

// An interface that shows nothing, answers No and cancels every file choice: the default
// before an implementation is installed.
class CSilentUserInterface : public IUserInterface {
public:
    bool askYesNo(const QString&, MessageIcon) override { return false; }
    void showMessage(const QString&, MessageIcon) override {}
    void setStatusText(const QString&) override {}
    void setWaitCursor(bool) override {}
    void processStarted(const QString&, int) override {}
    void processMessage(const QString&) override {}
    bool pollInterruptRequest(int) override { return false; }
    void processEnded(int) override {}
};

// The process-wide interface (App().ui()); a silent default answers No and records nothing
// until an implementation is installed.
IUserInterface& ui();
// App().setUi(): nullptr restores the silent default. The caller keeps ownership.
void setUi(IUserInterface* ui);

// Shows the wait cursor for the lifetime of the object.
class CWaitCursor {
public:
    CWaitCursor() { ui().setWaitCursor(true); }
    ~CWaitCursor() { ui().setWaitCursor(false); }
    CWaitCursor(const CWaitCursor&) = delete;
    CWaitCursor& operator=(const CWaitCursor&) = delete;
};
