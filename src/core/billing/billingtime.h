#pragma once
#include <QtGlobal>
#include <utility>

// Calendar steps on local times in seconds since 1970, as billing uses them for periodic
// charges, accumulation windows and anniversary periods.

// t moved by n calendar days at the same local time of day (a day across a daylight-saving
// change is 23 or 25 hours long).
qint64 AddDaysLocal(qint64 t, qint64 n);
// t moved by n months keeping the day of month and the time of day; a day the target month
// lacks rolls on into the next month (31 January + 1 month = 3 March, 2 March in a leap year).
qint64 AddMonthsLocal(qint64 t, int n);
// 00:00 local time of the day of t.
qint64 LocalMidnight(qint64 t);
// Day of the week of t, Sunday = 0.
int LocalWeekday(qint64 t);

// Aligns a period to the anniversary day `day` (1..31). When both ends already fall on that
// day of their month nothing changes; otherwise each end becomes 00:00 of the latest date on
// or before it whose day of month is `day` (the last day of a month that has no such day).
std::pair<qint64, qint64> AlignToAnniversary(qint64 start, qint64 end, int day);
