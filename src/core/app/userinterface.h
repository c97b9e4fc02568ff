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
};

// The process-wide interface; a silent default answers No and records nothing until
// an implementation is installed.
IUserInterface& ui();
void setUi(IUserInterface* ui);
