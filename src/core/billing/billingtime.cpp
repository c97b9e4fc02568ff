#include "core/billing/billingtime.h"

#include "core/db/datetimeutil.h"

#include <QDate>
#include <QDateTime>

qint64 AddDaysLocal(qint64 t, qint64 n) {
    const QDateTime dt = SecondsToDateTime(t);
    return LocalToSeconds(dt.date().addDays(n), dt.time());
}

qint64 AddMonthsLocal(qint64 t, int n) {
    const QDateTime dt = SecondsToDateTime(t);
    const QDate d = dt.date();
    // First of the target month, then forward by (day - 1) so that overflow rolls on.
    const QDate first = QDate(d.year(), d.month(), 1).addMonths(n);
    return LocalToSeconds(first.addDays(d.day() - 1), dt.time());
}

qint64 LocalMidnight(qint64 t) {
    return LocalToSeconds(SecondsToDateTime(t).date(), QTime(0, 0));
}

int LocalWeekday(qint64 t) {
    return SecondsToDateTime(t).date().dayOfWeek() % 7; // Qt: Monday 1 .. Sunday 7
}

namespace {

qint64 alignOne(qint64 t, int day) {
    const QDate d = SecondsToDateTime(t).date();
    QDate month = QDate(d.year(), d.month(), 1);
    if (day > d.day())
        month = month.addMonths(-1);
    const int useDay = qMin(day, month.daysInMonth());
    return LocalToSeconds(QDate(month.year(), month.month(), useDay), QTime(0, 0));
}

} // namespace

std::pair<qint64, qint64> AlignToAnniversary(qint64 start, qint64 end, int day) {
    if (day <= 0)
        return {start, end};
    if (SecondsToDateTime(start).date().day() == day && SecondsToDateTime(end).date().day() == day)
        return {start, end};
    return {alignOne(start, day), alignOne(end, day)};
}
