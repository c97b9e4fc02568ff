#pragma once
#include "core/import/lognumber.h"
#include "core/import/logtimestamp.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>

struct EventRow;

// What one accounting-log record says about a session, before acceptance.
struct LogSession {
    QString username;                      // at most 20 characters
    std::optional<LogTimestamp> timestamp; // the record's time: the end of the session
    std::optional<qint64> sessionSeconds;  // the last session-time field
    qint64 sent = 0; // octets: the low 32 bits of a RADIUS count, or the whole count
    qint64 received = 0;
    qint64 sentGigawords = 0; // multiples of 2^32 bytes added to sent
    qint64 receivedGigawords = 0;
    qint32 delay = 0; // seconds the record was written late
    QString reason;
    QString port;
    QString sessionId = QStringLiteral("None");
    QByteArray status; // a session is stored only with a stop status
    bool skip = false; // a status other than a stop; a Telebit line without "on"
};

// The record delimiter of a dialect as CLogRecordReader takes it (LF form): a blank line for
// Radius, a line end for UNet and Telebit.
QByteArray LogRecordDelimiter(int authSystem);

// Splits one record of the dialect of authSystem (AUTH_RADIUS, AUTH_UNET, AUTH_TELEBIT) into
// tokens and walks them: first the timestamp, then the dialect's field rules. currentYear
// completes timestamps written without a year.
LogSession ParseLogRecord(QByteArrayView record, int authSystem, bool stripPrefixes,
                          int currentYear, const QLocale& locale = QLocale::system());

// Longest session the Events row can describe (its hours are a 16-bit number).
inline constexpr qint64 kMaxSessionSeconds = 32767LL * 3600 + 3599;

// The acceptance test and the dates: fills row (ServerId included) and answers true when the
// session is to be stored: no skip, a status, a user name, a timestamp and a session time of
// 0..kMaxSessionSeconds. The disconnect instant is the record's local time on the calendar (a
// time skipped by the spring change lies past the gap and is stored as such); the connect time
// is that instant minus the session time, and a delay moves both back, each computed on
// absolute time, so connect never follows disconnect. Byte counts are gigawords * 2^32 +
// octets, a negative one 0. Texts are cut to the size of their fields, so that the row holds
// what is stored and compared.
bool SessionToEventRow(const LogSession& session, qint32 serverId, EventRow& row);

// Warns in the operation log (under the user name) of each negative byte count of a session,
// once the session was stored with 0 for it.
void WarnNegativeByteCounts(const LogSession& session);

// Text of a log field: UTF-8 when it is valid UTF-8, else Windows-1252; NUL characters are
// dropped (they end a text in other programs and have no place in a name).
QString DecodeLogText(QByteArrayView bytes);
