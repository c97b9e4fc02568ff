#pragma once
#include "core/db/dbdatetime.h"
#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <QString>
#include <optional>

// Conversions between the engine's date values (days since 30 December 1899, the fraction
// the time of day, local time) and Qt dates and local times in seconds since 1970.
//
// Local time follows the calendar of the system time zone (daylight saving included). A local
// time that does not exist (skipped by the spring change) is taken with the offset in force
// before the change, so it moves forward by the length of the gap (02:30 -> 03:30). A local
// time that occurs twice (autumn change) is taken as its first occurrence (still summer time).
// Values are rounded to whole seconds.

// Days from 30 Dec 1899 to 1 Jan 1970.
inline constexpr double kDbDaysTo1970 = 25569.0;

// The local calendar date and time of an engine value; invalid when the value is null,
// invalid or outside the range of QDate.
QDate DbToDate(const DbDateTime& value);
QTime DbToTime(const DbDateTime& value);
// The instant of an engine value read as local time; invalid for null / invalid values.
QDateTime DbToDateTime(const DbDateTime& value);
// The engine value of a date-time (converted to local time); null when dt is invalid.
DbDateTime DateTimeToDb(const QDateTime& dt);
// The engine value of a local calendar date and time of day.
DbDateTime DbFromLocal(const QDate& date, const QTime& time = QTime(0, 0));
DbDateTime DbFromDate(int year, int month, int day);
// The date part alone (time of day zero); null stays null.
DbDateTime DbDateOnly(const DbDateTime& value);

// Local instant of a calendar date and time in seconds since 1970 (rules above).
qint64 LocalToSeconds(const QDate& date, const QTime& time);
// Seconds since 1970 of an engine value; nullopt when it is null, invalid or earlier than
// 1 January 1970 (local calendar): such a date counts as not set.
std::optional<qint64> DbToSeconds(const DbDateTime& value);
// The same with 0 for not set.
qint64 DbToSecondsOr0(const DbDateTime& value);
// The engine value of a time in seconds since 1970, in local time.
DbDateTime SecondsToDb(qint64 seconds);
// The local date-time of seconds since 1970.
QDateTime SecondsToDateTime(qint64 seconds);

// Formats with a four-digit year: a locale date format whose year has two digits gets four.
QString WithFourDigitYear(QString format);
// Short date with four-digit year + blank + long time without time zone.
QString LocaleDateTimeFormat(const QLocale& locale = QLocale::system());
QString FormatLocalDateTime(const QDateTime& dt, const QLocale& locale = QLocale::system());

// The check of a date typed by the user.
struct DateEntryResult {
    enum Status { Ok, Empty, BadFormat, OutOfRange };
    Status status = BadFormat;
    // Ok: the value (date with time 00:00:00 when no time given; a time alone is a time value,
    // day 0 = 30 Dec 1899). Empty: null.
    DbDateTime value;
    bool hasDate = false;
    bool hasTime = false;
    QDate date;
    QTime time;
    QString message; // the text to show when not accepted

    bool accepted() const { return status == Ok || status == Empty; }
};

// Parses a user's date/time entry with the locale (month and day names, AM/PM texts, order of
// numeric dates), falling back to English names and month/day/year order. Accepted forms
// include "25 January 1996", "8:30:00", "20:30:00", "January 25, 1996 8:30:00",
// "8:30:00 Jan. 25, 1996", "1/25/1996", "1/25/1996 8:30:00", "1996-01-25" and
// "1996-01-25 08:30:00". Years must have four digits and lie in 1970..2035. A time alone is
// accepted without the year check. An empty text passes only when allowEmpty is set.
DateEntryResult CheckDateEntry(const QString& text, bool allowEmpty,
                               const QLocale& locale = QLocale::system());
// The messages of the check.
QString DateRangeMessage();
QString DateFormatHelpMessage();
