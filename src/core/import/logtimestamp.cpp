#include "core/import/logtimestamp.h"

#include "core/db/datetimeutil.h"

#include <QList>
#include <QString>

namespace {

// Years the engine can hold.
bool yearInRange(int year) {
    return year >= 100 && year <= 9999;
}

std::optional<LogTimestamp> makeTimestamp(int y, int mo, int d, int h, int mi, int s) {
    if (!yearInRange(y) || !QDate::isValid(y, mo, d) || !QTime::isValid(h, mi, s))
        return std::nullopt;
    return LogTimestamp{QDate(y, mo, d), QTime(h, mi, s)};
}

// A number as the C library's atoi reads it, within [-9999999, 9999999] (enough for every
// date field; larger values are invalid anyway).
int atoiField(QByteArrayView text) {
    qsizetype i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r')))
        ++i;
    bool neg = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        neg = text[i++] == '-';
    int v = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        if (v < 10000000)
            v = v * 10 + (text[i] - '0');
    return neg ? -v : v;
}

QByteArrayView mid(QByteArrayView text, qsizetype pos, qsizetype len) {
    if (pos >= text.size())
        return {};
    return text.sliced(pos, std::min(len, text.size() - pos));
}

// Whole unsigned decimal number; -1 when the text is empty or holds anything else.
int wholeNumber(QStringView text, int maxDigits) {
    if (text.isEmpty() || text.size() > maxDigits)
        return -1;
    int v = 0;
    for (QChar c : text) {
        if (c < u'0' || c > u'9')
            return -1;
        v = v * 10 + (c.unicode() - '0');
    }
    return v;
}

int yearOf(QStringView text) {
    const int y = wholeNumber(text, 4);
    if (y < 0)
        return -1;
    if (text.size() == 2)
        return y < 30 ? 2000 + y : 1900 + y;
    return text.size() == 4 ? y : -1;
}

// "h:mm", "h:mm:ss", optionally with an AM/PM suffix (own part or attached).
bool parseTime(QStringView text, QStringView ampm, const QLocale& locale, QTime& out) {
    auto isAm = [&](QStringView s) {
        return s.compare(u"AM", Qt::CaseInsensitive) == 0 ||
               (!locale.amText().isEmpty() && s.compare(locale.amText(), Qt::CaseInsensitive) == 0);
    };
    auto isPm = [&](QStringView s) {
        return s.compare(u"PM", Qt::CaseInsensitive) == 0 ||
               (!locale.pmText().isEmpty() && s.compare(locale.pmText(), Qt::CaseInsensitive) == 0);
    };
    if (ampm.isEmpty()) {
        qsizetype n = text.size();
        while (n > 0 && text[n - 1].isLetter())
            --n;
        if (n < text.size()) {
            ampm = text.sliced(n);
            text = text.first(n);
        }
    }
    int half = 0; // 1 AM, 2 PM
    if (!ampm.isEmpty()) {
        if (isAm(ampm))
            half = 1;
        else if (isPm(ampm))
            half = 2;
        else
            return false;
    }
    const QList<QStringView> parts = text.split(u':');
    if (parts.size() < 2 || parts.size() > 3)
        return false;
    const int h = wholeNumber(parts[0], 2);
    const int m = parts[1].size() == 2 ? wholeNumber(parts[1], 2) : -1;
    const int s = parts.size() == 3 ? (parts[2].size() == 2 ? wholeNumber(parts[2], 2) : -1) : 0;
    if (h < 0 || m < 0 || s < 0)
        return false;
    int hour = h;
    if (half) {
        if (h < 1 || h > 12)
            return false;
        hour = h % 12 + (half == 2 ? 12 : 0);
    }
    if (!QTime::isValid(hour, m, s))
        return false;
    out = QTime(hour, m, s);
    return true;
}

// Numeric dates: M/D/Y, D.M.Y, Y-M-D.
bool parseNumericDate(QStringView text, QDate& out) {
    for (QChar sep : {QChar(u'/'), QChar(u'.'), QChar(u'-')}) {
        const QList<QStringView> p = text.split(sep);
        if (p.size() != 3)
            continue;
        int y, mo, d;
        if (sep == u'-') {
            if (p[0].size() != 4)
                return false;
            y = yearOf(p[0]);
            mo = wholeNumber(p[1], 2);
            d = wholeNumber(p[2], 2);
        } else if (sep == u'/') {
            mo = wholeNumber(p[0], 2);
            d = wholeNumber(p[1], 2);
            y = yearOf(p[2]);
        } else {
            d = wholeNumber(p[0], 2);
            mo = wholeNumber(p[1], 2);
            y = yearOf(p[2]);
        }
        if (!yearInRange(y) || !QDate::isValid(y, mo, d))
            return false;
        out = QDate(y, mo, d);
        return true;
    }
    return false;
}

int monthOfName(QStringView name, const QLocale& locale) {
    if (name.endsWith(u'.'))
        name.chop(1);
    if (name.size() < 3)
        return 0;
    static const QLocale english(QLocale::English, QLocale::UnitedStates);
    for (const QLocale* loc : {&english, &locale})
        for (int m = 1; m <= 12; ++m)
            if (name.compare(loc->monthName(m, QLocale::ShortFormat), Qt::CaseInsensitive) == 0 ||
                name.compare(loc->monthName(m, QLocale::LongFormat), Qt::CaseInsensitive) == 0 ||
                name.compare(loc->standaloneMonthName(m, QLocale::ShortFormat),
                             Qt::CaseInsensitive) == 0)
                return m;
    return 0;
}

} // namespace

