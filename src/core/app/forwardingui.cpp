#include "core/app/forwardingui.h"

bool CForwardingUserInterface::askYesNo(const QString& text, MessageIcon icon) {
    return m_inner.askYesNo(text, icon);
}

void CForwardingUserInterface::showMessage(const QString& text, MessageIcon icon) {
    m_inner.showMessage(text, icon);
}

void CForwardingUserInterface::setStatusText(const QString& text) {
    m_inner.setStatusText(text);
}

void CForwardingUserInterface::setWaitCursor(bool on) {
    m_inner.setWaitCursor(on);
}

void CForwardingUserInterface::processStarted(const QString& message, int flags) {
    m_inner.processStarted(message, flags);
}

void CForwardingUserInterface::processMessage(const QString& message) {
    m_inner.processMessage(message);
}

bool CForwardingUserInterface::pollInterruptRequest(int flags) {
    return m_inner.pollInterruptRequest(flags);
}

void CForwardingUserInterface::processEnded(int flags) {
    m_inner.processEnded(flags);
}

QString CForwardingUserInterface::chooseOpenFile(const QString& title, const QString& filter,
                                                 const QString& initial) {
    return m_inner.chooseOpenFile(title, filter, initial);
}

QString CForwardingUserInterface::chooseSaveFile(const QString& title, const QString& filter,
                                                 const QString& initial) {
    return m_inner.chooseSaveFile(title, filter, initial);
}
