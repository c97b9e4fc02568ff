#include "core/import/textlogimport.h"

#include "core/app/busystate.h"
#include "core/app/dbsession.h"
#include "core/app/exclusiveoperation.h"
#include "core/app/faultpoint.h"
#include "core/app/userinterface.h"
#include "core/db/database.h"
#include "core/db/dbexception.h"
#include "core/db/eventrecord.h"
#include "core/db/transaction.h"
#include "core/import/eventinsert.h"
#include "core/import/importlock.h"
#include "core/import/logrecordparser.h"
#include "core/import/logrecordreader.h"
#include "core/import/serverregister.h"
#include "core/import/sessionbulkstore.h"

#include <QDate>
#include <QElapsedTimer>
#include <QFile>

#include <memory>
#include <optional>

// Unary plus keeps the planner on the DisconnectDate index, the selective one (a user has
// many sessions, an instant few).
const char* const kDuplicateSessionSql =
    "SELECT [Id] FROM [Events] WHERE [DisconnectDate] BETWEEN ? AND ? "
    "AND +[ConnectDate] BETWEEN ? AND ? AND +[Username] = ? AND +[SessionId] = ? "
    "AND (+[ServerId] = ? OR +[ServerId] = 0) LIMIT 1";

namespace {

// Records gathered on a database server before they are stored together.
constexpr int kRecordsPerBlock = 10000;

constexpr int kRecordsPerCommit = 100000;
// Page cache of the engine while importing (KiB): the indexes of a large Events table stay in
// memory instead of being read again for every insert.
constexpr int kImportCacheKiB = 48 * 1024;
constexpr qint64 kProgressIntervalMs = 100;
constexpr int kRecordsPerProgress = 256;

QString foundText(qint32 found, qint32 total) {
    return QStringLiteral("Found %1 new logons out of %2 events").arg(found).arg(total);
}

class CTextLogImport {
public:
    explicit CTextLogImport(Database& db)
        : m_db(db), m_duplicate(db.prepare(QString::fromLatin1(kDuplicateSessionSql))),
          m_insert(db) {
        if (db.engineKind() != DbEngineKind::Sqlite) {
            m_bulk.emplace(db);
            return;
        }
        // A larger page cache for the file's duplicate tests (a server keeps its own).
        const QVariant cache = db.scalar(QStringLiteral("PRAGMA cache_size"));
        if (cache.isValid() && cache.toInt() > -kImportCacheKiB) {
            m_oldCache = cache;
            db.execute(QStringLiteral("PRAGMA cache_size = %1").arg(-kImportCacheKiB));
        }
    }
    ~CTextLogImport() {
        if (m_oldCache.isValid()) {
            try {
                m_db.execute(QStringLiteral("PRAGMA cache_size = %1").arg(m_oldCache.toInt()));
            } catch (const std::exception&) {
                // only a cache size: nothing to report
            }
        }
    }
    CTextLogImport(const CTextLogImport&) = delete;
    CTextLogImport& operator=(const CTextLogImport&) = delete;

    bool isDuplicate(const EventRow& row) {
        m_duplicate.reset();
        bindDuplicateTest(m_duplicate, 1, row);
        const bool found = m_duplicate.next();
        m_duplicate.reset();
        return found;
    }

    void store(const EventRow& row) {
        m_insert.store(row, row.ServerId);
        ++m_uncommitted;
    }

    // On a database server the sessions are gathered in blocks (CSessionBulkStore), whether
    // each was new known once its block is stored.
    bool gathers() const { return m_bulk.has_value(); }
    // Answers how many sessions were new when a block was full and stored.
    qint32 gather(const EventRow& row, const LogSession& session) {
        m_bulk->add(row, session);
        if (m_bulk->gathered() < kRecordsPerBlock)
            return 0;
        const qint32 found = m_bulk->store();
        m_uncommitted += found;
        return found;
    }
    void refreshStatistics(qint32 found) {
        if (m_bulk)
            m_bulk->refreshStatistics(found);
    }
    qint32 storeGathered() {
        const qint32 found = m_bulk->storeAll();
        m_uncommitted += found;
        return found;
    }

    void begin() {
        m_batch.emplace(m_db);
        if (m_bulk)
            m_bulk->begin();
    }
    // Commits the batch; answers the sessions found new among those gathered and not yet
    // stored (none on the file).
    qint32 commit() {
        if (!m_batch)
            return 0;
        const qint32 found = gathers() ? storeGathered() : 0;
        m_batch->commit();
        m_batch.reset();
        m_uncommitted = 0;
        return found;
    }
    // After a failure: keeps what was stored before it. Answers the change to the count of
    // sessions found: those read while committing, or, when the commit fails and the batch is
    // undone, minus those of the batch counted already.
    qint32 commitAfterFailure() {
        if (!m_batch)
            return 0;
        const qint32 counted = m_uncommitted;
        try {
            return commit();
        } catch (const std::exception& e) {
            qWarning("The last batch of the import was not kept: %s", e.what());
            m_batch.reset();
            return -counted;
        }
    }

private:
    // The seven parameters of the duplicate test, from `first` on.
    static void bindDuplicateTest(Statement& st, int first, const EventRow& row) {
        const double disc = row.DisconnectDate.days();
        const double conn = row.ConnectDate.days();
        st.bindDouble(first, disc - kHalfSecondDays);
        st.bindDouble(first + 1, disc + kHalfSecondDays);
        st.bindDouble(first + 2, conn - kHalfSecondDays);
        st.bindDouble(first + 3, conn + kHalfSecondDays);
        st.bindText(first + 4, row.Username);
        st.bindText(first + 5, row.SessionId);
        st.bindInt64(first + 6, row.ServerId);
    }

