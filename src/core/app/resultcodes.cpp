#include "core/app/resultcodes.h"

namespace {
// Texts of the result codes 1..40; empty where the caller supplies the text or the code has
// none.
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
} // namespace

QString ResultText(int code) {
    if (code < 1 || code > 40)
        return {};
    return QString::fromLatin1(kResultTexts[code - 1]);
}

QString ResultSeverity(int code) {
    if (code >= 0 && code < ResultCode::FirstWarning)
        return QStringLiteral("ERROR");
    if (code >= ResultCode::FirstWarning && code < ResultCode::FirstSuccess)
        return QStringLiteral("WARNING");
    return QStringLiteral("SUCCESS");
}
