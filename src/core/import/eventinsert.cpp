#include "core/import/eventinsert.h"

#include "core/app/logonname.h"
#include "core/db/eventrecord.h"
#include "core/db/schema.h"

namespace {

const char* const kInsertSql =
    "INSERT INTO [Events] ([Username], [ConnectDate], [DisconnectDate], [Hours], [Minutes], "
    "[Seconds], [Sent], [Received], [Reason], [Port], [ServerId], [SessionId]) "
    "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)";

} // namespace

QStringView FitEventText(const QString& text) {
    return QStringView(text).left(kDefaultTextSize);
}

void BindEventDate(Statement& st, int index, const DbDateTime& date) {
    if (date.isValid())
        st.bindDouble(index, date.days());
    else
        st.bindNull(index);
}

CEventInsert::CEventInsert(Database& db) : m_insert(db.prepare(QString::fromLatin1(kInsertSql))) {}

void CEventInsert::store(const EventRow& row, qint32 serverId) {
    m_insert.reset();
    m_insert.bindText(1, ApplyLogonNameRule(row.Username));
    BindEventDate(m_insert, 2, row.ConnectDate);
    BindEventDate(m_insert, 3, row.DisconnectDate);
    m_insert.bindInt64(4, row.Hours);
    m_insert.bindInt64(5, row.Minutes);
    m_insert.bindInt64(6, row.Seconds);
    m_insert.bindInt64(7, row.Sent);
    m_insert.bindInt64(8, row.Received);
    m_insert.bindText(9, FitEventText(row.Reason));
    m_insert.bindText(10, FitEventText(row.Port));
    m_insert.bindInt64(11, serverId);
    m_insert.bindText(12, FitEventText(row.SessionId));
    m_insert.exec();
}
