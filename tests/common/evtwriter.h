#pragma once
// Saved NT event-log files (.evt) for the tests, written from the public description of the
// format: a 48-byte header ("LfLe"), the records (56 fixed bytes, source and computer name,
// the UTF-16LE insertion strings, the length again at the end) and the end-of-file record.
#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

struct EvtTestRecord {
    quint32 eventId = 0;
    QDateTime generated; // written as seconds since 1970, universal time
    QStringList strings;
};

// A Remote Access record (20050) of a connection, its dates and times in the log's text form
// ("MM/DD/YYYY", "HH:MM:SS").
EvtTestRecord RasTestRecord(const QString& user, const QDateTime& connect,
                            const QDateTime& disconnect, int minutes, int seconds);
// A Citrix/LAN logon (528) or logoff (538).
EvtTestRecord LanTestRecord(quint32 eventId, const QString& user, const QString& logonId,
                            const QDateTime& when);

QByteArray EvtTestRecordBytes(const EvtTestRecord& record, quint32 number);
QByteArray EvtTestLog(const QList<EvtTestRecord>& records);
bool WriteEvtTestLog(const QString& path, const QList<EvtTestRecord>& records);