std::optional<LogTimestamp> ParseCtimeTimestamp(QByteArrayView text) {
    static constexpr char kMonths[] = "JanFebMarAprMayJunJulAugSepOctNovDec";
    const int year = atoiField(mid(text, 20, 4));
    const QByteArrayView monthText = mid(text, 4, 3);
    int month = 1;
    if (!monthText.isEmpty()) {
        const qsizetype at = QByteArrayView(kMonths).indexOf(monthText);
        if (at >= 0)
            month = int(at / 3) + 1;
    }
    return makeTimestamp(year, month, atoiField(mid(text, 8, 2)), atoiField(mid(text, 11, 2)),
                         atoiField(mid(text, 14, 2)), atoiField(mid(text, 17, 2)));
}

std::optional<LogTimestamp> ParseLogDateTime(QByteArrayView bytes, int currentYear,
                                             const QLocale& locale) {
    // Timestamps are short; anything long is not one.
    if (bytes.isEmpty() || bytes.size() > 64)
        return std::nullopt;
    const QString text = QString::fromUtf8(bytes).simplified();
    const QList<QStringView> parts = QStringView(text).split(u' ', Qt::SkipEmptyParts);
    if (parts.size() < 2)
        return std::nullopt;

    QDate date;
    QTime time;
    // numeric date, time [AM/PM]
    if (parts.size() <= 3 && parseNumericDate(parts[0], date) &&
        parseTime(parts[1], parts.size() == 3 ? parts[2] : QStringView(), locale, time))
        return LogTimestamp{date, time};
    // month name, day, time [AM/PM]  (the year is the current one)
    if (parts.size() >= 3 && parts.size() <= 4) {
        const int month = monthOfName(parts[0], locale);
        const int day = wholeNumber(parts[1], 2);
        if (month && day > 0 && yearInRange(currentYear) &&
            QDate::isValid(currentYear, month, day) &&
            parseTime(parts[2], parts.size() == 4 ? parts[3] : QStringView(), locale, time))
            return LogTimestamp{QDate(currentYear, month, day), time};
    }
    // the locale's own forms
    const DateEntryResult entry = CheckDateEntry(text, false, locale);
    if (entry.status == DateEntryResult::Ok && entry.hasDate && entry.date.isValid() &&
        yearInRange(entry.date.year()))
        return LogTimestamp{entry.date, entry.hasTime ? entry.time : QTime(0, 0)};
    return std::nullopt;
}
