#pragma once
#include "core/db/currency.h"

#include <QDateTime>
#include <QLocale>
#include <QString>

// How an invoice writes amounts and the dates of its head. The defaults are the user's:
// the system locale and the decimals of its currency format.
struct InvoiceNumberFormat {
    QLocale locale = QLocale::system();
    int currencyDecimals = CurrencyDecimals();
};

// An amount as a number in the locale's currency form: rounded half away from zero to the
// given decimals, the locale's decimal separator and digit grouping, its minus sign; no
// currency symbol. A group separator outside Windows-1252 is written as a no-break space, a
// minus sign outside it as "-".
QString FormatCurrencyNumber(const Currency& amount, const InvoiceNumberFormat& format);

// A date of the page head in the locale's default form: the short date with a four-digit
// year, followed by the long time unless the time is midnight. Empty for an invalid value.
QString FormatInvoiceHeadDate(const QDateTime& local, const QLocale& locale);

// A count of seconds as "%02d:%02d:%02d" (hours may have more digits).
QString FormatHms(qint64 hours, qint64 minutes, qint64 seconds);
QString FormatSecondsHms(qint64 totalSeconds);
