#pragma once
#include "core/db/database.h"
#include "core/db/dbdatetime.h"

#include <QStringView>

struct EventRow;

// Half a second in engine days: an imported session's dates match a stored one's when they name
// the same second.
inline constexpr double kHalfSecondDays = 0.5 / 86400.0;

// A text cut to the size of the text fields of Events and LANTemp.
QStringView FitEventText(const QString& text);
// Binds a date in engine days, or NULL for a date that is not set.
void BindEventDate(Statement& st, int index, const DbDateTime& date);

// Binds the stored columns of a session as parameters 1 to 12, in the order of the Events
// insert ([Username], [ConnectDate], [DisconnectDate], [Hours], [Minutes], [Seconds], [Sent],
// [Received], [Reason], [Port], [ServerId], [SessionId]), after the rules store() applies.
void BindEventColumns(Statement& st, const EventRow& row, qint32 serverId);

// The statement that stores imported sessions in Events, prepared once for an import.
class CEventInsert {
public:
    explicit CEventInsert(Database& db);

    // Stores `row` as a session of `serverId`: the user name after the logon-name rule, the
    // texts cut to the size of their fields, a date that is not set as none. Throws DbException.
    void store(const EventRow& row, qint32 serverId);

private:
    Statement m_insert;
};
