// The accounting-log parser without a database: record cutting, timestamps, the token walk
// and field rules of the three dialects, and the session arithmetic.
#include "common/radiusdetail.h"
#include "core/db/datetimeutil.h"
#include "core/db/eventrecord.h"
#include "core/import/importcodes.h"
#include "core/import/logrecordparser.h"
#include "core/import/logrecordreader.h"

#include <QBuffer>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

QList<QByteArray> cutRecords(const QByteArray& data, const QByteArray& delim, qsizetype piece,
                             qsizetype limit = CLogRecordReader::kDefaultRecordLimit,
                             QList<bool>* oversized = nullptr, qsizetype* peak = nullptr) {
    QBuffer buf;
    buf.setData(data);
    buf.open(QIODevice::ReadOnly);
    CLogRecordReader reader(buf, delim, piece, limit);
    QList<QByteArray> out;
    QByteArrayView rec;
    while (reader.next(rec) == CLogRecordReader::Status::Record) {
        out.append(rec.toByteArray());
        if (oversized)
            oversized->append(reader.oversized());
    }
    if (peak)
        *peak = reader.peakPending();
    return out;
}

const QDateTime kWhen(QDate(2023, 6, 15), QTime(12, 0, 0));

RadiusDetailSession session(const QDateTime& when = kWhen) {
    RadiusDetailSession s;
    s.written = when;
    return s;
}

// Whether a RADIUS detail record is stored, and as which row.
bool storedRow(const RadiusDetailSession& s, EventRow& row) {
    return SessionToEventRow(ParseLogRecord(RadiusDetailRecord(s), AUTH_RADIUS, false, 2024), 1,
                             row);
}

} // namespace

class TestLogParser : public QObject {
    Q_OBJECT
private slots:
    void readerCutsRecordsWhateverThePieceSize_data() {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QByteArray>("delim");
        QTest::addColumn<QList<QByteArray>>("records");
        const QList<QByteArray> two = {"a\nb", "c"};
        QTest::newRow("crlf blank line")
            << QByteArray("a\r\nb\r\n\r\nc\r\n\r\n") << QByteArray("\n\n") << two;
        QTest::newRow("lf blank line") << QByteArray("a\nb\n\nc\n\n") << QByteArray("\n\n") << two;
        QTest::newRow("text after the last delimiter is dropped")
            << QByteArray("a\nb\n\nc\n\nd\ne\n") << QByteArray("\n\n") << two;
        // "\r\n\r\n\r\n" is a delimiter and the start of the next record; two blank lines more
        // make an empty record.
        QTest::newRow("extra blank lines") << QByteArray("a\r\n\r\n\r\n\r\nc\r\n\r\n")
                                           << QByteArray("\n\n") << QList<QByteArray>{"a", "", "c"};
        QTest::newRow("bare CR stays")
            << QByteArray("a\rb\r\nc\r\n") << QByteArray("\n") << QList<QByteArray>{"a\rb", "c"};
        QTest::newRow("CR at the very end")
            << QByteArray("a\nb\r") << QByteArray("\n") << QList<QByteArray>{"a"};
        QTest::newRow("no delimiter at all")
            << QByteArray("abc") << QByteArray("\n") << QList<QByteArray>{};
    }
    void readerCutsRecordsWhateverThePieceSize() {
        QFETCH(QByteArray, data);
        QFETCH(QByteArray, delim);
        QFETCH(QList<QByteArray>, records);
        for (qsizetype piece : {1, 2, 3, 5, 127, 65536})
            QCOMPARE(cutRecords(data, delim, piece), records);
    }

    void readerBoundsAnOversizedRecord() {
        // 3 MB without a delimiter, then a delimiter and a normal record.
        QByteArray data(3 * 1024 * 1024, 'x');
        data += "\n\nok\n\n";
        QList<bool> over;
        qsizetype peak = 0;
        const QList<QByteArray> recs = cutRecords(data, "\n\n", 4096, 64 * 1024, &over, &peak);
        QCOMPARE(recs, (QList<QByteArray>{"", "ok"}));
        QCOMPARE(over, (QList<bool>{true, false}));
        QVERIFY2(peak <= 64 * 1024 + 2 * 4096, qPrintable(QString::number(peak)));
    }

