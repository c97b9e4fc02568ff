#pragma once
#include "core/app/userinterface.h"

#include <QString>

// The terminal's IUserInterface: messages go to stderr; questions are answered by --yes or
// --no, else asked on the terminal, else refused (answered No, with a note saying how to
// answer); status text and progress go to stderr only with --verbose. Ctrl+C during an
// operation asks to interrupt it like Esc in the desktop program.
class CCliUserInterface : public IUserInterface {
public:
    enum class Answer { Ask, Yes, No };

    CCliUserInterface(Answer answer, bool verbose);
    ~CCliUserInterface() override;

    // A question went unanswered because no terminal was there to ask.
    bool refusedQuestion() const { return m_refused; }
    // Messages shown (any icon).
    int messageCount() const { return m_messages; }
    // Writes a plain line to stderr (for the tool's own notes).
    static void note(const QString& text);

    bool askYesNo(const QString& text, MessageIcon icon) override;
    void showMessage(const QString& text, MessageIcon icon) override;
    void setStatusText(const QString& text) override;
    void setWaitCursor(bool on) override;
    void processStarted(const QString& message, int flags) override;
    void processMessage(const QString& message) override;
    bool pollInterruptRequest(int flags) override;
    void processEnded(int flags) override;

private:
    Answer m_answer;
    bool m_verbose;
    bool m_refused = false;
    int m_messages = 0;
};
