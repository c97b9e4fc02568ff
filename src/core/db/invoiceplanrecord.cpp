#include "core/db/invoiceplanrecord.h"

CInvoicePlanRecord::CInvoicePlanRecord(Database& db)
    : CRecord(db, QStringLiteral("InvoicePlans")) {}

bool CInvoicePlanRecord::findByInvoice(qint32 invoiceNum) {
    return lookup(QStringLiteral("[IdInvoice] = ?"), {invoiceNum});
}

bool CInvoicePlanRecord::findLiveByName(const QString& name) {
    return lookup(QStringLiteral("[Name] = ? AND [IdInvoice] = 0"), {name});
}

void CInvoicePlanRecord::bindFields(FieldBinder& b) {
    forEachField(b);
}
