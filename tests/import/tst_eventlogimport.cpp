// The event-log import from saved .evt files against a real database file: Remote Access
// sessions, Citrix/LAN logons paired with their logoffs, the first-logoff search, servers,
// damaged files, and the command line with backup and clearing.
#include "common/testdatabase.h"
#include "common/cliprocess.h"
#include "common/evtwriter.h"
#include "common/recordingui.h"
#include "common/testfolders.h"
#include "core/app/busystate.h"
#include "core/db/database.h"
#include "core/db/datetimeutil.h"
#include "core/db/eventrecord.h"
#include "core/db/schema.h"
#include "core/import/eventlogimport.h"
#include "core/import/rasrecord.h"
#include "fuzz/evtrecordfuzz.h"

#include <QtTest>

namespace {

QDateTime at(int d, int h, int mi, int s = 0) {
    return QDateTime(QDate(2026, 11, d), QTime(h, mi, s));
}

QString duration(const EventRow& r) {
    return QStringLiteral("%1:%2:%3").arg(r.Hours).arg(r.Minutes).arg(r.Seconds);
}

} // namespace

class TestEventLogImport : public QObject {
    Q_OBJECT
    std::unique_ptr<CTestFolders> m_folders;
    std::unique_ptr<CRecordingUi> m_ui;
    std::unique_ptr<Database> m_db;
    QString m_log;

    EventLogImportOutcome import(int system, const QList<EvtTestRecord>& records,
                                 qint32 serverId = 1, const QString& firstLogoff = {}) {
        if (!records.isEmpty() && !WriteEvtTestLog(m_log, records))
            qFatal("cannot write %s", qPrintable(m_log));
        EventLogImportRequest r;
        r.authSystem = system;
        r.serverName = QStringLiteral("ras1");
        r.serverId = serverId;
        r.logFile = m_log;
        r.startWithFirstLogoff = !firstLogoff.isEmpty();
        r.startDateText = firstLogoff;
        return ImportEventLogInto(*m_db, r);
    }
    QList<EventRow> events() {
        QList<EventRow> rows;
        CEventRecord rec(*m_db);
        rec.openWhere(QStringLiteral("1 = 1 ORDER BY [Id]"));
        for (; !rec.isEOF(); rec.moveNext())
            rows.append(rec.row());
        return rows;
    }
    int count(const char* table) {
        return m_db->scalar(QStringLiteral("SELECT COUNT(*) FROM ") + QLatin1String(table)).toInt();
    }

private slots:
    void init() {
        m_folders = std::make_unique<CTestFolders>();
        m_ui = std::make_unique<CRecordingUi>();
        const QString path = TestDatabaseName(m_folders->filePath(QStringLiteral("tollk.db")));
        CreateNewDatabase(path);
        m_db = std::make_unique<Database>();
        m_db->open(path);
        m_log = m_folders->filePath(QStringLiteral("log.evt"));
    }
    void cleanup() {
        QCOMPARE(m_db->transactionDepth(), 0);
        QVERIFY(!IsProcessRunning());
        QCOMPARE(m_ui->waitCursorOn, m_ui->waitCursorOff);
        m_db.reset();
        m_ui.reset();
        m_folders.reset();
    }

    void timeStringsByPosition() {
        QCOMPARE(RasTime("10:22pm"), QTime(22, 22, 0));
        QCOMPARE(RasTime("10:22:33"), QTime(10, 22, 33));
        QCOMPARE(RasTime("12:05pm"), QTime(12, 5, 0));
        QCOMPARE(RasTime("12:05am"), QTime(0, 5, 0));
        QCOMPARE(RasDate("02/30/2026"), QDate());
    }

