#include "core/billing/plancreate.h"

#include "core/billing/billingtime.h"
#include "core/billing/plancatalog.h"
#include "core/db/datetimeutil.h"
#include "core/db/dbexception.h"
#include "core/db/insertrecord.h"
#include "core/db/transaction.h"

namespace {

// Checks the name, then inserts the row in its own transaction.
template <class Record, class Row>
EditResult create(Database& db, const Row& row, const QString& emptyMessage,
                  QString (*nameProblem)(Database&, const QString&, qint32), const QString& failure,
                  qint32* id) {
    try {
        if (row.Name.trimmed().isEmpty())
            return EditResult::failed(emptyMessage);
        const QString problem = nameProblem(db, row.Name, 0);
        if (!problem.isEmpty())
            return EditResult::failed(problem);
        Transaction transaction(db);
        const qint32 newId = insertRecord<Record>(db, row);
        transaction.commit();
        if (id)
            *id = newId;
    } catch (const DbException& e) {
        return EditResult::failed(failure, e.message());
    }
    return {};
}

} // namespace

BPRow NewBillingPlanRow(const QString& name, const QDate& today) {
    BPRow row;
    row.Name = name;
    const qint64 start = LocalToSeconds(today, QTime(0, 0));
    row.StartDate = SecondsToDb(start);
    row.EndDate = SecondsToDb(AddMonthsLocal(start, 1));
    row.MinimumCharge = Currency::fromUnits(0);
    return row;
}

InvoicePlanRow NewInvoicingPlanRow(const QString& name) {
    InvoicePlanRow row;
    row.Name = name;
    row.ShowDetails = true;
    row.ShowAddress = true;
    row.DateFormat = QStringLiteral("%m/%d/%Y %H:%M");
    row.EmailServer = QStringLiteral("<For emailing invoices>");
    row.EmailSender = QStringLiteral("<Invoice return email address>");
    row.EmailSubject = QStringLiteral("INTERNET USAGE");
    row.CreateIfZero = true;
    return row;
}

ChargeRow NewChargeRow(const QString& name, qint32 type) {
    ChargeRow row;
    row.Name = name;
    row.Type = type;
    row.UnitQuantity = 1;
    if (type == ChargeType::Online) {
        row.UnitName = QStringLiteral("Hour");
        row.UnitQuantity = 3600;
    } else if (type == ChargeType::ByteTraffic) {
        row.UnitName = QStringLiteral("Byte(s)");
        row.Options = ChargeOption::BytesSent | ChargeOption::BytesReceived;
    }
    row.ChargeAmount = Currency::fromUnits(0);
    row.InvoicedAmount = Currency::fromUnits(0);
    row.SGPercentage = 1.0;
    row.ExpiryDate = DbDateTime(0.0); // no expiry
    return row;
}

EditResult CreateBillingPlan(Database& db, const QString& name, const QDate& today, qint32* id) {
    return create<CBPRecord>(db, NewBillingPlanRow(name.trimmed(), today),
                             QStringLiteral("Please enter a name for the billing plan."),
                             &BillingPlanNameProblem,
                             QStringLiteral("Error adding new billing plan."), id);
}

EditResult CreateInvoicingPlan(Database& db, const QString& name, qint32* id) {
    return create<CInvoicePlanRecord>(db, NewInvoicingPlanRow(name.trimmed()),
                                      QStringLiteral("Please enter a name for the invoicing plan."),
                                      &InvoicingPlanNameProblem,
                                      QStringLiteral("Error adding new invoicing plan."), id);
}

EditResult CreateCharge(Database& db, const QString& name, qint32 type, qint32* id) {
    if (ChargeKindName(type).isEmpty())
        return EditResult::failed(QStringLiteral("Unknown kind of charge %1.").arg(type));
    return create<CChargeRecord>(db, NewChargeRow(name.trimmed(), type),
                                 QStringLiteral("Please enter a name for the charge."),
                                 &ChargeNameProblem, QStringLiteral("Error adding new charge."),
                                 id);
}
