#include "core/billing/runreporter.h"

#include "core/app/operationlog.h"
#include "core/app/oplog.h"
#include "core/app/userinterface.h"

void CLogRunReporter::logResult(const QString& name, int code, const QString& text) {
    if (text.isEmpty())
        LogResult(name, code);
    else
        LogText(name, text, code);
}

void CLogRunReporter::logException(const QString& name, const std::exception& e, int code) {
    LogException(name, e, code);
}

void CLogRunReporter::tell(const QString& message) {
    ui().showMessage(message, MessageIcon::Exclamation);
}

bool CLogRunReporter::problem() const {
    return theLog().problem();
}

void CLogRunReporter::setProblem(bool on) {
    theLog().setProblem(on);
}

void CLogRunReporter::reportOutcome(bool offerView, int problem, bool sayIfNone) {
    ReportLogOutcome(offerView, problem, sayIfNone);
}

IRunReporter& LogRunReporter() {
    static CLogRunReporter reporter;
    return reporter;
}
