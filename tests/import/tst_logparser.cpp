// The accounting-log parser without a database: record cutting, timestamps, the token walk
// and field rules of the three dialects, and the session arithmetic.
#include "core/db/datetimeutil.h"
#include "core/db/eventrecord.h"
#include "core/import/importcodes.h"
#include "core/import/logrecordparser.h"
#include "core/import/logrecordreader.h"
#include "common/radiusdetail.h"

#include <QBuffer>
#include <QtTest>

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

RadiusDetailSession session(const QDateTime& when) {
    RadiusDetailSession s;
    s.written = when;
    return s;
}

const QDateTime kWhen(QDate(2023, 6, 15), QTime(12, 0, 0));

} // namespace

class TestLogParser : public QObject {
    Q_OBJECT
private slots:
    void readerCutsRecordsWhateverThePieceSize_data();
    void readerCutsRecordsWhateverThePieceSize();
    void readerBoundsAnOversizedRecord();
    void ctimeTimestamp_data();
    void ctimeTimestamp();
    void syslogTimestamp_data();
    void syslogTimestamp();
    void logNumber_data();
    void logNumber();
    void radiusFields();
    void radiusSkipsAndRejects_data();
    void radiusSkipsAndRejects();
    void stripPrefixes_data();
    void stripPrefixes();
    void sessionTimeSplitsIntoHoursMinutesSeconds();
    void delayMovesBothDatesBack();
    void timestampOnlyAfterGarbage();
    void unetLines_data();
    void unetLines();
    void telebitLines_data();
    void telebitLines();
    void decodesUtf8AndWindows1252();
};

void TestLogParser::readerCutsRecordsWhateverThePieceSize_data() {
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

void TestLogParser::readerCutsRecordsWhateverThePieceSize() {
    QFETCH(QByteArray, data);
    QFETCH(QByteArray, delim);
    QFETCH(QList<QByteArray>, records);
    for (qsizetype piece : {1, 2, 3, 5, 127, 65536})
        QCOMPARE(cutRecords(data, delim, piece), records);
}

void TestLogParser::readerBoundsAnOversizedRecord() {
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

void TestLogParser::ctimeTimestamp_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QDateTime>("expected"); // invalid: not a timestamp
    QTest::newRow("padded day") << QByteArray("Wed Dec  3 10:22:33 1997")
                                << QDateTime(QDate(1997, 12, 3), QTime(10, 22, 33));
    QTest::newRow("two-digit day") << QByteArray("Thu Jun 15 23:59:59 2023")
                                   << QDateTime(QDate(2023, 6, 15), QTime(23, 59, 59));
    QTest::newRow("unknown month is January") << QByteArray("Wed Xyz  3 10:22:33 1997")
                                              << QDateTime(QDate(1997, 1, 3), QTime(10, 22, 33));
    QTest::newRow("31 February") << QByteArray("Wed Feb 31 10:22:33 1997") << QDateTime();
    QTest::newRow("hour 25") << QByteArray("Wed Feb  3 25:22:33 1997") << QDateTime();
    QTest::newRow("too short") << QByteArray("Wed Dec  3 10:22") << QDateTime();
    QTest::newRow("attribute line") << QByteArray("Acct-Session-Id = \"35000006\"") << QDateTime();
    QTest::newRow("empty") << QByteArray() << QDateTime();
}

void TestLogParser::ctimeTimestamp() {
    QFETCH(QByteArray, text);
    QFETCH(QDateTime, expected);
    const auto ts = ParseCtimeTimestamp(text);
    QCOMPARE(ts.has_value(), expected.isValid());
    if (ts) {
        QCOMPARE(ts->date, expected.date());
        QCOMPARE(ts->time, expected.time());
    }
}

void TestLogParser::syslogTimestamp_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QDateTime>("expected");
    QTest::newRow("MM/DD/YYYY") << QByteArray("03/12/1998 10:22:33")
                                << QDateTime(QDate(1998, 3, 12), QTime(10, 22, 33));
    QTest::newRow("M/D/YY PM") << QByteArray("3/2/98 1:05:00 PM")
                               << QDateTime(QDate(1998, 3, 2), QTime(13, 5, 0));
    QTest::newRow("ISO") << QByteArray("1998-03-12 10:22:33")
                         << QDateTime(QDate(1998, 3, 12), QTime(10, 22, 33));
    QTest::newRow("DD.MM.YYYY") << QByteArray("12.03.1998 10:22")
                                << QDateTime(QDate(1998, 3, 12), QTime(10, 22, 0));
    QTest::newRow("syslog, current year")
        << QByteArray("Mar 12 10:22:33") << QDateTime(QDate(2024, 3, 12), QTime(10, 22, 33));
    QTest::newRow("month 13") << QByteArray("13/12/1998 10:22:33") << QDateTime();
    QTest::newRow("host name") << QByteArray("10:22:33 tbhost") << QDateTime();
    QTest::newRow("words") << QByteArray("user joe") << QDateTime();
}