    // Carries, the joined domain\user of 20048, Windows-1252 names, short records, a second
    // import and a session stored before servers were recorded.
    void remoteAccessSessions() {
        EvtTestRecord joined = RasTestRecord(QStringLiteral("x"), at(3, 9, 0), at(3, 10, 0), 60, 0);
        joined.eventId = 20048;
        joined.strings.removeFirst();
        joined.strings[0] = QStringLiteral("DOMAIN\\dora");
        EvtTestRecord shortOne = joined;
        shortOne.strings.removeLast();
        const QList<EvtTestRecord> log = {
            RasTestRecord(QStringLiteral("anna"), at(2, 8, 0), at(2, 10, 31, 15), 150, 75),
            joined,
            shortOne,
            RasTestRecord(QStringLiteral("J\u00fcrgen"), at(4, 8, 0), at(4, 8, 1), 1, 0),
            RasTestRecord(QStringLiteral("\u0141ukasz"), at(4, 9, 0), at(4, 9, 1), 1, 0),
            {1, at(5, 1, 0), {}}};
        EventLogImportOutcome out = import(AUTH_REMOTE_ACCESS, log);
        QCOMPARE(out.result, int(IMPORT_OK));
        QCOMPARE(out.found, 4);
        QCOMPARE(out.total, 6);
        QCOMPARE(out.skipped, 1);
        const QList<EventRow> rows = events();
        QCOMPARE(duration(rows[0]), QStringLiteral("2:31:15"));
        QCOMPARE(rows[0].ConnectDate, DateTimeToDb(at(2, 8, 0)));
        QCOMPARE(rows[0].Sent, qint64(1000));
        QCOMPARE(rows[0].Reason, QStringLiteral("User requested"));
        QCOMPARE(rows[1].Username, QStringLiteral("dora"));
        QCOMPARE(duration(rows[1]), QStringLiteral("1:0:0"));
        QCOMPARE(rows[2].Username, QStringLiteral("J\u00fcrgen"));
        QCOMPARE(rows[3].Username, QStringLiteral("Anonymous")); // no Windows-1252 form
        QVERIFY(m_ui->hasMessage(QStringLiteral("Logon event import succeeded.")));

        out = import(AUTH_REMOTE_ACCESS, {});
        QCOMPARE(out.found, 0);
        QCOMPARE(out.total, 6);
        QCOMPARE(count("Events"), 4);

        // A session stored without a server is recognised under any server.
        m_db->execute(QStringLiteral("UPDATE Events SET ServerId = 0"));
        QCOMPARE(import(AUTH_REMOTE_ACCESS, {}, 7).found, 0);
    }

    void citrixSessions() {
        const QList<EvtTestRecord> log = {
            LanTestRecord(528, QStringLiteral("night"), QStringLiteral("(0x0,0x10)"),
                          at(1, 23, 50)),
            LanTestRecord(528, QStringLiteral("long"), QStringLiteral("(0x0,0x11)"), at(1, 8, 0)),
            LanTestRecord(528, QStringLiteral("\u0141ukasz"), QStringLiteral("(0x0,0x12)"),
                          at(1, 9, 0)),
            LanTestRecord(538, QStringLiteral("night"), QStringLiteral("(0x0,0x10)"), at(2, 0, 20)),
            LanTestRecord(538, QStringLiteral("long"), QStringLiteral("(0x0,0x11)"), at(2, 9, 0)),
            LanTestRecord(538, QStringLiteral("\u0141ukasz"), QStringLiteral("(0x0,0x12)"),
                          at(2, 9, 0, 5)),
            LanTestRecord(538, QStringLiteral("ghost"), QStringLiteral("(0x0,0x99)"), at(2, 10, 0)),
            LanTestRecord(528, QStringLiteral("waiting"), QStringLiteral("(0x0,0x13)"),
                          at(2, 11, 0))};
        EventLogImportOutcome out = import(AUTH_CITRIX_LAN, log);
        QCOMPARE(out.found, 3);
        QCOMPARE(out.unmatched, 1);
        QVERIFY(m_ui->hasMessage(QStringLiteral("Logon event import succeeded, however, there "
                                                "were 1 logoff events with no matching logon "
                                                "event.")));
        const QList<EventRow> rows = events();
        QCOMPARE(duration(rows[0]), QStringLiteral("0:30:0"));
        QCOMPARE(rows[0].SessionId, QStringLiteral("(0x0,0x10)"));
        QCOMPARE(rows[0].Port, QStringLiteral("LAN"));
        QCOMPARE(duration(rows[1]), QStringLiteral("25:0:0"));
        QCOMPARE(rows[2].Username, QStringLiteral("Anonymous"));
        QCOMPARE(count("LANTemp"), 1);

        out = import(AUTH_CITRIX_LAN, {});
        QCOMPARE(out.found, 0);
        QCOMPARE(count("Events"), 3);
        QCOMPARE(m_db->scalar(QStringLiteral("SELECT UserName FROM LANTemp")).toString(),
                 QStringLiteral("waiting"));

        // A logon waiting from before servers were recorded pairs with a logoff of any server.
        m_db->execute(QStringLiteral("UPDATE LANTemp SET ServerId = 0"));
        out = import(AUTH_CITRIX_LAN,
                     {LanTestRecord(538, QStringLiteral("waiting"), QStringLiteral("(0x0,0x13)"),
                                    at(2, 12, 0))},
                     9);
        QCOMPARE(out.found, 1);
        QCOMPARE(out.unmatched, 0);
        QCOMPARE(count("LANTemp"), 0);
    }

