#pragma once
#include "core/app/forwardingui.h"

#include <QString>
#include <QStringList>

// The user interface of an unattended batch (the monthly job, the creation of the sample
// database): stands in for the installed interface while it lives and restores it after.
//
// It answers the end-of-operation offer to view the log No without asking (the batch reports
// its warnings and errors itself), keeps every message it is shown, and passes on only the
// messages that say something went wrong (exclamation and stop icons, except the general
// "An error or warning was issued."), so that a run over many customers does not stop at a
// box after each one. Questions other than the log offer (e.g. "Interrupt process?" after
// Esc), status text, the wait cursor and the busy state go to the installed interface.
class CBatchUserInterface : public CForwardingUserInterface {
public:
    CBatchUserInterface();
    ~CBatchUserInterface() override;
    CBatchUserInterface(const CBatchUserInterface&) = delete;
    CBatchUserInterface& operator=(const CBatchUserInterface&) = delete;

    // Every message shown while it lived, in order.
    const QStringList& messages() const { return m_messages; }
    // The messages passed on to the installed interface.
    const QStringList& problemMessages() const { return m_problems; }

    bool askYesNo(const QString& text, MessageIcon icon) override;
    void showMessage(const QString& text, MessageIcon icon) override;

private:
    QStringList m_messages;
    QStringList m_problems;
};
