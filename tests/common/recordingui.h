#pragma once
#include "core/app/userinterface.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

// A scripted user interface for tests: records everything the core shows or asks, answers
// questions and file choices from prepared lists (then a default), and delivers simulated
// Esc presses and close requests through pollInterruptRequest.
// Installs itself as ui() on construction and restores the silent default on destruction.
class CRecordingUi : public IUserInterface {
public:
    struct Entry {
        QString text;
        MessageIcon icon = MessageIcon::None;
    };

    explicit CRecordingUi(bool install = true);
    ~CRecordingUi() override;

    // --- script ---
    void queueAnswers(std::initializer_list<bool> answers);
    void queueAnswer(bool answer) { m_answers.append(answer); }
    bool defaultAnswer = false;
    void queueOpenFile(const QString& path) { m_openFiles.append(path); }
    void queueSaveFile(const QString& path) { m_saveFiles.append(path); }
    // Simulated key presses / close attempts, consumed one per poll that accepts them.
    void pressEsc(int count = 1) { m_esc += count; }
    void requestClose(int count = 1) { m_close += count; }
    // Called on every poll (after the simulated input), e.g. to log from inside an operation.
    std::function<void()> onPoll;

    // --- record ---
    QList<Entry> messages;  // showMessage
    QList<Entry> questions; // askYesNo
    QStringList statusTexts;
    QStringList fileDialogs; // "open:<title>" / "save:<title>"
    // Busy-state calls in order: "start:<flags>:<message>", "message:<text>", "end:<flags>".
    QStringList processCalls;
    int waitCursorOn = 0;  // calls with true
    int waitCursorOff = 0; // calls with false
    int polls = 0;
    int pendingEsc() const { return m_esc; }

    bool hasMessage(const QString& text) const;
    int countMessages(const QString& text) const;
    bool hasQuestion(const QString& text) const;
    // Everything shown or asked, in order, for failure output.
    QStringList transcript() const { return m_transcript; }
    void clear();

    // --- IUserInterface ---
    bool askYesNo(const QString& text, MessageIcon icon) override;
    void showMessage(const QString& text, MessageIcon icon) override;
    void setStatusText(const QString& text) override;
    void setWaitCursor(bool on) override;
    void processStarted(const QString& message, int flags) override;
    void processMessage(const QString& message) override;
    bool pollInterruptRequest(int flags) override;
    void processEnded(int flags) override;
    QString chooseOpenFile(const QString& title, const QString& filter,
                           const QString& initial) override;
    QString chooseSaveFile(const QString& title, const QString& filter,
                           const QString& initial) override;

private:
    bool m_installed = false;
    QList<bool> m_answers;
    QStringList m_openFiles;
    QStringList m_saveFiles;
    int m_esc = 0;
    int m_close = 0;
    QStringList m_transcript;
};
