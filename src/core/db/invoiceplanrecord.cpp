#include "invoiceplanrecord.h"

CInvoicePlanRecord::CInvoicePlanRecord(Database& db)
    : CRecord(db, QStringLiteral("InvoicePlans")) {}

bool CInvoicePlanRecord::findByInvoice(qint32 invoiceNum) {
    return lookup(QStringLiteral("[IdInvoice] = ?"), {invoiceNum});
}

bool CInvoicePlanRecord::findLiveByName(const QString& name) {
    return lookup(QStringLiteral("[Name] = ? AND [IdInvoice] = 0"), {name});
}

void CInvoicePlanRecord::bindFields(FieldBinder& b) {
    b("Id", Id);
    b("Name", Name);
    b("ShowDetails", ShowDetails);
    b("ShowAddress", ShowAddress);
    b("DateFormat", DateFormat);
    b("Language", Language);
    b("Message", Message);
    b("EmailServer", EmailServer);
    b("EmailSender", EmailSender);
    b("EmailSubject", EmailSubject);
    b("CreateIfZero", CreateIfZero);
    b("EmailOnCreate", EmailOnCreate);
    b("PrintOnCreate", PrintOnCreate);
    b("ViewOnCreate", ViewOnCreate);
    b("IdInvoice", IdInvoice);
    b("IdUser", IdUser);
    b("Footer", Footer);
    b("Heading", Heading);
    b("Options", Options);
    b("Bitmap", Bitmap);
    b("ShowInvoiceNum", ShowInvoiceNum);
}
