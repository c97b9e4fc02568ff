#include "common/freshprocess.h"
#include "common/modalwatcher.h"
#include "core/app/dbsession.h"
#include "core/app/operationlog.h"
#include "core/app/registrystore.h"
#include "core/app/schemaupgrade.h"
#include "core/app/settingsvalues.h"
#include "ui/app/mainframe.h"
#include "ui/app/tollkeeperapp.h"
#include "ui/app/welcomedlg.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QTimer>
#include <QtTest>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

// Answers whatever modal window comes up: message boxes with OK / Yes, file dialogs with
// Cancel, the welcome dialog with OK. Records what it saw.
struct CModalAnswerer : CModalWatcher {
    QStringList seen;
    CModalAnswerer()
        : CModalWatcher([this](QWidget* w) {
              if (auto* box = qobject_cast<QMessageBox*>(w)) {
                  seen.append(u"box:"_s + box->text());
                  QAbstractButton* b = box->button(QMessageBox::Yes);
                  (b ? b : box->button(QMessageBox::Ok))->click();
              } else if (auto* files = qobject_cast<QFileDialog*>(w)) {
                  seen.append(u"files:"_s + files->windowTitle());
                  files->reject();
              } else if (auto* welcome = qobject_cast<CWelcomeDlg*>(w)) {
                  seen.append(u"welcome:"_s + welcome->windowTitle());
                  welcome->accept();
              }
          }) {}
};

} // namespace

// The start-up of the desktop program, run in this process.
class TestStartup : public QObject {
    Q_OBJECT

    std::unique_ptr<CFreshProcess> m_folders;

private slots:
    void init() {
        m_folders = std::make_unique<CFreshProcess>();
        QVERIFY(m_folders->isValid());
    }
    void cleanup() { m_folders.reset(); }

    void commandLineFile_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("file");
        QTest::newRow("none") << QStringList{"tollkeeper"} << QString();
        QTest::newRow("plain") << QStringList{"tollkeeper", "/data/office.db"}
                               << u"/data/office.db"_s;
        QTest::newRow("leading quote")
            << QStringList{"tollkeeper", "\"/data/my office.db"} << u"/data/my office.db"_s;
        QTest::newRow("options skipped")
            << QStringList{"tollkeeper", "--verbose", "/data/a.db"} << u"/data/a.db"_s;
        QTest::newRow("after --") << QStringList{"tollkeeper", "--", "-odd.db"} << u"-odd.db"_s;
    }
    void commandLineFile() {
        QFETCH(QStringList, arguments);
        QFETCH(QString, file);
        QCOMPARE(CTollkeeperApp::commandLineFile(arguments), file);
    }

    void earlyRelease_data() {
        QTest::addColumn<int>("version");
        QTest::addColumn<bool>("early");
        QTest::newRow("not read") << -1 << false;
        QTest::newRow("new database row") << 0 << true;
        QTest::newRow("1.10 build 12") << (12 * 65536 + 110) << true;
        QTest::newRow("1.99") << 199 << true;
        QTest::newRow("2.00") << 200 << false;
        QTest::newRow("2.05 build 44") << (44 * 65536 + 205) << false;
    }
    void earlyRelease() {
        QFETCH(int, version);
        QFETCH(bool, early);
        QCOMPARE(CTollkeeperApp::isEarlyRelease(version), early);
    }

    void firstRunWelcomesThenLaterRunsDoNot() {
        {
            CModalAnswerer answerer;
            CTollkeeperApp app;
            QVERIFY(app.initInstance({"tollkeeper"}));
            QVERIFY(app.mainFrame());
            QVERIFY(app.mainFrame()->isVisible());
            QVERIFY(app.welcomeDue());
            QCOMPARE(answerer.seen, QStringList{"welcome:Welcome to Tollkeeper!"});
            QVERIFY(app.session()->isOpen());
            QCOMPARE(QFileInfo(RegText(Reg::DatabasePath)),
                     QFileInfo(CDatabaseSession::defaultDatabasePath()));
        }
        CFreshProcess::resetProcessState();
        {
            CModalAnswerer answerer;
            CTollkeeperApp app;
            QVERIFY(app.initInstance({"tollkeeper"}));
            QVERIFY(!app.welcomeDue());
            QVERIFY(answerer.seen.isEmpty());
            QVERIFY(app.mainFrame()->isVisible());
        }
    }

    void unopenableDatabaseWithoutLocateEndsStartup() {
        {
            QVERIFY(theRegistry().open());
            QVERIFY(RegWriteText(Reg::DatabasePath, m_folders->filePath("gone/office.db")));
            QVERIFY(RegWriteYesNo(Reg::SuppressDatabasePrompt, true));
            CFreshProcess::resetProcessState();
        }
        CModalAnswerer answerer;
        CTollkeeperApp app;
        QVERIFY(!app.initInstance({"tollkeeper"}));
        QVERIFY(app.exitCode() != 0);
        QVERIFY(!app.mainFrame());
        QVERIFY(!answerer.seen.isEmpty());
        QVERIFY2(answerer.seen.first().startsWith("box:Error opening Tollkeeper database "),
                 qPrintable(answerer.seen.join('|')));
        QVERIFY(answerer.seen.contains("files:Locate Tollkeeper Database"));
    }
};

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
