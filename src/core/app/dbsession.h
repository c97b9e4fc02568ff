#pragma once
#include "core/app/resultcodes.h"

#include <QString>
#include <functional>
#include <memory>

class Database;

// The database session of the process: owns the one Database, chooses and opens its file at
// start-up, and offers the database commands (locate, compact, repair, backup, sample
// database). Every routine that can fail returns a result code: 0 success, 13 failure (the
// user was told), 1223 declined or cancelled by the user.
//
// At most one session exists; while it exists App().session() reaches it and theDatabase()
// its database.
class CDatabaseSession {
public:
    CDatabaseSession();
    ~CDatabaseSession();
    CDatabaseSession(const CDatabaseSession&) = delete;
    CDatabaseSession& operator=(const CDatabaseSession&) = delete;

    static CDatabaseSession* instance();

    // The database when open, else nullptr.
    Database* database() const;
    bool isOpen() const;
    // Path of the open database (native separators are only used for display).
    QString path() const { return m_path; }

    // Start-up: chooses the path (the file named on the command line with a leading quote
    // removed, else "DatabasePath", else the default file), asks "Open database %s?" for a
    // path other than the default unless "SuppressDatabasePrompt" is set, opens the file
    // exclusively (locating it when that fails or the user says No), stores "DatabasePath",
    // upgrades the layout and reads "Logging" and "AppVersion". True when the database is
    // open; false ends start-up (the user has been told why, except for a declined upgrade).
    struct StartupOptions {
        // Ask "Open database %s?" for a path other than the default (unless suppressed).
        bool confirmPath = true;
        // Store the opened path in "DatabasePath".
        bool rememberPath = true;
        // Create a new database of the current layout when the default file is missing (the
        // first run after installation).
        bool createDefault = true;
    };
    [[nodiscard]] bool openAtStartup(const QString& commandLineFile = {});
    [[nodiscard]] bool openAtStartup(const QString& commandLineFile, const StartupOptions& options);

    // Set by openAtStartup.
    bool logging() const { return m_logging; }
    int appVersion() const { return m_appVersion; }

    // Asks for a database file ("Locate Tollkeeper Database"), or takes `name` (a file or a
    // server's "postgresql://" URL) when given, opens it exclusively and upgrades it; on
    // success it becomes the session's database and "DatabasePath".
    // With fallback, a failure reopens the previous database (and ends the process when that
    // fails too); without, a failure leaves no database open.
    [[nodiscard]] int locate(bool fallback, const QString& name = {});
    // The menu command: the close-windows test, then locate with fallback.
    [[nodiscard]] int locateCommand(const QString& name = {});

    // Compact and Repair: close-windows test, confirmation, the engine's operation on the
    // closed file, reopening under the same path. A compact that follows another command the
    // user has confirmed already (a purge) is not asked again. On a server, Compact runs the
    // server's VACUUM ANALYZE on the open connection and Repair only says that the server
    // maintains its own files.
    [[nodiscard]] int compact(bool confirm = true);
    [[nodiscard]] int repair();
    // Copies the database file to target (asked with a save-file dialog when empty),
    // replacing an existing file. A database on a server is refused (copied by the command
    // line's "copy" instead).
    [[nodiscard]] int backup(const QString& target = {});
    // Switches to the sample database in the user's data folder.
    [[nodiscard]] int openSampleDatabase();

    // Engine message of the last failure, for callers that can show more detail.
    QString lastError() const { return m_lastError; }

    // The default database file and the sample database, both in the user's data folder.
    static QString defaultDatabasePath();
    static QString sampleDatabasePath();
    // A path as given on the command line: a leading double quote (and the closing one that
    // goes with it) removed.
    static QString commandLinePath(const QString& arg);

    // Called after "Yikes!  Unable to reopen %s.  Tollkeeper must shut down." to end the
    // process. The default exits with status 1; the user interface and the tests install
    // their own. The session has no database when it returns.
    void setShutdownHandler(std::function<void()> handler) { m_shutdown = std::move(handler); }

private:
    enum class Maintenance { Compact, Repair };
    [[nodiscard]] int maintain(Maintenance kind, bool confirm = true);
    // Compact of a database on a server: VACUUM ANALYZE under the compact lock.
    [[nodiscard]] int compactOnServer();
    // Opens path exclusively into the session's database; false (lastError set) on failure.
    [[nodiscard]] bool openFile(const QString& path);
    void closeDatabase();
    // Reopens path after the file was replaced or a switch failed; "Yikes!" on failure.
    [[nodiscard]] bool reopenOrShutDown(const QString& path);
    void storePath(const QString& path);

    std::unique_ptr<Database> m_db;
    QString m_path;
    QString m_lastError;
    bool m_logging = true;
    int m_appVersion = 0;
    std::function<void()> m_shutdown;
};

// The process's database: the session's while it is open, else nullptr.
Database* theDatabase();
