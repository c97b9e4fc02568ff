#include "core/jobs/purge.h"

#include "core/app/dbsession.h"
#include "core/app/exclusiveoperation.h"
#include "core/app/faultpoint.h"
#include "core/app/oplog.h"
#include "core/app/userinterface.h"
#include "core/db/database.h"
#include "core/db/datetimeutil.h"
#include "core/db/dbexception.h"
#include "core/db/transaction.h"

namespace {

// Payment rows and invoices of earlier layouts may hold no amount: null counts as 0.
const QString kPaidInvoices =
    QStringLiteral("FROM Invoices WHERE ClosingDate <= ? AND IFNULL(TotalPaid, 0) = "
                   "IFNULL(TotalDue, 0)");

// The numbers in full while they fit on a log line, else how many and from which to which.
QString invoiceNumbers(const QList<qint32>& numbers) {
    constexpr int kListed = 20;
    if (numbers.size() <= kListed) {
        QStringList parts;
        for (qint32 n : numbers)
            parts.append(QString::number(n));
        return parts.join(QStringLiteral(", "));
    }
    return QStringLiteral("%1 to %2").arg(numbers.first()).arg(numbers.last());
}

} // namespace

QString PurgeDateText(const QDate& upTo) {
    return QStringLiteral("%1/%2/%3").arg(upTo.month()).arg(upTo.day()).arg(upTo.year());
}

PurgeOutcome PurgeRecords(Database& db, const QDate& upTo, int kinds) {
    PurgeOutcome outcome;
    const QVariant day = QVariant::fromValue(DbFromLocal(upTo));
    {
        const CExclusiveOperation purging(db, OperationKind::Purge);
        Transaction transaction(db);
        if (kinds & PurgeKind::Sessions) {
            ui().setStatusText(QStringLiteral("Deleting events..."));
            outcome.sessions =
                db.execute(QStringLiteral("DELETE FROM Events WHERE DisconnectDate <= ?"), {day});
            FaultPoint("purge-events");
        }
        if (kinds & PurgeKind::Invoices) {
            ui().setStatusText(QStringLiteral("Deleting invoices..."));
            Statement st = db.prepare(QStringLiteral("SELECT InvoiceNum, NewCharges ") +
                                      kPaidInvoices + QStringLiteral(" ORDER BY InvoiceNum"));
            st.bind(1, day);
            while (st.next()) {
                outcome.invoices.append(st.value(0).toInt());
                outcome.newCharges += st.value(1).value<Currency>();
            }
            db.execute(QStringLiteral("DELETE ") + kPaidInvoices, {day});
        }
        transaction.commit();
    }
    QStringList what;
    if (kinds & PurgeKind::Sessions)
        what.append(QStringLiteral("sessions %1").arg(outcome.sessions));
    if (kinds & PurgeKind::Invoices) {
        QString text = QStringLiteral("paid invoices %1").arg(outcome.invoices.size());
        if (!outcome.invoices.isEmpty())
            text += QStringLiteral(" (%1; new charges %2)")
                        .arg(invoiceNumbers(outcome.invoices),
                             outcome.newCharges.format(CurrencyDecimals()));
        what.append(text);
    }
    LogRecord(QStringLiteral("Purge"),
              QStringLiteral("Removed records up to and including %1: %2.")
                  .arg(PurgeDateText(upTo), what.join(QStringLiteral(", "))));
    return outcome;
}

int RunPurge(CDatabaseSession& session, const QDate& upTo, int kinds, PurgeOutcome* outcome) {
    if (!(kinds & (PurgeKind::Sessions | PurgeKind::Invoices))) {
        ui().showMessage(QStringLiteral("Please select which types of records you wish to purge."),
                         MessageIcon::Exclamation);
        return SystemResult::Cancelled;
    }
    const QString question =
        QStringLiteral("This will remove records up to and including %1.  The process is "
                       "irreversible.\n\nAre you sure you want to remove all of these records?")
            .arg(PurgeDateText(upTo));
    if (!ui().askYesNo(question, MessageIcon::Exclamation))
        return SystemResult::Cancelled;
    Database* db = session.database();
    if (!db) {
        ui().showMessage(QStringLiteral("No database is open."), MessageIcon::Exclamation);
        return SystemResult::Failed;
    }
    try {
        CWaitCursor wait;
        const PurgeOutcome done = PurgeRecords(*db, upTo, kinds);
        if (outcome)
            *outcome = done;
    } catch (const DbException& e) {
        ui().setStatusText(QString());
        ui().showMessage(QStringLiteral("Error purging old records: %1").arg(e.message()),
                         MessageIcon::Exclamation);
        return SystemResult::Failed;
    }
    return session.compact(false);
}
