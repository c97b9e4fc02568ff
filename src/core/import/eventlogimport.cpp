#include "core/import/eventlogimport.h"

#include "core/app/busystate.h"
#include "core/app/cp1252.h"
#include "core/app/dbsession.h"
#include "core/app/exclusiveoperation.h"
#include "core/app/faultpoint.h"
#include "core/app/oplog.h"
#include "core/app/settingsvalues.h"
#include "core/app/userinterface.h"
#include "core/db/datetimeutil.h"
#include "core/db/dbexception.h"
#include "core/db/eventrecord.h"
#include "core/db/replacefile.h"
#include "core/import/eventlogstore.h"
#include "core/import/evtreader.h"
#include "core/import/importlock.h"
#include "core/import/rasrecord.h"
#include "core/import/textlogimport.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <optional>

namespace {

constexpr int kRecordsPerCommit = 100000;
constexpr qint64 kProgressIntervalMs = 100;
constexpr int kRecordsPerProgress = 256;
constexpr qint64 kMaxLanSessionSeconds = 32767LL * 3600 + 3599;
// Citrix/LAN logons and logoffs need the user name, the domain and the logon id.
constexpr int kLanStrings = 3;

QString foundText(qint32 found, qint32 total) {
    return QStringLiteral("Found %1 new logons out of %2 events").arg(found).arg(total);
}

bool isEventLogSystem(int system) {
    return system == AUTH_REMOTE_ACCESS || system == AUTH_CITRIX_LAN;
}

// The start of the search: the date text as a local time in seconds since 1970, 0 when the
// text is empty or no date.
qint64 startSecondsOf(const QString& text) {
    if (text.trimmed().isEmpty())
        return 0;
    const DateEntryResult entry = CheckDateEntry(text, true);
    if (entry.status != DateEntryResult::Ok || !entry.hasDate)
        return 0;
    return DbToSecondsOr0(entry.value);
}

// One import of a saved event log: reads the records, pairs and stores the sessions and
// keeps the counts of the outcome.
class CEventLogRun {
public:
    CEventLogRun(Database& db, const EventLogImportRequest& request, qint64 startSeconds,
                 EventLogImportOutcome& out)
        : m_store(db, request.serverId), m_citrix(request.authSystem == AUTH_CITRIX_LAN),
          m_searching(request.startWithFirstLogoff), m_start(startSeconds), m_out(out),
          m_startText(FormatLocalDateTime(SecondsToDateTime(startSeconds))) {}

    // Reads to the end of the log, an interruption or a damaged record (which ends the
    // reading like the end of the log: damage() tells).
    void run(CEvtReader& reader) {
        m_store.begin();
        ui().setStatusText(m_searching ? searchText() : QStringLiteral("Reading event log..."));
        if (CheckInterrupt()) {
            interrupted();
            return;
        }
        QElapsedTimer progress;
        progress.start();
        int sinceCommit = 0;
        EvtRecord record;
        for (;;) {
            const CEvtReader::Status st = reader.next(record);
            if (st == CEvtReader::Status::Damaged)
                m_damage = reader.damage();
            if (st != CEvtReader::Status::Record)
                break;
            if (m_citrix)
                handleLan(record);
            else
                handleRas(record);
            ++m_out.total;
            if (++sinceCommit >= kRecordsPerCommit) {
                m_store.commit();
                m_store.begin();
                sinceCommit = 0;
            }
            if (m_out.total == 1 || m_out.total % kRecordsPerProgress == 0 ||
                progress.elapsed() >= kProgressIntervalMs) {
                progress.restart();
                showProgress();
                if (CheckInterrupt()) {
                    interrupted();
                    return;
                }
            }
        }
        m_store.commit();
        showProgress();
    }

    void failed() { m_out.found -= m_store.commitAfterFailure(); }
    QString damage() const { return m_damage; }

private:
    QString searchText() const {
        return QStringLiteral("Searching for first logoff after %1 ...").arg(m_startText);
    }
    void showProgress() {
        ui().setStatusText(m_searching
                               ? QStringLiteral("%1 (%2)").arg(searchText()).arg(m_out.total)
                               : foundText(m_out.found, m_out.total));
    }
    void interrupted() {
        m_store.commit();
        m_out.result = IMPORT_INTERRUPTED;
        ui().showMessage(QStringLiteral("Import aborted."), MessageIcon::Exclamation);
    }
    // The first logoff at or after the start ends the search; counting starts again there.
    bool stillSearching(qint64 logoffSeconds) {
        if (m_searching && logoffSeconds >= m_start) {
            m_searching = false;
            m_out.total = 0;
        }
        return m_searching;
    }

