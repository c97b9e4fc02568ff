#include "core/db/datetimeutil.h"

#include <QtTest>
#include <cmath>

// Runs with TZ=Europe/Berlin: summer time from 31 Mar 2024 02:00 (to 03:00) to
// 27 Oct 2024 03:00 (back to 02:00).
class TestDates : public QObject {
    Q_OBJECT

    static qint64 utc(int y, int mo, int d, int h, int mi, int s = 0) {
        return QDateTime(QDate(y, mo, d), QTime(h, mi, s), Qt::UTC).toSecsSinceEpoch();
    }

private slots:
    void initTestCase() {
        QCOMPARE(QDateTime(QDate(2024, 7, 1), QTime(12, 0), Qt::LocalTime).offsetFromUtc(), 7200);
    }

    void engineDays() {
        QCOMPARE(DbFromDate(1899, 12, 30).days(), 0.0);
        QCOMPARE(DbFromDate(1970, 1, 1).days(), kDbDaysTo1970);
        QCOMPARE(DbFromLocal(QDate(1996, 1, 25), QTime(18, 0)).days(), 35089.75);
        // Before the epoch the fraction still counts forward from midnight.
        const DbDateTime before = DbFromLocal(QDate(1899, 12, 29), QTime(6, 0));
        QCOMPARE(before.days(), -1.25);
        QCOMPARE(DbToDate(before), QDate(1899, 12, 29));
        QCOMPARE(DbToTime(before), QTime(6, 0));
        // A fraction that rounds to a full day carries into the next date.
        const DbDateTime almost(35089.0 + 0.9999999);
        QCOMPARE(DbToDate(almost), QDate(1996, 1, 26));
        QCOMPARE(DbToTime(almost), QTime(0, 0));
        QCOMPARE(DbDateOnly(DbDateTime(35089.75)).days(), 35089.0);
        QVERIFY(DbDateOnly(DbDateTime::null()).isNull());
        QVERIFY(!DbToDate(DbDateTime(std::nan(""))).isValid());
        QVERIFY(!DbToDate(DbDateTime(1e12)).isValid());
    }

    void localSecondsRoundTrip_data() {
        QTest::addColumn<QDate>("date");
        QTest::addColumn<QTime>("time");
        QTest::addColumn<qint64>("expected");
        QTest::newRow("winter") << QDate(2024, 1, 15) << QTime(0, 0) << utc(2024, 1, 14, 23, 0);
        QTest::newRow("summer") << QDate(2024, 6, 15) << QTime(12, 0) << utc(2024, 6, 15, 10, 0);
        QTest::newRow("before spring change")
            << QDate(2024, 3, 31) << QTime(1, 59, 59) << utc(2024, 3, 31, 0, 59, 59);
        QTest::newRow("after spring change")
            << QDate(2024, 3, 31) << QTime(3, 0) << utc(2024, 3, 31, 1, 0);
        QTest::newRow("day after spring change")
            << QDate(2024, 4, 1) << QTime(2, 30) << utc(2024, 4, 1, 0, 30);
        QTest::newRow("before autumn change")
            << QDate(2024, 10, 27) << QTime(1, 30) << utc(2024, 10, 26, 23, 30);
        QTest::newRow("after autumn change")
            << QDate(2024, 10, 27) << QTime(3, 0) << utc(2024, 10, 27, 2, 0);
        QTest::newRow("day before autumn change")
            << QDate(2024, 10, 26) << QTime(2, 30) << utc(2024, 10, 26, 0, 30);
        QTest::newRow("1970") << QDate(1970, 1, 1) << QTime(1, 0) << qint64(0);
        QTest::newRow("2035") << QDate(2035, 12, 31) << QTime(23, 59, 59)
                              << utc(2035, 12, 31, 22, 59, 59);
    }
    void localSecondsRoundTrip() {
        QFETCH(QDate, date);
        QFETCH(QTime, time);
        QFETCH(qint64, expected);
        const DbDateTime value = DbFromLocal(date, time);
        QCOMPARE(DbToSeconds(value), std::optional<qint64>(expected));
        QCOMPARE(SecondsToDb(expected).days(), value.days());
        QCOMPARE(DbToDateTime(value).toSecsSinceEpoch(), expected);
        QCOMPARE(DateTimeToDb(QDateTime::fromSecsSinceEpoch(expected, Qt::UTC)).days(),
                 value.days());
    }

    // Every quarter hour through both change days: seconds -> engine value -> seconds is the
    // identity, except for the second pass through the repeated autumn hour, which reads back
    // as its first occurrence.
    void everyQuarterHourAcrossChanges() {
        for (const QDate day : {QDate(2024, 3, 30), QDate(2024, 10, 26)}) {
            const qint64 start = utc(day.year(), day.month(), day.day(), 0, 0);
            for (qint64 s = start; s < start + 3 * 86400; s += 900) {
                const DbDateTime v = SecondsToDb(s);
                const qint64 back = DbToSecondsOr0(v);
                const bool secondPass = s >= utc(2024, 10, 27, 1, 0) && s < utc(2024, 10, 27, 2, 0);
                QCOMPARE(back, secondPass ? s - 3600 : s);
                QCOMPARE(DbToDateTime(v).time(), SecondsToDateTime(s).time());
            }
        }
    }

