// "&Open sample database" in the desktop program: the first request creates the sample
// database in the user's data folder with its month's sessions and switches to it; an
// existing one is opened as it is; a folder that cannot be made leaves the open database.
#include "common/freshprocess.h"
#include "common/modalwatcher.h"
#include "common/recordingui.h"
#include "common/testfolders.h"
#include "core/app/dbsession.h"
#include "core/app/operationlog.h"
#include "core/app/registrystore.h"
#include "core/app/schemaupgrade.h"
#include "core/app/settingsvalues.h"
#include "core/db/database.h"
#include "core/db/schema.h"
#include "core/jobs/samplemonth.h"
#include "core/sample/sampledatabase.h"
#include "core/sample/sampledetail.h"
#include "ui/app/sampleopen.h"
#include "ui/app/tollkeeperapp.h"
#include "ui/app/welcomedlg.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <memory>

namespace {

qint64 count(Database& db, const QString& sql) {
    return db.scalar(sql).toLongLong();
}

// Presses "&Open sample database" in the welcome dialog, then OK; answers message boxes
// with OK and records them.
struct CWelcomeClicker : CModalWatcher {
    QStringList boxes;
    bool clicked = false;
    CWelcomeClicker()
        : CModalWatcher([this](QWidget* w) {
              if (auto* box = qobject_cast<QMessageBox*>(w)) {
                  boxes.append(box->text());
                  box->button(QMessageBox::Ok) ? box->button(QMessageBox::Ok)->click()
                                               : box->reject();
              } else if (auto* welcome = qobject_cast<CWelcomeDlg*>(w)) {
                  if (!clicked) {
                      clicked = true;
                      welcome->openSampleButton()->click();
                  } else {
                      welcome->accept();
                  }
              }
          }) {}
};

} // namespace

class TestSampleOpen : public QObject {
    Q_OBJECT

    std::unique_ptr<CFreshProcess> m_folders;

private slots:
    void init() {
        m_folders = std::make_unique<CFreshProcess>();
        QVERIFY(m_folders->isValid());
    }
    void cleanup() { m_folders.reset(); }

    // The whole road on a first run: welcome dialog, the button, a new sample database with
    // the month imported, the session on it and remembered.
    void welcomeButtonCreatesAndOpensTheSample() {
        const QString sample = CDatabaseSession::sampleDatabasePath();
        QVERIFY(!QFileInfo::exists(sample));
        CWelcomeClicker clicker;
        CTollkeeperApp app;
        QVERIFY(app.initInstance({"tollkeeper"}));
        QVERIFY(app.welcomeDue());
        QVERIFY2(clicker.boxes.isEmpty(), qPrintable(clicker.boxes.join('\n')));
        QVERIFY(app.session()->isOpen());
        QCOMPARE(QFileInfo(app.session()->path()), QFileInfo(sample));
        QCOMPARE(QFileInfo(RegText(Reg::DatabasePath)), QFileInfo(sample));
        QVERIFY(QFileInfo::exists(SampleLogoPath(sample)));

        Database& db = *app.session()->database();
        const SampleDetailCounts counts = SampleDetailRecordCounts();
        QCOMPARE(count(db, "SELECT COUNT(*) FROM Events"), counts.stop);
        QCOMPARE(db.scalar("SELECT ServerName FROM Servers").toString(),
                 QLatin1String(kSampleServerName));
        QCOMPARE(count(db, "SELECT COUNT(*) FROM Invoices"), 0);
    }

    // A sample database already there is opened as it is (here: one without sessions).
    void existingSampleIsNotReplaced() {
        QVERIFY(theRegistry().open());
        CRecordingUi recorder;
        const QString sample = CDatabaseSession::sampleDatabasePath();
        QVERIFY(QDir().mkpath(QFileInfo(sample).absolutePath()));
        QVERIFY(CreateSampleDatabase(sample).ok);
        CDatabaseSession session;
        CDatabaseSession::StartupOptions startup;
        startup.confirmPath = false;
        QVERIFY(session.openAtStartup({}, startup));
        QCOMPARE(OpenSampleDatabase(session), 0);
        QCOMPARE(QFileInfo(session.path()), QFileInfo(sample));
        QCOMPARE(count(*session.database(), "SELECT COUNT(*) FROM Events"), 0);
        QVERIFY(recorder.messages.isEmpty());
    }

    // The data folder cannot be made: the user is told, nothing is left, the open database
    // stays open.
    void uncreatableFolderKeepsTheOpenDatabase() {
        QVERIFY(theRegistry().open());
        CRecordingUi recorder;
        CDatabaseSession session;
        CDatabaseSession::StartupOptions startup;
        startup.confirmPath = false;
        startup.createDefault = false;
        const QString own = m_folders->filePath(QStringLiteral("own.db"));
        CreateNewDatabase(own);
        QVERIFY(session.openAtStartup(own, startup));
        // A file where the data folder's parent should be.
        const QString sample = CDatabaseSession::sampleDatabasePath();
        const QString parent = QFileInfo(QFileInfo(sample).absolutePath()).absolutePath();
        QDir(parent).removeRecursively();
        QVERIFY(WriteFileBytes(parent, {}));

        QCOMPARE(OpenSampleDatabase(session), 13);
        QVERIFY(session.isOpen());
        QCOMPARE(QFileInfo(session.path()), QFileInfo(own));
        QVERIFY(!QFileInfo::exists(sample));
        QCOMPARE(recorder.messages.size(), 1);
        QVERIFY(recorder.messages.first().text.startsWith(
            QStringLiteral("Unable to create the sample database")));
    }
};

QTEST_MAIN(TestSampleOpen)
#include "tst_sampleopen.moc"
