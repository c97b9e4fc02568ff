#include "core/db/invoicerecord.h"

CInvoiceRecord::CInvoiceRecord(Database& db) : CRecord(db, QStringLiteral("Invoices")) {}

bool CInvoiceRecord::findByNumber(qint32 invoiceNum) {
    return lookup(QStringLiteral("[InvoiceNum] = ?"), {invoiceNum});
}

void CInvoiceRecord::bindFields(FieldBinder& b) {
    forEachField(b);
}
