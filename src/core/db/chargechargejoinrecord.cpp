#include "core/db/chargechargejoinrecord.h"

CChargeChargeJoinRecord::CChargeChargeJoinRecord(Database& db)
    : CRecord(db, QStringLiteral("ChargeChargeJoin")) {}

void CChargeChargeJoinRecord::bindFields(FieldBinder& b) {
    forEachField(b);
}
