#include "common/recordingui.h"
#include "common/testfolders.h"
#include "core/app/appservices.h"
#include "core/app/dbsession.h"
#include "core/app/logonname.h"
#include "core/app/registrystore.h"
#include "core/app/schemaupgrade.h"
#include "core/app/settingsvalues.h"
#include "core/db/currency.h"
#include "core/db/database.h"
#include "core/db/dbexception.h"
#include "core/db/schema.h"

#include <QtTest>
#include <memory>

// The database session on real database files in a temporary folder: start-up choice of the
// file, locate with and without fallback, compact, repair, backup, the sample database and
// the level-0 upgrade.
class TestSession : public QObject {
    Q_OBJECT

    std::unique_ptr<CTestFolders> m_folders;
    std::unique_ptr<CRecordingUi> m_ui;
    std::unique_ptr<CDatabaseSession> m_session;
    QString m_tmp; // TMPDIR of the case
    int m_shutdowns = 0;

    QString newDatabase(const QString& name) {
        const QString path = m_folders->filePath(name);
        CreateNewDatabase(path);
        return path;
    }
    static QString native(const QString& p) { return QDir::toNativeSeparators(p); }
    QString openDatabaseQuestion(const QString& p) const {
        return QString("Open database %1?").arg(native(p));
    }
    Database& db() { return *m_session->database(); }
    QStringList tkpFiles() const { return QDir(m_tmp).entryList({"TKP*"}, QDir::Files); }
    // Opens path as the session's database without questions.
    void openDirect(const QString& path) {
        QVERIFY(RegWriteYesNo(Reg::SuppressDatabasePrompt, true));
        QVERIFY(m_session->openAtStartup(path));
        QVERIFY(m_session->isOpen());
        m_ui->clear();
    }

private slots:
    void init() {
        theRegistry().close();
        m_folders = std::make_unique<CTestFolders>();
        QVERIFY(m_folders->isValid());
        m_tmp = m_folders->filePath("tmp");
        QDir().mkpath(m_tmp);
        qputenv("TMPDIR", QFile::encodeName(m_tmp));
        QVERIFY(theRegistry().open());
        ResetUpgradeState();
        m_ui = std::make_unique<CRecordingUi>();
        m_session = std::make_unique<CDatabaseSession>();
        m_shutdowns = 0;
        m_session->setShutdownHandler([this] { ++m_shutdowns; });
    }
    void cleanup() {
        if (QTest::currentTestFailed() && m_ui)
            qDebug().noquote() << m_ui->transcript().join('\n');
        m_session.reset();
        SetOpenDocumentsProbe({});
        SetCloseAllDocumentsHook({});
        m_ui.reset();
        theRegistry().close();
        m_folders.reset();
    }

    // --- start-up ---

    void defaultDatabaseCreatedWithoutQuestion() {
        const QString def = CDatabaseSession::defaultDatabasePath();
        QVERIFY(def.startsWith(m_folders->dataHome()));
        QVERIFY(def.endsWith("/tollk.db"));
        QVERIFY(!QFile::exists(def));
        QVERIFY(m_session->openAtStartup());
        QVERIFY(m_ui->questions.isEmpty());
        QVERIFY(m_ui->messages.isEmpty());
        QCOMPARE(m_session->path(), def);
        QCOMPARE(theDatabase(), m_session->database());
        QVERIFY(db().tableExists("Users"));
        QCOMPARE(RegText(Reg::DatabasePath), def);
    }

    void otherDatabaseAsksFirst() {
        const QString path = newDatabase("other.db");
        QVERIFY(RegWriteText(Reg::DatabasePath, path));
        QVERIFY(RegWriteYesNo(Reg::Logging, false));
        QVERIFY(RegWriteNumber(Reg::AppVersion, 7));
        m_ui->queueAnswer(true);
        QVERIFY(m_session->openAtStartup());
        QCOMPARE(m_ui->questions.size(), 1);
        QCOMPARE(m_ui->questions[0].text, openDatabaseQuestion(path));
        QCOMPARE(m_ui->questions[0].icon, MessageIcon::Question);
        QCOMPARE(m_session->path(), path);
        QVERIFY(!m_session->logging());
        QCOMPARE(m_session->appVersion(), 7);
    }