    // ctime stamps of RADIUS detail files, and the dates of UNet and Telebit lines (the year
    // of syslog stamps is 2024); an invalid expected date: not a timestamp.
    void timestamps_data() {
        QTest::addColumn<bool>("ctime");
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QDateTime>("expected");
        const struct {
            const char* tag;
            bool ctime;
            const char* text;
            QDateTime expected;
        } rows[] = {
            {"padded day", true, "Wed Dec  3 10:22:33 1997", {{1997, 12, 3}, {10, 22, 33}}},
            {"two-digit day", true, "Thu Jun 15 23:59:59 2023", {{2023, 6, 15}, {23, 59, 59}}},
            {"unknown month is January",
             true,
             "Wed Xyz  3 10:22:33 1997",
             {{1997, 1, 3}, {10, 22, 33}}},
            {"31 February", true, "Wed Feb 31 10:22:33 1997", {}},
            {"hour 25", true, "Wed Feb  3 25:22:33 1997", {}},
            {"too short", true, "Wed Dec  3 10:22", {}},
            {"attribute line", true, "Acct-Session-Id = \"35000006\"", {}},
            {"empty", true, "", {}},
            {"MM/DD/YYYY", false, "03/12/1998 10:22:33", {{1998, 3, 12}, {10, 22, 33}}},
            {"M/D/YY PM", false, "3/2/98 1:05:00 PM", {{1998, 3, 2}, {13, 5, 0}}},
            {"ISO", false, "1998-03-12 10:22:33", {{1998, 3, 12}, {10, 22, 33}}},
            {"DD.MM.YYYY", false, "12.03.1998 10:22", {{1998, 3, 12}, {10, 22, 0}}},
            {"syslog, current year", false, "Mar 12 10:22:33", {{2024, 3, 12}, {10, 22, 33}}},
            {"month 13", false, "13/12/1998 10:22:33", {}},
            {"host name", false, "10:22:33 tbhost", {}},
            {"words", false, "user joe", {}},
        };
        for (const auto& r : rows)
            QTest::newRow(r.tag) << r.ctime << QByteArray(r.text) << r.expected;
    }
    void timestamps() {
        QFETCH(bool, ctime);
        QFETCH(QByteArray, text);
        QFETCH(QDateTime, expected);
        const auto ts =
            ctime ? ParseCtimeTimestamp(text) : ParseLogDateTime(text, 2024, QLocale::c());
        QCOMPARE(ts.has_value(), expected.isValid());
        if (ts) {
            QCOMPARE(ts->date, expected.date());
            QCOMPARE(ts->time, expected.time());
        }
    }

