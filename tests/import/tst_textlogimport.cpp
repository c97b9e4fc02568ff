// The text-log import against a real database file: FreeRADIUS 3 detail files, line ends,
// duplicates and servers, daylight saving, bad input, interruption, failures, and the server
// register.
#include "common/testdatabase.h"
#include "common/radiusdetail.h"
#include "common/recordingui.h"
#include "common/testfolders.h"
#include "core/app/busystate.h"
#include "core/db/database.h"
#include "core/db/datetimeutil.h"
#include "core/db/eventrecord.h"
#include "core/db/schema.h"
#include "core/import/importcodes.h"
#include "core/import/logrecordreader.h"
#include "core/import/serverregister.h"
#include "core/import/textlogimport.h"

#include <QRandomGenerator>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

QList<EventRow> allEvents(Database& db) {
    QList<EventRow> rows;
    CEventRecord rec(db);
    rec.openWhere(u"1 = 1 ORDER BY [Id]"_s);
    for (; !rec.isEOF(); rec.moveNext())
        rows.append(rec.row());
    return rows;
}

int eventCount(Database& db) {
    return db.scalar(u"SELECT COUNT(*) FROM Events"_s).toInt();
}

QDateTime local(int y, int mo, int d, int h, int mi, int s) {
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s));
}

RadiusDetailSession stop(const QString& user, const QDateTime& when, qint64 secs,
                         const QString& id) {
    RadiusDetailSession s;
    s.user = user;
    s.written = when;
    s.sessionTime = secs;
    s.sessionId = id;
    return s;
}

// A FreeRADIUS 3 detail file: two stops, a start and an interim update.
QByteArray sampleDetail(bool crlf) {
    RadiusDetailSession start = stop(u"carol"_s, local(2023, 6, 15, 9, 0, 0), 0, u"S3"_s);
    start.status = u"Start"_s;
    RadiusDetailSession interim = stop(u"carol"_s, local(2023, 6, 15, 9, 5, 0), 300, u"S3"_s);
    interim.status = u"Interim-Update"_s;
    RadiusDetailSession bob = stop(u"bob"_s, local(2023, 6, 15, 10, 0, 0), 3600, u"S1"_s);
    bob.inputOctets = u"111"_s;
    bob.outputOctets = u"222"_s;
    bob.disconnectCause = u"45"_s;
    RadiusDetailSession alice = stop(u"alice"_s, local(2023, 6, 15, 11, 0, 0), 125, u"S2"_s);
    alice.nasPort = u"7"_s;
    return RadiusDetailRecord(start, crlf) + RadiusDetailRecord(bob, crlf) +
           RadiusDetailRecord(interim, crlf) + RadiusDetailRecord(alice, crlf);
}

} // namespace

class TestTextLogImport : public QObject {
    Q_OBJECT
private slots:
    void init() {
        m_folders = std::make_unique<CTestFolders>();
        QVERIFY(m_folders->isValid());
        m_ui = std::make_unique<CRecordingUi>();
        const QString path = TestDatabaseName(m_folders->filePath(u"tollk.db"_s));
        CreateNewDatabase(path);
        m_db = std::make_unique<Database>();
        m_db->open(path);
    }

    void cleanup() {
        if (m_db)
            QCOMPARE(m_db->transactionDepth(), 0);
        QVERIFY(!IsProcessRunning());
        if (m_ui)
            QCOMPARE(m_ui->waitCursorOn, m_ui->waitCursorOff);
        m_db.reset();
        m_ui.reset();
        m_folders.reset();
    }