    void defaultPathComparedWithoutCase() {
        // The default named in another case counts as the default: no question.
        const QString def = CDatabaseSession::defaultDatabasePath();
        CreateNewDatabase(def);
        QString upper = def;
        upper.replace("/tollk.db", "/TOLLK.DB");
        QVERIFY(RegWriteText(Reg::DatabasePath, upper));
        QVERIFY(!m_session->openAtStartup()); // no such file on a case-sensitive system
        QVERIFY(m_ui->questions.isEmpty());
        QVERIFY(
            m_ui->hasMessage(QString("Error opening Tollkeeper database %1.").arg(native(upper))));
    }

    void leadingQuoteRemovedFromCommandLine() {
        const QString path = newDatabase("quoted db.db");
        m_ui->defaultAnswer = true;
        QVERIFY(m_session->openAtStartup("\"" + path));
        QCOMPARE(m_session->path(), path);
        QVERIFY(m_ui->hasQuestion(openDatabaseQuestion(path)));
        QCOMPARE(RegText(Reg::DatabasePath), path);
        m_session.reset();
        // A quoted name with its closing quote as well.
        m_session = std::make_unique<CDatabaseSession>();
        QVERIFY(m_session->openAtStartup("\"" + path + "\""));
        QCOMPARE(m_session->path(), path);
    }

    void answeredNoLocatesInstead() {
        const QString first = newDatabase("first.db");
        const QString second = newDatabase("second.db");
        QVERIFY(RegWriteText(Reg::DatabasePath, first));
        m_ui->queueAnswer(false);
        m_ui->queueOpenFile(second);
        QVERIFY(m_session->openAtStartup());
        QCOMPARE(m_ui->fileDialogs, QStringList({"open:Locate Tollkeeper Database"}));
        QCOMPARE(m_session->path(), second);
        QCOMPARE(RegText(Reg::DatabasePath), second);
    }

    void answeredNoAndCancelledFailsStartup() {
        const QString first = newDatabase("first.db");
        QVERIFY(RegWriteText(Reg::DatabasePath, first));
        QVERIFY(!m_session->openAtStartup()); // No, then the dialog is cancelled
        QVERIFY(!m_session->isOpen());
        QCOMPARE(theDatabase(), nullptr);
        QVERIFY(m_ui->messages.isEmpty());
    }

    void missingFileReportedThenLocated() {
        const QString missing = m_folders->filePath("gone.db");
        const QString other = newDatabase("other.db");
        QVERIFY(RegWriteYesNo(Reg::SuppressDatabasePrompt, true));
        QVERIFY(RegWriteText(Reg::DatabasePath, missing));
        m_ui->queueOpenFile(other);
        QVERIFY(m_session->openAtStartup());
        QCOMPARE(m_ui->messages.size(), 1);
        QCOMPARE(m_ui->messages[0].text,
                 QString("Error opening Tollkeeper database %1.").arg(native(missing)));
        QCOMPARE(m_session->path(), other);
        QVERIFY(!QFile::exists(missing)); // only the default file is ever created
    }

    void secondOpenOfHeldFileFails() {
        const QString path = newDatabase("held.db");
        openDirect(path);
        // Another connection cannot open it while the session holds it.
        Database other;
        QVERIFY_THROWS_EXCEPTION(DbException, other.open(path));
        QVERIFY(!other.isOpen());
        // A second session is told so and, with the locate dialog cancelled, gives up.
        CDatabaseSession second;
        QVERIFY(!second.openAtStartup(path));
        QVERIFY(
            m_ui->hasMessage(QString("Error opening Tollkeeper database %1.").arg(native(path))));
        QVERIFY(!second.lastError().isEmpty());
        // The first session still works on its file.
        QCOMPARE(m_session->database()->scalar("SELECT COUNT(*) FROM DBInfo").toInt(), 1);
    }

    // --- upgrade, level 0 ---