    void logNumber_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<qint32>("value");
        QTest::newRow("plain") << QByteArray("60") << 60;
        QTest::newRow("leading blanks, sign") << QByteArray("  -42x") << -42;
        QTest::newRow("no digits") << QByteArray("abc") << 0;
        QTest::newRow("empty") << QByteArray() << 0;
        QTest::newRow("beyond 32 bits") << QByteArray("99999999999999999999999") << INT_MAX;
        QTest::newRow("below 32 bits") << QByteArray("-99999999999999999999999") << INT_MIN;
        QTest::newRow("2^32") << QByteArray("4294967296") << INT_MAX;
    }
    void logNumber() {
        QFETCH(QByteArray, text);
        QFETCH(qint32, value);
        QCOMPARE(LogNumber(text), value);
    }

    void radiusFields() {
        RadiusDetailSession s = session();
        s.sessionTime = 3661;
        s.inputOctets = u"1234"_s;
        s.outputOctets = u"5678"_s;
        s.disconnectCause = u"45"_s;
        const QByteArray rec = RadiusDetailRecord(s).chopped(2); // without the blank line
        const LogSession ls = ParseLogRecord(rec, AUTH_RADIUS, false, 2024);
        QCOMPARE(ls.username, u"bob"_s);
        QCOMPARE(ls.port, u"12"_s); // NAS-Port-Type = Async does not count
        QCOMPARE(ls.sessionId, u"4D2B0B5A00000001"_s);
        QCOMPARE(ls.status, QByteArray("Stop"));
        QCOMPARE(ls.sent, 1234);
        QCOMPARE(ls.received, 5678);
        QCOMPARE(ls.reason, u"45"_s);
        QVERIFY(!ls.skip);

        EventRow row;
        QVERIFY(SessionToEventRow(ls, 7, row));
        QCOMPARE(row.ServerId, 7);
        QCOMPARE(row.DisconnectDate, DbFromLocal(kWhen.date(), kWhen.time()));
        QCOMPARE(row.ConnectDate, DbFromLocal(kWhen.date(), QTime(10, 58, 59)));
        QCOMPARE(row.Hours, 1);
        QCOMPARE(row.Minutes, 1);
        QCOMPARE(row.Seconds, 1);

        // More than a day splits into hours, minutes, seconds.
        s.sessionTime = 86400 + 3600 + 60 + 1;
        QVERIFY(storedRow(s, row));
        QCOMPARE(row.Hours, 25);
        QCOMPARE(row.Minutes, 1);
        QCOMPARE(row.Seconds, 1);
        QCOMPARE(row.ConnectDate, DbFromLocal(QDate(2023, 6, 14), QTime(10, 58, 59)));
    }

    void radiusSkipsAndRejects_data() {
        QTest::addColumn<QString>("status");
        QTest::addColumn<qint64>("sessionTime");
        QTest::addColumn<QString>("nasPort");
        QTest::addColumn<bool>("stored");
        QTest::newRow("Stop") << "Stop" << qint64(60) << "12" << true;
        QTest::newRow("stop in lower case") << "stop" << qint64(60) << "12" << true;
        QTest::newRow("Start") << "Start" << qint64(60) << "12" << false;
        QTest::newRow("Interim-Update") << "Interim-Update" << qint64(60) << "12" << false;
        QTest::newRow("no session time") << "Stop" << qint64(-1) << "12" << false;
        QTest::newRow("no NAS-Port line still stored") << "Stop" << qint64(60) << "" << true;
        QTest::newRow("session time beyond the hours field")
            << "Stop" << qint64(4294967296LL) << "12" << false;
    }
    void radiusSkipsAndRejects() {
        QFETCH(QString, status);
        QFETCH(qint64, sessionTime);
        QFETCH(QString, nasPort);
        QFETCH(bool, stored);
        RadiusDetailSession s = session();
        s.status = status;
        s.sessionTime = sessionTime;
        s.nasPort = nasPort;
        if (status == u"Interim-Update"_s)
            s.sessionTime = 60;
        const LogSession ls = ParseLogRecord(RadiusDetailRecord(s), AUTH_RADIUS, false, 2024);
        EventRow row;
        QCOMPARE(SessionToEventRow(ls, 1, row), stored);
        if (nasPort.isEmpty())
            QCOMPARE(ls.port, QString());
    }

    void stripPrefixes_data() {
        QTest::addColumn<int>("system");
        QTest::addColumn<QByteArray>("record");
        QTest::addColumn<bool>("strip");
        QTest::addColumn<QString>("user");
        RadiusDetailSession s = session();
        s.user = u"Pjohn"_s;
        s.framedProtocol.clear();
        s.extra = {{u"Framed-Protocol"_s, u"PPP"_s}}; // after User-Name
        const QByteArray radius = RadiusDetailRecord(s);
        QTest::newRow("radius on") << int(AUTH_RADIUS) << radius << true << "john";
        QTest::newRow("radius off") << int(AUTH_RADIUS) << radius << false << "Pjohn";
        s.extra = {{u"Framed-Protocol"_s, u"SLIP"_s}};
        QTest::newRow("radius SLIP") << int(AUTH_RADIUS) << RadiusDetailRecord(s) << true << "john";
        s.extra = {{u"Framed-Protocol"_s, u"ARAP"_s}};
        QTest::newRow("radius ARAP")
            << int(AUTH_RADIUS) << RadiusDetailRecord(s) << true << "Pjohn";
        const QByteArray unet =
            "03/12/1998 10:22:33 user Sjoe Framed-Protocol=SLIP stop Acct-Session-Time=60";
        QTest::newRow("unet on") << int(AUTH_UNET) << unet << true << "joe";
        QTest::newRow("unet off") << int(AUTH_UNET) << unet << false << "Sjoe";
    }
    void stripPrefixes() {
        QFETCH(int, system);
        QFETCH(QByteArray, record);
        QFETCH(bool, strip);
        QFETCH(QString, user);
        QCOMPARE(ParseLogRecord(record, system, strip, 2024).username, user);
    }

    void delayMovesBothDatesBack() {
        RadiusDetailSession s = session();
        EventRow plain, delayed;
        QVERIFY(storedRow(s, plain));
        s.delay = 30;
        QVERIFY(storedRow(s, delayed));
        QCOMPARE(DbToSecondsOr0(plain.DisconnectDate) - DbToSecondsOr0(delayed.DisconnectDate), 30);
        QCOMPARE(DbToSecondsOr0(plain.ConnectDate) - DbToSecondsOr0(delayed.ConnectDate), 30);
        QCOMPARE(delayed.DisconnectDate, DbFromLocal(kWhen.date(), QTime(11, 59, 30)));
    }

    void timestampOnlyAfterGarbage() {
        // Fields before the timestamp are not recognised; the first valid line is the timestamp.
        const QByteArray rec = "\tUser-Name = \"early\"\nnot a date\nWed Dec  3 10:22:33 1997\n"
                               "\tUser-Name = \"late\"\n\tAcct-Status-Type = Stop\n"
                               "\tAcct-Session-Time = 5";
        const LogSession ls = ParseLogRecord(rec, AUTH_RADIUS, false, 2024);
        QCOMPARE(ls.username, u"late"_s);
        QVERIFY(ls.timestamp);
        QCOMPARE(ls.timestamp->date, QDate(1997, 12, 3));
    }

    // UNet and Telebit lines: user and port found, and when stored, the session's length and
    // end (UNet lines on 12 March 1998 10:22:33, Telebit ones on 12 March of 2024).
    void dialectLines_data() {
        QTest::addColumn<int>("system");
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<bool>("stored");
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("port");
        QTest::addColumn<int>("seconds");
        const int unet = AUTH_UNET, tb = AUTH_TELEBIT;
        const struct {
            const char* tag;
            int system;
            const char* line;
            bool stored;
            const char* user;
            const char* port;
            int seconds;
        } rows[] = {
            {"unet: user, stop, session time", unet,
             "03/12/1998 10:22:33 user joe stop Acct-Session-Time=60", true, "joe", "", 60},
            {"unet: commas, port, ISO date", unet,
             "1998-03-12,10:22:33,port,S12,user,ann,stop,Acct-Session-Time=90", true, "ann", "S12",
             90},
            {"unet: start", unet, "03/12/1998 10:22:33 user joe start Acct-Session-Time=60", false,
             "joe", "", 60},
            {"unet: request", unet, "03/12/1998 10:22:33 request user joe stop", false, "", "", 0},
            {"unet: no session time", unet, "03/12/1998 10:22:33 user joe stop", false, "joe", "",
             0},
            {"unet: user at the end", unet, "03/12/1998 10:22:33 stop user", false, "", "", 0},
            {"unet: session time without =", unet,
             "03/12/1998 10:22:33 user joe stop Acct-Session-Time", false, "joe", "", 0},
            {"telebit: good", tb,
             "Mar 12 10:22:33 tbhost syslog: joe on S7 hung up after call for 300", true, "joe",
             "S7", 300},
            {"telebit: syslog in capitals", tb,
             "Mar 12 10:22:33 tbhost SYSLOG: joe ON S7 hung up after call FOR 300", true, "joe",
             "S7", 300},
            {"telebit: fifth word is not for", tb,
             "Mar 12 10:22:33 tbhost syslog: joe on S7 hung up after the call 300", false, "joe",
             "S7", 0},
            {"telebit: not on", tb, "Mar 12 10:22:33 tbhost syslog: joe at S7 a b c d for 300",
             false, "joe", "", 0},
            {"telebit: not syslog:", tb, "Mar 12 10:22:33 tbhost kernel: joe on S7 a b c d for 300",
             false, "", "", 0},
            {"telebit: cut short", tb, "Mar 12 10:22:33 tbhost syslog: joe on", false, "joe", "",
             0},
        };
        for (const auto& r : rows)
            QTest::newRow(r.tag) << r.system << QByteArray(r.line) << r.stored
                                 << QString::fromLatin1(r.user) << QString::fromLatin1(r.port)
                                 << r.seconds;
    }
    void dialectLines() {
        QFETCH(int, system);
        QFETCH(QByteArray, line);
        QFETCH(bool, stored);
        QFETCH(QString, user);
        QFETCH(QString, port);
        QFETCH(int, seconds);
        const LogSession ls = ParseLogRecord(line, system, false, 2024);
        QCOMPARE(ls.username, user);
        QCOMPARE(ls.port, port);
        EventRow row;
        QCOMPARE(SessionToEventRow(ls, 1, row), stored);
        if (stored) {
            QCOMPARE(row.Minutes * 60 + row.Seconds, seconds);
            const int year = system == AUTH_UNET ? 1998 : 2024;
            QCOMPARE(row.DisconnectDate, DbFromLocal(QDate(year, 3, 12), QTime(10, 22, 33)));
        }
    }

    void decodesUtf8AndWindows1252() {
        QCOMPARE(DecodeLogText("j\xc3\xbcrgen"), u"j\u00fcrgen"_s);
        QCOMPARE(DecodeLogText("j\xfcrgen \x80"), u"j\u00fcrgen \u20ac"_s);
        // A name is cut to 20 characters, not bytes.
        const QByteArray rec = "Wed Dec  3 10:22:33 1997\n\tUser-Name = \"" +
                               QByteArray("\xc3\xbc").repeated(25) + "\"";
        QCOMPARE(ParseLogRecord(rec, AUTH_RADIUS, false, 2024).username, QString(20, QChar(0xfc)));
    }
};

QTEST_GUILESS_MAIN(TestLogParser)
#include "tst_logparser.moc"