    void freeRadiusDetailFile_data() {
        QTest::addColumn<bool>("crlf");
        QTest::newRow("LF, as FreeRADIUS writes on Unix") << false;
        QTest::newRow("CR LF") << true;
    }
    void freeRadiusDetailFile() {
        QFETCH(bool, crlf);
        const TextLogImportOutcome out = run(writeLog(sampleDetail(crlf)), AUTH_RADIUS, 3);
        QCOMPARE(out.result, int(IMPORT_OK));
        QCOMPARE(out.total, 4);
        QCOMPARE(out.found, 2);
        QVERIFY(m_ui->hasMessage(u"Logon event import succeeded."_s));
        QCOMPARE(m_ui->statusTexts.first(), u"Reading event log..."_s);
        QCOMPARE(m_ui->statusTexts.last(), u"Found 2 new logons out of 4 events"_s);
        QCOMPARE(m_ui->processCalls.first(), u"start:29:"_s);

        const QList<EventRow> rows = allEvents(*m_db);
        QCOMPARE(rows.size(), 2);
        EventRow bob;
        bob.Username = u"bob"_s;
        bob.ConnectDate = DbFromLocal(QDate(2023, 6, 15), QTime(9, 0, 0));
        bob.DisconnectDate = DbFromLocal(QDate(2023, 6, 15), QTime(10, 0, 0));
        bob.Hours = 1;
        bob.Sent = 111;
        bob.Received = 222;
        bob.Reason = u"45"_s;
        bob.Port = u"12"_s;
        bob.ServerId = 3;
        bob.SessionId = u"S1"_s;
        QCOMPARE(rows[0], bob);
        QCOMPARE(rows[1].Username, u"alice"_s);
        QCOMPARE(rows[1].Port, u"7"_s);
        QCOMPARE(rows[1].Minutes, 2);
        QCOMPARE(rows[1].Seconds, 5);
        QCOMPARE(rows[1].ConnectDate, DbFromLocal(QDate(2023, 6, 15), QTime(10, 57, 55)));
    }

    void reimportStoresNothing() {
        const QString path = writeLog(sampleDetail(false));
        QCOMPARE(run(path).found, 2);
        m_ui->clear();
        const TextLogImportOutcome again = run(path);
        QCOMPARE(again.result, int(IMPORT_OK));
        QCOMPARE(again.found, 0);
        QCOMPARE(m_ui->statusTexts.last(), u"Found 0 new logons out of 4 events"_s);
        // The same sessions in a CR LF file are the same sessions.
        QCOMPARE(run(writeLog(sampleDetail(true), u"crlf"_s)).found, 0);
        QCOMPARE(eventCount(*m_db), 2);
    }

    // A session written twice in one file is stored once, whether the repeat follows at once,
    // in another case, or more than ten thousand records later (a server stores records in
    // blocks); a second apart, or with another id, it is another session.
    void repeatsInsideOneFileAreDuplicates() {
        const QDateTime t = local(2023, 6, 1, 12, 0, 0);
        const QByteArray first = RadiusDetailRecord(stop(u"alice"_s, t, 60, u"A1"_s));
        QByteArray bytes = first + first + RadiusDetailRecord(stop(u"ALICE"_s, t, 60, u"A1"_s)) +
                           RadiusDetailRecord(stop(u"alice"_s, t.addSecs(1), 60, u"A1"_s)) +
                           RadiusDetailRecord(stop(u"alice"_s, t, 61, u"A1"_s)) +
                           RadiusDetailRecord(stop(u"alice"_s, t, 60, u"A2"_s));
        for (int i = 0; i < 10050; ++i)
            bytes += RadiusDetailRecord(
                stop(u"u%1"_s.arg(i % 7), t.addSecs(60 * (i + 2)), 30, QString::number(i)));
        bytes += first + RadiusDetailRecord(stop(u"u3"_s, t.addSecs(120 + 60 * 3), 30, u"3"_s));
        const TextLogImportOutcome out = run(writeLog(bytes));
        QCOMPARE(out.result, int(IMPORT_OK));
        QCOMPARE(out.total, 10058);
        QCOMPARE(out.found, 4 + 10050);
        const QList<EventRow> rows = allEvents(*m_db);
        QCOMPARE(rows.size(), out.found);
        QCOMPARE(rows[0].Username, u"alice"_s); // stored in the file's order
        QCOMPARE(rows[1].DisconnectDate, DbFromLocal(t.date(), t.time().addSecs(1)));
        QCOMPARE(rows[2].Seconds, 1);
        QCOMPARE(rows[3].SessionId, u"A2"_s);
        QCOMPARE(rows.last().SessionId, u"10049"_s);
    }

    void serversKeepTheirSessionsApart() {
        const QString path = writeLog(sampleDetail(false));
        QCOMPARE(run(path, AUTH_RADIUS, 1).found, 2);
        QCOMPARE(run(path, AUTH_RADIUS, 2).found, 2);
        QCOMPARE(run(path, AUTH_RADIUS, 2).found, 0);
        QCOMPARE(eventCount(*m_db), 4);

        // Sessions stored before servers were recorded (server 0) match any server.
        m_db->execute(u"DELETE FROM Events"_s);
        QCOMPARE(run(path, AUTH_RADIUS, 0).found, 2);
        QCOMPARE(run(path, AUTH_RADIUS, 5).found, 0);
        QCOMPARE(eventCount(*m_db), 2);
    }

