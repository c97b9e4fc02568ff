#include "common/recordingui.h"

#include "core/app/busystate.h"

using namespace Qt::StringLiterals;

CRecordingUi::CRecordingUi(bool install) : m_installed(install) {
    if (install)
        setUi(this);
}

CRecordingUi::~CRecordingUi() {
    if (m_installed && &ui() == this)
        setUi(nullptr);
}

void CRecordingUi::queueAnswers(std::initializer_list<bool> answers) {
    for (bool a : answers)
        m_answers.append(a);
}

bool CRecordingUi::hasMessage(const QString& text) const {
    return countMessages(text) > 0;
}

int CRecordingUi::countMessages(const QString& text) const {
    int n = 0;
    for (const Entry& e : messages)
        if (e.text == text)
            ++n;
    return n;
}

bool CRecordingUi::hasQuestion(const QString& text) const {
    for (const Entry& e : questions)
        if (e.text == text)
            return true;
    return false;
}

void CRecordingUi::clear() {
    messages.clear();
    questions.clear();
    statusTexts.clear();
    fileDialogs.clear();
    processCalls.clear();
    m_transcript.clear();
    waitCursorOn = waitCursorOff = polls = 0;
}

bool CRecordingUi::askYesNo(const QString& text, MessageIcon icon) {
    questions.append({text, icon});
    const bool answer = m_answers.isEmpty() ? defaultAnswer : m_answers.takeFirst();
    m_transcript.append(u"ask: %1 -> %2"_s.arg(text, answer ? "Yes" : "No"));
    return answer;
}

void CRecordingUi::showMessage(const QString& text, MessageIcon icon) {
    messages.append({text, icon});
    m_transcript.append(u"message: "_s + text);
}

void CRecordingUi::setStatusText(const QString& text) {
    statusTexts.append(text);
}

void CRecordingUi::setWaitCursor(bool on) {
    ++(on ? waitCursorOn : waitCursorOff);
}

void CRecordingUi::processStarted(const QString& message, int flags) {
    processCalls.append(u"start:%1:%2"_s.arg(flags).arg(message));
}

void CRecordingUi::processMessage(const QString& message) {
    processCalls.append(u"message:"_s + message);
}

bool CRecordingUi::pollInterruptRequest(int flags) {
    ++polls;
    bool request = false;
    if (m_esc > 0 && (flags & PROC_ESC_INTERRUPTS)) {
        --m_esc;
        request = true;
    } else if (m_close > 0 && (flags & PROC_CLOSE_INTERRUPTS)) {
        --m_close;
        request = true;
    }
    if (onPoll)
        onPoll();
    return request;
}

void CRecordingUi::processEnded(int flags) {
    processCalls.append(u"end:%1"_s.arg(flags));
}

QString CRecordingUi::chooseOpenFile(const QString& title, const QString&, const QString&) {
    fileDialogs.append(u"open:"_s + title);
    return m_openFiles.isEmpty() ? QString() : m_openFiles.takeFirst();
}

QString CRecordingUi::chooseSaveFile(const QString& title, const QString&, const QString&) {
    fileDialogs.append(u"save:"_s + title);
    return m_saveFiles.isEmpty() ? QString() : m_saveFiles.takeFirst();
}
