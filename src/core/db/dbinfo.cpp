#include "core/db/dbinfo.h"

CDBInfo::CDBInfo(Database& db) : CRecord(db, QStringLiteral("DBInfo")) {}

bool CDBInfo::read() {
    return lookup(QStringLiteral("1 = 1"));
}

void CDBInfo::bindFields(FieldBinder& b) {
    forEachField(b);
}
