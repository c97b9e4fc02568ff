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

void BindEventColumns(Statement& st, const EventRow& row, qint32 serverId) {
    st.bindText(1, ApplyLogonNameRule(row.Username));
    BindEventDate(st, 2, row.ConnectDate);
    BindEventDate(st, 3, row.DisconnectDate);
    st.bindInt64(4, row.Hours);
    st.bindInt64(5, row.Minutes);
    st.bindInt64(6, row.Seconds);
    st.bindInt64(7, row.Sent);
    st.bindInt64(8, row.Received);
    st.bindText(9, FitEventText(row.Reason));
    st.bindText(10, FitEventText(row.Port));
    st.bindInt64(11, serverId);
    st.bindText(12, FitEventText(row.SessionId));
}

void CEventInsert::store(const EventRow& row, qint32 serverId) {
    m_insert.reset();
    BindEventColumns(m_insert, row, serverId);
    m_insert.exec();
}