    void handleRas(const EvtRecord& record) {
        RasSession s;
        switch (ReadRasRecord(record, s)) {
        case RasRecordKind::NotSession:
            return;
        case RasRecordKind::TooFewStrings:
        case RasRecordKind::BadDate:
            ++m_out.skipped;
            return;
        case RasRecordKind::Session:
            break;
        }
        if (stillSearching(s.disconnectSeconds))
            return;
        if (m_store.isDuplicate(s.username, s.connect, s.disconnect))
            return;
        EventRow row;
        row.Username = s.username;
        row.ConnectDate = s.connect;
        row.DisconnectDate = s.disconnect;
        row.Port = s.port;
        row.SessionId = QStringLiteral("None");
        row.Hours = s.hours;
        row.Minutes = s.minutes;
        row.Seconds = s.seconds;
        row.Sent = s.sent;
        row.Received = s.received;
        row.Reason = s.reason;
        m_store.store(row);
        FaultPoint("import-record");
        ++m_out.found;
    }

    void handleLan(const EvtRecord& record) {
        if (record.eventId != kEventLogon && record.eventId != kEventLogoff)
            return;
        if (record.strings.size() < kLanStrings) {
            ++m_out.skipped;
            return;
        }
        QString user = DecodeCp1252(record.strings[0]);
        if (user.isEmpty())
            user = QStringLiteral("Anonymous");
        const QString logonId = DecodeCp1252(record.strings[2]);
        const qint64 t = record.timeGenerated;
        const DbDateTime when = SecondsToDb(t);

        if (record.eventId == kEventLogon) {
            if (!m_store.logonWaiting(user, when))
                m_store.addLogon(user, when, logonId);
            return;
        }
        const std::optional<CEventLogStore::WaitingLogon> logon = m_store.findLogon(logonId);
        if (!logon) {
            ++m_out.unmatched;
            return;
        }
        if (!stillSearching(t) && !m_store.isDuplicate(user, logon->when, when, &logonId)) {
            const qint64 seconds =
                std::clamp<qint64>(t - DbToSecondsOr0(logon->when), 0, kMaxLanSessionSeconds);
            EventRow row;
            row.Username = user;
            row.ConnectDate = logon->when;
            row.DisconnectDate = when;
            row.Port = QStringLiteral("LAN");
            row.SessionId = logonId;
            row.Hours = qint16(seconds / 3600);
            row.Minutes = qint16(seconds / 60 % 60);
            row.Seconds = qint16(seconds % 60);
            m_store.store(row);
            FaultPoint("import-record");
            ++m_out.found;
        }
        m_store.removeLogon(logon->id);
    }

