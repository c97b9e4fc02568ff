#pragma once
#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <utility>

// Writes RADIUS accounting detail records the way FreeRADIUS 3 (rlm_detail) writes them: a
// header line with the local time in ctime form ("Wed Dec  3 10:22:33 1997"), one line per
// attribute indented by a TAB ("\tName = value", strings in double quotes), a trailing
// "\tTimestamp = <unix time>" line and a blank line. Line ends are LF unless crlf is set.
struct RadiusDetailSession {
    QString user = QStringLiteral("bob");
    QDateTime written;                       // local time of the record (its header and Timestamp)
    QString status = QStringLiteral("Stop"); // Start, Stop, Interim-Update
    qint64 sessionTime = 60;                 // < 0: no Acct-Session-Time line
    QString sessionId = QStringLiteral("4D2B0B5A00000001");
    QString nasPort = QStringLiteral("12");         // empty: no NAS-Port line
    QString framedProtocol = QStringLiteral("PPP"); // empty: no Framed-Protocol line
    QString inputOctets = QStringLiteral("1000");
    QString outputOctets = QStringLiteral("2000");
    qint64 delay = 0;        // Acct-Delay-Time
    QString disconnectCause; // Ascend-Disconnect-Cause, when not empty
    // Extra "Name = value" lines inserted after User-Name (value written as given).
    QList<std::pair<QString, QString>> extra;
};

// The ctime form of a local time, day padded with a blank.
QByteArray CtimeText(const QDateTime& local);

QByteArray RadiusDetailRecord(const RadiusDetailSession& s, bool crlf = false);
