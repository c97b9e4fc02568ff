#include "bprecord.h"

CBPRecord::CBPRecord(Database& db) : CRecord(db, QStringLiteral("BillingPlans")) {}

bool CBPRecord::findByInvoice(qint32 invoiceNum) {
    return lookup(QStringLiteral("[IdInvoice] = ?"), {invoiceNum});
}

bool CBPRecord::findLiveByName(const QString& name) {
    return lookup(QStringLiteral("[Name] = ? AND [IdInvoice] = 0"), {name});
}

void CBPRecord::bindFields(FieldBinder& b) {
    b("Id", Id);
    b("Name", Name);
    b("StartDate", StartDate);
    b("EndDate", EndDate);
    b("MinimumCharge", MinimumCharge);
    b("PrepayMinimum", PrepayMinimum);
    b("UseAnniversary", UseAnniversary);
    b("IdInvoice", IdInvoice);
    b("IdUser", IdUser);
    b("Options", Options);
}