    CEventLogStore m_store;
    bool m_citrix;
    bool m_searching;
    qint64 m_start;
    EventLogImportOutcome& m_out;
    QString m_startText;
    QString m_damage;
};

// Backs the log up and clears it as asked, after a successful import. Clearing is asked
// first; a No leaves the log and skips the backup. The log is cleared only once its backup
// (when one is asked for) is written. A failure is shown and kept in the outcome.
void maintainLog(const EventLogImportRequest& request, const EvtHeader& header,
                 EventLogImportOutcome& out) {
    CWaitCursor wait;
    QString error;
    const auto failed = [&](const QString& what) {
        out.maintenanceError = QStringLiteral("%1 %2").arg(what, error);
        ui().showMessage(out.maintenanceError, MessageIcon::Exclamation);
    };
    if (request.clearLog) {
        if (!ui().askYesNo(QStringLiteral("Are you sure you want to clear the event log?  This "
                                          "will clear ALL events in addition to logon events."),
                           MessageIcon::Question))
            return;
        ui().setStatusText(QStringLiteral("Clearing event log..."));
        if (request.backupLog && !CopyFileSafely(request.logFile, request.backupFile, &error)) {
            failed(QStringLiteral("The event log was not backed up, so it was not cleared."));
            return;
        }
        if (!WriteFileSafely(request.logFile, EmptyEvtLog(header), &error))
            failed(QStringLiteral("The event log was not cleared."));
    } else if (request.backupLog) {
        ui().setStatusText(QStringLiteral("Backing up event log..."));
        if (!CopyFileSafely(request.logFile, request.backupFile, &error))
            failed(QStringLiteral("The event log was not backed up."));
    }
}

EventLogImportOutcome importSavedLog(Database& db, const EventLogImportRequest& request) {
    EventLogImportOutcome out;
    if (!request.readFromFile) {
        out.result = IMPORT_OPEN_FAILED;
        out.error = QStringLiteral("The event log of a server cannot be read on this system. "
                                   "Choose \"Read events from file\" and give a saved event "
                                   "log (.evt).");
        ui().showMessage(out.error, MessageIcon::Exclamation);
        return out;
    }
    const qint64 startSeconds = startSecondsOf(request.startDateText);
    QFile file(request.logFile);
    CEvtReader reader(file);
    {
        CWaitCursor wait;
        ui().setStatusText(
            QStringLiteral("Trying to open %1 on %2 ...").arg(request.logFile, request.serverName));
        if (!file.open(QIODevice::ReadOnly))
            out.error = file.errorString();
        else if (!reader.open(&out.error))
            file.close();
        if (!file.isOpen()) {
            out.result = IMPORT_OPEN_FAILED;
            ui().showMessage(out.error.isEmpty() ? QStringLiteral("File error.") : out.error,
                             MessageIcon::Exclamation);
            return out;
        }
    }

    QString damage;
    {
        CWaitCursor wait;
        CProcessScope process(QString(), PROC_DEFAULT);
        std::optional<CExclusiveOperation> importing;
        if (!TakeImportLock(db, importing, &out.error)) {
            out.result = IMPORT_FAILED;
            return out;
        }
        std::optional<CEventLogRun> run;
        try {
            run.emplace(db, request, startSeconds, out);
            run->run(reader);
            damage = run->damage();
        } catch (const std::exception& e) {
            if (run)
                run->failed();
            out.result = IMPORT_FAILED;
            out.error = QString::fromLocal8Bit(e.what());
            ui().showMessage(QStringLiteral("Error importing event log."),
                             MessageIcon::Exclamation);
        }
    }
    file.close();
    if (!damage.isEmpty()) {
        // The reading ends there like at the end of the log; what came before is imported.
        out.damage = damage;
        LogText(QFileInfo(request.logFile).fileName(),
                QStringLiteral("The event log ends early: %1. The records after it were not "
                               "read.")
                    .arg(damage),
                kImportWarningCode);
    }
    if (out.result != IMPORT_OK)
        return out;

    // The next import offers the same start date.
    if (!RegWriteNumber(Reg::LastImportDate, qint32(startSeconds)))
        LogText(QStringLiteral("LastImportDate"),
                QStringLiteral("The start date of this import could not be kept in the "
                               "settings."),
                kImportWarningCode);
    if (out.unmatched != 0)
        ui().showMessage(QStringLiteral("Logon event import succeeded, however, there were %1 "
                                        "logoff events with no matching logon event.")
                             .arg(out.unmatched),
                         MessageIcon::Information);
    else
        ui().showMessage(QStringLiteral("Logon event import succeeded."), MessageIcon::Information);
    maintainLog(request, reader.header(), out);
    return out;
}

} // namespace

EventLogImportOutcome ImportEventLogInto(Database& db, const EventLogImportRequest& request) {
    EventLogImportOutcome out;
    if (isEventLogSystem(request.authSystem)) {
        out = importSavedLog(db, request);
    } else {
        const TextLogImportOutcome text = ImportTextLogInto(
            db, request.logFile, request.authSystem, request.serverId, request.stripPrefixes);
        out.result = text.result;
        out.found = text.found;
        out.total = text.total;
        out.error = text.error;
    }
    if (out.result == IMPORT_OK && request.setupNewCustomers && request.customerSetup)
        request.customerSetup();
    return out;
}

int ImportEventLog(const EventLogImportRequest& request) {
    CDatabaseSession* session = CDatabaseSession::instance();
    Database* db = session ? session->database() : nullptr;
    if (!db) {
        ui().showMessage(QStringLiteral("Error importing event log."), MessageIcon::Exclamation);
        return IMPORT_FAILED;
    }
    return ImportEventLogInto(*db, request).result;
}
