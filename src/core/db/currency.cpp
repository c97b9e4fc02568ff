#include "core/db/currency.h"

#include <QLocale>
#include <cmath>
#include <limits>

namespace {

// Nearest 64-bit integer to x, halves away from zero; saturates outside the range.
std::int64_t roundHalfAway(long double x) {
    long double r = x < 0 ? -std::floor(-x + 0.5L) : std::floor(x + 0.5L);
    if (r >= static_cast<long double>(std::numeric_limits<std::int64_t>::max()))
        return std::numeric_limits<std::int64_t>::max();
    if (r <= static_cast<long double>(std::numeric_limits<std::int64_t>::min()))
        return std::numeric_limits<std::int64_t>::min();
    return static_cast<std::int64_t>(r);
}

std::int64_t powerOfTen(int n) {
    std::int64_t p = 1;
    for (int i = 0; i < n; ++i)
        p *= 10;
    return p;
}

// Units rounded half away from zero to a multiple of 10^(4 - decimals).
std::int64_t roundUnits(std::int64_t units, int decimals) {
    if (decimals >= 4)
        return units;
    if (decimals < -14)
        return 0;
    const std::int64_t step = powerOfTen(4 - decimals);
    const std::int64_t rem = units % step; // carries the sign of units
    const std::int64_t truncated = units - rem;
    const std::int64_t absRem = rem < 0 ? -rem : rem;
    if (absRem * 2 >= step)
        return units < 0 ? truncated - step : truncated + step;
    return truncated;
}

} // namespace

Currency Currency::fromDouble(double amount) {
    if (!std::isfinite(amount))
        return invalid();
    return fromUnits(roundHalfAway(static_cast<long double>(amount) * Scale));
}

Currency Currency::operator*(double factor) const {
    if (m_status == Invalid || !std::isfinite(factor))
        return invalid();
    const std::int64_t u = units();
    if (u == 0 || factor == 0)
        return fromUnits(0);
    // Scaled in extended precision, then truncated toward zero.
    const long double product = static_cast<long double>(u) * static_cast<long double>(factor);
    const long double limit = static_cast<long double>(std::numeric_limits<std::int64_t>::max());
    if (product >= limit || product <= -limit)
        return invalid();
    return fromUnits(static_cast<std::int64_t>(std::trunc(product)));
}

QString Currency::format(int decimals) const {
    if (decimals < 0)
        decimals = 0;
    const int shown = decimals > 4 ? 4 : decimals;
    const std::int64_t rounded = roundUnits(units(), shown);
    const bool negative = rounded < 0;
    // Magnitude as unsigned so that the most negative amount still formats.
    const std::uint64_t mag =
        negative ? std::uint64_t(0) - std::uint64_t(rounded) : std::uint64_t(rounded);
    const std::uint64_t whole = mag / Scale;
    const std::uint64_t frac = mag % Scale;
    QString text = QString::number(whole);
    if (decimals > 0) {
        QString digits = QStringLiteral("%1").arg(frac, 4, 10, QLatin1Char('0')).left(shown);
        digits += QString(decimals - shown, QLatin1Char('0'));
        text += QLatin1Char('.') + digits;
    }
    if (negative)
        text.prepend(QLatin1Char('-'));
    return text;
}

Currency RoundCurrency(const Currency& amount, int decimals) {
    if (amount.status() == Currency::Invalid)
        return amount;
    return Currency::fromUnits(roundUnits(amount.units(), decimals));
}

int CurrencyDecimals() {
    static const int decimals = [] {
        const QLocale locale = QLocale::system();
        // The locale's own currency rendering of an amount with many decimals shows how many
        // it keeps; digits are counted after the locale's decimal separator.
        const QString text = locale.toCurrencyString(1.1111);
        const QString point = locale.decimalPoint();
        const qsizetype at = text.lastIndexOf(point);
        if (at < 0)
            return 0;
        int n = 0;
        for (qsizetype i = at + point.size(); i < text.size() && text.at(i).isDigit(); ++i)
            ++n;
        return n;
    }();
    return decimals;
}
