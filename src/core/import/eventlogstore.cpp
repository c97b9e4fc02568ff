#include "core/import/eventlogstore.h"

#include "core/app/logonname.h"
#include "core/db/eventrecord.h"
#include "core/db/schema.h"
#include "core/import/importcodes.h"

#include <QtGlobal>

namespace {

// Unary plus keeps the planner on the DisconnectDate index, the selective one.
const char* const kDuplicateSql =
    "SELECT [Id] FROM [Events] WHERE [DisconnectDate] BETWEEN ? AND ? "
    "AND +[ConnectDate] BETWEEN ? AND ? AND +[Username] = ? "
    "AND (+[ServerId] = ? OR +[ServerId] = 0) LIMIT 1";
const char* const kDuplicateWithIdSql =
    "SELECT [Id] FROM [Events] WHERE [DisconnectDate] BETWEEN ? AND ? "
    "AND +[ConnectDate] BETWEEN ? AND ? AND +[Username] = ? "
    "AND (+[ServerId] = ? OR +[ServerId] = 0) AND (+[SessionId] = ? OR +[SessionId] = 'None') "
    "LIMIT 1";
const char* const kLogonWaitingSql = "SELECT [Id] FROM [LANTemp] WHERE [UserName] = ? "
                                     "AND [EventDate] BETWEEN ? AND ? LIMIT 1";
const char* const kAddLogonSql =
    "INSERT INTO [LANTemp] ([UserName], [EventDate], [ServerId], [LogonID]) VALUES (?, ?, ?, ?)";
const char* const kFindLogonSql = "SELECT [Id], [EventDate] FROM [LANTemp] WHERE [LogonID] = ? "
                                  "AND ([ServerId] = ? OR [ServerId] = 0) ORDER BY [Id] LIMIT 1";
const char* const kRemoveLogonSql = "DELETE FROM [LANTemp] WHERE [Id] = ?";

void bindAround(Statement& st, int index, const DbDateTime& date) {
    st.bindDouble(index, date.days() - kHalfSecondDays);
    st.bindDouble(index + 1, date.days() + kHalfSecondDays);
}

bool anyRow(Statement& st) {
    const bool found = st.next();
    st.reset();
    return found;
}

} // namespace

CEventLogStore::CEventLogStore(Database& db, qint32 serverId)
    : m_db(db), m_serverId(serverId), m_duplicate(db.prepare(QString::fromLatin1(kDuplicateSql))),
      m_duplicateWithId(db.prepare(QString::fromLatin1(kDuplicateWithIdSql))), m_insert(db),
      m_logonWaiting(db.prepare(QString::fromLatin1(kLogonWaitingSql))),
      m_addLogon(db.prepare(QString::fromLatin1(kAddLogonSql))),
      m_findLogon(db.prepare(QString::fromLatin1(kFindLogonSql))),
      m_removeLogon(db.prepare(QString::fromLatin1(kRemoveLogonSql))) {}

bool CEventLogStore::isDuplicate(const QString& user, const DbDateTime& connect,
                                 const DbDateTime& disconnect, const QString* sessionId) {
    Statement& st = sessionId ? m_duplicateWithId : m_duplicate;
    st.reset();
    bindAround(st, 1, disconnect);
    bindAround(st, 3, connect);
    st.bindText(5, QStringView(user).left(kImportNameLength));
    st.bindInt64(6, m_serverId);
    if (sessionId)
        st.bindText(7, FitEventText(*sessionId));
    return anyRow(st);
}

void CEventLogStore::store(EventRow row) {
    m_insert.store(row, m_serverId);
    ++m_uncommitted;
}

bool CEventLogStore::logonWaiting(const QString& user, const DbDateTime& when) {
    m_logonWaiting.reset();
    m_logonWaiting.bindText(1, QStringView(user).left(kImportNameLength));
    bindAround(m_logonWaiting, 2, when);
    return anyRow(m_logonWaiting);
}

void CEventLogStore::addLogon(const QString& user, const DbDateTime& when, const QString& logonId) {
    m_addLogon.reset();
    m_addLogon.bindText(1, ApplyLogonNameRule(user));
    BindEventDate(m_addLogon, 2, when);
    m_addLogon.bindInt64(3, m_serverId);
    m_addLogon.bindText(4, FitEventText(logonId));
    m_addLogon.exec();
}

std::optional<CEventLogStore::WaitingLogon> CEventLogStore::findLogon(const QString& logonId) {
    m_findLogon.reset();
    m_findLogon.bindText(1, FitEventText(logonId));
    m_findLogon.bindInt64(2, m_serverId);
    std::optional<WaitingLogon> found;
    if (m_findLogon.next())
        found = WaitingLogon{m_findLogon.value(0).toLongLong(),
                             m_findLogon.value(1).value<DbDateTime>()};
    m_findLogon.reset();
    return found;
}

void CEventLogStore::removeLogon(qint64 id) {
    m_removeLogon.reset();
    m_removeLogon.bindInt64(1, id);
    m_removeLogon.exec();
}

void CEventLogStore::begin() {
    m_batch.emplace(m_db);
}

void CEventLogStore::commit() {
    if (!m_batch)
        return;
    m_batch->commit();
    m_batch.reset();
    m_uncommitted = 0;
}

qint32 CEventLogStore::commitAfterFailure() {
    if (!m_batch)
        return 0;
    try {
        commit();
        return 0;
    } catch (const std::exception& e) {
        qWarning("The last batch of the event-log import was not kept: %s", e.what());
        m_batch.reset();
        const qint32 lost = m_uncommitted;
        m_uncommitted = 0;
        return lost;
    }
}
