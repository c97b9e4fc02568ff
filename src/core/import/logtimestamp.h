#pragma once
#include <QByteArrayView>
#include <QDate>
#include <QLocale>
#include <QTime>

#include <optional>

// The local date and time a log record was written.
struct LogTimestamp {
    QDate date;
    QTime time;
    bool operator==(const LogTimestamp&) const = default;
};

// The first line of a RADIUS detail record, in the 24-character form of the C library's ctime
// ("Wed Dec  3 10:22:33 1997"). The fields are taken by position; a month whose letters are not
// found counts as January. Empty when the fields do not form a valid date and time.
std::optional<LogTimestamp> ParseCtimeTimestamp(QByteArrayView text);

// The date and time at the start of a syslog line (UNet, Telebit), read with the user's locale.
// Accepted forms include "MM/DD/YYYY hh:mm:ss", "DD.MM.YYYY hh:mm:ss", "YYYY-MM-DD hh:mm:ss"
// (two-digit years 30..99 are 19xx, 00..29 20xx; the time may carry AM/PM, its seconds may be
// left out) and "Mon DD hh:mm:ss" with English or locale month names in currentYear; then the
// locale's own date-time forms.
std::optional<LogTimestamp> ParseLogDateTime(QByteArrayView text, int currentYear,
                                             const QLocale& locale = QLocale::system());
