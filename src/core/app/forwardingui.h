#pragma once
#include "core/app/userinterface.h"

// A user interface that passes every call on to another one. Wrappers that stand in for the
// installed interface for a while (a batch, a command-line run) derive from it and override
// only the calls they treat differently.
class CForwardingUserInterface : public IUserInterface {
public:
    explicit CForwardingUserInterface(IUserInterface& inner) : m_inner(inner) {}
    CForwardingUserInterface(const CForwardingUserInterface&) = delete;
    CForwardingUserInterface& operator=(const CForwardingUserInterface&) = delete;

    bool askYesNo(const QString& text, MessageIcon icon) override;
    void showMessage(const QString& text, MessageIcon icon) override;
    void setStatusText(const QString& text) override;
    void setWaitCursor(bool on) override;
    void processStarted(const QString& message, int flags) override;
    void processMessage(const QString& message) override;
    bool pollInterruptRequest(int flags) override;
    void processEnded(int flags) override;
    bool confirmsInterrupt() const override { return m_inner.confirmsInterrupt(); }
    QString chooseOpenFile(const QString& title, const QString& filter,
                           const QString& initial) override;
    QString chooseSaveFile(const QString& title, const QString& filter,
                           const QString& initial) override;

protected:
    IUserInterface& inner() const { return m_inner; }

private:
    IUserInterface& m_inner;
};
