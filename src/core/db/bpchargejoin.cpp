#include "bpchargejoin.h"

CBPChargeJoin::CBPChargeJoin(Database& db) : CRecord(db, QStringLiteral("BPChargeJoin")) {}

void CBPChargeJoin::bindFields(FieldBinder& b) {
    b("Id", Id);
    b("IdBillingPlan", IdBillingPlan);
    b("IdCharge", IdCharge);
    b("OrdinalPosition", OrdinalPosition);
}
