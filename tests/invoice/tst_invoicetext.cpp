// The pieces of invoice text: strftime dates, message wrapping, the label sets as
// Windows-1252 bytes, amounts in the user's number form, the logo reference.
#include "core/app/cp1252.h"
#include "core/invoice/invoiceformat.h"
#include "core/invoice/invoicelabels.h"
#include "core/invoice/invoicerep.h"
#include "core/invoice/logoref.h"
#include "core/invoice/strftimeformat.h"

#include <QDir>
#include <QTest>

using namespace Qt::StringLiterals;

class TestInvoiceText : public QObject {
    Q_OBJECT

private slots:
    void strftime_data() {
        QTest::addColumn<QString>("format");
        QTest::addColumn<QDateTime>("when");
        QTest::addColumn<QString>("expected");
        const QDateTime morning(QDate(2024, 3, 4), QTime(9, 5, 7));    // a Monday
        const QDateTime evening(QDate(2024, 12, 31), QTime(23, 0, 0)); // a Tuesday
        QTest::newRow("stored plan format")
            << QString("%m/%d/%Y %H:%M") << morning << QString("03/04/2024 09:05");
        QTest::newRow("no leading zeros")
            << QString("%#m/%#d/%Y %#H:%#M:%#S") << morning << QString("3/4/2024 9:5:7");
        QTest::newRow("POSIX no-pad flag") << QString("%-d.%-m.") << morning << QString("4.3.");
        QTest::newRow("12-hour clock")
            << QString("%I:%M %p|%#I %p") << evening << QString("11:00 PM|11 PM");
        QTest::newRow("midnight") << QString("%I %p / %I %p")
                                  << QDateTime(QDate(2024, 1, 1), QTime(0, 0))
                                  << QString("12 AM / 12 AM");
        QTest::newRow("names") << QString("%a %A %b %B %h") << morning
                               << QString("Mon Monday Mar March Mar");
        QTest::newRow("two-digit year as asked")
            << QString("%y %#y") << QDateTime(QDate(2005, 1, 1), QTime()) << QString("05 5");
        QTest::newRow("date and time forms, four-digit year")
            << QString("%x|%X|%c") << morning << QString("03/04/2024|09:05:07|03/04/2024 09:05:07");
        QTest::newRow("long forms")
            << QString("%#x|%#c") << morning
            << QString("Monday, March 4, 2024|Monday, March 4, 2024 09:05:07");
        QTest::newRow("day of year and weeks")
            << QString("%j %#j %U %W %w") << evening << QString("366 366 52 53 2");
        QTest::newRow("week 0 before the first Sunday")
            << QString("%U %W") << QDateTime(QDate(2023, 1, 1), QTime()) << QString("01 00");
        QTest::newRow("percent and unknown")
            << QString("100%% %Q %#Q") << morning << QString("100% %Q %#Q");
        QTest::newRow("trailing percent") << QString("abc%") << morning << QString("abc%");
        QTest::newRow("POSIX forms") << QString("%F %T %R %D %e") << morning
                                     << QString("2024-03-04 09:05:07 09:05 03/04/2024  4");
        QTest::newRow("empty") << QString("") << morning << QString("");
    }
    void strftime() {
        QFETCH(QString, format);
        QFETCH(QDateTime, when);
        QFETCH(QString, expected);
        QCOMPARE(FormatStrftime(format, when), expected);
    }

    void wrap_data() {
        QTest::addColumn<QByteArray>("message");
        QTest::addColumn<QByteArray>("expected");
        const QByteArray word10 = "abcdefghi ";      // 10 characters with its blank
        const QByteArray seven = word10.repeated(7); // 70
        QTest::newRow("short") << QByteArray("Hello there") << QByteArray("Hello there");
        QTest::newRow("fits exactly 76") << seven + "abcde " << seven + "abcde ";
        QTest::newRow("one more wraps") << seven + "abcdef " + "x" << seven + "\r\nabcdef x";
        QTest::newRow("76 without a trailing blank") << seven + "abcdef" << seven + "abcdef";
        const QByteArray longWord(90, 'w');
        QTest::newRow("long word kept whole") << QByteArray("start ") + longWord + " end"
                                              << QByteArray("start \r\n") + longWord + " \r\nend";
        QTest::newRow("long word first") << longWord + " end" << longWord + " \r\nend";
        QTest::newRow("leading blanks")
            << QByteArray("   indented text") << QByteArray("   indented text");
        // Line breaks of the message are kept; the count starts again after them.
        QTest::newRow("line breaks restart the count")
            << seven + "\r\n" + seven + "\r\nend" << seven + "\r\n" + seven + "\r\nend";
        QTest::newRow("bare line feeds") << seven + "\n" + seven << seven + "\n" + seven;
        QTest::newRow("tabs are blanks") << seven + "abcde\tzz" << seven + "abcde\t\r\nzz";
        QTest::newRow("empty") << QByteArray() << QByteArray();
    }
    void wrap() {
        QFETCH(QByteArray, message);
        QFETCH(QByteArray, expected);
        const QByteArray wrapped = CInvoiceRep::WrapMessage(message);
        QCOMPARE(wrapped, expected);
        // Nothing is lost: removing the inserted line ends gives the message back.
        QByteArray back = wrapped;
        QCOMPARE(back.replace("\r\n", "").size(), QByteArray(message).replace("\r\n", "").size());
    }

