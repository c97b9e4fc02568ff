#include "core/app/oplog.h"
#include "core/app/operationlog.h"
#include "core/db/dbexception.h"

namespace {
const QString kUnknownCustomer = QStringLiteral("Unknown customer");
constexpr int kMaxExceptionText = 255;
} // namespace

void LogResult(const QString& name, int code) {
    theLog().writeEntry(name, ResultText(code), code);
}

void LogResult(int code) {
    LogResult(kUnknownCustomer, code);
}

void LogText(const QString& name, const QString& text, int code) {
    theLog().writeEntry(name, text, code);
}

void LogException(const QString& name, const std::exception& e, int code) {
    QString text;
    if (const auto* db = dynamic_cast<const DbException*>(&e))
        text = db->message();
    else
        text = QString::fromUtf8(e.what());
    theLog().writeEntry(name, text.left(kMaxExceptionText), code);
}

void LogRecord(const QString& name, const QString& text) {
    theLog().writeRecord(name, text);
}

void WriteLogLine(const QString& line) {
    theLog().writeLine(line);
}

void ReportLogOutcome(bool offerView, int problem, bool sayIfNone) {
    theLog().reportOutcome(offerView, problem, sayIfNone);
}
