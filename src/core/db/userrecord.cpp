#include "userrecord.h"

CUserRecord::CUserRecord(Database& db) : CRecord(db, QStringLiteral("Users")) {}

bool CUserRecord::findByName(const QString& username) {
    return lookup(QStringLiteral("[Username] = ?"), {username});
}

void CUserRecord::bindFields(FieldBinder& b) {
    b("Username", Username);
    b("FullName", FullName);
    b("CreditCard", CreditCard);
    b("ExpiryDate", ExpiryDate);
    b("ActiveStatus", ActiveStatus);
    b("Id", Id);
    b("CCCompany", CCCompany);
    b("CCNameOnCard", CCNameOnCard);
    b("StartDate", StartDate);
    b("IdBillingPlan", IdBillingPlan);
    b("IdInvoicePlan", IdInvoicePlan);
    b("GotFirstInvoice", GotFirstInvoice);
    b("EndDate", EndDate);
    b("GroupOptions", GroupOptions);
    b("Comment", Comment);
    b("IsGroup", IsGroup);
    b("AnniversaryDay", AnniversaryDay);
    b("IdBPOverride", IdBPOverride);
    b("IdIPOverride", IdIPOverride);
    b("Options", Options);
}
