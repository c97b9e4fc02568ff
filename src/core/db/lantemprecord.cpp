#include "core/db/lantemprecord.h"

CLANTempRecord::CLANTempRecord(Database& db) : CRecord(db, QStringLiteral("LANTemp")) {}

void CLANTempRecord::bindFields(FieldBinder& b) {
    forEachField(b);
}
