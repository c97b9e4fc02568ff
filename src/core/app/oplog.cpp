#include "core/app/oplog.h"
#include "core/db/dbexception.h"
#include "core/app/operationlog.h"

namespace {
// Texts of the billing and delivery result codes 1..40; empty where the caller supplies the
// text or the code has none.
const char* const kResultTexts[40] = {
    "No billing plan or can't open billing plan.",
    "No invoice plan or can't open invoice plan.",
    "No charges in billing plan.",
    "Invalid charge type.",
    "Unspecified charge error.",
    "copying records.",
    "creating new invoice record.",
    "summing charges.",
    "computing a charge.",
    "customer's service was terminated before or started after billing period.",
    "Customer has no start date.",
    "Customer has no anniversary date.",
    "Creating view for invoice.",
    "loading invoice record.",
    "opening customer record.",
    "executing invoice send options.",
    "Group representative has no override billing plan.",
    "Group representative has no override invoice plan.",
    "customer is not active.",
    "emailing invoice.",
    "printing invoice.",
    "deleting invoice.",
    "old style invoice couldn't be reloaded.",
    "balance adjustment invoice couldn't be reloaded.",
    "", // 25
    "customer is not active.",
    "Prorate is typically only used with fixed charges of per-billing-period frequency.",
    "Invoice plan contains no instructions on what to do with the invoice.",
    "There are no charges associated with this billing plan.",
    "", // 30
    "No billing plan.",
    "No invoice plan.",
    "", // 33
    "Unknown image file type.",
    "", // 35
    "", // 36
    "Invoice was not generated due to zero amount due.",
    "Invoice plan succeeded.",
    "Invoice creation succeeded.",
    "Aborted.",
};

const QString kUnknownCustomer = QStringLiteral("Unknown customer");
constexpr int kMaxExceptionText = 255;
} // namespace

QString ResultText(int code) {
    if (code < 1 || code > 40)
        return {};
    return QString::fromLatin1(kResultTexts[code - 1]);
}

QString ResultSeverity(int code) {
    if (code >= 0 && code <= 24)
        return QStringLiteral("ERROR");
    if (code >= 25 && code <= 34)
        return QStringLiteral("WARNING");
    return QStringLiteral("SUCCESS");
}

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

void WriteLogLine(const QString& line) {
    theLog().writeLine(line);
}

void ReportLogOutcome(bool offerView, int problem, bool sayIfNone) {
    theLog().reportOutcome(offerView, problem, sayIfNone);
}
