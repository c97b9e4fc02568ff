#include "userrecordold.h"

CUserRecordOld::CUserRecordOld(Database& db) : CRecord(db, QStringLiteral("Users")) {}

void CUserRecordOld::bindFields(FieldBinder& b) {
    b("Username", Username);
    b("HRate", HRate);
    b("MRate", MRate);
    b("Minimum", Minimum);
    b("Tax1", Tax1);
    b("Tax2", Tax2);
    b("HDay", HDay);
    b("HMonth", HMonth);
    b("ORate", ORate);
    b("Premium1", Premium1);
    b("Premium2", Premium2);
    b("Prepay", Prepay);
}
