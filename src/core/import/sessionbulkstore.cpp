#include "core/import/sessionbulkstore.h"

#include "core/app/faultpoint.h"
#include "core/app/logonname.h"
#include "core/db/dbexception.h"
#include "core/db/eventrecord.h"
#include "core/import/eventinsert.h"
#include "core/import/importcodes.h"

#include <QStringList>

#include <utility>

namespace {

// The parser cuts names to the import's length, so the stored name is the name compared.
static_assert(kImportNameLength <= kMaxLogonNameLength);

const char* const kBlockTable = "tk_import_block";

// Written for the server only (this path runs nowhere else). The dates of imported sessions
// are whole seconds, so within a block two sessions match exactly when their dates are equal:
// a session is new when nothing stored matches it (the probe, kept per row on the
// DisconnectDate index by OFFSET 0, made once per row by MATERIALIZED) and no earlier new
// session of the block has its user, id and dates. All statements of the WITH see the table as it
// was before the block, so the block's own repeats are settled by the window.
const char* const kCreateBlockSql =
    "CREATE TEMP TABLE IF NOT EXISTS tk_import_block (seq bigint, username citext, "
    "connectdate double precision, disconnectdate double precision, hours bigint, "
    "minutes bigint, seconds bigint, sent bigint, received bigint, reason citext, port citext, "
    "serverid bigint, sessionid citext, warn smallint)";

const char* const kChosenSql =
    "WITH probed AS MATERIALIZED ("
    " SELECT b.*, NOT EXISTS (SELECT 1 FROM events e"
    " WHERE e.disconnectdate BETWEEN b.disconnectdate - CAST(? AS REAL)"
    " AND b.disconnectdate + CAST(? AS REAL)"
    " AND e.connectdate BETWEEN b.connectdate - CAST(? AS REAL)"
    " AND b.connectdate + CAST(? AS REAL)"
    " AND (e.username || '')::citext = b.username AND (e.sessionid || '')::citext = b.sessionid"
    " AND (e.serverid = b.serverid OR e.serverid = 0) OFFSET 0) AS fresh"
    " FROM tk_import_block b),"
    " chosen AS ("
    " SELECT r.* FROM (SELECT p.*, min(p.seq) FILTER (WHERE p.fresh) OVER (PARTITION BY"
    " p.disconnectdate, p.connectdate, p.username, p.sessionid) AS firstfresh"
    " FROM probed p) r WHERE r.fresh AND r.seq = r.firstfresh)";
const char* const kInsertChosenSql =
    " INSERT INTO events (username, connectdate, disconnectdate, hours, minutes, seconds, sent,"
    " received, reason, port, serverid, sessionid)"
    " SELECT username, connectdate, disconnectdate, hours, minutes, seconds, sent, received,"
    " reason, port, serverid, sessionid FROM chosen ORDER BY seq";

// The statement storing a block: its rows changed are the sessions found new. A block with
// sessions to warn about answers instead a row with that count and the places of those of
// them that were new.
QString storeBlockSql(bool answerWarnings) {
    const QString insert = QString::fromLatin1(kInsertChosenSql);
    return QString::fromLatin1(kChosenSql) +
           (answerWarnings ? QStringLiteral(", stored AS (%1) SELECT count(*), "
                                            "string_agg(CAST(seq AS text), ',') FILTER "
                                            "(WHERE warn = 1) FROM chosen")
                                 .arg(insert)
                           : insert);
}

// Sessions stored by one import from which the statistics are gathered again.
constexpr qint64 kStoredForStatistics = 10000;

bool needsWarning(const LogSession& s) {
    return s.sent < 0 || s.sentGigawords < 0 || s.received < 0 || s.receivedGigawords < 0;
}

void addDate(DbBulkLoad& load, const DbDateTime& date) {
    if (date.isValid())
        load.addDouble(date.days());
    else
        load.addNull();
}

} // namespace

CSessionBulkStore::CSessionBulkStore(Database& db) : m_db(db) {}

