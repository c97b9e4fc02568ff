#pragma once
#include "core/import/importcodes.h"

#include <QString>

#include <functional>

class Database;

// What the import dialog (and the command line) hands to the import: the dialog's state.
struct EventLogImportRequest {
    int authSystem = AUTH_REMOTE_ACCESS; // AuthSystem
    QString serverName;                  // the server host name as entered
    qint32 serverId = 0;                 // Servers.Id of that server (resolved or added before)
    // The live event log of a server cannot be reached here: the event-log systems need a
    // saved event-log file (.evt). Text logs always read logFile.
    bool readFromFile = true;
    QString logFile;
    // Event-log systems: store nothing before the first logoff on or after the start date.
    bool startWithFirstLogoff = false;
    QString startDateText;      // the date as entered ("yyyy-MM-dd" or the locale's forms)
    bool stripPrefixes = false; // Radius and UNet only
    // After a successful event-log import: clear the log (replace the file by an empty log
    // of the same header, asked first) and/or back it up (copy it to backupFile first).
    bool clearLog = false;
    bool backupLog = false;
    QString backupFile;
    // After a successful import, run customerSetup (the customer set-up from imported
    // events): the desktop program opens its dialog, the command line runs it directly.
    bool setupNewCustomers = false;
    std::function<void()> customerSetup;
};

// The outcome of one import, for callers that report more than the result code.
struct EventLogImportOutcome {
    int result = IMPORT_OK; // ImportResult: 0, 13, 21 or 1223
    qint32 found = 0;       // sessions stored
    qint32 total = 0;       // records read (since the first logoff when searching)
    qint32 unmatched = 0;   // Citrix/LAN logoffs without a waiting logon
    // Records skipped: fewer insertion strings than their layout needs, or dates that name
    // no calendar date.
    qint32 skipped = 0;
    QString error;  // the engine's or the file's text for a failure (13, 21)
    QString damage; // why the reading ended before the end of the log (the import succeeds)
    QString maintenanceError; // the backup or the clearing that failed after the import
};

// The body of every import. Text-log systems (Radius, UNet, Telebit) go to the text-log
// import; Remote Access and Citrix/LAN read a saved event-log file: Remote Access sessions
// from events 20048 and 20050, Citrix/LAN sessions paired from logons (528) and logoffs
// (538) through LANTemp, where a logon waits for its logoff from one import to the next.
//
// Runs in the busy state (Esc interrupts after the record in hand), shows its progress as
// status text and its outcome in a message: "Logon event import succeeded." (with the count
// of unmatched logoffs when there were any), "Import aborted.", "Error importing event
// log." or "File error.". On success it keeps the start date as "LastImportDate", then backs
// up and clears the log as asked, then runs the customer set-up as asked.
EventLogImportOutcome ImportEventLogInto(Database& db, const EventLogImportRequest& request);

// The same on the session's database; returns the result code.
[[nodiscard]] int ImportEventLog(const EventLogImportRequest& request);
