#include "lantemprecord.h"

CLANTempRecord::CLANTempRecord(Database& db) : CRecord(db, QStringLiteral("LANTemp")) {}

void CLANTempRecord::bindFields(FieldBinder& b) {
    b("UserName", UserName);
    b("EventDate", EventDate);
    b("Id", Id);
    b("ServerId", ServerId);
    b("LogonID", LogonID);
}