    void daylightSavingInsideSession_data() {
        QTest::addColumn<QDateTime>("end");
        QTest::addColumn<qint64>("seconds");
        QTest::addColumn<QDateTime>("start");
        // Europe/Berlin: 26 Mar 2023 02:00 -> 03:00, 29 Oct 2023 03:00 -> 02:00.
        QTest::newRow("spring") << local(2023, 3, 26, 4, 0, 0) << qint64(3 * 3600)
                                << local(2023, 3, 26, 0, 0, 0);
        QTest::newRow("autumn") << local(2023, 10, 29, 4, 0, 0) << qint64(3 * 3600)
                                << local(2023, 10, 29, 2, 0, 0);
        QTest::newRow("no change")
            << local(2023, 6, 1, 4, 0, 0) << qint64(3 * 3600) << local(2023, 6, 1, 1, 0, 0);
    }
    void daylightSavingInsideSession() {
        QFETCH(QDateTime, end);
        QFETCH(qint64, seconds);
        QFETCH(QDateTime, start);
        QCOMPARE(run(writeLog(RadiusDetailRecord(stop(u"dst"_s, end, seconds, u"D1"_s)))).found, 1);
        const EventRow row = allEvents(*m_db).value(0);
        QCOMPARE(row.DisconnectDate, DbFromLocal(end.date(), end.time()));
        QCOMPARE(row.ConnectDate, DbFromLocal(start.date(), start.time()));
        QCOMPARE(row.Hours, 3);
    }

