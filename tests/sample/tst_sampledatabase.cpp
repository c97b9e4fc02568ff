// The sample database and the sample month's detail file: that both come out the same on every
// run, that the shipped detail file is the generator's, and that the real import takes every
// completed session of it.
#include "common/cliprocess.h"
#include "common/pdftext.h"
#include "common/recordingui.h"
#include "common/testfolders.h"
#include "core/db/database.h"
#include "core/db/datetimeutil.h"
#include "core/db/eventrecord.h"
#include "core/db/schema.h"
#include "core/import/importcodes.h"
#include "core/import/serverregister.h"
#include "core/import/textlogimport.h"
#include "core/sample/sampledata.h"
#include "core/sample/sampledatabase.h"
#include "core/sample/sampledetail.h"

#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

qint64 count(Database& db, const QString& sql, const QVariantList& params = {}) {
    return db.scalar(sql, params).toLongLong();
}

// Every table's rows in key order, one text line per row.
QStringList dumpTables(Database& db) {
    QStringList lines;
    for (const TableSchema& t : CurrentSchema()) {
        Statement st = db.prepare(u"SELECT * FROM [%1] ORDER BY rowid"_s.arg(t.name));
        while (st.next()) {
            QStringList cells;
            for (int i = 0; i < st.columnCount(); ++i) {
                const QVariant v = st.value(i);
                if (v.metaType() == QMetaType::fromType<Currency>())
                    cells << QString::number(v.value<Currency>().units());
                else if (v.metaType() == QMetaType::fromType<DbDateTime>())
                    cells << QString::number(v.value<DbDateTime>().days(), 'f', 8);
                else
                    cells << v.toString();
            }
            lines << t.name + QLatin1Char('|') + cells.join(QLatin1Char('|'));
        }
    }
    return lines;
}

QString shippedDetailPath() {
    return QStringLiteral(TK_SOURCE_DIR "/data/sample/") + QLatin1String(kSampleDetailFile);
}

} // namespace

class TestSampleDatabase : public QObject {
    Q_OBJECT

    std::unique_ptr<CTestFolders> m_folders;
    std::unique_ptr<CRecordingUi> m_ui;

    QString makeSample(const QString& name = QLatin1String(kSampleDatabaseFile)) {
        const QString path = m_folders->filePath(name);
        const SampleDatabaseResult r = CreateSampleDatabase(path);
        if (!r.ok)
            qWarning("%s", qPrintable(r.error));
        return r.ok ? path : QString();
    }

private slots:
    void init() {
        m_folders = std::make_unique<CTestFolders>();
        QVERIFY(m_folders->isValid());
        m_ui = std::make_unique<CRecordingUi>();
    }
    void cleanup() {
        m_ui.reset();
        m_folders.reset();
    }

    void generationIsDeterministic() {
        const QString path = makeSample();
        QVERIFY(!path.isEmpty());
        QStringList first;
        {
            Database db;
            db.open(path);
            first = dumpTables(db);
        }
        const QByteArray logo = FileBytes(SampleLogoPath(path));
        QVERIFY(!logo.isEmpty());

        SampleDatabaseOptions replace;
        replace.replace = true;
        QVERIFY(CreateSampleDatabase(path, replace).ok);
        Database db;
        db.open(path);
        QCOMPARE(dumpTables(db), first);
        QCOMPARE(FileBytes(SampleLogoPath(path)), logo);
        QVERIFY(first.size() > 100);
    }

    void existingFileIsKeptUnlessReplaced() {
        const QString path = m_folders->filePath("tollk.sample.db");
        QVERIFY(WriteFileBytes(path, "precious"));
        const SampleDatabaseResult refused = CreateSampleDatabase(path);
        QVERIFY(!refused.ok);
        QVERIFY(refused.error.contains(u"already exists"_s));
        QCOMPARE(FileBytes(path), QByteArray("precious"));

        // A folder that cannot take the scratch file: the old file stays, nothing is left.
        const QString blocked = m_folders->filePath("blocked.db");
        QVERIFY(QFile::copy(path, blocked));
        QVERIFY(QDir().mkpath(blocked + u".part/inside"_s));
        SampleDatabaseOptions replace;
        replace.replace = true;
        QVERIFY(!CreateSampleDatabase(blocked, replace).ok);
        QCOMPARE(FileBytes(blocked), QByteArray("precious"));

        QVERIFY(CreateSampleDatabase(path, replace).ok);
        QVERIFY(!QFileInfo::exists(path + u".part"_s));
        Database db;
        db.open(path);
        QCOMPARE(count(db, "SELECT COUNT(*) FROM Users"), 28);
    }

    void shippedDetailFileIsTheGenerators() {
        const QByteArray shipped = FileBytes(shippedDetailPath());
        QVERIFY2(!shipped.isEmpty(), qPrintable(shippedDetailPath()));
        const QByteArray generated = SampleDetailBytes();
        QVERIFY2(shipped == generated,
                 "data/sample/detail-202611 differs from the generator: write it again with "
                 "tollkeeper-cli init --sample --force --detail data/sample/detail-202611");
        QCOMPARE(SampleDetailBytes(), generated); // stable within the process too

        const QString written = m_folders->filePath("detail");
        QVERIFY(WriteSampleDetailFile(written));
        QCOMPARE(FileBytes(written), generated);
        QString error;
        QVERIFY(!WriteSampleDetailFile(m_folders->filePath("no/such/folder/detail"), &error));
        QVERIFY(!error.isEmpty());
    }

