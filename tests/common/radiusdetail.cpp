#include "common/radiusdetail.h"

#include <QFile>

QByteArray CtimeText(const QDateTime& local) {
    static const char* const days[] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
    static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const QDate d = local.date();
    const QTime t = local.time();
    return QByteArray(days[d.dayOfWeek() - 1]) + ' ' + months[d.month() - 1] + ' ' +
           QByteArray::number(d.day()).rightJustified(2, ' ') + ' ' +
           t.toString(QStringLiteral("hh:mm:ss")).toLatin1() + ' ' + QByteArray::number(d.year());
}

QByteArray RadiusDetailRecord(const RadiusDetailSession& s, bool crlf) {
    QByteArray out;
    const QByteArray eol = crlf ? QByteArrayLiteral("\r\n") : QByteArrayLiteral("\n");
    auto line = [&](const QString& name, const QString& value) {
        out += '\t' + name.toUtf8() + " = " + value.toUtf8() + eol;
    };
    auto quoted = [](const QString& v) { return QLatin1Char('"') + v + QLatin1Char('"'); };
    out += CtimeText(s.written) + eol;
    line(QStringLiteral("Acct-Session-Id"), quoted(s.sessionId));
    if (!s.framedProtocol.isEmpty())
        line(QStringLiteral("Framed-Protocol"), s.framedProtocol);
    line(QStringLiteral("User-Name"), quoted(s.user));
    for (const auto& [name, value] : s.extra)
        line(name, value);
    line(QStringLiteral("NAS-IP-Address"), QStringLiteral("192.0.2.1"));
    if (!s.nasPort.isEmpty())
        line(QStringLiteral("NAS-Port"), s.nasPort);
    line(QStringLiteral("NAS-Port-Type"), QStringLiteral("Async"));
    line(QStringLiteral("Service-Type"), QStringLiteral("Framed-User"));
    line(QStringLiteral("Acct-Status-Type"), s.status);
    line(QStringLiteral("Acct-Delay-Time"), QString::number(s.delay));
    line(QStringLiteral("Acct-Authentic"), QStringLiteral("RADIUS"));
    if (s.status != QLatin1String("Start")) {
        if (s.sessionTime >= 0)
            line(QStringLiteral("Acct-Session-Time"), QString::number(s.sessionTime));
        line(QStringLiteral("Acct-Input-Octets"), s.inputOctets);
        line(QStringLiteral("Acct-Output-Octets"), s.outputOctets);
        line(QStringLiteral("Acct-Input-Packets"), QStringLiteral("10"));
        line(QStringLiteral("Acct-Output-Packets"), QStringLiteral("20"));
    }
    if (!s.disconnectCause.isEmpty())
        line(QStringLiteral("Ascend-Disconnect-Cause"), s.disconnectCause);
    line(
        QStringLiteral("Event-Timestamp"),
        quoted(s.written.toString(QStringLiteral("MMM d yyyy hh:mm:ss")) + QStringLiteral(" CET")));
    line(QStringLiteral("Acct-Unique-Session-Id"), quoted(QStringLiteral("e7a1c0d2f00d")));
    line(QStringLiteral("Timestamp"), QString::number(s.written.toSecsSinceEpoch()));
    out += eol;
    return out;
}

bool WriteFileBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size() &&
           f.flush();
}
