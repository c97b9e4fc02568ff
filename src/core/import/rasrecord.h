#pragma once
#include "core/db/dbdatetime.h"

#include <QByteArrayView>
#include <QDate>
#include <QString>
#include <QTime>

struct EvtRecord;

// Event ids the import reads.
inline constexpr quint32 kEventRasSession = 20050;       // Remote Access: one finished connection
inline constexpr quint32 kEventRasSessionJoined = 20048; // the same, domain\user in one string
inline constexpr quint32 kEventLogon = 528;              // security log: a logon
inline constexpr quint32 kEventLogoff = 538;             // security log: its logoff

// A Remote Access connection as its record describes it.
struct RasSession {
    QString username;
    QString port;
    DbDateTime connect;           // local time
    DbDateTime disconnect;        // local time
    qint64 disconnectSeconds = 0; // the disconnect instant, seconds since 1970
    qint16 hours = 0;
    qint16 minutes = 0;
    qint16 seconds = 0;
    qint64 sent = 0;
    qint64 received = 0;
    QString reason;
};

enum class RasRecordKind {
    Session,       // a connection, filled in
    NotSession,    // another event, or one the NumStrings rules do not accept
    TooFewStrings, // accepted by its NumStrings, but short of the strings its layout needs
    BadDate        // its dates or times form no calendar date and time
};

// Reads a Remote Access record: 20050 (NumStrings neither 0 nor 2) holds domain, user, port,
// connect date and time, disconnect date and time, minutes, seconds, bytes sent and
// received, one unused string and the reason; 20048 (NumStrings not 0) the same with domain
// and user joined by a backslash in its first string. An empty or unreadable user name is
// "Anonymous".
RasRecordKind ReadRasRecord(const EvtRecord& record, RasSession& session);

// A date string read by position: month from characters 0-1, day 3-4, year 6-9.
QDate RasDate(QByteArrayView text);
// A time string read by position: hour 0-1, minute 3-4, second 6-7. A "p" at character 5
// (as in "10:22pm") is an afternoon hour: 12 is added, except to 12 itself (noon); an "a"
// there makes 12 midnight. Invalid when the pieces form no time of day.
QTime RasTime(QByteArrayView text);

// A duration in minutes and seconds as stored: seconds of 60 and more carried into the
// minutes, minutes of 60 and more into the hours. A negative count is 0, hours stop at the
// largest the row can hold.
void CarryDuration(qint64 minutes, qint64 seconds, qint16& h, qint16& m, qint16& s);
