#pragma once
#include "core/app/userinterface.h"

#include <QString>

// The terminal's IUserInterface: messages go to stderr; questions are answered by --yes or
// --no, else asked on the terminal, else refused (answered No, with a note saying how to
// answer); status text and progress go to stderr only with --verbose. SIGINT (Ctrl+C),
// SIGTERM and SIGHUP while the command runs interrupt it like Esc in the desktop program,
// without a question: the operation under way stops at its next safe point, undoes what an
// interruption undoes, and the command exits non-zero.
class CCliUserInterface : public IUserInterface {
public:
    enum class Answer { Ask, Yes, No };

    CCliUserInterface(Answer answer, bool verbose);
    ~CCliUserInterface() override;

    // A question went unanswered because no terminal was there to ask.
    bool refusedQuestion() const { return m_refused; }
    // Messages shown (any icon).
    int messageCount() const { return m_messages; }
    // The text of the last message shown (empty when none was).
    const QString& lastMessage() const { return m_lastMessage; }
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
    bool confirmsInterrupt() const override { return false; }

    // The signal that interrupted this command, 0 when none came.
    static int interruptSignal();

private:
    Answer m_answer;
    bool m_verbose;
    bool m_refused = false;
    int m_messages = 0;
    QString m_lastMessage;
};
