#include "common/radiusdetail.h"

#include <QFile>

using namespace Qt::StringLiterals;

QByteArray CtimeText(const QDateTime& local) {
    static const char* const days[] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
    static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const QDate d = local.date();
    const QTime t = local.time();
    return QByteArray(days[d.dayOfWeek() - 1]) + ' ' + months[d.month() - 1] + ' ' +
           QByteArray::number(d.day()).rightJustified(2, ' ') + ' ' +
           t.toString(u"hh:mm:ss"_s).toLatin1() + ' ' + QByteArray::number(d.year());
}

QByteArray RadiusDetailRecord(const RadiusDetailSession& s, bool crlf) {
    QByteArray out;
    const QByteArray eol = crlf ? QByteArrayLiteral("\r\n") : QByteArrayLiteral("\n");
    auto line = [&](const QString& name, const QString& value) {
        out += '\t' + name.toUtf8() + " = " + value.toUtf8() + eol;
    };
    auto quoted = [](const QString& v) { return QLatin1Char('"') + v + QLatin1Char('"'); };
    out += CtimeText(s.written) + eol;
    line(u"Acct-Session-Id"_s, quoted(s.sessionId));
    if (!s.framedProtocol.isEmpty())
        line(u"Framed-Protocol"_s, s.framedProtocol);
    line(u"User-Name"_s, quoted(s.user));
    for (const auto& [name, value] : s.extra)
        line(name, value);
    line(u"NAS-IP-Address"_s, u"192.0.2.1"_s);
    if (!s.nasPort.isEmpty())
        line(u"NAS-Port"_s, s.nasPort);
    line(u"NAS-Port-Type"_s, u"Async"_s);
    line(u"Service-Type"_s, u"Framed-User"_s);
    line(u"Acct-Status-Type"_s, s.status);
    line(u"Acct-Delay-Time"_s, QString::number(s.delay));
    line(u"Acct-Authentic"_s, u"RADIUS"_s);
    if (s.status != u"Start"_s) {
        if (s.sessionTime >= 0)
            line(u"Acct-Session-Time"_s, QString::number(s.sessionTime));
        line(u"Acct-Input-Octets"_s, s.inputOctets);
        line(u"Acct-Output-Octets"_s, s.outputOctets);
        line(u"Acct-Input-Packets"_s, u"10"_s);
        line(u"Acct-Output-Packets"_s, u"20"_s);
    }
    if (!s.disconnectCause.isEmpty())
        line(u"Ascend-Disconnect-Cause"_s, s.disconnectCause);
    line(u"Event-Timestamp"_s, quoted(s.written.toString(u"MMM d yyyy hh:mm:ss"_s) + u" CET"_s));
    line(u"Acct-Unique-Session-Id"_s, quoted(u"e7a1c0d2f00d"_s));
    line(u"Timestamp"_s, QString::number(s.written.toSecsSinceEpoch()));
    out += eol;
    return out;
}
