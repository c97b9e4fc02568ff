// import --system SYSTEM --server NAME [options] FILE: reads an accounting log or a saved
// event log into the sessions of the database.
#include "cli/clicommand.h"

#include "core/app/dbsession.h"
#include "core/app/exclusiveoperation.h"
#include "core/customers/autocreate.h"
#include "core/db/datetimeutil.h"
#include "core/import/eventlogimport.h"
#include "core/import/evtreader.h"
#include "core/import/importcodes.h"
#include "core/import/serverregister.h"

#include <QFile>
#include <QFileInfo>

namespace {

// The log file could not be opened (the other results map as for every command).
constexpr int ExitNoFile = 4;

int systemOf(const QString& name) {
    static const struct {
        const char* name;
        int system;
    } kSystems[] = {{"ras", AUTH_REMOTE_ACCESS},
                    {"radius", AUTH_RADIUS},
                    {"citrix", AUTH_CITRIX_LAN},
                    {"unet", AUTH_UNET},
                    {"telebit", AUTH_TELEBIT}};
    for (const auto& s : kSystems) {
        if (name.compare(QLatin1String(s.name), Qt::CaseInsensitive) == 0)
            return s.system;
    }
    return -1;
}

// The log can be read: the server is added to the register only then.
bool logReadable(const QString& path, int system) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    if (system != AUTH_REMOTE_ACCESS && system != AUTH_CITRIX_LAN)
        return true;
    CEvtReader reader(file);
    return reader.open(nullptr);
}

int runImport(CCliContext& c) {
    const CliArgs& a = c.args();
    EventLogImportRequest request;
    request.authSystem = systemOf(a.value(QStringLiteral("system")));
    const QString server = a.value(QStringLiteral("server"));
    const QString file = a.positional().first();
    if (request.authSystem < 0 || server.trimmed().isEmpty() || file.isEmpty())
        return c.usageError();
    const bool eventLog =
        request.authSystem == AUTH_REMOTE_ACCESS || request.authSystem == AUTH_CITRIX_LAN;
    request.serverName = ServerNameOf(server);
    request.logFile = QFileInfo(file).absoluteFilePath();
    // The prefix option is offered for Radius and UNet only.
    request.stripPrefixes = a.isSet(QStringLiteral("strip-prefixes")) &&
                            (request.authSystem == AUTH_RADIUS || request.authSystem == AUTH_UNET);
    request.startWithFirstLogoff = a.isSet(QStringLiteral("first-logoff-on"));
    request.startDateText = a.value(QStringLiteral("first-logoff-on"));
    request.backupLog = a.isSet(QStringLiteral("backup"));
    if (request.backupLog)
        request.backupFile = QFileInfo(a.value(QStringLiteral("backup"))).absoluteFilePath();
    request.clearLog = a.isSet(QStringLiteral("clear"));
    if (!eventLog && (request.startWithFirstLogoff || request.backupLog || request.clearLog))
        return c.usageError(QStringLiteral("--first-logoff-on, --backup and --clear are for the "
                                           "event-log systems (ras, citrix)."));
    if (request.startWithFirstLogoff) {
        const DateEntryResult date = CheckDateEntry(request.startDateText, false);
        if (date.status != DateEntryResult::Ok || !date.hasDate)
            return c.usageError(date.message.isEmpty()
                                    ? QStringLiteral("--first-logoff-on takes a date.")
                                    : date.message);
    }
    request.setupNewCustomers = a.isSet(QStringLiteral("setup-new-customers"));
    // Customers for the new logon names, from the date of the last complete scan; the names
    // created are printed like those of customer create-from-sessions.
    request.customerSetup = [&c] {
        if (Database* db = theDatabase())
            for (const QString& name :
                 CreateCustomersFromSessions(*db, AutoCreateSessionsDefaultStart()).names)
                c.out(name);
    };

    CDatabaseSession* session = c.openDatabase();
    if (!session)
        return c.openFailureExit();
    Database& db = *session->database();
    // The server is resolved under the import's lock too, so that two workstations importing
    // for a new server at once add it once (a refusal reaches the user as a database failure).
    const CExclusiveOperation importing(db, OperationKind::Import);

    if (logReadable(request.logFile, request.authSystem)) {
        bool created = false;
        const int resolved = ResolveServer(db, request.serverName, &request.serverId, &created);
        if (resolved != IMPORT_OK)
            return c.exitFor(resolved);
        if (created)
            CCliUserInterface::note(QStringLiteral("Added server '%1'.").arg(request.serverName));
    } // else the import reports the file, with nothing done

    const EventLogImportOutcome out = ImportEventLogInto(db, request);
    if (!out.error.isEmpty() && out.result == IMPORT_FAILED)
        CCliUserInterface::note(out.error);
    if (!out.damage.isEmpty())
        CCliUserInterface::note(
            QStringLiteral("The event log ends early: %1. The records after it were not read.")
                .arg(out.damage));
    if (out.skipped != 0)
        CCliUserInterface::note(QStringLiteral("%1 records with too few insertion strings or no "
                                               "valid date were skipped.")
                                    .arg(out.skipped));
    c.out(QStringLiteral("Found %1 new logons out of %2 events").arg(out.found).arg(out.total));
    if (out.result == IMPORT_OPEN_FAILED)
        return ExitNoFile;
    if (out.result == IMPORT_OK && !out.maintenanceError.isEmpty())
        return ExitFailure;
    return c.exitFor(out.result);
}

QString optionHelp(const char* text) {
    return QString::fromLatin1(text);
}

const CliRegistration reg{{
    .name = QStringLiteral("import"),
    .synopsis = QStringLiteral("--system ras|radius|citrix|unet|telebit --server NAME "
                               "[--strip-prefixes] [--first-logoff-on YYYY-MM-DD] [--backup FILE] "
                               "[--clear] [--setup-new-customers] FILE"),
    .summary = QStringLiteral("Import the sessions of an accounting log or a saved event log."),
    .details = QStringLiteral(
        "Prints how many new logons were found. A server not yet known is added. Event logs "
        "(ras: Remote Access, citrix: Citrix/LAN logons and logoffs) are read from saved .evt "
        "files (FILE.evt); --first-logoff-on, --backup and --clear are for them, --strip-prefixes "
        "for radius and unet. --clear asks first, then replaces FILE.evt by an empty log (after "
        "the backup when --backup is given too). Exit status 4: FILE cannot be opened or is no "
        "event log."),
    .options = {{QStringLiteral("system"), QString(),
                 QStringLiteral("ras|radius|citrix|unet|telebit"), optionHelp("the kind of log")},
                {QStringLiteral("server"), QString(), QStringLiteral("NAME"),
                 optionHelp("the server the log comes from")},
                {QStringLiteral("strip-prefixes"), QString(), QString(),
                 optionHelp("remove the prefixes of logon names (radius and unet)")},
                {QStringLiteral("first-logoff-on"), QString(), QStringLiteral("YYYY-MM-DD"),
                 optionHelp("store nothing before the first logoff on or after the date")},
                {QStringLiteral("backup"), QString(), QStringLiteral("FILE"),
                 optionHelp("copy the event log to FILE after the import")},
                {QStringLiteral("clear"), QString(), QString(),
                 optionHelp("clear the event log after the import (asked first)")},
                {QStringLiteral("setup-new-customers"), QString(), QString(),
                 optionHelp("create customers for new logon names after the import")}},
    .minArgs = 1,
    .maxArgs = 1,
    .run = &runImport,
}};

} // namespace