    void gapAndOverlapAreResolvedDeterministically() {
        // Skipped local time: moved forward by the gap.
        QCOMPARE(LocalToSeconds(QDate(2024, 3, 31), QTime(2, 30)), utc(2024, 3, 31, 1, 30));
        QCOMPARE(DbToDateTime(DbFromLocal(QDate(2024, 3, 31), QTime(2, 30))).time(), QTime(3, 30));
        // Repeated local time: the first (summer time) occurrence.
        QCOMPARE(LocalToSeconds(QDate(2024, 10, 27), QTime(2, 30)), utc(2024, 10, 27, 0, 30));
        // A day across the change has 23 / 25 hours.
        QCOMPARE(LocalToSeconds(QDate(2024, 4, 1), QTime(0, 0)) -
                     LocalToSeconds(QDate(2024, 3, 31), QTime(0, 0)),
                 qint64(23 * 3600));
        QCOMPARE(LocalToSeconds(QDate(2024, 10, 28), QTime(0, 0)) -
                     LocalToSeconds(QDate(2024, 10, 27), QTime(0, 0)),
                 qint64(25 * 3600));
    }

    void earlierThan1970IsNotSet() {
        QCOMPARE(DbToSeconds(DbDateTime::null()), std::nullopt);
        QCOMPARE(DbToSeconds(DbDateTime(0.0)), std::nullopt); // 30 Dec 1899
        QCOMPARE(DbToSeconds(DbFromLocal(QDate(1969, 12, 31), QTime(23, 59, 59))), std::nullopt);
        QCOMPARE(DbToSecondsOr0(DbFromDate(1969, 6, 1)), qint64(0));
        QCOMPARE(DbToSecondsOr0(DbDateTime(std::nan(""))), qint64(0));
        // Midnight of 1 Jan 1970 local time is set (one hour before the epoch here).
        QCOMPARE(DbToSeconds(DbFromDate(1970, 1, 1)), std::optional<qint64>(-3600));
        QVERIFY(!DbToDateTime(DbDateTime::null()).isValid());
        QVERIFY(DateTimeToDb(QDateTime()).isNull());
    }

    void fourDigitYearFormats() {
        QCOMPARE(WithFourDigitYear("M/d/yy"), QString("M/d/yyyy"));
        QCOMPARE(WithFourDigitYear("dd.MM.yy"), QString("dd.MM.yyyy"));
        QCOMPARE(WithFourDigitYear("d MMM yyyy"), QString("d MMM yyyy"));
        QCOMPARE(LocaleDateTimeFormat(QLocale("en_US")), QString("M/d/yyyy h:mm:ss AP"));
        QCOMPARE(LocaleDateTimeFormat(QLocale("de_DE")), QString("dd.MM.yyyy HH:mm:ss"));
        const QDateTime dt(QDate(1996, 1, 25), QTime(20, 30), Qt::LocalTime);
        QCOMPARE(FormatLocalDateTime(dt, QLocale("en_US")), QString("1/25/1996 8:30:00 PM"));
    }

