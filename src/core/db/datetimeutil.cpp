#include "core/db/datetimeutil.h"

#include <QRegularExpression>
#include <QStringList>
#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

namespace {
const QDate kDbEpoch(1899, 12, 30);
// Beyond 31 Dec 9999 the engine has no dates.
constexpr double kMaxDbDays = 2958466.0;
constexpr qint64 kUnixEpochJulianDay = 2440588; // 1 Jan 1970

// UTC offset of the system zone at an instant.
int offsetAt(qint64 utcSeconds) {
    return QDateTime::fromSecsSinceEpoch(utcSeconds, Qt::LocalTime).offsetFromUtc();
}

// Whole days and seconds of the day of an engine value; false when it has no date.
bool splitDays(const DbDateTime& value, qint64& day, int& seconds) {
    if (!value.isValid())
        return false;
    const double d = value.days();
    if (!std::isfinite(d) || std::fabs(d) >= kMaxDbDays)
        return false;
    // Before the epoch the sign belongs to the day only: -1.25 is 29 Dec 1899 06:00.
    const double whole = std::trunc(d);
    qint64 secs = std::llround(std::fabs(d - whole) * 86400.0);
    day = static_cast<qint64>(whole);
    if (secs >= 86400) {
        secs -= 86400;
        day += 1;
    }
    seconds = static_cast<int>(secs);
    return true;
}
} // namespace

QDate DbToDate(const DbDateTime& value) {
    qint64 day = 0;
    int secs = 0;
    if (!splitDays(value, day, secs))
        return {};
    return kDbEpoch.addDays(day);
}

QTime DbToTime(const DbDateTime& value) {
    qint64 day = 0;
    int secs = 0;
    if (!splitDays(value, day, secs))
        return {};
    return QTime(0, 0).addSecs(secs);
}

namespace {

// The zone's offset for a whole local day when it is the same from two days before to two
// days after it (every instant the exact conversion below looks at lies in that window, and
// zone changes are further apart); nullopt when a change lies near. Remembered for the last
// day asked, since callers convert many times of the same days.
std::optional<int> uniformOffsetAround(qint64 naiveDay) {
    struct Memo {
        qint64 day = std::numeric_limits<qint64>::min();
        std::optional<int> offset;
    };
    thread_local Memo memo;
    if (naiveDay != memo.day) {
        const int early = offsetAt((naiveDay - 2) * 86400);
        const int late = offsetAt((naiveDay + 3) * 86400);
        memo.day = naiveDay;
        memo.offset = early == late ? std::optional<int>(early) : std::nullopt;
    }
    return memo.offset;
}

} // namespace

qint64 LocalToSeconds(const QDate& date, const QTime& time) {
    const QTime t = time.isValid() ? time : QTime(0, 0);
    const qint64 naiveDay = date.toJulianDay() - kUnixEpochJulianDay;
    if (date.isValid() && naiveDay >= 0) {
        if (const std::optional<int> offset = uniformOffsetAround(naiveDay))
            return naiveDay * 86400 + t.msecsSinceStartOfDay() / 1000 - *offset;
    }
    const qint64 naive = QDateTime(date, t, Qt::UTC).toSecsSinceEpoch();
    // Offsets in force a day before and a day after; zone changes are further apart.
    const int before = offsetAt(naive - 86400);
    const int after = offsetAt(naive + 86400);
    const qint64 first = naive - before;
    const qint64 second = naive - after;
    const bool firstFits = offsetAt(first) == before;
    const bool secondFits = offsetAt(second) == after;
    if (firstFits && secondFits)
        return std::min(first, second); // occurs twice: the first occurrence
    if (firstFits)
        return first;
    if (secondFits)
        return second;
    return first; // skipped by the change: the offset before it, i.e. moved past the gap
}

QDateTime DbToDateTime(const DbDateTime& value) {
    const QDate date = DbToDate(value);
    if (!date.isValid())
        return {};
    return QDateTime::fromSecsSinceEpoch(LocalToSeconds(date, DbToTime(value)), Qt::LocalTime);
}

DbDateTime DbFromLocal(const QDate& date, const QTime& time) {
    if (!date.isValid())
        return DbDateTime::null();
    const qint64 day = kDbEpoch.daysTo(date);
    const double frac = (time.isValid() ? time.msecsSinceStartOfDay() / 1000 : 0) / 86400.0;
    return DbDateTime(day < 0 ? double(day) - frac : double(day) + frac);
}

DbDateTime DateTimeToDb(const QDateTime& dt) {
    if (!dt.isValid())
        return DbDateTime::null();
    const QDateTime local = dt.toLocalTime();
    return DbFromLocal(local.date(), local.time());
}

DbDateTime DbFromDate(int year, int month, int day) {
    return DbFromLocal(QDate(year, month, day), QTime(0, 0));
}

DbDateTime DbDateOnly(const DbDateTime& value) {
    const QDate date = DbToDate(value);
    return date.isValid() ? DbFromLocal(date, QTime(0, 0)) : value;
}