    void levelZeroAddsMissingRow() {
        const QString path = newDatabase("norow.db");
        {
            Database raw;
            raw.open(path);
            raw.execute("DELETE FROM DBInfo");
        }
        openDirect(path);
        QCOMPARE(db().scalar("SELECT COUNT(*) FROM DBInfo").toInt(), 1);
        QCOMPARE(db().scalar("SELECT [Version] FROM DBInfo").toInt(),
                 std::max(ProgramVersionCode(), int(kCurrentDbVersion)));
        QCOMPARE(VersionFoundBeforeUpgrade(), 0);
        QVERIFY(m_ui->messages.isEmpty());
    }

    void levelZeroRebuildsTableAndMovesMinimum() {
        const QString path = newDatabase("notable.db");
        {
            Database raw;
            raw.open(path);
            raw.deleteTable("DBInfo");
        }
        QVERIFY(RegWriteYesNo(Reg::Prepay, false));
        QVERIFY(RegWriteText(Reg::Minimum, "12.50"));
        openDirect(path);
        for (const char* f :
             {"Version", "Company Name", "LogoURL", "MinimumPayment", "PrepaidMinimum"})
            QVERIFY2(db().fieldExists("DBInfo", f), f);
        QCOMPARE(db().scalar("SELECT COUNT(*) FROM DBInfo").toInt(), 1);
        QCOMPARE(db().scalar("SELECT [PrepaidMinimum] FROM DBInfo").toBool(), false);
        QCOMPARE(db().scalar("SELECT [MinimumPayment] FROM DBInfo").value<Currency>(),
                 Currency::fromUnits(125000));
        QVERIFY(db().scalar("SELECT [Version] FROM DBInfo").toInt() > 0);
    }

    void levelZeroOnCurrentLayoutOnlyRewritesVersion() {
        const QString path = newDatabase("current.db");
        {
            Database raw;
            raw.open(path);
            raw.execute("UPDATE DBInfo SET [Company Name] = ?, [MinimumPayment] = ?",
                        {"ACME", QVariant::fromValue(Currency::fromUnits(50000))});
        }
        QVERIFY(RegWriteText(Reg::Minimum, "99.00"));
        openDirect(path);
        QCOMPARE(VersionFoundBeforeUpgrade(), int(kCurrentDbVersion));
        QCOMPARE(db().scalar("SELECT [Company Name] FROM DBInfo").toString(), QString("ACME"));
        QCOMPARE(db().scalar("SELECT [MinimumPayment] FROM DBInfo").value<Currency>(),
                 Currency::fromUnits(50000));
    }

    // --- locate ---

    void locateFromMenuSwitchesDatabase() {
        const QString first = newDatabase("first.db");
        const QString second = newDatabase("second.db");
        openDirect(first);
        m_ui->queueOpenFile(second);
        QCOMPARE(m_session->locateCommand(), 0);
        QCOMPARE(m_session->path(), second);
        QCOMPARE(RegText(Reg::DatabasePath), second);
        // The first file is free again.
        Database raw;
        raw.open(first);
    }

    void locateCancelledKeepsDatabase() {
        const QString first = newDatabase("first.db");
        openDirect(first);
        QCOMPARE(m_session->locateCommand(), 1223);
        QVERIFY(m_session->isOpen());
        QCOMPARE(m_session->path(), first);
        QVERIFY(m_ui->messages.isEmpty());
    }

    void locateFallbackReopensPrevious() {
        const QString first = newDatabase("first.db");
        const QString junk = m_folders->filePath("junk.db");
        QVERIFY(WriteFileBytes(junk, QByteArray(4096, 'x')));
        openDirect(first);
        QVERIFY(RegWriteText(Reg::DatabasePath, "changed meanwhile"));
        m_ui->queueOpenFile(junk);
        QCOMPARE(m_session->locateCommand(), 13);
        QCOMPARE(m_ui->messages.size(), 1);
        QCOMPARE(m_ui->messages[0].text, QString("Unable to open %1.").arg(native(junk)));
        QVERIFY(m_session->isOpen());
        QCOMPARE(m_session->path(), first);
        QCOMPARE(RegText(Reg::DatabasePath), first);
        QCOMPARE(m_shutdowns, 0);
        // The junk file was not touched.
        QCOMPARE(QFileInfo(junk).size(), 4096);
    }