void TestLogParser::syslogTimestamp() {
    QFETCH(QByteArray, text);
    QFETCH(QDateTime, expected);
    const auto ts = ParseLogDateTime(text, 2024, QLocale::c());
    QCOMPARE(ts.has_value(), expected.isValid());
    if (ts) {
        QCOMPARE(ts->date, expected.date());
        QCOMPARE(ts->time, expected.time());
    }
}

void TestLogParser::logNumber_data() {
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

void TestLogParser::logNumber() {
    QFETCH(QByteArray, text);
    QFETCH(qint32, value);
    QCOMPARE(LogNumber(text), value);
}

void TestLogParser::radiusFields() {
    RadiusDetailSession s = session(kWhen);
    s.sessionTime = 3661;
    s.inputOctets = QStringLiteral("1234");
    s.outputOctets = QStringLiteral("5678");
    s.disconnectCause = QStringLiteral("45");
    const QByteArray rec = RadiusDetailRecord(s).chopped(2); // without the blank line
    const LogSession ls = ParseLogRecord(rec, AUTH_RADIUS, false, 2024);
    QCOMPARE(ls.username, QStringLiteral("bob"));
    QCOMPARE(ls.port, QStringLiteral("12")); // NAS-Port-Type = Async does not count
    QCOMPARE(ls.sessionId, QStringLiteral("4D2B0B5A00000001"));
    QCOMPARE(ls.status, QByteArray("Stop"));
    QCOMPARE(ls.sent, 1234);
    QCOMPARE(ls.received, 5678);
    QCOMPARE(ls.reason, QStringLiteral("45"));
    QVERIFY(!ls.skip);

    EventRow row;
    QVERIFY(SessionToEventRow(ls, 7, row));
    QCOMPARE(row.ServerId, 7);
    QCOMPARE(row.DisconnectDate, DbFromLocal(kWhen.date(), kWhen.time()));
    QCOMPARE(row.ConnectDate, DbFromLocal(kWhen.date(), QTime(10, 58, 59)));
    QCOMPARE(row.Hours, 1);
    QCOMPARE(row.Minutes, 1);
    QCOMPARE(row.Seconds, 1);
}

void TestLogParser::radiusSkipsAndRejects_data() {
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

void TestLogParser::radiusSkipsAndRejects() {
    QFETCH(QString, status);
    QFETCH(qint64, sessionTime);
    QFETCH(QString, nasPort);
    QFETCH(bool, stored);
    RadiusDetailSession s = session(kWhen);
    s.status = status;
    s.sessionTime = sessionTime;
    s.nasPort = nasPort;
    if (status == QLatin1String("Interim-Update"))
        s.sessionTime = 60;
    const LogSession ls = ParseLogRecord(RadiusDetailRecord(s), AUTH_RADIUS, false, 2024);
    EventRow row;
    QCOMPARE(SessionToEventRow(ls, 1, row), stored);
    if (nasPort.isEmpty())
        QCOMPARE(ls.port, QString());
}

void TestLogParser::stripPrefixes_data() {
    QTest::addColumn<int>("system");
    QTest::addColumn<QByteArray>("record");
    QTest::addColumn<bool>("strip");
    QTest::addColumn<QString>("user");
    RadiusDetailSession s = session(kWhen);
    s.user = QStringLiteral("Pjohn");
    s.framedProtocol.clear();
    s.extra = {{QStringLiteral("Framed-Protocol"), QStringLiteral("PPP")}}; // after User-Name
    const QByteArray radius = RadiusDetailRecord(s);
    QTest::newRow("radius on") << int(AUTH_RADIUS) << radius << true << "john";
    QTest::newRow("radius off") << int(AUTH_RADIUS) << radius << false << "Pjohn";
    s.extra = {{QStringLiteral("Framed-Protocol"), QStringLiteral("SLIP")}};
    QTest::newRow("radius SLIP") << int(AUTH_RADIUS) << RadiusDetailRecord(s) << true << "john";
    s.extra = {{QStringLiteral("Framed-Protocol"), QStringLiteral("ARAP")}};
    QTest::newRow("radius ARAP") << int(AUTH_RADIUS) << RadiusDetailRecord(s) << true << "Pjohn";
    const QByteArray unet =
        "03/12/1998 10:22:33 user Sjoe Framed-Protocol=SLIP stop Acct-Session-Time=60";
    QTest::newRow("unet on") << int(AUTH_UNET) << unet << true << "joe";
    QTest::newRow("unet off") << int(AUTH_UNET) << unet << false << "Sjoe";
}

void TestLogParser::stripPrefixes() {
    QFETCH(int, system);
    QFETCH(QByteArray, record);
    QFETCH(bool, strip);
    QFETCH(QString, user);
    QCOMPARE(ParseLogRecord(record, system, strip, 2024).username, user);
}

void TestLogParser::sessionTimeSplitsIntoHoursMinutesSeconds() {
    RadiusDetailSession s = session(kWhen);
    s.sessionTime = 86400 + 3600 + 60 + 1;
    EventRow row;
    QVERIFY(
        SessionToEventRow(ParseLogRecord(RadiusDetailRecord(s), AUTH_RADIUS, false, 2024), 1, row));
    QCOMPARE(row.Hours, 25);
    QCOMPARE(row.Minutes, 1);
    QCOMPARE(row.Seconds, 1);
    QCOMPARE(row.ConnectDate, DbFromLocal(QDate(2023, 6, 14), QTime(10, 58, 59)));
}

void TestLogParser::delayMovesBothDatesBack() {
    RadiusDetailSession s = session(kWhen);
    EventRow plain, delayed;
    QVERIFY(SessionToEventRow(ParseLogRecord(RadiusDetailRecord(s), AUTH_RADIUS, false, 2024), 1,
                              plain));
    s.delay = 30;
    QVERIFY(SessionToEventRow(ParseLogRecord(RadiusDetailRecord(s), AUTH_RADIUS, false, 2024), 1,
                              delayed));
    QCOMPARE(DbToSecondsOr0(plain.DisconnectDate) - DbToSecondsOr0(delayed.DisconnectDate), 30);
    QCOMPARE(DbToSecondsOr0(plain.ConnectDate) - DbToSecondsOr0(delayed.ConnectDate), 30);
    QCOMPARE(delayed.DisconnectDate, DbFromLocal(kWhen.date(), QTime(11, 59, 30)));
}

void TestLogParser::timestampOnlyAfterGarbage() {
    // Fields before the timestamp are not recognised; the first valid line is the timestamp.
    const QByteArray rec = "\tUser-Name = \"early\"\nnot a date\nWed Dec  3 10:22:33 1997\n"
                           "\tUser-Name = \"late\"\n\tAcct-Status-Type = Stop\n"
                           "\tAcct-Session-Time = 5";
    const LogSession ls = ParseLogRecord(rec, AUTH_RADIUS, false, 2024);
    QCOMPARE(ls.username, QStringLiteral("late"));
    QVERIFY(ls.timestamp);
    QCOMPARE(ls.timestamp->date, QDate(1997, 12, 3));
}

void TestLogParser::unetLines_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<bool>("stored");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("port");
    QTest::addColumn<int>("seconds");
    QTest::newRow("user, stop, session time")
        << QByteArray("03/12/1998 10:22:33 user joe stop Acct-Session-Time=60") << true << "joe"
        << "" << 60;
    QTest::newRow("commas, port, ISO date")
        << QByteArray("1998-03-12,10:22:33,port,S12,user,ann,stop,Acct-Session-Time=90") << true
        << "ann"
        << "S12" << 90;
    QTest::newRow("start") << QByteArray("03/12/1998 10:22:33 user joe start Acct-Session-Time=60")
                           << false << "joe"
                           << "" << 60;
    QTest::newRow("request") << QByteArray("03/12/1998 10:22:33 request user joe stop") << false
                             << ""
                             << "" << 0;
    QTest::newRow("no session time")
        << QByteArray("03/12/1998 10:22:33 user joe stop") << false << "joe"
        << "" << 0;
    QTest::newRow("user at the end") << QByteArray("03/12/1998 10:22:33 stop user") << false << ""
                                     << "" << 0;
    QTest::newRow("session time without =")
        << QByteArray("03/12/1998 10:22:33 user joe stop Acct-Session-Time") << false << "joe"
        << "" << 0;
}

void TestLogParser::unetLines() {
    QFETCH(QByteArray, line);
    QFETCH(bool, stored);
    QFETCH(QString, user);
    QFETCH(QString, port);
    QFETCH(int, seconds);
    const LogSession ls = ParseLogRecord(line, AUTH_UNET, false, 2024);
    QCOMPARE(ls.username, user);
    QCOMPARE(ls.port, port);
    EventRow row;
    QCOMPARE(SessionToEventRow(ls, 1, row), stored);
    if (stored) {
        QCOMPARE(row.Minutes * 60 + row.Seconds, seconds);
        QCOMPARE(row.DisconnectDate, DbFromLocal(QDate(1998, 3, 12), QTime(10, 22, 33)));
    }
}

void TestLogParser::telebitLines_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<bool>("stored");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("port");
    const QByteArray good = "Mar 12 10:22:33 tbhost syslog: joe on S7 hung up after call for 300";
    QTest::newRow("good") << good << true << "joe"
                          << "S7";
    QTest::newRow("syslog in capitals")
        << QByteArray("Mar 12 10:22:33 tbhost SYSLOG: joe ON S7 hung up after call FOR 300") << true
        << "joe"
        << "S7";
    QTest::newRow("fifth word is not for")
        << QByteArray("Mar 12 10:22:33 tbhost syslog: joe on S7 hung up after the call 300")
        << false << "joe"
        << "S7";
    QTest::newRow("not on") << QByteArray(
                                   "Mar 12 10:22:33 tbhost syslog: joe at S7 a b c d for 300")
                            << false << "joe"
                            << "";
    QTest::newRow("not syslog:") << QByteArray(
                                        "Mar 12 10:22:33 tbhost kernel: joe on S7 a b c d for 300")
                                 << false << ""
                                 << "";
    QTest::newRow("cut short") << QByteArray("Mar 12 10:22:33 tbhost syslog: joe on") << false
                               << "joe"
                               << "";
}