std::optional<qint64> DbToSeconds(const DbDateTime& value) {
    const QDate date = DbToDate(value);
    if (!date.isValid() || date.year() < 1970)
        return std::nullopt;
    return LocalToSeconds(date, DbToTime(value));
}

qint64 DbToSecondsOr0(const DbDateTime& value) {
    return DbToSeconds(value).value_or(0);
}

QDateTime SecondsToDateTime(qint64 seconds) {
    return QDateTime::fromSecsSinceEpoch(seconds, Qt::LocalTime);
}

DbDateTime SecondsToDb(qint64 seconds) {
    return DateTimeToDb(SecondsToDateTime(seconds));
}

QString WithFourDigitYear(QString format) {
    if (format.contains(QLatin1String("yyyy")))
        return format;
    static const QRegularExpression shortYear(QStringLiteral("(?<!y)y{1,2}(?!y)"));
    return format.replace(shortYear, QStringLiteral("yyyy"));
}

QString LocaleDateTimeFormat(const QLocale& locale) {
    static const QRegularExpression zone(QStringLiteral("\\s*(?<![A-Za-z'])t+(?![A-Za-z'])"));
    QString time = locale.timeFormat(QLocale::LongFormat);
    time.remove(zone);
    return WithFourDigitYear(locale.dateFormat(QLocale::ShortFormat)) + QLatin1Char(' ') +
           time.trimmed();
}

QString FormatLocalDateTime(const QDateTime& dt, const QLocale& locale) {
    return locale.toString(dt.toLocalTime(), LocaleDateTimeFormat(locale));
}

// ---- date entry ----

QString DateRangeMessage() {
    return QStringLiteral(
        "Please enter a date later than January 1, 1970 and sooner than January 1, 2036.");
}

QString DateFormatHelpMessage() {
    return QStringLiteral("Enter a date in a format such as:\n"
                          "  25 January 1996\n"
                          "  8:30:00\n"
                          "  20:30:00\n"
                          "  January 25, 1996 8:30:00\n"
                          "  8:30:00 Jan. 25, 1996\n"
                          "  1/25/1996\n"
                          "  1/25/1996 8:30:00\n");
}

namespace {
QString simplifyWord(QString s) {
    s = s.toCaseFolded();
    s.remove(QLatin1Char('.'));
    return s;
}

bool matchesAny(const QString& word, const QStringList& names) {
    return !word.isEmpty() && names.contains(word);
}

// Month names of the locale and of English, long and short, folded.
int monthOf(const QString& token, const QLocale& locale) {
    static const QLocale english(QLocale::English, QLocale::UnitedStates);
    const QString w = simplifyWord(token);
    if (w.isEmpty())
        return 0;
    for (const QLocale* l : {&locale, &english}) {
        for (int m = 1; m <= 12; ++m) {
            for (auto fmt : {QLocale::LongFormat, QLocale::ShortFormat, QLocale::NarrowFormat}) {
                if (fmt == QLocale::NarrowFormat)
                    continue; // one letter is ambiguous
                if (simplifyWord(l->monthName(m, fmt)) == w ||
                    simplifyWord(l->standaloneMonthName(m, fmt)) == w)
                    return m;
            }
        }
    }
    if (w == QLatin1String("sept"))
        return 9;
    return 0;
}

bool isWeekday(const QString& token, const QLocale& locale) {
    static const QLocale english(QLocale::English, QLocale::UnitedStates);
    const QString w = simplifyWord(token);
    for (const QLocale* l : {&locale, &english})
        for (int d = 1; d <= 7; ++d)
            if (simplifyWord(l->dayName(d, QLocale::LongFormat)) == w ||
                simplifyWord(l->dayName(d, QLocale::ShortFormat)) == w)
                return true;
    return false;
}

// 0 none, 1 AM, 2 PM.
int amPmOf(const QString& token, const QLocale& locale) {
    const QString w = simplifyWord(token);
    if (w.isEmpty())
        return 0;
    if (matchesAny(w, {QStringLiteral("am"), simplifyWord(locale.amText())}))
        return 1;
    if (matchesAny(w, {QStringLiteral("pm"), simplifyWord(locale.pmText())}))
        return 2;
    return 0;
}

bool allDigits(const QString& s) {
    if (s.isEmpty())
        return false;
    for (QChar c : s)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    return true;
}

// Order of day, month and year in the locale's numeric short date ("dMy", "Mdy", "ydM"...);
// month/day/year when the locale writes month names.
QString numericOrder(const QLocale& locale) {
    const QString f = locale.dateFormat(QLocale::ShortFormat);
    if (f.contains(QLatin1String("MMM")))
        return QStringLiteral("Mdy");
    QString order;
    for (QChar c : f)
        if ((c == QLatin1Char('d') || c == QLatin1Char('M') || c == QLatin1Char('y')) &&
            !order.contains(c))
            order.append(c);
    return order.size() == 3 ? order : QStringLiteral("Mdy");
}

QDate numericDate(const QStringList& parts, const QString& order) {
    int y = 0, m = 0, d = 0;
    for (int i = 0; i < 3; ++i) {
        const QString& p = parts[i];
        const QChar c = order[i];
        if (c == QLatin1Char('y')) {
            if (p.size() != 4)
                return {};
            y = p.toInt();
        } else {
            if (p.size() > 2)
                return {};
            (c == QLatin1Char('M') ? m : d) = p.toInt();
        }
    }
    return QDate(y, m, d);
}

bool parseDate(QStringList tokens, const QLocale& locale, QDate& out) {
    for (QString& t : tokens)
        while (t.endsWith(QLatin1Char('.')))
            t.chop(1);
    tokens.removeIf([&](const QString& t) { return t.isEmpty() || isWeekday(t, locale); });
    if (tokens.size() == 1) {
        static const QRegularExpression sep(QStringLiteral("[/.\\-]"));
        const QStringList parts = tokens[0].split(sep);
        if (parts.size() != 3 || !std::all_of(parts.begin(), parts.end(), allDigits))
            return false;
        if (parts[0].size() == 4) {
            out = numericDate(parts, QStringLiteral("yMd"));
            return out.isValid();
        }
        const QString order = numericOrder(locale);
        out = numericDate(parts, order);
        if (!out.isValid() && order != QLatin1String("Mdy"))
            out = numericDate(parts, QStringLiteral("Mdy"));
        return out.isValid();
    }
    if (tokens.size() != 3)
        return false;
    int month = 0, year = 0, day = 0;
    for (const QString& t : tokens) {
        if (allDigits(t)) {
            if (t.size() == 4 && !year)
                year = t.toInt();
            else if (t.size() <= 2 && !day)
                day = t.toInt();
            else
                return false;
        } else if (const int m = monthOf(t, locale); m && !month) {
            month = m;
        } else {
            return false;
        }
    }
    if (!month || !year || !day)
        return false;
    out = QDate(year, month, day);
    return out.isValid();
}

bool parseTime(const QString& token, int amPm, QTime& out) {
    static const QRegularExpression re(QStringLiteral("^(\\d{1,2}):(\\d{2})(?::(\\d{2}))?$"));
    const auto m = re.match(token);
    if (!m.hasMatch())
        return false;
    int h = m.captured(1).toInt();
    const int min = m.captured(2).toInt();
    const int sec = m.captured(3).isEmpty() ? 0 : m.captured(3).toInt();
    if (amPm) {
        if (h < 1 || h > 12)
            return false;
        h = (h % 12) + (amPm == 2 ? 12 : 0);
    }
    out = QTime(h, min, sec);
    return out.isValid();
}
} // namespace

