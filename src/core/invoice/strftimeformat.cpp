#include "core/invoice/strftimeformat.h"

namespace {

const char* const kDays[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                             "Thursday", "Friday", "Saturday"};
const char* const kMonths[] = {"January",   "February", "March",    "April",
                               "May",       "June",     "July",     "August",
                               "September", "October",  "November", "December"};

QString number(int value, int width, bool noPad, QChar pad = QLatin1Char('0')) {
    if (noPad)
        return QString::number(value);
    return QStringLiteral("%1").arg(value, width, 10, pad);
}

// Week of the year: days before the year's first `firstDay` (0 Sunday, 1 Monday) are week 0.
int weekOfYear(const QDate& date, int firstDay) {
    const int dayOfYear = date.dayOfYear() - 1; // 0-based
    const int weekday = date.dayOfWeek() % 7;   // 0 Sunday
    const int offset = (weekday - firstDay + 7) % 7;
    return (dayOfYear + 7 - offset) / 7;
}

void append(QString& out, QChar conv, QChar flag, const QDateTime& dt) {
    const bool alt = !flag.isNull();
    const QDate d = dt.date();
    const QTime t = dt.time();
    const int weekday = d.dayOfWeek() % 7;
    const int hour12 = t.hour() % 12 == 0 ? 12 : t.hour() % 12;
    switch (conv.unicode()) {
    case 'a':
        out += QLatin1String(kDays[weekday]).left(3);
        break;
    case 'A':
        out += QLatin1String(kDays[weekday]);
        break;
    case 'b':
    case 'h':
        out += QLatin1String(kMonths[d.month() - 1]).left(3);
        break;
    case 'B':
        out += QLatin1String(kMonths[d.month() - 1]);
        break;
    case 'c':
        out += FormatStrftime(alt ? QStringLiteral("%A, %B %#d, %Y %H:%M:%S")
                                  : QStringLiteral("%m/%d/%Y %H:%M:%S"),
                              dt);
        break;
    case 'd':
        out += number(d.day(), 2, alt);
        break;
    case 'e':
        out += number(d.day(), 2, alt, QLatin1Char(' '));
        break;
    case 'D':
        out += FormatStrftime(QStringLiteral("%m/%d/%Y"), dt);
        break;
    case 'F':
        out += FormatStrftime(QStringLiteral("%Y-%m-%d"), dt);
        break;
    case 'H':
        out += number(t.hour(), 2, alt);
        break;
    case 'I':
        out += number(hour12, 2, alt);
        break;
    case 'j':
        out += number(d.dayOfYear(), 3, alt);
        break;
    case 'm':
        out += number(d.month(), 2, alt);
        break;
    case 'M':
        out += number(t.minute(), 2, alt);
        break;
    case 'n':
        out += QLatin1Char('\n');
        break;
    case 'p':
        out += t.hour() < 12 ? QLatin1String("AM") : QLatin1String("PM");
        break;
    case 'R':
        out += FormatStrftime(QStringLiteral("%H:%M"), dt);
        break;
    case 'S':
        out += number(t.second(), 2, alt);
        break;
    case 't':
        out += QLatin1Char('\t');
        break;
    case 'T':
    case 'X':
        out += FormatStrftime(QStringLiteral("%H:%M:%S"), dt);
        break;
    case 'U':
        out += number(weekOfYear(d, 0), 2, alt);
        break;
    case 'w':
        out += QString::number(weekday);
        break;
    case 'W':
        out += number(weekOfYear(d, 1), 2, alt);
        break;
    case 'x':
        out +=
            FormatStrftime(alt ? QStringLiteral("%A, %B %#d, %Y") : QStringLiteral("%m/%d/%Y"), dt);
        break;
    case 'y':
        out += number(d.year() % 100, 2, alt);
        break;
    case 'Y':
        out += QString::number(d.year());
        break;
    case 'z': {
        const int offset = dt.offsetFromUtc();
        const int mag = offset < 0 ? -offset : offset;
        out += (offset < 0 ? QLatin1Char('-') : QLatin1Char('+')) + number(mag / 3600, 2, false) +
               number(mag / 60 % 60, 2, false);
        break;
    }
    case 'Z':
        out += dt.timeZoneAbbreviation();
        break;
    case '%':
        out += QLatin1Char('%');
        break;
    default:
        out += QLatin1Char('%');
        if (alt)
            out += flag;
        out += conv;
        break;
    }
}

} // namespace

QString FormatStrftime(const QString& format, const QDateTime& local) {
    QString out;
    out.reserve(format.size() + 16);
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar c = format.at(i);
        if (c != QLatin1Char('%') || i + 1 >= format.size()) {
            out += c;
            continue;
        }
        QChar flag;
        qsizetype j = i + 1;
        if (format.at(j) == QLatin1Char('#') || format.at(j) == QLatin1Char('-'))
            flag = format.at(j++);
        if (j >= format.size()) { // a flag with nothing after it
            out += format.mid(i);
            break;
        }
        append(out, format.at(j), flag, local);
        i = j;
    }
    return out;
}
