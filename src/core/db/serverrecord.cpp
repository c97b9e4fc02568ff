#include "core/db/serverrecord.h"

CServerRecord::CServerRecord(Database& db) : CRecord(db, QStringLiteral("Servers")) {}

bool CServerRecord::findByName(const QString& serverName) {
    return lookup(QStringLiteral("[ServerName] = ?"), {serverName});
}

void CServerRecord::bindFields(FieldBinder& b) {
    forEachField(b);
}
