#pragma once
#include "core/import/importcodes.h"

#include <QString>

class Database;

// The outcome of one text-log import.
struct TextLogImportOutcome {
    int result = IMPORT_OK; // ImportResult
    qint32 found = 0;       // sessions stored
    qint32 total = 0;       // records cut from the file (empty ones included)
    QString error;          // the engine's or the file's text for a failure (13, 21)
};

// Reads an accounting log of the authentication system authSystem (AUTH_RADIUS, AUTH_UNET,
// AUTH_TELEBIT) and appends one Events row per completed session the database does not hold
// yet, for the server serverId (Servers.Id). stripPrefixes drops the protocol letter a Radius or
// UNet server puts before a PPP or SLIP user name.
//
// Runs in the busy state (Esc interrupts after the record in hand), shows its progress as
// status text and its outcome in a message: "Logon event import succeeded.", "Import
// aborted." (IMPORT_INTERRUPTED), "Error importing event log." (IMPORT_FAILED), or the file's
// error (IMPORT_OPEN_FAILED, nothing done). The work is committed in batches, at the end, on
// an interruption and before an error is reported: stored sessions stay stored.
TextLogImportOutcome ImportTextLogInto(Database& db, const QString& path, int authSystem,
                                       qint32 serverId, bool stripPrefixes);

// The same for the server of a host name, which is added to the register (serverAdded tells)
// only when the file can be opened. A register failure gives IMPORT_FAILED or
// IMPORT_INTERRUPTED, as the register reported it.
TextLogImportOutcome ImportTextLogForServer(Database& db, const QString& path, int authSystem,
                                            const QString& serverName, bool stripPrefixes,
                                            bool* serverAdded = nullptr);

// The same on the session's database; returns the result code.
[[nodiscard]] int ImportTextLog(const QString& path, int authSystem, qint32 serverId,
                                bool stripPrefixes);

// The duplicate test: a stored session of the same user, connect and disconnect time (to the
// second), session id and server; a session stored without a server (0) matches any server.
// Only the disconnect time is read through an index (Events' DisconnectDate_index).
extern const char* const kDuplicateSessionSql;
