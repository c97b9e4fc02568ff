#include "core/db/userrecord.h"

CUserRecord::CUserRecord(Database& db) : CRecord(db, QStringLiteral("Users")) {}

bool CUserRecord::findByName(const QString& username) {
    return lookup(QStringLiteral("[Username] = ?"), {username});
}

void CUserRecord::bindFields(FieldBinder& b) {
    forEachField(b);
}