    void locateWithoutFallbackLeavesNothingOpen() {
        const QString first = newDatabase("first.db");
        openDirect(first);
        m_ui->queueOpenFile(m_folders->filePath("missing.db"));
        QCOMPARE(m_session->locate(false), 13);
        QVERIFY(!m_session->isOpen());
        QCOMPARE(theDatabase(), nullptr);
        QCOMPARE(m_shutdowns, 0);
    }

    void locateYikesWhenPreviousIsGone() {
        const QString first = newDatabase("first.db");
        openDirect(first);
        QVERIFY(QFile::remove(first)); // gone behind the session's back
        m_ui->queueOpenFile(m_folders->filePath("missing.db"));
        QCOMPARE(m_session->locateCommand(), 13);
        QVERIFY(m_ui->hasMessage(QString("Yikes!  Unable to reopen %1.  Tollkeeper must shut down.")
                                     .arg(native(first))));
        QCOMPARE(m_shutdowns, 1);
        QVERIFY(!m_session->isOpen());
        QCOMPARE(theDatabase(), nullptr);
    }

    void locateRefusedWhileDocumentsOpen() {
        const QString first = newDatabase("first.db");
        openDirect(first);
        SetOpenDocumentsProbe([] { return true; });
        QCOMPARE(m_session->locateCommand(), 1223);
        QCOMPARE(m_ui->messages.size(), 1);
        QCOMPARE(m_ui->messages[0].text,
                 QString("Please close all invoice and report windows before using this feature."));
        QVERIFY(m_ui->fileDialogs.isEmpty());
    }

    // --- compact, repair ---

    void compactKeepsDataAndPath() {
        const QString path = newDatabase("compact.db");
        openDirect(path);
        db().beginTrans();
        for (int i = 0; i < 2000; ++i)
            db().execute("INSERT INTO Users ([Username], [FullName]) VALUES (?, ?)",
                         {QString("user%1").arg(i), QString(200, QChar('a' + i % 26))});
        db().commitTrans();
        db().execute("DELETE FROM Users WHERE [Id] > 10");
        const qint64 before = QFileInfo(path).size();

        m_ui->queueAnswer(true);
        QCOMPARE(m_session->compact(), 0);
        QCOMPARE(m_ui->questions.size(), 1);
        QCOMPARE(m_ui->statusTexts, QStringList({"Compacting database...", "Done"}));
        QVERIFY(m_ui->messages.isEmpty());
        QVERIFY(m_session->isOpen());
        QCOMPARE(m_session->path(), path);
        QCOMPARE(db().path(), path);
        QCOMPARE(db().scalar("SELECT COUNT(*) FROM Users").toInt(), 10);
        QCOMPARE(db().scalar("SELECT [Username] FROM Users WHERE [Id] = 10").toString(),
                 QString("user9"));
        QVERIFY(QFileInfo(path).size() < before);
        QVERIFY2(tkpFiles().isEmpty(), qPrintable(tkpFiles().join(',')));
        // Still held exclusively after reopening.
        Database other;
        QVERIFY_THROWS_EXCEPTION(DbException, other.open(path));
    }

    void compactDeclinedOrBlocked() {
        const QString path = newDatabase("compact.db");
        openDirect(path);
        QCOMPARE(m_session->compact(), 1223); // answered No
        QVERIFY(m_ui->statusTexts.isEmpty());
        QVERIFY(m_session->isOpen());
        SetOpenDocumentsProbe([] { return true; });
        m_ui->clear();
        QCOMPARE(m_session->compact(), 1223);
        QVERIFY(m_ui->questions.isEmpty());
        QCOMPARE(m_ui->messages.size(), 1);
    }