    void quotesInNamesAreData() {
        const QStringList names = {u"o\"brien"_s, u"x' OR '1'='1"_s, u"a\" OR \"\"=\""_s};
        QByteArray bytes;
        for (const QString& n : names)
            bytes += RadiusDetailRecord(stop(n, local(2023, 6, 1, 12, 0, 0), 60, n));
        const QString path = writeLog(bytes);
        QCOMPARE(run(path).found, 3);
        QCOMPARE(run(path).found, 0);
        const QList<EventRow> rows = allEvents(*m_db);
        QCOMPARE(rows.size(), 3);
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(rows[i].Username, names[i]);
            QCOMPARE(rows[i].SessionId, names[i]);
        }
    }

    void unetAndTelebitFiles() {
        const QString unet = writeLog("03/12/1998 10:22:33 user joe start Acct-Session-Time=60\n"
                                      "03/12/1998 10:22:33 user joe stop Acct-Session-Time=60\n"
                                      "garbage line\n",
                                      u"unet.log"_s);
        const TextLogImportOutcome u = run(unet, AUTH_UNET, 1, false);
        QCOMPARE(u.result, int(IMPORT_OK));
        QCOMPARE(u.total, 3);
        QCOMPARE(u.found, 1);
        const QString telebit =
            writeLog("Mar 12 10:22:33 tbhost syslog: ann on S7 hung up after call for 300\r\n"
                     "Mar 12 10:25:00 tbhost syslog: ann on S7 hung up after the call 300\r\n",
                     u"telebit.log"_s);
        const TextLogImportOutcome t = run(telebit, AUTH_TELEBIT, 1, false);
        QCOMPARE(t.total, 2);
        QCOMPARE(t.found, 1);
        const QList<EventRow> rows = allEvents(*m_db);
        QCOMPARE(rows.size(), 2);
        QCOMPARE(rows[0].Username, u"joe"_s);
        QCOMPARE(rows[0].Minutes, 1);
        QCOMPARE(rows[0].SessionId, u"None"_s);
        QCOMPARE(rows[1].Username, u"ann"_s);
        QCOMPARE(rows[1].Port, u"S7"_s);
        QCOMPARE(rows[1].DisconnectDate,
                 DbFromLocal(QDate(QDate::currentDate().year(), 3, 12), QTime(10, 22, 33)));
    }

    void lastRecordWithoutDelimiterIsDropped() {
        QByteArray bytes = sampleDetail(false);
        bytes.chop(1); // the last record loses its blank line: it may still be being written
        const TextLogImportOutcome out = run(writeLog(bytes));
        QCOMPARE(out.total, 3);
        QCOMPARE(out.found, 1);
    }

    void missingFile() {
        const TextLogImportOutcome out = run(m_folders->filePath(u"nope.log"_s));
        QCOMPARE(out.result, int(IMPORT_OPEN_FAILED));
        QCOMPARE(m_ui->messages.size(), 1);
        QVERIFY2(!m_ui->messages[0].text.isEmpty(), "the file error is shown");
        QCOMPARE(m_ui->messages[0].icon, MessageIcon::Exclamation);
        QVERIFY(m_ui->processCalls.isEmpty());
        QCOMPARE(m_ui->waitCursorOn, 0);
        // A folder instead of a file fails the same way and stores nothing.
        m_ui->clear();
        const TextLogImportOutcome folder = run(m_folders->path());
        QVERIFY2(folder.result == IMPORT_OPEN_FAILED || folder.result == IMPORT_FAILED,
                 qPrintable(QString::number(folder.result)));
        QCOMPARE(m_ui->messages.size(), 1);
        QCOMPARE(eventCount(*m_db), 0);
    }

    void binaryGarbage() {
        QRandomGenerator rng(4711);
        for (int round = 0; round < 3; ++round) {
            QByteArray bytes(512 * 1024, Qt::Uninitialized);
            for (char& c : bytes)
                c = char(rng.bounded(256));
            // Sprinkle delimiters and pieces of real records into the noise.
            for (int i = 0; i < 2000; ++i) {
                const int at = int(rng.bounded(bytes.size() - 40));
                static const char* const bits[] = {"\r\n\r\n",
                                                   "\n\n",
                                                   "\n",
                                                   "\tUser-Name = \"",
                                                   "Wed Dec  3 10:22:33 1997\n",
                                                   "\tAcct-Status-Type = Stop\n",
                                                   "\tAcct-Session-Time = 99999999999\n"};
                const char* bit = bits[rng.bounded(7)];
                memcpy(bytes.data() + at, bit, strlen(bit));
            }
            for (int system : {int(AUTH_RADIUS), int(AUTH_UNET), int(AUTH_TELEBIT)}) {
                const TextLogImportOutcome out = run(writeLog(bytes), system, 1, round == 1);
                QCOMPARE(out.result, int(IMPORT_OK));
                QVERIFY(out.total > 0);
            }
        }
    }

    void hugeFileWithoutLineEnd() {
        const QString path = m_folders->filePath(u"huge"_s);
        {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            const QByteArray chunk(1024 * 1024, 'x');
            for (int i = 0; i < 100; ++i)
                QCOMPARE(f.write(chunk), chunk.size());
        }
        const TextLogImportOutcome out = run(path);
        QCOMPARE(out.result, int(IMPORT_OK));
        QCOMPARE(out.total, 0);
        QCOMPARE(out.found, 0);
        // The same with a blank line at the end: one oversized record, counted, nothing stored.
        {
            QFile f(path);
            QVERIFY(f.open(QIODevice::Append));
            f.write("\n\n");
        }
        const TextLogImportOutcome out2 = run(path);
        QCOMPARE(out2.result, int(IMPORT_OK));
        QCOMPARE(out2.total, 1);
        QCOMPARE(out2.found, 0);
    }

    void numbersBeyond32Bits() {
        RadiusDetailSession big = stop(u"big"_s, local(2023, 6, 1, 12, 0, 0), 60, u"B1"_s);
        big.inputOctets = u"99999999999"_s;   // beyond 32 bits: kept whole
        big.outputOctets = u"-99999999999"_s; // negative: 0
        RadiusDetailSession endless =
            stop(u"forever"_s, local(2023, 6, 1, 12, 0, 0), 4294967296LL, u"B2"_s);
        RadiusDetailSession negative =
            stop(u"negative"_s, local(2023, 6, 1, 12, 0, 0), 60, u"B3"_s);
        negative.extra = {{u"Acct-Session-Time"_s, u"-60"_s}};
        negative.sessionTime = -1;
        RadiusDetailSession lateDelay = stop(u"late"_s, local(2023, 6, 1, 12, 0, 0), 60, u"B4"_s);
        lateDelay.delay = 99999999999LL;
        const TextLogImportOutcome out =
            run(writeLog(RadiusDetailRecord(big) + RadiusDetailRecord(endless) +
                         RadiusDetailRecord(negative) + RadiusDetailRecord(lateDelay)));
        QCOMPARE(out.result, int(IMPORT_OK));
        QCOMPARE(out.total, 4);
        QCOMPARE(out.found, 2);
        const QList<EventRow> rows = allEvents(*m_db);
        QCOMPARE(rows[0].Sent, Q_INT64_C(99999999999));
        QCOMPARE(rows[0].Received, 0);
        QCOMPARE(rows[1].Username, u"late"_s);
        QCOMPARE(DbToSecondsOr0(rows[1].DisconnectDate), 0); // moved before 1970, still a date
        QVERIFY(rows[1].DisconnectDate.isValid());
    }

    void fileRemovedWhileReading() {
        QByteArray bytes;
        for (int i = 0; i < 6000; ++i)
            bytes += RadiusDetailRecord(stop(u"u%1"_s.arg(i % 50),
                                             local(2023, 6, 1, 0, 0, 0).addSecs(i * 60), 30,
                                             QString::number(i)));
        const QString path = writeLog(bytes);
        QVERIFY(bytes.size() > 4 * CLogRecordReader::kDefaultPieceSize);
        bool removed = false;
        m_ui->onPoll = [&] {
            if (!removed)
                removed = QFile::remove(path);
        };
        const TextLogImportOutcome out = run(path);
        QVERIFY(removed);
        QCOMPARE(out.result, int(IMPORT_OK));
        QCOMPARE(out.total, 6000);
        QCOMPARE(out.found, 6000);
    }

    void escInterruptsAndKeepsStoredSessions() {
        m_ui->pressEsc();
        m_ui->queueAnswer(true); // "Interrupt process?"
        const TextLogImportOutcome out = run(writeLog(sampleDetail(false)));
        QCOMPARE(out.result, int(IMPORT_INTERRUPTED));
        QVERIFY(m_ui->hasQuestion(u"Interrupt process?"_s));
        QVERIFY(m_ui->hasMessage(u"Import aborted."_s));
        QVERIFY(!m_ui->hasMessage(u"Logon event import succeeded."_s));
        QCOMPARE(out.total, 1); // the record in hand was finished (a start: nothing stored)

        // Interrupted in the middle of a longer file: what was stored stays stored, committed.
        m_ui->clear();
        int polls = 0;
        m_ui->onPoll = [&] {
            if (++polls == 1) {
                m_ui->pressEsc();
                m_ui->queueAnswer(true);
            }
        };
        QByteArray bytes;
        for (int i = 0; i < 2000; ++i)
            bytes += RadiusDetailRecord(stop(u"u%1"_s.arg(i % 20),
                                             local(2023, 6, 1, 0, 0, 0).addSecs(i * 60), 30,
                                             QString::number(i)));
        const TextLogImportOutcome out2 = run(writeLog(bytes, u"second"_s));
        QCOMPARE(out2.result, int(IMPORT_INTERRUPTED));
        QVERIFY(out2.total > 1 && out2.total < 2000);
        QCOMPARE(out2.found, out2.total);
        QCOMPARE(m_db->transactionDepth(), 0);
        QCOMPARE(eventCount(*m_db), out2.found);
    }

    void engineErrorKeepsEarlierSessions() {
        m_db->execute(TestOnPostgres()
                          ? u"ALTER TABLE Events ADD CONSTRAINT boom CHECK (Username <> 'boom')"_s
                          : QStringLiteral("CREATE TRIGGER boom BEFORE INSERT ON Events "
                                           "WHEN NEW.Username = 'boom' BEGIN SELECT "
                                           "RAISE(ABORT, 'boom'); END"));
        const QByteArray bytes =
            RadiusDetailRecord(stop(u"first"_s, local(2023, 6, 1, 1, 0, 0), 60, u"1"_s)) +
            RadiusDetailRecord(stop(u"boom"_s, local(2023, 6, 1, 2, 0, 0), 60, u"2"_s)) +
            RadiusDetailRecord(stop(u"after"_s, local(2023, 6, 1, 3, 0, 0), 60, u"3"_s));
        const TextLogImportOutcome out = run(writeLog(bytes));
        QCOMPARE(out.result, int(IMPORT_FAILED));
        QVERIFY(out.error.contains(u"boom"_s));
        QVERIFY(m_ui->hasMessage(u"Error importing event log."_s));
        QCOMPARE(m_db->transactionDepth(), 0);
        const QList<EventRow> rows = allEvents(*m_db);
        // A server spoils the whole open batch with the failed statement: it is rolled back
        // and a second import stores it again.
        if (TestOnPostgres()) {
            QVERIFY(rows.isEmpty());
            return;
        }
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows[0].Username, u"first"_s);
    }

    void duplicateTestUsesAnIndex() {
        if (TestOnPostgres())
            QSKIP("the embedded engine's query plan");
        Statement plan =
            m_db->prepare(u"EXPLAIN QUERY PLAN "_s + QString::fromLatin1(kDuplicateSessionSql));
        QStringList details;
        while (plan.next())
            details << plan.value(plan.columnCount() - 1).toString();
        QVERIFY2(details.join(u' ').contains(u"DisconnectDate"_s), qPrintable(details.join(u'\n')));
        QVERIFY2(!details.join(u' ').contains(u"SCAN"_s), qPrintable(details.join(u'\n')));
    }

    void serverRegister() {
        qint32 id = 0;
        bool created = false;
        QCOMPARE(ResolveServer(*m_db, u"Radius1"_s, &id, &created), int(IMPORT_OK));
        QVERIFY(created);
        QVERIFY(id > 0);
        qint32 again = 0;
        QCOMPARE(ResolveServer(*m_db, u"RADIUS1"_s, &again, &created), int(IMPORT_OK));
        QVERIFY(!created);
        QCOMPARE(again, id);
        QCOMPARE(m_db->scalar(u"SELECT COUNT(*) FROM Servers"_s).toInt(), 1);

        qint32 other = 0;
        QCOMPARE(AddServer(*m_db, u"radius1"_s, &other), int(IMPORT_FAILED));
        QVERIFY(m_ui->hasMessage(u"Server already exists."_s));
        QCOMPARE(AddServer(*m_db, u"alpha"_s, &other), int(IMPORT_OK));
        QVERIFY(other != id);

        QCOMPARE(RenameServer(*m_db, id, QString()), int(IMPORT_INTERRUPTED));
        QVERIFY(m_ui->hasMessage(u"Please enter a name."_s));
        QCOMPARE(RenameServer(*m_db, id, u"zulu"_s), int(IMPORT_OK));
        const QList<ServerRow> list = ListServers(*m_db);
        QCOMPARE(list.size(), 2);
        QCOMPARE(list[0].ServerName, u"alpha"_s); // name order
        QCOMPARE(list[1].ServerName, u"zulu"_s);
        QCOMPARE(list[1].Id, id); // renamed, same id
        QCOMPARE(FindServerByName(list, u"ZULU"_s)->Id, id);
        QVERIFY(!FindServerByName(list, u"zul"_s));
        QCOMPARE(RenameServer(*m_db, 9999, u"x"_s), int(IMPORT_FAILED));
        QVERIFY(m_ui->hasMessage(u"Error renaming server."_s));
    }

    void deleteServerAsksAndKeepsSessions() {
        qint32 id = 0;
        QCOMPARE(ResolveServer(*m_db, u"nas1"_s, &id), int(IMPORT_OK));
        const QString path = writeLog(sampleDetail(false));
        QCOMPARE(run(path, AUTH_RADIUS, id).found, 2);

        m_ui->queueAnswer(false);
        QCOMPARE(DeleteServer(*m_db, id), int(IMPORT_INTERRUPTED));
        QCOMPARE(ListServers(*m_db).size(), 1);
        const QString question = m_ui->questions.last().text;
        QVERIFY(question.startsWith(u"Delete the record for server 'nas1'?\r\n\r\n"_s));
        QVERIFY(question.contains(u"never to import from 'nas1' again."_s));

        m_ui->queueAnswer(true);
        QCOMPARE(DeleteServer(*m_db, id), int(IMPORT_OK));
        QCOMPARE(ListServers(*m_db).size(), 0);
        QCOMPARE(eventCount(*m_db), 2); // sessions keep their ServerId

        // Importing the same log under a new server record stores the sessions a second time.
        qint32 fresh = 0;
        QCOMPARE(ResolveServer(*m_db, u"nas1"_s, &fresh), int(IMPORT_OK));
        QVERIFY(fresh != id);
        QCOMPARE(run(path, AUTH_RADIUS, fresh).found, 2);
    }

private:
    QString writeLog(const QByteArray& bytes, const QString& name = u"detail"_s) {
        const QString path = m_folders->filePath(name);
        if (!WriteFileBytes(path, bytes))
            qFatal("cannot write %s", qPrintable(path));
        return path;
    }
    TextLogImportOutcome run(const QString& path, int system = AUTH_RADIUS, qint32 server = 1,
                             bool strip = false) {
        return ImportTextLogInto(*m_db, path, system, server, strip);
    }

    std::unique_ptr<CTestFolders> m_folders;
    std::unique_ptr<CRecordingUi> m_ui;
    std::unique_ptr<Database> m_db;
};

QTEST_GUILESS_MAIN(TestTextLogImport)
#include "tst_textlogimport.moc"