void TestLogParser::telebitLines() {
    QFETCH(QByteArray, line);
    QFETCH(bool, stored);
    QFETCH(QString, user);
    QFETCH(QString, port);
    const LogSession ls = ParseLogRecord(line, AUTH_TELEBIT, false, 2024);
    QCOMPARE(ls.username, user);
    QCOMPARE(ls.port, port);
    EventRow row;
    QCOMPARE(SessionToEventRow(ls, 1, row), stored);
    if (stored) {
        QCOMPARE(row.Minutes, 5);
        QCOMPARE(row.DisconnectDate, DbFromLocal(QDate(2024, 3, 12), QTime(10, 22, 33)));
    }
}

void TestLogParser::decodesUtf8AndWindows1252() {
    QCOMPARE(DecodeLogText("j\xc3\xbcrgen"), QStringLiteral("j\u00fcrgen"));
    QCOMPARE(DecodeLogText("j\xfcrgen \x80"), QStringLiteral("j\u00fcrgen \u20ac"));
    // A name is cut to 20 characters, not bytes.
    const QByteArray rec =
        "Wed Dec  3 10:22:33 1997\n\tUser-Name = \"" + QByteArray("\xc3\xbc").repeated(25) + "\"";
    QCOMPARE(ParseLogRecord(rec, AUTH_RADIUS, false, 2024).username, QString(20, QChar(0xfc)));
}

QTEST_GUILESS_MAIN(TestLogParser)
#include "tst_logparser.moc"
