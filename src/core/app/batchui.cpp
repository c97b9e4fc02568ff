#include "core/app/batchui.h"

namespace {
const QString kViewLogQuestion =
    QStringLiteral("An error or warning was issued, do you wish to view the log?");
const QString kProblemNote = QStringLiteral("An error or warning was issued.");
} // namespace

CBatchUserInterface::CBatchUserInterface() : CForwardingUserInterface(ui()) {
    setUi(this);
}

CBatchUserInterface::~CBatchUserInterface() {
    setUi(&inner());
}

bool CBatchUserInterface::askYesNo(const QString& text, MessageIcon icon) {
    if (text == kViewLogQuestion)
        return false;
    return inner().askYesNo(text, icon);
}

void CBatchUserInterface::showMessage(const QString& text, MessageIcon icon) {
    m_messages.append(text);
    if ((icon == MessageIcon::Exclamation || icon == MessageIcon::Stop) && text != kProblemNote) {
        m_problems.append(text);
        inner().showMessage(text, icon);
    }
}
