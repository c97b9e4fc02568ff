#include "core/db/usergroupjoin.h"

CUserGroupJoin::CUserGroupJoin(Database& db) : CRecord(db, QStringLiteral("UserGroupJoin")) {}

void CUserGroupJoin::bindFields(FieldBinder& b) {
    forEachField(b);
}