    Database& m_db;
    Statement m_duplicate;
    CEventInsert m_insert;
    std::optional<CSessionBulkStore> m_bulk; // a database server only
    QVariant m_oldCache;
    std::optional<Transaction> m_batch; // the batch being stored, committed every so many records
    qint32 m_uncommitted = 0;
};

} // namespace

TextLogImportOutcome ImportTextLogInto(Database& db, const QString& path, int authSystem,
                                       qint32 serverId, bool stripPrefixes) {
    TextLogImportOutcome out;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        out.error = file.errorString();
        ui().showMessage(out.error.isEmpty() ? QStringLiteral("File error.") : out.error,
                         MessageIcon::Exclamation);
        out.result = IMPORT_OPEN_FAILED;
        return out;
    }

    {
        CWaitCursor wait;
        CProcessScope process(QString(), PROC_DEFAULT);
        ui().setStatusText(QStringLiteral("Reading event log..."));

        const int currentYear = QDate::currentDate().year();
        const QLocale locale = QLocale::system();
        CLogRecordReader reader(file, LogRecordDelimiter(authSystem));
        reader.setInterruptCheck([] { return CheckInterrupt(); });
        std::optional<CExclusiveOperation> importing;
        if (!TakeImportLock(db, importing, &out.error)) {
            out.result = IMPORT_FAILED;
            return out;
        }
        std::unique_ptr<CTextLogImport> import;
        try {
            if (authSystem != AUTH_RADIUS && authSystem != AUTH_UNET && authSystem != AUTH_TELEBIT)
                throw DbException(QStringLiteral("Not a text log system: %1").arg(authSystem));
            import = std::make_unique<CTextLogImport>(db);
            import->begin();

            QElapsedTimer progress;
            progress.start();
            int sinceCommit = 0;
            QByteArrayView record;
            EventRow row;
            for (;;) {
                const CLogRecordReader::Status st = reader.next(record);
                if (st == CLogRecordReader::Status::End)
                    break;
                if (st == CLogRecordReader::Status::Error)
                    throw DbException(reader.errorString());
                if (st == CLogRecordReader::Status::Interrupted) {
                    out.found += import->commit();
                    out.result = IMPORT_INTERRUPTED;
                    ui().showMessage(QStringLiteral("Import aborted."), MessageIcon::Exclamation);
                    break;
                }

                ++out.total;
                if (!reader.oversized()) {
                    const LogSession session =
                        ParseLogRecord(record, authSystem, stripPrefixes, currentYear, locale);
                    if (SessionToEventRow(session, serverId, row)) {
                        if (import->gathers())
                            out.found += import->gather(row, session);
                        else if (!import->isDuplicate(row)) {
                            import->store(row);
                            FaultPoint("import-record");
                            ++out.found;
                            WarnNegativeByteCounts(session);
                        }
                    }
                }
                if (++sinceCommit >= kRecordsPerCommit) {
                    out.found += import->commit();
                    import->begin();
                    sinceCommit = 0;
                }
                // Progress and Esc: after the first record, then every few hundred records or
                // a few times a second, whichever comes first.
                if (out.total == 1 || out.total % kRecordsPerProgress == 0 ||
                    progress.elapsed() >= kProgressIntervalMs) {
                    progress.restart();
                    ui().setStatusText(foundText(out.found, out.total));
                    if (CheckInterrupt()) {
                        out.found += import->commit();
                        out.result = IMPORT_INTERRUPTED;
                        ui().showMessage(QStringLiteral("Import aborted."),
                                         MessageIcon::Exclamation);
                        break;
                    }
                }
            }
            out.found += import->commit();
            import->refreshStatistics(out.found);
            ui().setStatusText(foundText(out.found, out.total));
        } catch (const std::exception& e) {
            if (import)
                out.found += import->commitAfterFailure();
            out.result = IMPORT_FAILED;
            out.error = QString::fromLocal8Bit(e.what());
            ui().setStatusText(foundText(out.found, out.total));
            ui().showMessage(QStringLiteral("Error importing event log."),
                             MessageIcon::Exclamation);
        }
        file.close();
    }
    if (out.result == IMPORT_OK)
        ui().showMessage(QStringLiteral("Logon event import succeeded."), MessageIcon::Information);
    return out;
}

TextLogImportOutcome ImportTextLogForServer(Database& db, const QString& path, int authSystem,
                                            const QString& serverName, bool stripPrefixes,
                                            bool* serverAdded) {
    if (serverAdded)
        *serverAdded = false;
    qint32 serverId = 0;
    {
        QFile probe(path);
        if (!probe.open(QIODevice::ReadOnly)) // reported, with nothing done, by the import
            return ImportTextLogInto(db, path, authSystem, serverId, stripPrefixes);
    }
    TextLogImportOutcome out;
    // A new server is added under the import's lock, so that two workstations importing for
    // it at once add it once.
    std::optional<CExclusiveOperation> importing;
    if (!TakeImportLock(db, importing, &out.error)) {
        out.result = IMPORT_FAILED;
        return out;
    }
    out.result = ResolveServer(db, serverName, &serverId, serverAdded);
    if (out.result != IMPORT_OK)
        return out;
    return ImportTextLogInto(db, path, authSystem, serverId, stripPrefixes);
}

int ImportTextLog(const QString& path, int authSystem, qint32 serverId, bool stripPrefixes) {
    CDatabaseSession* session = CDatabaseSession::instance();
    Database* db = session ? session->database() : nullptr;
    if (!db) {
        ui().showMessage(QStringLiteral("Error importing event log."), MessageIcon::Exclamation);
        return IMPORT_FAILED;
    }
    const TextLogImportOutcome out =
        ImportTextLogInto(*db, path, authSystem, serverId, stripPrefixes);
    return out.result;
}
