#include "core/billing/ratingcontext.h"

#include "core/app/oplog.h"
#include "core/db/datetimeutil.h"
#include "core/db/dbexception.h"

#include <stdexcept>

void RatingContext::report(int code, const QString& text, const QString& exceptionText) {
    const RatingReport r{code, text, exceptionText};
    if (Reporter) {
        Reporter(r);
        return;
    }
    if (!exceptionText.isEmpty())
        LogException(LogName(), std::runtime_error(exceptionText.toStdString()), code);
    else if (!text.isEmpty())
        LogText(LogName(), text, code);
    else
        LogResult(LogName(), code);
}

void RatingContext::noteSaved(const ChargeRow& copy) {
    if (LatestCopies && copy.IdUser == Customer.Id)
        LatestCopies->insert(copy.IdTemplate, {copy.LimitAccum, copy.UnitAccum});
}

void RatingContext::resolveKeys() {
    for (const PendingKey& p : std::as_const(PendingKeys)) {
        if (*p.key == 0)
            throw DbException(QStringLiteral("The key of a saved charge copy is not known."));
        Charges[p.index].Id = qint32(*p.key);
    }
    PendingKeys.clear();
}

void RatingContext::dropCharge(qsizetype index) {
    Charges.removeAt(index);
    for (PendingKey& p : PendingKeys)
        if (p.index > index)
            --p.index;
}

QString RatingContext::LogName() const {
    if (!Customer.Username.isEmpty())
        return Customer.Username;
    if (!RecordCustomerName.isEmpty())
        return RecordCustomerName;
    return QStringLiteral("Unknown customer");
}

std::optional<qint64> RatingContext::CustomerStart() const {
    return DbToSeconds(Customer.StartDate);
}

std::optional<qint64> RatingContext::CustomerEnd() const {
    return DbToSeconds(Customer.EndDate);
}

bool RatingContext::EndsInPeriod() const {
    const auto end = CustomerEnd();
    return end && *end >= PeriodStart && *end < PeriodEnd;
}

std::optional<qint64> ChargeExpiry(const ChargeRow& charge) {
    return DbToSeconds(charge.ExpiryDate);
}
