#include "core/app/batchui.h"

namespace {
const QString kViewLogQuestion =
    QStringLiteral("An error or warning was issued, do you wish to view the log?");
const QString kProblemNote = QStringLiteral("An error or warning was issued.");
} // namespace

CBatchUserInterface::CBatchUserInterface() : m_outer(ui()) {
    setUi(this);
}

CBatchUserInterface::~CBatchUserInterface() {
    setUi(&m_outer);
}

bool CBatchUserInterface::askYesNo(const QString& text, MessageIcon icon) {
    if (text == kViewLogQuestion)
        return false;
    return m_outer.askYesNo(text, icon);
}

void CBatchUserInterface::showMessage(const QString& text, MessageIcon icon) {
    m_messages.append(text);
    if ((icon == MessageIcon::Exclamation || icon == MessageIcon::Stop) && text != kProblemNote) {
        m_problems.append(text);
        m_outer.showMessage(text, icon);
    }
}

void CBatchUserInterface::setStatusText(const QString& text) {
    m_outer.setStatusText(text);
}

void CBatchUserInterface::setWaitCursor(bool on) {
    m_outer.setWaitCursor(on);
}

void CBatchUserInterface::processStarted(const QString& message, int flags) {
    m_outer.processStarted(message, flags);
}

void CBatchUserInterface::processMessage(const QString& message) {
    m_outer.processMessage(message);
}

bool CBatchUserInterface::pollInterruptRequest(int flags) {
    return m_outer.pollInterruptRequest(flags);
}

void CBatchUserInterface::processEnded(int flags) {
    m_outer.processEnded(flags);
}

QString CBatchUserInterface::chooseOpenFile(const QString& title, const QString& filter,
                                            const QString& initial) {
    return m_outer.chooseOpenFile(title, filter, initial);
}

QString CBatchUserInterface::chooseSaveFile(const QString& title, const QString& filter,
                                            const QString& initial) {
    return m_outer.chooseSaveFile(title, filter, initial);
}
