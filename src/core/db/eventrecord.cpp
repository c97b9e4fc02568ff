#include "core/db/eventrecord.h"

CEventRecord::CEventRecord(Database& db) : CRecord(db, QStringLiteral("Events")) {}

void CEventRecord::bindFields(FieldBinder& b) {
    forEachField(b);
}
