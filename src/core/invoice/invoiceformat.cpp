#include "core/invoice/invoiceformat.h"

#include "core/app/cp1252.h"
#include "core/db/datetimeutil.h"

namespace {

// A sign the invoice's character set cannot hold (the narrow no-break space that groups
// digits in some locales, the minus sign U+2212) is written as its nearest Windows-1252 form.
QString writable(const QString& sign, QChar fallback) {
    return IsCp1252(sign) ? sign : QString(fallback);
}

} // namespace

QString FormatCurrencyNumber(const Currency& amount, const InvoiceNumberFormat& format) {
    // Currency::format gives the rounded "%.*f" digits; the locale supplies the signs.
    QString digits = amount.format(format.currencyDecimals);
    const bool negative = digits.startsWith(QLatin1Char('-'));
    if (negative)
        digits.remove(0, 1);
    const qsizetype point = digits.indexOf(QLatin1Char('.'));
    QString whole = point < 0 ? digits : digits.left(point);
    const QString fraction = point < 0 ? QString() : digits.mid(point + 1);

    const QLocale& locale = format.locale;
    if (!(locale.numberOptions() & QLocale::OmitGroupSeparator)) {
        const QString group = writable(locale.groupSeparator(), QChar(0xA0));
        for (qsizetype at = whole.size() - 3; at > 0; at -= 3)
            whole.insert(at, group);
    }
    QString text = whole;
    if (!fraction.isEmpty())
        text += writable(locale.decimalPoint(), QLatin1Char('.')) + fraction;
    if (negative)
        text.prepend(writable(locale.negativeSign(), QLatin1Char('-')));
    return text;
}

QString FormatInvoiceHeadDate(const QDateTime& local, const QLocale& locale) {
    if (!local.isValid())
        return {};
    const QDateTime dt = local.toLocalTime();
    if (dt.time() == QTime(0, 0))
        return locale.toString(dt.date(),
                               WithFourDigitYear(locale.dateFormat(QLocale::ShortFormat)));
    return FormatLocalDateTime(dt, locale);
}

QString FormatHms(qint64 hours, qint64 minutes, qint64 seconds) {
    return QStringLiteral("%1:%2:%3")
        .arg(hours, 2, 10, QLatin1Char('0'))
        .arg(minutes, 2, 10, QLatin1Char('0'))
        .arg(seconds, 2, 10, QLatin1Char('0'));
}

QString FormatSecondsHms(qint64 totalSeconds) {
    return FormatHms(totalSeconds / 3600, totalSeconds / 60 % 60, totalSeconds % 60);
}
