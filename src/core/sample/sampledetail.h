#pragma once
#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

// The sample month's dial-up and broadband sessions and the FreeRADIUS 3 detail file that
// records them (data/sample/detail-202611). The sessions come from a fixed-seed generator,
// so the file can be written again at any time and always comes out byte for byte the same.
//
// Times are the wall-clock times of the sample ISP's server (Central European Time, which
// holds all of November 2026). They are carried in QDateTime values of spec Qt::UTC so that
// nothing depends on the zone of the machine that runs the generator; the detail file shows
// them as local times, as the server wrote them.

struct SampleSession {
    QString username;
    QString sessionId;       // Acct-Session-Id
    QString nasIp;           // NAS-IP-Address
    int nasPort = 0;         // NAS-Port
    QString portType;        // NAS-Port-Type
    QString framedIp;        // Framed-IP-Address
    QDateTime connect;       // wall-clock start
    QDateTime disconnect;    // wall-clock end (connect + seconds)
    qint64 seconds = 0;      // Acct-Session-Time
    qint64 inputOctets = 0;  // Acct-Input-Octets: bytes the customer sent
    qint64 outputOctets = 0; // Acct-Output-Octets: bytes the customer received
    int delay = 0;           // Acct-Delay-Time of the Stop record
    QString terminateCause;  // Acct-Terminate-Cause
    // The Start record lies in the month's file (false for a session begun in October).
    bool startInFile = true;
    // The Stop record lies in the month's file (false for a session still open at the end
    // of the month: its Stop goes to December's file).
    bool stopInFile = true;
};

// Every session of the month, ordered by connect time.
const QList<SampleSession>& SampleSessions();

// Counts of the records in the detail file.
struct SampleDetailCounts {
    int start = 0;
    int interim = 0;
    int stop = 0;
};
SampleDetailCounts SampleDetailRecordCounts();

// The detail file's contents: records in the order the server wrote them, LF line ends.
QByteArray SampleDetailBytes();

// Writes the detail file; false with a message in *error when it cannot be written.
[[nodiscard]] bool WriteSampleDetailFile(const QString& path, QString* error = nullptr);

// The server's wall-clock time of a FreeRADIUS record header ("Sun Nov  1 08:12:03 2026").
QByteArray SampleCtime(const QDateTime& wall);
