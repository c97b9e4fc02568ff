#include "ui/invoice/runlogreporter.h"

#include "core/app/resultcodes.h"

void CRunLogReporter::keep(const QString& name, int code, const QString& message) {
    m_lines.append(QStringLiteral("%1\t%2\t%3").arg(name, ResultSeverity(code), message));
}

void CRunLogReporter::logResult(const QString& name, int code, const QString& text) {
    keep(name, code, text.isEmpty() ? ResultText(code) : text);
    LogRunReporter().logResult(name, code, text);
}

void CRunLogReporter::logException(const QString& name, const std::exception& e, int code) {
    // The log cuts the engine's text at 255 characters; the window shows it the same.
    keep(name, code, QString::fromUtf8(e.what()).left(255));
    LogRunReporter().logException(name, e, code);
}

void CRunLogReporter::tell(const QString& message) {
    LogRunReporter().tell(message);
}

bool CRunLogReporter::problem() const {
    return LogRunReporter().problem();
}

void CRunLogReporter::setProblem(bool on) {
    LogRunReporter().setProblem(on);
}

void CRunLogReporter::reportOutcome(bool offerView, int problem, bool sayIfNone) {
    LogRunReporter().reportOutcome(offerView, problem, sayIfNone);
}