    void dateEntryAccepted_data() {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QDate>("date"); // invalid: a time alone
        QTest::addColumn<QTime>("time"); // invalid: a date alone
        const QDate jan25(1996, 1, 25);
        for (const char* loc : {"C", "en_US", "de_DE", "fr_FR"}) {
            auto row = [&](const char* text) {
                return std::ref(QTest::addRow("%s: %s", loc, text) << QString(loc) << text);
            };
            row("25 January 1996") << jan25 << QTime();
            row("8:30:00") << QDate() << QTime(8, 30);
            row("20:30:00") << QDate() << QTime(20, 30);
            row("January 25, 1996 8:30:00") << jan25 << QTime(8, 30);
            row("8:30:00 Jan. 25, 1996") << jan25 << QTime(8, 30);
            row("1/25/1996") << jan25 << QTime();
            row("1/25/1996 8:30:00") << jan25 << QTime(8, 30);
            row("1996-01-25") << jan25 << QTime();
            row("1996-01-25 08:30:00") << jan25 << QTime(8, 30);
            row("1996-01-25T08:30:00") << jan25 << QTime(8, 30);
            row("  25 january 1996  ") << jan25 << QTime();
            row("Thursday, January 25, 1996") << jan25 << QTime();
            row("1/25/1996 8:30 PM") << jan25 << QTime(20, 30);
            row("12:15am 1/25/1996") << jan25 << QTime(0, 15);
            row("8:30") << QDate() << QTime(8, 30);
            row("1/1/1970") << QDate(1970, 1, 1) << QTime();
            row("12/31/2035 23:59:59") << QDate(2035, 12, 31) << QTime(23, 59, 59);
        }
        // The user's own numeric order and month names.
        QTest::newRow("de numeric") << "de_DE"
                                    << "25.01.1996" << jan25 << QTime();
        QTest::newRow("de short") << "de_DE"
                                  << "2.3.1996 14:05" << QDate(1996, 3, 2) << QTime(14, 5);
        QTest::newRow("de long") << "de_DE"
                                 << "Donnerstag, 25. Januar 1996" << jan25 << QTime();
        QTest::newRow("de month") << "de_DE"
                                  << "3. März 2001" << QDate(2001, 3, 3) << QTime();
        QTest::newRow("us order") << "en_US"
                                  << "2/3/1996" << QDate(1996, 2, 3) << QTime();
        QTest::newRow("fr month") << "fr_FR"
                                  << "25 janvier 1996" << jan25 << QTime();
    }
    void dateEntryAccepted() {
        QFETCH(QString, locale);
        QFETCH(QString, text);
        QFETCH(QDate, date);
        QFETCH(QTime, time);
        const DateEntryResult r = CheckDateEntry(text, false, QLocale(locale));
        QVERIFY2(r.status == DateEntryResult::Ok, qPrintable(r.message));
        QVERIFY(r.message.isEmpty());
        QCOMPARE(r.hasDate, date.isValid());
        QCOMPARE(r.hasTime, time.isValid());
        if (date.isValid()) {
            QCOMPARE(r.date, date);
            QCOMPARE(DbToDate(r.value), date);
            QCOMPARE(DbToTime(r.value), time.isValid() ? time : QTime(0, 0));
        } else {
            // A time alone is a time of day on day 0.
            QCOMPARE(r.value.days(), time.msecsSinceStartOfDay() / 86400000.0);
        }
    }

    void dateEntryRefused_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("status");
        const int range = DateEntryResult::OutOfRange;
        const int format = DateEntryResult::BadFormat;
        QTest::newRow("1969") << "12/31/1969" << range;
        QTest::newRow("1969 iso") << "1969-12-31 23:59:59" << range;
        QTest::newRow("2036") << "1/1/2036" << range;
        QTest::newRow("2036 words") << "January 1, 2036" << range;
        QTest::newRow("year 0100") << "1/1/0100" << range;
        QTest::newRow("garbage") << "hello" << format;
        QTest::newRow("two-digit year") << "1/25/96" << format;
        QTest::newRow("two-digit year words") << "25 January 96" << format;
        QTest::newRow("five-digit year") << "1/25/19960" << format;
        QTest::newRow("no such day") << "2/30/1996" << format;
        QTest::newRow("no such month") << "13/13/1996" << format;
        QTest::newRow("hour 25") << "25:00" << format;
        QTest::newRow("minute 60") << "8:60" << format;
        QTest::newRow("13 PM") << "13:00 PM" << format;
        QTest::newRow("AM without time") << "1/25/1996 AM" << format;
        QTest::newRow("two times") << "8:30 9:30" << format;
        QTest::newRow("two months") << "January February 1996" << format;
        QTest::newRow("missing day") << "January 1996" << format;
        QTest::newRow("trailing junk") << "1/25/1996 x" << format;
        QTest::newRow("blank only") << "   " << format;
    }
    void dateEntryRefused() {
        QFETCH(QString, text);
        QFETCH(int, status);
        const DateEntryResult r = CheckDateEntry(text, false, QLocale(QLocale::C));
        QCOMPARE(int(r.status), status);
        QVERIFY(!r.accepted());
        // A bad form is answered with the list of forms; a date out of range with the range.
        QCOMPARE(r.message == DateFormatHelpMessage(), status == DateEntryResult::BadFormat);
        QVERIFY(!r.message.isEmpty());
    }

    void emptyEntry() {
        const DateEntryResult allowed = CheckDateEntry("", true);
        QCOMPARE(allowed.status, DateEntryResult::Empty);
        QVERIFY(allowed.accepted());
        QVERIFY(allowed.value.isNull());
        QCOMPARE(CheckDateEntry("  ", true).status, DateEntryResult::Empty);
        const DateEntryResult refused = CheckDateEntry("", false);
        QCOMPARE(refused.status, DateEntryResult::BadFormat);
        QCOMPARE(refused.message, DateFormatHelpMessage());
    }

    void systemLocaleIsUsedByDefault() {
        // Whatever the test machine's locale, the forms of the help text pass.
        QVERIFY(CheckDateEntry("1/25/1996 8:30:00", false).accepted());
        QVERIFY(CheckDateEntry("25 January 1996", false).accepted());
    }
};

QTEST_GUILESS_MAIN(TestDates)
#include "tst_dates.moc"
