#include "core/sample/sampledetail.h"

#include "core/sample/sampledata.h"

#include <QCryptographicHash>
#include <QFile>
#include <QSaveFile>

#include <algorithm>

namespace {

// The server's zone in November: Central European Time, one hour ahead of UTC.
constexpr qint64 kServerUtcOffset = 3600;
constexpr qint64 kInterimInterval = 4 * 3600; // the access servers' interim-update interval

// A small fixed-seed generator (SplitMix64): the same numbers on every platform and
// compiler, unlike the distributions of <random>.
class SampleRandom {
public:
    explicit SampleRandom(quint64 seed) : m_state(seed) {}
    quint64 next() {
        quint64 z = (m_state += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    // A whole number in [lo, hi].
    qint64 range(qint64 lo, qint64 hi) { return lo + qint64(next() % quint64(hi - lo + 1)); }
    // True with the given chance in percent.
    bool chance(int percent) { return range(0, 99) < percent; }

private:
    quint64 m_state;
};

QDateTime wall(const QDate& date, int secondsOfDay) {
    return QDateTime(date, QTime(0, 0), Qt::UTC).addSecs(secondsOfDay);
}

constexpr int h(int hours, int minutes = 0) {
    return hours * 3600 + minutes * 60;
}

// One session slot of a day: start window (seconds after midnight), duration range in
// minutes, and the latest end (seconds after that day's midnight) that keeps it clear of the
// next slot.
struct Slot {
    int chance;
    int startFrom, startTo;
    int minMinutes, maxMinutes;
    int latestEnd;
};

QList<Slot> slotsFor(SampleUsage usage) {
    const int dayEnd = h(16, 30);
    const int nightEnd = h(24 + 6);
    switch (usage) {
    case SampleUsage::None:
        return {};
    case SampleUsage::Light:
        return {{35, h(8), h(14), 10, 75, dayEnd}};
    case SampleUsage::Evening:
        return {{15, h(8), h(13), 15, 90, dayEnd}, {60, h(17, 30), h(22), 30, 150, nightEnd}};
    case SampleUsage::Heavy:
        return {{45, h(7), h(11), 45, 240, dayEnd}, {55, h(17), h(21, 30), 45, 200, nightEnd}};
    case SampleUsage::Night:
        return {{10, h(9), h(14), 20, 60, dayEnd}, {55, h(21, 30), h(23, 50), 40, 200, nightEnd}};
    case SampleUsage::Broadband:
        return {{50, h(7), h(10), 60, 360, dayEnd}, {75, h(17), h(21), 60, 300, nightEnd}};
    case SampleUsage::Business:
        return {{92, h(8), h(9, 30), 240, 480, h(17, 30)}};
    }
    return {};
}

bool broadbandLine(SampleUsage usage) {
    return usage == SampleUsage::Broadband || usage == SampleUsage::Business;
}

// Bytes per second the customer receives, and the share of that he sends (per mille).
void trafficRates(SampleUsage usage, SampleRandom& rnd, qint64* receivePerSecond,
                  qint64* sendPerMille) {
    switch (usage) {
    case SampleUsage::Broadband:
        *receivePerSecond = rnd.range(1500, 3500);
        *sendPerMille = rnd.range(60, 180);
        break;
    case SampleUsage::Business:
        *receivePerSecond = rnd.range(350, 1000);
        *sendPerMille = rnd.range(200, 500);
        break;
    default:
        *receivePerSecond = rnd.range(1800, 4800);
        *sendPerMille = rnd.range(60, 200);
        break;
    }
}

QString terminateCause(SampleRandom& rnd) {
    const qint64 r = rnd.range(0, 99);
    if (r < 70)
        return QStringLiteral("User-Request");
    if (r < 82)
        return QStringLiteral("Idle-Timeout");
    if (r < 92)
        return QStringLiteral("Lost-Carrier");
    if (r < 96)
        return QStringLiteral("Session-Timeout");
    return QStringLiteral("Port-Error");
}

QList<SampleSession> buildSessions() {
    SampleRandom rnd(20261101);
    const QDate first = SampleMonthStart();
    const QDate last = SampleMonthEnd().addDays(-1);
    const QDateTime monthEnd = wall(SampleMonthEnd(), 0);
    QList<SampleSession> sessions;

    for (const SampleCustomer& c : SampleCustomers()) {
        const QList<Slot> daySlots = slotsFor(c.usage);
        const bool broadband = broadbandLine(c.usage);
        auto addSession = [&](const QDateTime& connect, qint64 seconds) {
            SampleSession s;
            s.username = c.username;
            s.nasIp = broadband ? QStringLiteral("192.0.2.20") : QStringLiteral("192.0.2.10");
            s.portType = broadband ? QStringLiteral("ISDN") : QStringLiteral("Async");
            s.nasPort = int(rnd.range(1, broadband ? 24 : 48));
            s.framedIp = QStringLiteral("198.51.100.%1").arg(rnd.range(10, 250));
            s.connect = connect;
            s.seconds = seconds;
            s.disconnect = connect.addSecs(seconds);
            qint64 perSecond = 0, sendPerMille = 0;
            trafficRates(c.usage, rnd, &perSecond, &sendPerMille);
            s.outputOctets = seconds * perSecond;
            s.inputOctets = s.outputOctets * sendPerMille / 1000;
            s.delay = rnd.chance(8) ? int(rnd.range(1, 20)) : 0;
            s.terminateCause = terminateCause(rnd);
            s.startInFile = connect >= wall(first, 0);
            s.stopInFile = s.disconnect.addSecs(s.delay) < monthEnd;
            sessions.append(s);
        };

        for (QDate day = first; day <= last; day = day.addDays(1)) {
            if (c.startDate.isValid() && day < c.startDate)
                continue;
            if (c.endDate.isValid() && day >= c.endDate.addDays(-1))
                continue;
            if (c.usage == SampleUsage::Business && day.dayOfWeek() > 5)
                continue;
            for (const Slot& slot : daySlots) {
                if (!rnd.chance(slot.chance))
                    continue;
                const int start = int(rnd.range(slot.startFrom, slot.startTo));
                qint64 seconds = rnd.range(slot.minMinutes * 60, slot.maxMinutes * 60);
                seconds = std::min<qint64>(seconds, slot.latestEnd - start);
                addSession(wall(day, start), seconds);
            }
        }
    }

    // Two sessions at the edges of the month: one begun on the evening of 31 October (only
    // its Stop is in November's file) and one still open when December begins (only its
    // Start is).
    const auto byName = [](const QString& name) {
        for (const SampleCustomer& c : SampleCustomers())
            if (c.username == name)
                return c;
        return SampleCustomer();
    };
    {
        const SampleCustomer c = byName(QStringLiteral("gdubois"));
        SampleSession s;
        s.username = c.username;
        s.nasIp = QStringLiteral("192.0.2.10");
        s.portType = QStringLiteral("Async");
        s.nasPort = 17;
        s.framedIp = QStringLiteral("198.51.100.77");
        s.connect = wall(first.addDays(-1), h(23, 20) + 11);
        s.seconds = 6300;
        s.disconnect = s.connect.addSecs(s.seconds);
        s.outputOctets = s.seconds * 3100;
        s.inputOctets = s.outputOctets / 9;
        s.terminateCause = QStringLiteral("User-Request");
        s.startInFile = false;
        sessions.append(s);
    }
    {
        const SampleCustomer c = byName(QStringLiteral("kobrien"));
        SampleSession s;
        s.username = c.username;
        s.nasIp = QStringLiteral("192.0.2.10");
        s.portType = QStringLiteral("Async");
        s.nasPort = 31;
        s.framedIp = QStringLiteral("198.51.100.31");
        s.connect = wall(last, h(23, 15) + 42);
        s.seconds = 7200;
        s.disconnect = s.connect.addSecs(s.seconds);
        s.outputOctets = s.seconds * 2900;
        s.inputOctets = s.outputOctets / 8;
        s.terminateCause = QStringLiteral("User-Request");
        s.stopInFile = false;
        sessions.append(s);
    }
    // A session of the last evening that runs past midnight keeps only its Start record as
    // well (stopInFile above).

    std::stable_sort(
        sessions.begin(), sessions.end(),
        [](const SampleSession& a, const SampleSession& b) { return a.connect < b.connect; });
    // Session ids count up per access server, in the order the sessions began.
    quint32 dialId = 0x5A1C0000, broadId = 0x6B2D0000;
    for (SampleSession& s : sessions) {
        const quint32 id = s.nasIp.endsWith(QLatin1String(".10")) ? ++dialId : ++broadId;
        s.sessionId = QStringLiteral("%1").arg(id, 8, 16, QLatin1Char('0')).toUpper();
    }
    return sessions;
}

enum class RecordKind { Start, Interim, Stop };

struct DetailRecord {
    QDateTime written;
    int order; // ties: the order the records were produced
    RecordKind kind;
    const SampleSession* session;
    qint64 seconds; // Acct-Session-Time so far (Interim, Stop)
};

QList<DetailRecord> detailRecords() {
    QList<DetailRecord> records;
    int order = 0;
    const QDateTime monthStart = wall(SampleMonthStart(), 0);
    const QDateTime monthEnd = wall(SampleMonthEnd(), 0);
    for (const SampleSession& s : SampleSessions()) {
        if (s.startInFile)
            records.append({s.connect, order++, RecordKind::Start, &s, 0});
        for (qint64 t = kInterimInterval; t < s.seconds; t += kInterimInterval) {
            const QDateTime at = s.connect.addSecs(t);
            if (at >= monthStart && at < monthEnd)
                records.append({at, order++, RecordKind::Interim, &s, t});
        }
        if (s.stopInFile)
            records.append(
                {s.disconnect.addSecs(s.delay), order++, RecordKind::Stop, &s, s.seconds});
    }
    std::stable_sort(records.begin(), records.end(),
                     [](const DetailRecord& a, const DetailRecord& b) {
                         return a.written != b.written ? a.written < b.written : a.order < b.order;
                     });
    return records;
}

QByteArray eventTimestamp(const QDateTime& wall) {
    static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const QDate d = wall.date();
    return QByteArray(months[d.month() - 1]) + ' ' +
           QByteArray::number(d.day()).rightJustified(2, ' ') + ' ' + QByteArray::number(d.year()) +
           ' ' + wall.time().toString(QStringLiteral("hh:mm:ss")).toLatin1() + " CET";
}

QByteArray recordText(const DetailRecord& r) {
    const SampleSession& s = *r.session;
    QByteArray out;
    auto line = [&out](const char* name, const QByteArray& value) {
        out += '\t';
        out += name;
        out += " = ";
        out += value;
        out += '\n';
    };
    auto quoted = [](const QString& v) { return '"' + v.toLatin1() + '"'; };
    auto number = [](qint64 v) { return QByteArray::number(v); };

    // Octets counted so far: an interim update reports the share of the session behind it.
    const qint64 in = s.seconds > 0 ? s.inputOctets * r.seconds / s.seconds : 0;
    const qint64 outOctets = s.seconds > 0 ? s.outputOctets * r.seconds / s.seconds : 0;
    const int delay = r.kind == RecordKind::Stop ? s.delay : 0;

    out += SampleCtime(r.written) + '\n';
    line("Acct-Session-Id", quoted(s.sessionId));
    line("Acct-Status-Type", r.kind == RecordKind::Start     ? QByteArray("Start")
                             : r.kind == RecordKind::Interim ? QByteArray("Interim-Update")
                                                             : QByteArray("Stop"));
    line("User-Name", quoted(s.username));
    line("Framed-Protocol", "PPP");
    line("Framed-IP-Address", s.framedIp.toLatin1());
    line("NAS-IP-Address", s.nasIp.toLatin1());
    line("NAS-Port", number(s.nasPort));
    line("NAS-Port-Type", s.portType.toLatin1());
    line("Service-Type", "Framed-User");
    line("Acct-Authentic", "RADIUS");
    line("Acct-Delay-Time", number(delay));
    if (r.kind != RecordKind::Start) {
        line("Acct-Session-Time", number(r.seconds));
        line("Acct-Input-Octets", number(in));
        line("Acct-Output-Octets", number(outOctets));
        line("Acct-Input-Packets", number(in / 412 + 1));
        line("Acct-Output-Packets", number(outOctets / 536 + 1));
    }
    if (r.kind == RecordKind::Stop)
        line("Acct-Terminate-Cause", s.terminateCause.toLatin1());
    line("Event-Timestamp", '"' + eventTimestamp(r.written.addSecs(-delay)) + '"');
    const QByteArray unique =
        QCryptographicHash::hash((s.username + QLatin1Char(',') + s.sessionId + QLatin1Char(',') +
                                  s.nasIp + QLatin1Char(',') + QString::number(s.nasPort))
                                     .toLatin1(),
                                 QCryptographicHash::Md5);
    line("Acct-Unique-Session-Id", '"' + unique.toHex() + '"');
    line("Timestamp", number(r.written.toSecsSinceEpoch() - kServerUtcOffset));
    out += '\n';
    return out;
}

} // namespace

const QList<SampleSession>& SampleSessions() {
    static const QList<SampleSession> sessions = buildSessions();
    return sessions;
}

SampleDetailCounts SampleDetailRecordCounts() {
    SampleDetailCounts counts;
    for (const DetailRecord& r : detailRecords()) {
        switch (r.kind) {
        case RecordKind::Start:
            ++counts.start;
            break;
        case RecordKind::Interim:
            ++counts.interim;
            break;
        case RecordKind::Stop:
            ++counts.stop;
            break;
        }
    }
    return counts;
}

QByteArray SampleDetailBytes() {
    QByteArray out;
    for (const DetailRecord& r : detailRecords())
        out += recordText(r);
    return out;
}

bool WriteSampleDetailFile(const QString& path, QString* error) {
    QSaveFile file(path);
    const QByteArray bytes = SampleDetailBytes();
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

QByteArray SampleCtime(const QDateTime& wall) {
    static const char* const days[] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
    static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const QDate d = wall.date();
    return QByteArray(days[d.dayOfWeek() - 1]) + ' ' + months[d.month() - 1] + ' ' +
           QByteArray::number(d.day()).rightJustified(2, ' ') + ' ' +
           wall.time().toString(QStringLiteral("hh:mm:ss")).toLatin1() + ' ' +
           QByteArray::number(d.year());
}