DateEntryResult CheckDateEntry(const QString& text, bool allowEmpty, const QLocale& locale) {
    DateEntryResult r;
    QString s = text.trimmed();
    if (s.isEmpty()) {
        if (allowEmpty) {
            r.status = DateEntryResult::Empty;
        } else {
            r.status = DateEntryResult::BadFormat;
            r.message = DateFormatHelpMessage();
        }
        return r;
    }
    static const QRegularExpression isoT(QStringLiteral("^(\\d{4}-\\d{1,2}-\\d{1,2})T"));
    s.replace(isoT, QStringLiteral("\\1 "));
    // "8:30pm": split a time from a directly attached AM/PM word.
    static const QRegularExpression attachedAmPm(
        QStringLiteral("(:\\d{2})([A-Za-z][A-Za-z.]*)(?=[\\s,]|$)"));
    s.replace(attachedAmPm, QStringLiteral("\\1 \\2"));

    static const QRegularExpression splitter(QStringLiteral("[\\s,]+"));
    const QStringList tokens = s.split(splitter, Qt::SkipEmptyParts);
    QString timeToken;
    int amPm = 0;
    QStringList dateTokens;
    bool ok = true;
    for (const QString& t : tokens) {
        if (t.contains(QLatin1Char(':'))) {
            ok = ok && timeToken.isEmpty();
            timeToken = t;
        } else if (const int ap = amPmOf(t, locale)) {
            ok = ok && !amPm;
            amPm = ap;
        } else {
            dateTokens.append(t);
        }
    }
    ok = ok && (!amPm || !timeToken.isEmpty());
    if (ok && !timeToken.isEmpty()) {
        ok = parseTime(timeToken, amPm, r.time);
        r.hasTime = ok;
    }
    if (ok && !dateTokens.isEmpty()) {
        ok = parseDate(dateTokens, locale, r.date);
        r.hasDate = ok;
    }
    if (!ok || (!r.hasDate && !r.hasTime)) {
        r = DateEntryResult();
        r.status = DateEntryResult::BadFormat;
        r.message = DateFormatHelpMessage();
        return r;
    }
    if (r.hasDate) {
        if (r.date.year() < 1970 || r.date.year() > 2035) {
            r.status = DateEntryResult::OutOfRange;
            r.message = DateRangeMessage();
            return r;
        }
        r.value = DbFromLocal(r.date, r.hasTime ? r.time : QTime(0, 0));
    } else {
        // A time alone is a time of day (day 0), not a date: no year to check.
        r.value = DbDateTime(r.time.msecsSinceStartOfDay() / 1000 / 86400.0);
    }
    r.status = DateEntryResult::Ok;
    return r;
}