    void importTakesEveryCompletedSession() {
        const QString path = makeSample();
        QVERIFY(!path.isEmpty());
        Database db;
        db.open(path);
        qint32 server = 0;
        QCOMPARE(AddServer(db, u"radius.example.net"_s, &server), int(IMPORT_OK));
        const TextLogImportOutcome outcome =
            ImportTextLogInto(db, shippedDetailPath(), AUTH_RADIUS, server, false);
        QCOMPARE(outcome.result, int(IMPORT_OK));
        const SampleDetailCounts counts = SampleDetailRecordCounts();
        QCOMPARE(outcome.found, counts.stop);
        QCOMPARE(outcome.total, counts.start + counts.interim + counts.stop);
        QCOMPARE(count(db, "SELECT COUNT(*) FROM Events"), counts.stop);

        // Each stored session is the generator's: times (local), duration, bytes, port, id.
        QHash<QString, SampleSession> byId;
        for (const SampleSession& s : SampleSessions())
            if (s.stopInFile)
                byId.insert(s.sessionId, s);
        CEventRecord rec(db);
        rec.openWhere(u"1 = 1 ORDER BY [Id]"_s);
        int checked = 0;
        for (; !rec.isEOF(); rec.moveNext(), ++checked) {
            QVERIFY2(byId.contains(rec.SessionId), qPrintable(rec.SessionId));
            const SampleSession s = byId.take(rec.SessionId);
            QCOMPARE(rec.Username, s.username);
            QCOMPARE(DbToDateTime(rec.DisconnectDate),
                     QDateTime(s.disconnect.date(), s.disconnect.time()));
            QCOMPARE(DbToDateTime(rec.ConnectDate), QDateTime(s.connect.date(), s.connect.time()));
            QCOMPARE(rec.Hours * 3600 + rec.Minutes * 60 + rec.Seconds, s.seconds);
            QCOMPARE(qint64(rec.Sent), s.inputOctets);
            QCOMPARE(qint64(rec.Received), s.outputOctets);
            QCOMPARE(rec.Port, QString::number(s.nasPort));
            QCOMPARE(rec.ServerId, server);
        }
        QCOMPARE(checked, counts.stop);
        QVERIFY(byId.isEmpty());

        // Every customer but the two idle ones has sessions to bill.
        QCOMPARE(count(db, "SELECT COUNT(*) FROM Users u WHERE u.IsGroup = 0 AND NOT EXISTS "
                           "(SELECT 1 FROM Events e WHERE e.Username = u.Username)"),
                 2);
        // Byte totals fit the 32-bit fields of an invoice: per customer (a byte charge counts
        // both directions) and per summary invoice of the park (nested members included).
        QCOMPARE(count(db, "SELECT COUNT(*) FROM (SELECT Username FROM Events GROUP BY Username "
                           "HAVING SUM(Sent) + SUM(Received) > 2147483647)"),
                 0);
        const QString parkMembers = QStringLiteral(
            "SELECT m.Username FROM UserGroupJoin j JOIN Users m ON m.Id = j.UserLinkId WHERE "
            "m.IsGroup = 0 AND j.GroupId IN (SELECT Id FROM Users WHERE Username LIKE 'Harbor%')");
        QVERIFY(count(db, "SELECT SUM(Received) FROM Events WHERE Username IN (" + parkMembers +
                              ")") < 2147483647);
    }

    void commandLineCreatesTheSample() {
        QVERIFY2(CliMissing().isEmpty(), qPrintable(CliMissing()));
        auto run = [&](const QStringList& args) {
            const CliResult r = RunCli(m_folders->path(), args);
            return std::make_pair(r.code, r.out);
        };
        // Without --db: the sample file in the user's data folder.
        const QString inData = m_folders->dataHome() + u"/Corvane/Tollkeeper/tollk.sample.db"_s;
        auto [code, out] = run({"init", "--sample"});
        QCOMPARE(code, 0);
        QCOMPARE(out.trimmed(), inData);
        QVERIFY(QFileInfo::exists(inData));
        QVERIFY(QFileInfo::exists(SampleLogoPath(inData)));
        QCOMPARE(run({"init", "--sample"}).first, 1); // never over a file without --force
        QCOMPARE(run({"init", "--sample", "--bogus"}).first, 2);

        const QString path = m_folders->filePath("mine.db");
        const QString detail = m_folders->filePath("detail-202611");
        std::tie(code, out) =
            run({"--db", path, "init", "--sample", "--force", "--detail", detail});
        QCOMPARE(code, 0);
        QCOMPARE(out.split(QLatin1Char('\n'), Qt::SkipEmptyParts), (QStringList{path, detail}));
        QCOMPARE(FileBytes(detail), SampleDetailBytes());
        Database db;
        db.open(path);
        QCOMPARE(count(db, "SELECT COUNT(*) FROM Users"), 28);
    }
};

QTEST_GUILESS_MAIN(TestSampleDatabase)
#include "tst_sampledatabase.moc"