    void searchForFirstLogoff() {
        const QList<EvtTestRecord> log = {
            LanTestRecord(528, QStringLiteral("a"), QStringLiteral("1"), at(1, 8, 0)),
            LanTestRecord(538, QStringLiteral("a"), QStringLiteral("1"), at(1, 9, 0)),
            LanTestRecord(528, QStringLiteral("b"), QStringLiteral("2"), at(2, 8, 0)),
            LanTestRecord(538, QStringLiteral("b"), QStringLiteral("2"), at(2, 9, 0))};
        EventLogImportOutcome out = import(AUTH_CITRIX_LAN, log, 1, QStringLiteral("2026-11-20"));
        QCOMPARE(out.result, int(IMPORT_OK));
        QCOMPARE(out.found, 0);
        QCOMPARE(count("LANTemp"), 0); // logoffs met while searching drop their logons
        QVERIFY(m_ui->statusTexts.last().startsWith(QStringLiteral("Searching for first logoff")));
        QVERIFY(m_ui->hasMessage(QStringLiteral("Logon event import succeeded.")));

        out = import(AUTH_CITRIX_LAN, log, 1, QStringLiteral("2026-11-02"));
        QCOMPARE(out.found, 1);
        QCOMPARE(out.total, 1); // counted from the first logoff on
    }

    void escInterrupts() {
        m_ui->pressEsc();
        m_ui->queueAnswer(true); // "Interrupt process?"
        const EventLogImportOutcome out =
            import(AUTH_REMOTE_ACCESS,
                   {RasTestRecord(QStringLiteral("anna"), at(2, 8, 0), at(2, 9, 0), 60, 0)});
        QCOMPARE(out.result, int(IMPORT_INTERRUPTED));
        QVERIFY(m_ui->hasMessage(QStringLiteral("Import aborted.")));
        QVERIFY(!m_ui->hasMessage(QStringLiteral("Logon event import succeeded.")));
    }

    // A file cut inside a record, one whose record lies about its length, and bytes that are
    // no event log: nothing is read past a record, the reading ends, nothing crashes.
    void damagedFiles() {
        const QList<EvtTestRecord> log = {
            RasTestRecord(QStringLiteral("anna"), at(2, 8, 0), at(2, 9, 0), 60, 0),
            RasTestRecord(QStringLiteral("bert"), at(2, 8, 0), at(2, 9, 0), 60, 0)};
        const QByteArray whole = EvtTestLog(log);
        const int first = EvtTestRecordBytes(log[0], 1).size();

        QFile f(m_log);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(whole.left(48 + first + 30)) > 0);
        f.close();
        EventLogImportOutcome out = import(AUTH_REMOTE_ACCESS, {});
        QCOMPARE(out.result, int(IMPORT_OK));
        QCOMPARE(out.found, 1);
        QVERIFY(!out.damage.isEmpty());