    void messageHtml() {
        QCOMPARE(CInvoiceRep::MessageToHtml("a\r\nb\nc <i>x</i>\r\n\r\nd\re"),
                 QByteArray("a<BR>b<BR>c <i>x</i><BR><BR>d<BR>e"));
        QCOMPARE(CInvoiceRep::EscapeHtml("<b>&\"x\"'"), QByteArray("&lt;b&gt;&amp;&quot;x&quot;'"));
    }

    void labels() {
        // Unknown codes are English.
        QCOMPARE(&InvoiceLabelsFor(-1), &InvoiceLabelsFor(0));
        QCOMPARE(&InvoiceLabelsFor(4), &InvoiceLabelsFor(0));
        // Every label of every set is filled and fits the character set.
        for (int lang = 0; lang < 4; ++lang) {
            const InvoiceLabels& l = InvoiceLabelsFor(lang);
            for (const QString* s : {&l.title,
                                     &l.period,
                                     &l.invoiceDate,
                                     &l.invoiceNumber,
                                     &l.to,
                                     &l.connectDate,
                                     &l.disconnectDate,
                                     &l.timeOn,
                                     &l.sent,
                                     &l.received,
                                     &l.totals,
                                     &l.minimum,
                                     &l.prepaid,
                                     &l.previousBalance,
                                     &l.newBalance,
                                     &l.subtotal,
                                     &l.gross,
                                     &l.prepaying,
                                     &l.newCharges,
                                     &l.at,
                                     &l.per,
                                     &l.of,
                                     &l.payments,
                                     &l.credit}) {
                QVERIFY(!s->isEmpty());
                QVERIFY(IsCp1252(*s));
            }
        }
    }

    void amounts_data() {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<int>("decimals");
        QTest::addColumn<qint64>("units");
        QTest::addColumn<QByteArray>("expected"); // Windows-1252
        const QLocale us(QLocale::English, QLocale::UnitedStates);
        const QLocale de(QLocale::German, QLocale::Germany);
        const QLocale fr(QLocale::French, QLocale::France);
        QTest::newRow("us") << us << 2 << qint64(12345675) << QByteArray("1,234.57");
        QTest::newRow("us negative") << us << 2 << qint64(-12345675) << QByteArray("-1,234.57");
        QTest::newRow("us millions")
            << us << 2 << qint64(77777777700) << QByteArray("7,777,777.77");
        QTest::newRow("us small") << us << 2 << qint64(500) << QByteArray("0.05");
        QTest::newRow("no decimals") << us << 0 << qint64(15000) << QByteArray("2");
        QTest::newRow("three decimals") << us << 3 << qint64(12345) << QByteArray("1.235");
        QTest::newRow("de") << de << 2 << qint64(12345600) << QByteArray("1.234,56");
        QTest::newRow("fr, no-break space") << fr << 2 << qint64(-12345600)
                                            << QByteArray("-1\xa0"
                                                          "234,56");
        QLocale plain = us;
        plain.setNumberOptions(QLocale::OmitGroupSeparator);
        QTest::newRow("grouping off") << plain << 2 << qint64(12345600) << QByteArray("1234.56");
    }
    void amounts() {
        QFETCH(QLocale, locale);
        QFETCH(int, decimals);
        QFETCH(qint64, units);
        QFETCH(QByteArray, expected);
        const InvoiceNumberFormat format{locale, decimals};
        QCOMPARE(EncodeCp1252(FormatCurrencyNumber(Currency::fromUnits(units), format)), expected);
    }

    void headDates() {
        const QLocale us(QLocale::English, QLocale::UnitedStates);
        QCOMPARE(FormatInvoiceHeadDate(QDateTime(QDate(2024, 4, 2), QTime(0, 0)), us),
                 u"4/2/2024"_s);
        const QString withTime =
            FormatInvoiceHeadDate(QDateTime(QDate(2024, 4, 2), QTime(0, 0, 1)), us);
        QVERIFY2(withTime.startsWith(u"4/2/2024 12:00:01"_s), qPrintable(withTime));
        // Four-digit years even where the locale's short form has two.
        QCOMPARE(FormatInvoiceHeadDate(QDateTime(QDate(2024, 4, 2), QTime(0, 0)),
                                       QLocale(QLocale::German, QLocale::Germany)),
                 u"02.04.2024"_s);
        QCOMPARE(FormatInvoiceHeadDate(QDateTime(), us), QString());
    }

    void logoReference() {
        QCOMPARE(LogoReference(u"/opt/tk/logo.gif"_s), u"/opt/tk/logo.gif"_s);
        const QString odd = LogoReference(u"/srv/my logos/\"new\" <co>#1%.jpg"_s);
        QCOMPARE(odd, u"/srv/my%20logos/%22new%22%20%3Cco%3E%231%25.jpg"_s);
        QCOMPARE(LogoReference(u"/srv/Logo-\u00e9t\u00e9.gif"_s), u"/srv/Logo-%C3%A9t%C3%A9.gif"_s);
        // A relative path is made absolute.
        QCOMPARE(LogoReference(u"logo.gif"_s), QString::fromLatin1(QUrl::toPercentEncoding(
                                                   QDir::currentPath() + "/logo.gif", "/")));
        QCOMPARE(LogoReference(QString()), QString());
        // The text is a valid file URL for the path.
        const QString path = u"/srv/my logos/a&b.gif"_s;
        QCOMPARE(QUrl(u"file://"_s + LogoReference(path)).toLocalFile(), path);
    }
};

QTEST_GUILESS_MAIN(TestInvoiceText)
#include "tst_invoicetext.moc"
