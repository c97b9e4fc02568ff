#include "eventrecord.h"

CEventRecord::CEventRecord(Database& db) : CRecord(db, QStringLiteral("Events")) {}

void CEventRecord::bindFields(FieldBinder& b) {
    b("Username", Username);
    b("ConnectDate", ConnectDate);
    b("DisconnectDate", DisconnectDate);
    b("Hours", Hours);
    b("Minutes", Minutes);
    b("Seconds", Seconds);
    b("Sent", Sent);
    b("Received", Received);
    b("Reason", Reason);
    b("Port", Port);
    b("ServerId", ServerId);
    b("SessionId", SessionId);
}
