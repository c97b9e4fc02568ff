#include "core/db/bpchargejoin.h"

CBPChargeJoin::CBPChargeJoin(Database& db) : CRecord(db, QStringLiteral("BPChargeJoin")) {}

void CBPChargeJoin::bindFields(FieldBinder& b) {
    forEachField(b);
}
