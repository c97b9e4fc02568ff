#include "core/db/addressrecord.h"

CAddressRecord::CAddressRecord(Database& db) : CRecord(db, QStringLiteral("Address")) {}

bool CAddressRecord::findByOwner(qint32 idOwner, qint32 type) {
    return lookup(QStringLiteral("[IdOwner] = ? AND [Type] = ?"), {idOwner, type});
}

void CAddressRecord::bindFields(FieldBinder& b) {
    forEachField(b);
}