    void compactFailureKeepsOriginal() {
        const QString path = newDatabase("compact.db");
        openDirect(path);
        db().execute("INSERT INTO Users ([Username]) VALUES ('kept')");
        // No temporary file can be made: compaction fails before the file is touched.
        const QString notAFolder = m_folders->filePath("plainfile");
        QVERIFY(WriteFileBytes(notAFolder, {}));
        qputenv("TMPDIR", QFile::encodeName(notAFolder));
        m_ui->queueAnswer(true);
        QCOMPARE(m_session->compact(), 13);
        qputenv("TMPDIR", QFile::encodeName(m_tmp));
        QVERIFY(m_ui->hasMessage("Failed to compact the database."));
        QVERIFY(m_session->isOpen());
        QCOMPARE(db().scalar("SELECT [Username] FROM Users").toString(), QString("kept"));
        QVERIFY(!m_ui->statusTexts.contains("Done"));
    }

    void compactYikesWhenFileCannotBeReopened() {
        const QString dir = m_folders->filePath("ro");
        QDir().mkpath(dir);
        const QString path = dir + "/compact.db";
        CreateNewDatabase(path);
        openDirect(path);
        // The folder loses its permissions after the file was opened: the replacement cannot be
        // written and the reopening fails.
        QFile::setPermissions(dir, QFileDevice::Permissions());
        if (QFileInfo(dir).isReadable()) {
            QFile::setPermissions(dir, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                           QFileDevice::ExeOwner);
            QSKIP("permissions are not enforced for this user");
        }
        m_ui->queueAnswer(true);
        QCOMPARE(m_session->compact(), 13);
        QFile::setPermissions(dir, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                       QFileDevice::ExeOwner);
        QVERIFY(m_ui->hasMessage("Failed to compact the database."));
        QVERIFY(m_ui->hasMessage(
            QString("Yikes!  Unable to reopen %1.  Tollkeeper must shut down.").arg(native(path))));
        QCOMPARE(m_shutdowns, 1);
        QVERIFY(!m_session->isOpen());
    }

    void repairKeepsDataAndPath() {
        const QString path = newDatabase("repair.db");
        openDirect(path);
        db().execute("INSERT INTO Users ([Username]) VALUES ('kept')");
        m_ui->queueAnswer(true);
        QCOMPARE(m_session->repair(), 0);
        QCOMPARE(m_ui->statusTexts, QStringList({"Repairing database...", "Done"}));
        QCOMPARE(m_session->path(), path);
        QCOMPARE(db().scalar("SELECT [Username] FROM Users").toString(), QString("kept"));
    }

    // --- backup ---

    void backupCopiesAndReplaces() {
        const QString path = newDatabase("live.db");
        const QString target = m_folders->filePath("backup.db");
        QVERIFY(WriteFileBytes(target, "an older backup"));
        openDirect(path);
        db().execute("INSERT INTO Users ([Username]) VALUES ('saved')");
        m_ui->queueSaveFile(target);
        QCOMPARE(m_session->backup(), 0);
        QCOMPARE(m_ui->fileDialogs.size(), 1);
        QCOMPARE(m_ui->statusTexts,
                 QStringList({QString("Backup up database to %1...").arg(native(target)), "Done"}));
        QVERIFY(m_session->isOpen());
        Database copy;
        copy.open(target);
        QCOMPARE(copy.scalar("SELECT [Username] FROM Users").toString(), QString("saved"));
    }

    void backupFailures() {
        const QString path = newDatabase("live.db");
        openDirect(path);
        QCOMPARE(m_session->backup(), 1223); // dialog cancelled
        QVERIFY(m_ui->messages.isEmpty());

        QCOMPARE(m_session->backup(m_folders->filePath("no/such/folder/b.db")), 13);
        QCOMPARE(m_ui->countMessages("Database backup failed."), 1);

        // Never over the database itself.
        const qint64 size = QFileInfo(path).size();
        QCOMPARE(m_session->backup(path), 13);
        QCOMPARE(m_ui->countMessages("Database backup failed."), 2);
        QCOMPARE(QFileInfo(path).size(), size);
        QCOMPARE(db().scalar("SELECT COUNT(*) FROM DBInfo").toInt(), 1);

        // Not in the middle of a transaction: the file would be inconsistent.
        const QString target = m_folders->filePath("during.db");
        db().beginTrans();
        QCOMPARE(m_session->backup(target), 13);
        db().rollback();
        QVERIFY(!QFile::exists(target));
        QCOMPARE(m_ui->countMessages("Database backup failed."), 3);
    }

