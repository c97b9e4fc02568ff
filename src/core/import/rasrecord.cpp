#include "core/import/rasrecord.h"

#include "core/app/cp1252.h"
#include "core/db/datetimeutil.h"
#include "core/import/evtreader.h"
#include "core/import/lognumber.h"

#include <algorithm>

namespace {

// Strings of a 20050 record; a 20048 record has one less (domain and user joined).
constexpr int kRasStrings = 13;
constexpr qint64 kMaxHours = 32767;
constexpr qint64 kMaxByteCount = 0xffffffffLL;

int piece(QByteArrayView text, qsizetype pos, qsizetype count) {
    if (pos >= text.size())
        return 0;
    return LogNumber(text.sliced(pos, std::min(count, text.size() - pos)));
}

qint64 byteCount(const QByteArray& text) {
    return std::clamp<qint64>(LogNumber64(text), 0, kMaxByteCount);
}

} // namespace

QDate RasDate(QByteArrayView text) {
    return QDate(piece(text, 6, 4), piece(text, 0, 2), piece(text, 3, 2));
}

QTime RasTime(QByteArrayView text) {
    int hour = piece(text, 0, 2);
    if (text.size() > 5 && (text[5] == 'p' || text[5] == 'P') && hour != 12)
        hour += 12;
    else if (text.size() > 5 && (text[5] == 'a' || text[5] == 'A') && hour == 12)
        hour = 0;
    return QTime(hour, piece(text, 3, 2), piece(text, 6, 2));
}

void CarryDuration(qint64 minutes, qint64 seconds, qint16& h, qint16& m, qint16& s) {
    minutes = std::max<qint64>(minutes, 0);
    seconds = std::max<qint64>(seconds, 0);
    minutes += seconds / 60;
    const qint64 hours = minutes / 60;
    if (hours > kMaxHours) {
        h = qint16(kMaxHours);
        m = 59;
        s = 59;
        return;
    }
    h = qint16(hours);
    m = qint16(minutes % 60);
    s = qint16(seconds % 60);
}

RasRecordKind ReadRasRecord(const EvtRecord& record, RasSession& session) {
    int first = 0; // index of the user name; 20048 has no domain string before it
    if (record.eventId == kEventRasSession && record.numStrings != 0 && record.numStrings != 2)
        first = 1;
    else if (record.eventId == kEventRasSessionJoined && record.numStrings != 0)
        first = 0;
    else
        return RasRecordKind::NotSession;
    const QList<QByteArray>& s = record.strings;
    if (s.size() < kRasStrings - 1 + first)
        return RasRecordKind::TooFewStrings;

    QByteArrayView user = s[first];
    if (first == 0) {
        const qsizetype slash = user.indexOf('\\');
        if (slash >= 0)
            user = user.sliced(slash + 1);
    }
    const QDate connectDate = RasDate(s[first + 2]);
    const QTime connectTime = RasTime(s[first + 3]);
    const QDate disconnectDate = RasDate(s[first + 4]);
    const QTime disconnectTime = RasTime(s[first + 5]);
    if (!connectDate.isValid() || !connectTime.isValid() || !disconnectDate.isValid() ||
        !disconnectTime.isValid())
        return RasRecordKind::BadDate;

    // A name that is empty or cannot be read (no Windows-1252 form) is stored as Citrix/LAN
    // stores an empty one, so that no session goes under an empty logon name.
    session.username = user.isEmpty() ? QStringLiteral("Anonymous") : DecodeCp1252(user);
    session.port = DecodeCp1252(s[first + 1]);
    session.connect = DbFromLocal(connectDate, connectTime);
    session.disconnect = DbFromLocal(disconnectDate, disconnectTime);
    session.disconnectSeconds = LocalToSeconds(disconnectDate, disconnectTime);
    CarryDuration(LogNumber(s[first + 6]), LogNumber(s[first + 7]), session.hours, session.minutes,
                  session.seconds);
    session.sent = byteCount(s[first + 8]);
    session.received = byteCount(s[first + 9]);
    session.reason = DecodeCp1252(s[first + 11]);
    return RasRecordKind::Session;
}
