#pragma once
#include <QDateTime>
#include <QString>

// Formats a local date-time with a strftime-style format, as invoicing plans store it
// ("%m/%d/%Y %H:%M"). Names of days and months and the AM/PM marks are English, whatever the
// user's locale. Conversions:
//   %a %A %b %B   short / full day and month names      %p       AM or PM
//   %d %m %y %Y   day, month, two- and four-digit year   %H %I    hour (24 / 12)
//   %M %S         minute, second                          %j       day of the year
//   %w            weekday (0 = Sunday)                    %U %W    week of the year (Sunday /
//   %c            "%m/%d/%Y %H:%M:%S"                              Monday first)
//   %x            "%m/%d/%Y"                              %X       "%H:%M:%S"
//   %z %Z         UTC offset "+0100", zone abbreviation  %%       a percent sign
// also the common POSIX forms %e (day padded with a blank), %D, %F, %R, %T, %h, %n and %t.
// The flag "#" (also "-"), as in "%#d", drops leading zeros of a number; "%#c" and "%#x" give
// the long forms "%A, %B %#d, %Y %H:%M:%S" and "%A, %B %#d, %Y". Years in %c, %x and %D have
// four digits. An unknown conversion is copied as written.
QString FormatStrftime(const QString& format, const QDateTime& local);
