#pragma once
// Removing old records: the sessions and the fully paid invoices up to and including a day,
// then compacting the file so that the space they held is given back.
#include "core/db/currency.h"

#include <QDate>
#include <QList>
#include <QString>

class CDatabaseSession;
class Database;

// What to purge (combinable).
namespace PurgeKind {
enum : int {
    Sessions = 0x01, // Events rows that ended by the start of the day
    Invoices = 0x02, // invoices closed on or before the day whose TotalPaid equals TotalDue
};
}

struct PurgeOutcome {
    qint64 sessions = 0;
    QList<qint32> invoices; // the invoice numbers removed
    Currency newCharges;    // their NewCharges together
};

// The day as the question and the log name it: month/day/year, without leading zeros.
QString PurgeDateText(const QDate& upTo);

// Deletes, in one transaction, what `kinds` names. The day has no time of day, so it stands
// for its own midnight: sessions that ended later that day stay, invoices closed that day go
// (closing dates are days). Frozen plan and charge copies of purged invoices stay. Writes one
// line to the operation log once committed. Runs under the purge lock (another workstation's
// purge is waited for). Throws DbException (nothing deleted).
PurgeOutcome PurgeRecords(Database& db, const QDate& upTo, int kinds);

// The purge command after its dialog: "Please select which types of records you wish to
// purge." when `kinds` is empty, the question naming the day, the purge under the wait cursor
// with its status texts, then the compact (not asked again). A system result code: 0, 13 (the
// user was told why), 1223 (nothing chosen, or the user said No).
// `outcome`, when given, receives what was removed.
[[nodiscard]] int RunPurge(CDatabaseSession& session, const QDate& upTo, int kinds,
                           PurgeOutcome* outcome = nullptr);
