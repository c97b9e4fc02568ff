#include "core/db/phonerecord.h"

CPhoneRecord::CPhoneRecord(Database& db) : CRecord(db, QStringLiteral("Phone")) {}

bool CPhoneRecord::findByOwner(qint32 idOwner, qint32 type) {
    return lookup(QStringLiteral("[IdOwner] = ? AND [Type] = ?"), {idOwner, type});
}

void CPhoneRecord::bindFields(FieldBinder& b) {
    forEachField(b);
}