CSessionBulkStore::~CSessionBulkStore() = default;

void CSessionBulkStore::begin() {
    m_db.execute(QString::fromLatin1(kCreateBlockSql));
    // Prepared once the table exists; the server plans them again should it be made anew.
    if (!m_prepared) {
        m_store = m_db.prepare(storeBlockSql(false));
        m_empty = m_db.prepare(QStringLiteral("TRUNCATE %1").arg(QLatin1String(kBlockTable)));
        m_prepared = true;
    }
    m_empty.exec();
}

void CSessionBulkStore::add(const EventRow& row, const LogSession& session) {
    if (!m_load) {
        static const QStringList columns{
            "seq",  "username", "connectdate", "disconnectdate", "hours",    "minutes",   "seconds",
            "sent", "received", "reason",      "port",           "serverid", "sessionid", "warn"};
        m_load = m_db.bulkLoad(QLatin1String(kBlockTable), columns);
        if (!m_load)
            throw DbException(QStringLiteral("This database has no bulk load"));
    }
    const bool warn = needsWarning(session);
    DbBulkLoad& load = *m_load;
    load.addInt64(m_gathered);
    load.addText(row.Username);
    addDate(load, row.ConnectDate);
    addDate(load, row.DisconnectDate);
    load.addInt64(row.Hours);
    load.addInt64(row.Minutes);
    load.addInt64(row.Seconds);
    load.addInt64(row.Sent);
    load.addInt64(row.Received);
    load.addText(FitEventText(row.Reason));
    load.addText(FitEventText(row.Port));
    load.addInt64(row.ServerId);
    load.addText(FitEventText(row.SessionId));
    load.addInt64(warn ? 1 : 0);
    load.endRow();
    if (warn)
        m_warnings.insert(m_gathered, session);
    ++m_gathered;
}

qint32 CSessionBulkStore::store() {
    if (!m_load)
        return 0;
    const std::unique_ptr<DbBulkLoad> load = std::move(m_load);
    const QHash<qint64, LogSession> warnings = std::exchange(m_warnings, {});
    m_gathered = 0;
    load->finish(); // the server has stored the block before, whose outcome is read now
    qint32 found = takeStored();
    if (warnings.isEmpty()) {
        // Stored while the next block is gathered.
        for (int i = 1; i <= 4; ++i)
            m_store.bindDouble(i, kHalfSecondDays);
        m_store.queue();
        m_empty.queue();
        m_db.flush();
        m_storing = true;
        return found;
    }
    Statement st = m_db.prepare(storeBlockSql(true));
    for (int i = 1; i <= 4; ++i)
        st.bindDouble(i, kHalfSecondDays);
    if (!st.next())
        throw DbException(QStringLiteral("The import's store answered nothing"));
    const qint32 stored = qint32(st.value(0).toLongLong());
    const QString warned = st.value(1).toString();
    st.reset();
    m_empty.exec();
    found += stored;
    for (qint32 i = 0; i < stored; ++i)
        FaultPoint("import-record");
    if (!warned.isEmpty())
        for (const QString& seq : warned.split(QLatin1Char(',')))
            WarnNegativeByteCounts(warnings.value(seq.toLongLong()));
    return found;
}

qint32 CSessionBulkStore::storeAll() {
    const qint32 found = store();
    return found + takeStored();
}

qint32 CSessionBulkStore::takeStored() {
    if (!m_storing)
        return 0;
    m_storing = false;
    const qint32 found = m_store.takeQueued();
    m_empty.takeQueued();
    for (qint32 i = 0; i < found; ++i)
        FaultPoint("import-record");
    return found;
}

void CSessionBulkStore::refreshStatistics(qint64 stored) {
    if (stored < kStoredForStatistics)
        return;
    try {
        m_db.execute(QStringLiteral("ANALYZE events"));
    } catch (const std::exception& e) {
        // Only the planner's estimates: the sessions are stored.
        qWarning("The statistics of the sessions were not gathered: %s", e.what());
    }
}
