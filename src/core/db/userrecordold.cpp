#include "core/db/userrecordold.h"

CUserRecordOld::CUserRecordOld(Database& db) : CRecord(db, QStringLiteral("Users")) {}

void CUserRecordOld::bindFields(FieldBinder& b) {
    forEachField(b);
}
