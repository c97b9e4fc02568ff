#include "dbinfo.h"

CDBInfo::CDBInfo(Database& db) : CRecord(db, QStringLiteral("DBInfo")) {}

bool CDBInfo::read() {
    return lookup(QStringLiteral("1 = 1"));
}

void CDBInfo::bindFields(FieldBinder& b) {
    b("Version", Version);
    b("Company Name", CompanyName);
    b("LogoURL", LogoURL);
    b("MinimumPayment", MinimumPayment);
    b("PrepaidMinimum", PrepaidMinimum);
}
