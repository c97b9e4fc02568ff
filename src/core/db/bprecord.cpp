#include "core/db/bprecord.h"

CBPRecord::CBPRecord(Database& db) : CRecord(db, QStringLiteral("BillingPlans")) {}

bool CBPRecord::findByInvoice(qint32 invoiceNum) {
    return lookup(QStringLiteral("[IdInvoice] = ?"), {invoiceNum});
}

bool CBPRecord::findLiveByName(const QString& name) {
    return lookup(QStringLiteral("[Name] = ? AND [IdInvoice] = 0"), {name});
}

void CBPRecord::bindFields(FieldBinder& b) {
    forEachField(b);
}