    // --- sample database ---

    void sampleDatabaseMissing() {
        openDirect(newDatabase("live.db"));
        QCOMPARE(m_session->openSampleDatabase(), 13);
        QCOMPARE(m_ui->messages.size(), 1);
        QCOMPARE(m_ui->messages[0].text,
                 QString("The Tollkeeper sample database was not found.  You must rerun "
                         "Tollkeeper Setup to install it."));
        QVERIFY(m_session->isOpen());
    }

    void sampleDatabaseOpens() {
        const QString live = newDatabase("live.db");
        openDirect(live);
        const QString sample = CDatabaseSession::sampleDatabasePath();
        QVERIFY(sample.endsWith("/tollk.sample.db"));
        CreateNewDatabase(sample);
        bool closed = false;
        int refreshed = 0;
        SetCloseAllDocumentsHook([&] {
            closed = true;
            return true;
        });
        const int id = AddRefreshHandler([&](const void*, int, void*) { ++refreshed; });
        QCOMPARE(m_session->openSampleDatabase(), 0);
        RemoveRefreshHandler(id);
        QVERIFY(closed);
        QCOMPARE(refreshed, 1);
        QCOMPARE(m_session->path(), sample);
        QCOMPARE(RegText(Reg::DatabasePath), sample);
    }

    void sampleDatabaseUnreadableKeepsCurrent() {
        const QString live = newDatabase("live.db");
        openDirect(live);
        QVERIFY(WriteFileBytes(CDatabaseSession::sampleDatabasePath(), QByteArray(2048, 'z')));
        QCOMPARE(m_session->openSampleDatabase(), 13);
        QVERIFY(m_ui->hasMessage(
            QString("Unable to open %1.").arg(native(CDatabaseSession::sampleDatabasePath()))));
        QVERIFY(m_session->isOpen());
        QCOMPARE(m_session->path(), live);
    }

    // --- services ---

    void refreshViewsPassesHintAndClearsStatus() {
        RefreshViews(); // no handler: nothing shown
        QVERIFY(m_ui->statusTexts.isEmpty());
        const void* gotSender = nullptr;
        int gotHint = 0;
        void* gotObject = nullptr;
        int marker = 0;
        const int id = AddRefreshHandler([&](const void* s, int h, void* o) {
            gotSender = s;
            gotHint = h;
            gotObject = o;
        });
        RefreshViews(this, 42, &marker);
        RemoveRefreshHandler(id);
        QCOMPARE(gotSender, static_cast<const void*>(this));
        QCOMPARE(gotHint, 42);
        QCOMPARE(gotObject, static_cast<void*>(&marker));
        QCOMPARE(m_ui->statusTexts, QStringList({"Updating views...", ""}));
        QCOMPARE(m_ui->waitCursorOn, 1);
        QCOMPARE(m_ui->waitCursorOff, 1);
    }

    void logonNameRule_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<bool>("warned");
        QTest::newRow("20") << "abcdefghijklmnopqrst"
                            << "abcdefghijklmnopqrst" << false;
        QTest::newRow("21") << "abcdefghijklmnopqrstu"
                            << "abcdefghijklmnopqrst" << true;
        QTest::newRow("long") << QString(64, 'x') << QString(20, 'x') << true;
        QTest::newRow("empty") << ""
                               << "" << false;
    }
    void logonNameRule() {
        QFETCH(QString, name);
        QFETCH(QString, expected);
        QFETCH(bool, warned);
        QCOMPARE(ApplyLogonNameRule(name), expected);
        if (!warned) {
            QVERIFY(m_ui->messages.isEmpty());
            return;
        }
        QCOMPARE(m_ui->messages.size(), 1);
        QCOMPARE(m_ui->messages[0].text,
                 QString("Warning, username %1 is more than 20 characters long and will be "
                         "truncated to %2.")
                     .arg(name, expected));
    }
};

QTEST_GUILESS_MAIN(TestSession)
#include "tst_session.moc"
