#include "core/import/importdialogmodel.h"

#include "core/app/settingsvalues.h"
#include "core/app/userinterface.h"
#include "core/db/datetimeutil.h"
#include "core/import/serverregister.h"

EventLogImportRequest CImportDialogModel::load() {
    EventLogImportRequest r;
    r.authSystem =
        qBound(int(AUTH_REMOTE_ACCESS), int(RegNumber(Reg::ImportLogfile)), int(AUTH_TELEBIT));
    r.serverName = RegText(Reg::ServerName);
    r.readFromFile = RegNumber(Reg::ImportUseFile) != 0;
    r.logFile = RegText(Reg::ImportAltLogfile);
    r.startWithFirstLogoff = RegNumber(Reg::ImportUseNew) != 0;
    // The date kept with the options is not shown: the dialog offers the start date of the
    // last successful import instead.
    const qint32 last = RegNumber(Reg::LastImportDate);
    r.startDateText = last > 0 ? FormatLocalDateTime(SecondsToDateTime(last)) : QString();
    r.stripPrefixes = RegNumber(Reg::ImportPrefixes) != 0;
    r.setupNewCustomers = RegNumber(Reg::ImportAddUsers) != 0;
    r.clearLog = RegNumber(Reg::ImportClear) != 0;
    r.backupLog = RegNumber(Reg::ImportBackup) != 0;
    r.backupFile = RegText(Reg::ImportBackupFileName);
    return r;
}

bool CImportDialogModel::save(const EventLogImportRequest& r) {
    bool ok = true;
    const auto number = [&ok](int id, int value) { ok = RegWriteNumber(id, value) && ok; };
    const auto text = [&ok](int id, const QString& value) { ok = RegWriteText(id, value) && ok; };
    number(Reg::ImportLogfile, r.authSystem);
    text(Reg::ServerName, r.serverName);
    number(Reg::ImportUseFile, r.readFromFile);
    text(Reg::ImportAltLogfile, r.logFile);
    number(Reg::ImportUseNew, r.startWithFirstLogoff);
    text(Reg::ImportBillingStart, r.startDateText);
    number(Reg::ImportPrefixes, r.stripPrefixes);
    number(Reg::ImportAddUsers, r.setupNewCustomers);
    number(Reg::ImportClear, r.clearLog);
    number(Reg::ImportBackup, r.backupLog);
    text(Reg::ImportBackupFileName, r.backupFile);
    return ok;
}

bool CImportDialogModel::isEventLogSystem(int authSystem) {
    return authSystem == AUTH_REMOTE_ACCESS || authSystem == AUTH_CITRIX_LAN;
}

bool CImportDialogModel::offersPrefixes(int authSystem) {
    return authSystem == AUTH_RADIUS || authSystem == AUTH_UNET;
}

void CImportDialogModel::applySystem(EventLogImportRequest& r) {
    if (!isEventLogSystem(r.authSystem)) {
        r.clearLog = false;
        r.startWithFirstLogoff = false;
        r.backupLog = false;
    }
    if (!offersPrefixes(r.authSystem))
        r.stripPrefixes = false;
}

QString CImportDialogModel::confirmationText(const EventLogImportRequest& r) {
    return QStringLiteral("You have chosen:\n\nLog:\t%1\nServer:\t%2\n\nDo you want to proceed "
                          "with importing logon events?")
        .arg(r.readFromFile ? r.logFile : QStringLiteral("the current log file"), r.serverName);
}

bool CImportDialogModel::loadServers() {
    bool ok = false;
    m_servers = ListServers(m_db, &ok);
    return ok;
}

std::optional<ServerRow> CImportDialogModel::findServer(const QString& hostName) const {
    return FindServerByName(m_servers, hostName);
}

int CImportDialogModel::renameServer(qint32 id, const QString& newName) {
    const int rc = RenameServer(m_db, id, newName);
    if (rc == IMPORT_OK)
        for (ServerRow& s : m_servers)
            if (s.Id == id)
                s.ServerName = ServerNameOf(newName);
    return rc;
}

int CImportDialogModel::deleteServer(qint32 id) {
    const int rc = DeleteServer(m_db, id);
    if (rc == IMPORT_OK)
        m_servers.removeIf([id](const ServerRow& s) { return s.Id == id; });
    return rc;
}

CImportDialogModel::Check CImportDialogModel::check(EventLogImportRequest& r) {
    const auto refuse = [](const QString& message, Field focus) {
        ui().showMessage(message, MessageIcon::Exclamation);
        return Check{false, focus};
    };
    if (r.startWithFirstLogoff) {
        const DateEntryResult date = CheckDateEntry(r.startDateText, false);
        if (!date.accepted() || !date.hasDate)
            return refuse(date.accepted() || date.message.isEmpty() ? DateFormatHelpMessage()
                                                                    : date.message,
                          Field::StartDate);
    }
    // The live event log of a server cannot be reached from here, only its saved files.
    if (isEventLogSystem(r.authSystem) && !r.readFromFile)
        return refuse(QStringLiteral("Remote Access and Citrix/LAN events can only be read from "
                                     "a saved event-log file (.evt) on this computer.  Check "
                                     "\"Read events from file\" and name the file."),
                      Field::UseFile);
    r.serverName = ServerNameOf(r.serverName);
    const std::optional<ServerRow> known = findServer(r.serverName);
    if (r.serverName.isEmpty())
        return refuse(QStringLiteral("Please supply the host name of the server that generates "
                                     "the event log information."),
                      Field::Server);
    if (r.readFromFile && r.logFile.trimmed().isEmpty())
        return refuse(QStringLiteral("Please enter a log file name."), Field::LogFile);
    if (r.backupLog && r.backupFile.trimmed().isEmpty())
        return refuse(QStringLiteral("Please enter a backup file name."), Field::BackupFile);
    if ((r.authSystem == AUTH_RADIUS || r.authSystem == AUTH_UNET) && !r.readFromFile)
        return refuse(QStringLiteral("You must enter a log file name if you are using the "
                                     "Radius system."),
                      Field::UseFile);
    if (!known && ui().askYesNo(QStringLiteral("You have entered a new server name.  If your "
                                               "intent is to rename a server from which you have "
                                               "done a previous import, then you MUST use the "
                                               "'Rename Server' button.\n\nDo you want to stop "
                                               "and rename the server now?"),
                                MessageIcon::Question))
        return {false, Field::Server};
    if (!ui().askYesNo(confirmationText(r), MessageIcon::Question))
        return {false, Field::None};
    if (known) {
        r.serverId = known->Id;
        return {true, Field::None};
    }
    qint32 id = 0;
    if (AddServer(m_db, r.serverName, &id) != IMPORT_OK) // the register said why
        return {false, Field::Server};
    r.serverId = id;
    (void)loadServers(); // a failure was shown; the import goes ahead with the new id
    return {true, Field::None};
}