        QByteArray corrupt = whole;
        corrupt[48 + first] = char(0xfe); // the second record claims more than the file holds
        corrupt[48 + first + 1] = char(0x7f);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(corrupt) > 0);
        f.close();
        m_db->execute(QStringLiteral("DELETE FROM Events"));
        out = import(AUTH_REMOTE_ACCESS, {});
        QCOMPARE(out.found, 1);
        QVERIFY(!out.damage.isEmpty());

        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(QByteArray(200, 'x')) > 0);
        f.close();
        QCOMPARE(import(AUTH_REMOTE_ACCESS, {}).result, int(IMPORT_OPEN_FAILED));
    }

    // The saved inputs of the .evt fuzz target (fuzz/corpus/evtrecord) read without a fault.
    void fuzzCorpus() {
        const QDir dir(QStringLiteral(TK_SOURCE_DIR "/fuzz/corpus/evtrecord"));
        const QStringList files = dir.entryList(QDir::Files, QDir::Name);
        QVERIFY(files.size() >= 8);
        for (const QString& name : files) {
            QFile f(dir.filePath(name));
            QVERIFY(f.open(QIODevice::ReadOnly));
            const QByteArray b = f.readAll();
            QVERIFY2(
                FuzzEvtRecords(reinterpret_cast<const uint8_t*>(b.constData()), size_t(b.size())),
                qPrintable(name));
        }
    }

    // The command line: a new server, the found line, the backup, and the cleared log that
    // imports nothing afterwards; a refused clearing leaves the log (and makes no backup).
    void commandLineBackupAndClear() {
        QVERIFY2(CliMissing().isEmpty(), qPrintable(CliMissing()));
        const QString dbPath = m_db->path();
        m_db.reset();
        QVERIFY(WriteEvtTestLog(
            m_log, {RasTestRecord(QStringLiteral("anna"), at(2, 8, 0), at(2, 9, 0), 60, 0)}));
        const QString backup = m_folders->filePath(QStringLiteral("backup.evt"));
        const QStringList args = {QStringLiteral("import"),
                                  QStringLiteral("--system"),
                                  QStringLiteral("ras"),
                                  QStringLiteral("--server"),
                                  QStringLiteral("ras1"),
                                  QStringLiteral("--backup"),
                                  backup,
                                  QStringLiteral("--clear"),
                                  m_log};
        CliResult r =
            RunCliOn(m_folders->path(), dbPath, QStringList{QStringLiteral("--no")} + args);
        QCOMPARE(r.code, 0);
        QVERIFY(!QFile::exists(backup));
        const QByteArray before =
            EvtTestLog({RasTestRecord(QStringLiteral("anna"), at(2, 8, 0), at(2, 9, 0), 60, 0)});
        r = RunCliOn(m_folders->path(), dbPath, QStringList{QStringLiteral("--yes")} + args);
        QCOMPARE(r.code, 0);
        QCOMPARE(r.outLines().last(), QStringLiteral("Found 0 new logons out of 1 events"));
        QFile b(backup);
        QVERIFY(b.open(QIODevice::ReadOnly));
        QCOMPARE(b.readAll(), before);
        r = RunCliOn(m_folders->path(), dbPath, args.mid(0, 5) + QStringList{m_log});
        QCOMPARE(r.code, 0);
        QCOMPARE(r.outLines().last(), QStringLiteral("Found 0 new logons out of 0 events"));
        m_db = std::make_unique<Database>();
        m_db->open(dbPath);
        QCOMPARE(count("Events"), 1);
        QCOMPARE(count("Servers"), 1);
    }
};

QTEST_GUILESS_MAIN(TestEventLogImport)
#include "tst_eventlogimport.moc"
