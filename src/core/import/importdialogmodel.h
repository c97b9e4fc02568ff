#pragma once
#include "core/db/serverrecord.h"
#include "core/import/eventlogimport.h"

#include <QList>
#include <optional>

class Database;

// The "Import Logon Events" dialog without its widgets, shared by the desktop dialog and the
// command line: the options kept in the settings, the rules that tie the options to the
// authentication system, the server register as the dialog shows it, and the checks and the
// confirmation of the Import button.
class CImportDialogModel {
public:
    // The control a refused check puts the focus on.
    enum class Field { None, System, Server, UseFile, LogFile, StartDate, BackupFile };
    struct Check {
        bool proceed = false; // the import may run (request.serverId is set)
        Field focus = Field::None;
    };

    // The options as last kept (absent values read as 0 or empty, the server as
    // "ServerHostName"); the start date is that of the last successful event-log import
    // ("LastImportDate") in the locale's form, empty when there was none.
    static EventLogImportRequest load();
    // Keeps every option of the request; false when the settings store refused a value.
    static bool save(const EventLogImportRequest& request);

    // Remote Access and Citrix/LAN are read from event logs; the others are text logs.
    static bool isEventLogSystem(int authSystem);
    // Only Radius and UNet put a protocol letter before user names.
    static bool offersPrefixes(int authSystem);
    // A change of system: a text-log system drops the clear, start and backup options, and
    // the prefix option goes for every system that does not offer it.
    static void applySystem(EventLogImportRequest& request);

    // "You have chosen: ..." with the log and the server.
    static QString confirmationText(const EventLogImportRequest& request);

    explicit CImportDialogModel(Database& db) : m_db(db) {}

    // Reads the register in name order; false (after "Error accessing server table") when it
    // cannot be read, the list then empty.
    bool loadServers();
    const QList<ServerRow>& servers() const { return m_servers; }
    // The listed server of a host name, as a whole name ignoring case.
    std::optional<ServerRow> findServer(const QString& hostName) const;
    // Renames or deletes (after the question) a listed server and updates the list; the
    // register's result codes (IMPORT_OK, IMPORT_FAILED, IMPORT_INTERRUPTED).
    [[nodiscard]] int renameServer(qint32 id, const QString& newName);
    [[nodiscard]] int deleteServer(qint32 id);

    // The Import button: the date, the event-log file, the host name, the file names, the
    // new-server question and the confirmation, each refusal shown with its message; then a
    // new server is added to the register. On proceed the request carries the server's id.
    Check check(EventLogImportRequest& request);

private:
    Database& m_db;
    QList<ServerRow> m_servers;
};
