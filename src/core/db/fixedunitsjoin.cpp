#include "core/db/fixedunitsjoin.h"

CFixedUnitsJoin::CFixedUnitsJoin(Database& db) : CRecord(db, QStringLiteral("FixedUnitsJoin")) {}

bool CFixedUnitsJoin::findUnits(qint32 idCharge, qint32 idUser) {
    return lookup(QStringLiteral("[IdCharge] = ? AND [IdUser] = ?"), {idCharge, idUser});
}

void CFixedUnitsJoin::bindFields(FieldBinder& b) {
    forEachField(b);
}
