#include "addressrecord.h"

CAddressRecord::CAddressRecord(Database& db) : CRecord(db, QStringLiteral("Address")) {}

bool CAddressRecord::findByOwner(qint32 idOwner, qint32 type) {
    return lookup(QStringLiteral("[IdOwner] = ? AND [Type] = ?"), {idOwner, type});
}

void CAddressRecord::bindFields(FieldBinder& b) {
    b("Id", Id);
    b("Type", Type);
    b("Address1", Address1);
    b("Address2", Address2);
    b("City", City);
    b("Province", Province);
    b("PostalCode", PostalCode);
    b("EMail", EMail);
    b("IdOwner", IdOwner);
}
