#include "common/evtwriter.h"

#include <QFile>

namespace {

constexpr quint32 kSignature = 0x654c664c;

void putU32(QByteArray& out, quint32 v) {
    for (int i = 0; i < 4; ++i)
        out.append(char((v >> (8 * i)) & 0xff));
}
void putU16(QByteArray& out, quint16 v) {
    out.append(char(v & 0xff));
    out.append(char(v >> 8));
}
void putText(QByteArray& out, const QString& text) {
    for (QChar c : text)
        putU16(out, c.unicode());
    putU16(out, 0);
}

QString logDate(const QDateTime& t) {
    return t.toString(QStringLiteral("MM/dd/yyyy"));
}
QString logTime(const QDateTime& t) {
    return t.toString(QStringLiteral("HH:mm:ss"));
}

} // namespace

EvtTestRecord RasTestRecord(const QString& user, const QDateTime& connect,
                            const QDateTime& disconnect, int minutes, int seconds) {
    return {20050,
            disconnect,
            {QStringLiteral("DOMAIN"), user, QStringLiteral("COM3"), logDate(connect),
             logTime(connect), logDate(disconnect), logTime(disconnect), QString::number(minutes),
             QString::number(seconds), QStringLiteral("1000"), QStringLiteral("2000"), QString(),
             QStringLiteral("User requested")}};
}

EvtTestRecord LanTestRecord(quint32 eventId, const QString& user, const QString& logonId,
                            const QDateTime& when) {
    return {eventId, when, {user, QStringLiteral("DOMAIN"), logonId}};
}

QByteArray EvtTestRecordBytes(const EvtTestRecord& r, quint32 number) {
    QByteArray names;
    putText(names, QStringLiteral("RemoteAccess"));
    putText(names, QStringLiteral("SERVER1"));
    QByteArray strings;
    for (const QString& s : r.strings)
        putText(strings, s);
    const quint32 stringOffset = 56 + quint32(names.size());
    quint32 length = stringOffset + quint32(strings.size()) + 4;
    const quint32 pad = (4 - length % 4) % 4;
    length += pad;
    const quint32 t = quint32(r.generated.toSecsSinceEpoch());
    QByteArray out;
    for (quint32 v : {length, kSignature, number, t, t, r.eventId})
        putU32(out, v);
    putU16(out, 4); // event type: information
    putU16(out, quint16(r.strings.size()));
    putU16(out, 0); // category
    putU16(out, 0);
    putU32(out, 0); // closing record number
    putU32(out, stringOffset);
    for (int i = 0; i < 4; ++i) // no user SID, no data
        putU32(out, i % 2 ? stringOffset : 0);
    out += names + strings + QByteArray(int(pad), '\0');
    putU32(out, length);
    return out;
}

QByteArray EvtTestLog(const QList<EvtTestRecord>& records) {
    QByteArray body;
    quint32 number = 1;
    for (const EvtTestRecord& r : records)
        body += EvtTestRecordBytes(r, number++);
    const quint32 end = 48 + quint32(body.size());
    QByteArray out;
    for (quint32 v : {48u, kSignature, 1u, 1u, 48u, end, number, 1u, end + 40, 0u, 0u, 48u})
        putU32(out, v);
    out += body;
    for (quint32 v :
         {40u, 0x11111111u, 0x22222222u, 0x33333333u, 0x44444444u, 48u, end, number, 1u, 40u})
        putU32(out, v);
    return out;
}

bool WriteEvtTestLog(const QString& path, const QList<EvtTestRecord>& records) {
    QFile f(path);
    const QByteArray bytes = EvtTestLog(records);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}
