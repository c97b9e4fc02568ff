#include "invoicerecord.h"

CInvoiceRecord::CInvoiceRecord(Database& db) : CRecord(db, QStringLiteral("Invoices")) {}

bool CInvoiceRecord::findByNumber(qint32 invoiceNum) {
    return lookup(QStringLiteral("[InvoiceNum] = ?"), {invoiceNum});
}

void CInvoiceRecord::bindFields(FieldBinder& b) {
    b("ClosingDate", ClosingDate);
    b("TotalTimeHH", TotalTimeHH);
    b("TotalTimeMM", TotalTimeMM);
    b("TotalTimeSS", TotalTimeSS);
    b("Sent", Sent);
    b("Received", Received);
    b("Charge", Charge);
    b("Prepaid", Prepaid);
    b("Minimum", Minimum);
    b("TotalDue", TotalDue);
    b("TotalPaid", TotalPaid);
    b("InvoiceNum", InvoiceNum);
    b("IdUser", IdUser);
    b("Prepaying", Prepaying);
    b("PrevBalance", PrevBalance);
    b("TaxableGross", TaxableGross);
    b("Taxes", Taxes);
    b("BillingDate", BillingDate);
    b("OpeningDate", OpeningDate);
    b("Version", Version);
    b("NewCharges", NewCharges);
    b("Flags", Flags);
    b("Tax1", Tax1);
    b("Tax2", Tax2);
    b("Users", Users);
    b("Payments", Payments);
}
