#include "core/import/logrecordparser.h"

#include "core/app/cp1252.h"
#include "core/app/oplog.h"
#include "core/db/datetimeutil.h"
#include "core/db/eventrecord.h"
#include "core/db/schema.h"
#include "core/import/importcodes.h"

#include <QDateTime>
#include <QStringDecoder>

#include <algorithm>
#include <array>
#include <bit>
#include <climits>
#include <limits>

namespace {

using Delims = std::array<bool, 256>;

constexpr Delims makeDelims(const char* chars) {
    Delims d{};
    for (const char* p = chars; *p; ++p)
        d[static_cast<unsigned char>(*p)] = true;
    return d;
}

constexpr Delims kRadiusDelims = makeDelims("\r\n\t");
constexpr Delims kUnetDelims = makeDelims(", ");
constexpr Delims kTelebitDelims = makeDelims(" ");

// Tokens of a record: runs of delimiters separate, tokens are never empty.
class Tokenizer {
public:
    Tokenizer(QByteArrayView text, const Delims& delims) : m_text(text), m_delims(delims) {}
    bool next(QByteArrayView& token) {
        const qsizetype n = m_text.size();
        while (m_pos < n && isDelim(m_text[m_pos]))
            ++m_pos;
        if (m_pos >= n)
            return false;
        const qsizetype start = m_pos;
        while (m_pos < n && !isDelim(m_text[m_pos]))
            ++m_pos;
        token = m_text.sliced(start, m_pos - start);
        return true;
    }
    qsizetype position() const { return m_pos; }
    void setPosition(qsizetype pos) { m_pos = pos; }

private:
    bool isDelim(char c) const { return m_delims[static_cast<unsigned char>(c)]; }
    QByteArrayView m_text;
    const Delims& m_delims;
    qsizetype m_pos = 0;
};

// Keywords of the Radius and UNet field rules, in the order they are tested.
enum Keyword {
    KW_USER_NAME,
    KW_FRAMED_PROTOCOL,
    KW_NAS_PORT,
    KW_SESSION_ID,
    KW_STATUS_TYPE,
    KW_SESSION_TIME,
    KW_INPUT_OCTETS,
    KW_OUTPUT_OCTETS,
    KW_INPUT_GIGAWORDS,
    KW_OUTPUT_GIGAWORDS,
    KW_DISCONNECT_CAUSE,
    KW_DELAY_TIME,
    KW_USER,    // UNet only
    KW_START,   // UNet only
    KW_REQUEST, // UNet only
    KW_STOP,    // UNet only
    KW_PORT,    // UNet only
    KW_COUNT
};

struct KeywordDef {
    QByteArrayView text;
    int radiusOffset; // where a Radius value starts, from the keyword's position
};

constexpr std::array<KeywordDef, KW_COUNT> kKeywords = {{
    {"User-Name", 13},
    {"Framed-Protocol", 0},
    {"NAS-Port ", 11}, // the blank keeps NAS-Port-Type and NAS-Port-Id out
    {"Acct-Session-Id", 19},
    {"Acct-Status-Type", 19},
    {"Acct-Session-Time", 20},
    {"Acct-Input-Octets", 20},
    {"Acct-Output-Octets", 21},
    {"Acct-Input-Gigawords", 23},
    {"Acct-Output-Gigawords", 24},
    {"Ascend-Disconnect-Cause", 26},
    {"Acct-Delay-Time", 18},
    {"user", 0},
    {"start", 0},
    {"request", 0},
    {"stop", 0},
    {"port", 0},
}};

// The first keyword, in test order, that occurs anywhere in the token; KW_COUNT for none.
// One pass over the token finds the first occurrence of every keyword.
Keyword findKeyword(QByteArrayView token, bool unet, bool stripPrefixes, qsizetype& at) {
    std::array<qsizetype, KW_COUNT> first;
    first.fill(-1);
    unsigned found = 0;
    auto hit = [&](Keyword k, qsizetype i) {
        if (!(found & (1u << k)) && token.sliced(i).startsWith(kKeywords[k].text)) {
            found |= 1u << k;
            first[k] = i;
        }
    };
    for (qsizetype i = 0; i < token.size(); ++i) {
        switch (token[i]) {
        case 'U':
            hit(KW_USER_NAME, i);
            break;
        case 'F':
            hit(KW_FRAMED_PROTOCOL, i);
            break;
        case 'N':
            hit(KW_NAS_PORT, i);
            break;
        case 'A':
            if (token.sliced(i).startsWith("Acct-")) {
                for (Keyword k :
                     {KW_SESSION_ID, KW_STATUS_TYPE, KW_SESSION_TIME, KW_INPUT_OCTETS,
                      KW_OUTPUT_OCTETS, KW_INPUT_GIGAWORDS, KW_OUTPUT_GIGAWORDS, KW_DELAY_TIME})
                    hit(k, i);
            } else {
                hit(KW_DISCONNECT_CAUSE, i);
            }
            break;
        case 'u':
            if (unet)
                hit(KW_USER, i);
            break;
        case 's':
            if (unet) {
                hit(KW_START, i);
                hit(KW_STOP, i);
            }
            break;
        case 'r':
            if (unet)
                hit(KW_REQUEST, i);
            break;
        case 'p':
            if (unet)
                hit(KW_PORT, i);
            break;
        default:
            break;
        }
    }
    if (!stripPrefixes)
        found &= ~(1u << KW_FRAMED_PROTOCOL);
    if (!found)
        return KW_COUNT;
    const Keyword k = Keyword(std::countr_zero(found));
    at = first[k];
    return k;
}

QByteArrayView fromOffset(QByteArrayView token, qsizetype pos) {
    return pos <= token.size() ? token.sliced(pos) : QByteArrayView();
}

QByteArrayView dropLast(QByteArrayView v) {
    return v.isEmpty() ? v : v.first(v.size() - 1);
}

QByteArrayView trimTrailing(QByteArrayView v) {
    while (!v.isEmpty() && (v.back() == ' ' || (v.back() >= '\t' && v.back() <= '\r')))
        v.chop(1);
    return v;
}

QString cutName(QByteArrayView bytes) {
    QString name = DecodeLogText(bytes);
    if (name.size() > kImportNameLength)
        name.truncate(kImportNameLength);
    return name;
}

bool equalsIgnoreCase(QByteArrayView a, QByteArrayView b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// The timestamp walk: each token starts an attempt with the following tokens up to the
// dialect's count; true when a valid timestamp was found (the tokenizer then stands after it).
bool findTimestamp(Tokenizer& tz, int authSystem, int currentYear, const QLocale& locale,
                   LogSession& s) {
    const int count = authSystem == AUTH_RADIUS ? 1 : authSystem == AUTH_UNET ? 2 : 3;
    QByteArray joined;
    QByteArrayView token;
    while (tz.next(token)) {
        if (authSystem == AUTH_RADIUS) {
            s.timestamp = ParseCtimeTimestamp(token);
        } else {
            const qsizetype resume = tz.position();
            joined.clear();
            joined.append(token);
            QByteArrayView more;
            for (int i = 1; i < count && tz.next(more); ++i) {
                joined.append(' ');
                joined.append(more);
            }
            s.timestamp = ParseLogDateTime(joined, currentYear, locale);
            if (!s.timestamp)
                tz.setPosition(resume);
        }
        if (s.timestamp)
            return true;
    }
    return false;
}

// Radius and UNet field rules; false ends the record.
bool applyField(QByteArrayView token, Tokenizer& tz, bool unet, bool stripPrefixes, LogSession& s) {
    qsizetype at = 0;
    const Keyword k = findKeyword(token, unet, stripPrefixes, at);
    if (k == KW_COUNT)
        return true;

    // The value: Radius at a fixed distance from the keyword; UNet after the first '='.
    auto value = [&](Keyword kw) -> std::optional<QByteArrayView> {
        if (!unet || kw == KW_STATUS_TYPE || kw == KW_DISCONNECT_CAUSE)
            return fromOffset(token, at + kKeywords[kw].radiusOffset);
        const qsizetype eq = token.indexOf('=');
        if (eq < 0)
            return std::nullopt;
        return token.sliced(eq + 1);
    };

    QByteArrayView next;
    switch (k) {
    case KW_USER_NAME:
        if (auto v = value(k))
            s.username = cutName(trimTrailing(dropLast(*v)));
        break;
    case KW_FRAMED_PROTOCOL:
        if ((token.indexOf("PPP") >= 0 || token.indexOf("SLIP") >= 0) && !s.username.isEmpty())
            s.username.remove(0, 1);
        break;
    case KW_NAS_PORT:
        if (auto v = value(k))
            s.port = DecodeLogText(*v);
        break;
    case KW_SESSION_ID:
        if (auto v = value(k))
            s.sessionId = DecodeLogText(unet ? *v : dropLast(*v));
        break;
    case KW_STATUS_TYPE:
        if (auto v = value(k)) {
            s.status = v->toByteArray();
            if (!equalsIgnoreCase(*v, "Stop"))
                s.skip = true;
        }
        break;
    case KW_SESSION_TIME:
        if (auto v = value(k))
            s.sessionSeconds = LogNumber(*v);
        break;
    case KW_INPUT_OCTETS:
        if (auto v = value(k))
            s.sent = LogNumber64(*v);
        break;
    case KW_OUTPUT_OCTETS:
        if (auto v = value(k))
            s.received = LogNumber64(*v);
        break;
    case KW_INPUT_GIGAWORDS:
        if (auto v = value(k))
            s.sentGigawords = LogNumber(*v);
        break;
    case KW_OUTPUT_GIGAWORDS:
        if (auto v = value(k))
            s.receivedGigawords = LogNumber(*v);
        break;
    case KW_DISCONNECT_CAUSE:
        if (auto v = value(k))
            s.reason = DecodeLogText(*v);
        break;
    case KW_DELAY_TIME:
        if (auto v = value(k))
            s.delay = LogNumber(*v);
        break;
    case KW_USER:
        if (!tz.next(next))
            return false;
        s.username = cutName(next);
        break;
    case KW_START:
    case KW_REQUEST:
        s.skip = true;
        break;
    case KW_STOP:
        s.status = token.toByteArray();
        break;
    case KW_PORT:
        if (!tz.next(next))
            return false;
        s.port = DecodeLogText(next);
        break;
    case KW_COUNT:
        break;
    }
    return true;
}

// host "syslog:" user "on" port w w w w "for" seconds
void walkTelebit(Tokenizer& tz, LogSession& s) {
    QByteArrayView t;
    if (!tz.next(t)) // host name
        return;
    if (!tz.next(t) || !equalsIgnoreCase(t, "syslog:"))
        return;
    if (!tz.next(t))
        return;
    s.username = cutName(t);
    if (!tz.next(t))
        return;
    if (!equalsIgnoreCase(t, "on")) {
        s.skip = true;
        return;
    }
    if (!tz.next(t))
        return;
    s.port = DecodeLogText(t);
    for (int i = 0; i < 5; ++i)
        if (!tz.next(t))
            return;
    if (!equalsIgnoreCase(t, "for"))
        return;
    if (!tz.next(t))
        return;
    s.sessionSeconds = LogNumber(t);
    s.status = QByteArrayLiteral("Stop");
}

} // namespace

QByteArray LogRecordDelimiter(int authSystem) {
    return authSystem == AUTH_RADIUS ? QByteArrayLiteral("\n\n") : QByteArrayLiteral("\n");
}

QString DecodeLogText(QByteArrayView bytes) {
    bool ascii = true;
    for (char c : bytes)
        if (static_cast<unsigned char>(c) >= 0x80) {
            ascii = false;
            break;
        }
    QString text;
    if (ascii) {
        text = QString::fromLatin1(bytes);
    } else {
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        text = utf8.decode(bytes);
        if (utf8.hasError())
            text = DecodeCp1252(bytes);
    }
    if (bytes.contains('\0'))
        text.remove(QChar(u'\0'));
    return text;
}

LogSession ParseLogRecord(QByteArrayView record, int authSystem, bool stripPrefixes,
                          int currentYear, const QLocale& locale) {
    LogSession s;
    const Delims& delims = authSystem == AUTH_RADIUS ? kRadiusDelims
                           : authSystem == AUTH_UNET ? kUnetDelims
                                                     : kTelebitDelims;
    Tokenizer tz(record, delims);
    if (!findTimestamp(tz, authSystem, currentYear, locale, s))
        return s;
    if (authSystem == AUTH_TELEBIT) {
        walkTelebit(tz, s);
        return s;
    }
    const bool unet = authSystem == AUTH_UNET;
    QByteArrayView token;
    while (!s.skip && tz.next(token))
        if (!applyField(token, tz, unet, stripPrefixes && (unet || authSystem == AUTH_RADIUS), s))
            break;
    return s;
}

namespace {

// LocalToSeconds for many records of the same minute: the offset from UTC of a local minute is
// looked up once (zone changes fall on whole minutes).
qint64 localToSecondsCached(const QDate& date, const QTime& time) {
    struct Memo {
        qint64 minute = std::numeric_limits<qint64>::min();
        qint64 offset = 0;
    };
    thread_local Memo memo;
    const qint64 naiveMinute =
        (date.toJulianDay() - 2440588) * 1440 + time.hour() * 60 + time.minute();
    if (naiveMinute != memo.minute) {
        memo.offset = naiveMinute * 60 - LocalToSeconds(date, QTime(time.hour(), time.minute()));
        memo.minute = naiveMinute;
    }
    return naiveMinute * 60 + time.second() - memo.offset;
}

// SecondsToDb for many instants of the same UTC day: when the offsets a day before it and a
// day after it agree, the zone does not change within it (changes are further apart than a
// day), so the local time is the instant plus that offset. The probes stay a day away from the
// day itself, so neither falls in an hour repeated by a change within it.
DbDateTime secondsToDbCached(qint64 seconds) {
    struct Memo {
        qint64 day = std::numeric_limits<qint64>::min();
        bool uniform = false;
        qint64 offset = 0;
    };
    thread_local Memo memo;
    if (seconds < 0)
        return SecondsToDb(seconds);
    const qint64 day = seconds / 86400;
    if (day != memo.day) {
        const int before =
            QDateTime::fromSecsSinceEpoch((day - 1) * 86400, Qt::LocalTime).offsetFromUtc();
        const int after =
            QDateTime::fromSecsSinceEpoch((day + 2) * 86400, Qt::LocalTime).offsetFromUtc();
        memo.day = day;
        memo.uniform = before == after;
        memo.offset = before;
    }
    if (!memo.uniform)
        return SecondsToDb(seconds);
    const qint64 local = seconds + memo.offset;
    const qint64 localDay = local >= 0 ? local / 86400 : -((-local + 86399) / 86400);
    const int secondOfDay = int(local - localDay * 86400);
    return DbFromLocal(QDate::fromJulianDay(2440588 + localDay),
                       QTime::fromMSecsSinceStartOfDay(secondOfDay * 1000));
}

// Gigawords * 2^32 + octets, saturating; a negative count is 0.
qint64 byteCount(qint64 octets, qint64 gigawords) {
    if (octets < 0 || gigawords < 0)
        return 0;
    constexpr qint64 kMax = std::numeric_limits<qint64>::max();
    if (gigawords > (kMax - octets) >> 32)
        return kMax;
    return (gigawords << 32) + octets;
}

QString fitText(const QString& text) {
    return text.size() > kDefaultTextSize ? text.left(kDefaultTextSize) : text;
}

} // namespace

bool SessionToEventRow(const LogSession& s, qint32 serverId, EventRow& row) {
    if (s.skip || s.status.isEmpty() || s.username.isEmpty() || !s.timestamp || !s.sessionSeconds ||
        *s.sessionSeconds < 0 || *s.sessionSeconds > kMaxSessionSeconds)
        return false;
    const qint64 secs = *s.sessionSeconds;
    const qint64 disconnect = localToSecondsCached(s.timestamp->date, s.timestamp->time);
    const qint64 connect = disconnect - secs;

    row.Username = s.username;
    row.DisconnectDate = secondsToDbCached(disconnect - s.delay);
    row.ConnectDate = secondsToDbCached(connect - s.delay);
    row.Hours = qint16((secs / 86400) * 24 + (secs / 3600) % 24);
    row.Minutes = qint16((secs / 60) % 60);
    row.Seconds = qint16(secs % 60);
    row.Sent = byteCount(s.sent, s.sentGigawords);
    row.Received = byteCount(s.received, s.receivedGigawords);
    row.Reason = fitText(s.reason);
    row.Port = fitText(s.port);
    row.ServerId = serverId;
    row.SessionId = fitText(s.sessionId);
    return true;
}

void WarnNegativeByteCounts(const LogSession& s) {
    const auto warn = [&](const char* what) {
        LogText(s.username,
                QStringLiteral("Warning, the %1 byte count of session %2 is negative and was "
                               "stored as 0.")
                    .arg(QLatin1String(what), QStringView(s.sessionId).left(kDefaultTextSize)),
                kImportWarningCode);
    };
    if (s.sent < 0 || s.sentGigawords < 0)
        warn("sent");
    if (s.received < 0 || s.receivedGigawords < 0)
        warn("received");
}
