#include "common/testfolders.h"
#include "core/app/registrystore.h"
#include "core/app/settingsvalues.h"
#include "core/db/schema.h"
#include "ui/app/singleinstance.h"

#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QProcess>
#include <QThread>
#include <QWidget>
#include <QtTest>
#include <atomic>
#include <memory>

using namespace Qt::StringLiterals;

// The hand-over between a running instance and a later start: in one process with the running
// side on its own thread (each side blocks while it waits), and with the real program started
// twice.
class TestSingleInstance : public QObject {
    Q_OBJECT

    static QString uniqueKey(const char* tag) {
        return u"tk-test-%1-%2-%3"_s.arg(QString::fromLatin1(tag))
            .arg(QCoreApplication::applicationPid())
            .arg(QDateTime::currentMSecsSinceEpoch());
    }

private slots:
    void laterStartHandsOverToRunningInstance() {
        const QString key = uniqueKey("handover");
        QThread thread;
        auto* running = new CSingleInstance(key);
        running->moveToThread(&thread);
        std::atomic<int> activations{0};
        connect(
            running, &CSingleInstance::activationRequested, running,
            [&activations] { ++activations; }, Qt::DirectConnection);
        connect(&thread, &QThread::finished, running, &QObject::deleteLater);
        thread.start();
        bool listening = false;
        QMetaObject::invokeMethod(
            running, [&] { listening = running->listen(); }, Qt::BlockingQueuedConnection);
        QVERIFY(listening);

        CSingleInstance later(key);
        QVERIFY(later.handOverToRunning());
        QCOMPARE(activations.load(), 1);
        CSingleInstance third(key);
        QVERIFY(third.handOverToRunning());
        QCOMPARE(activations.load(), 2);

        thread.quit();
        QVERIFY(thread.wait(5000));
        // The instance has gone: the next start runs on its own.
        QVERIFY(!CSingleInstance(key).handOverToRunning(500));
    }

    void socketLeftByDeadInstanceIsReplaced() {
        const QString key = uniqueKey("stale");
        const QString path = QDir::tempPath() + u'/' + key;
        QVERIFY(WriteFileBytes(path, {}));
        CSingleInstance first(key);
        QVERIFY(!first.handOverToRunning(500));
        QVERIFY(first.listen());
        QVERIFY(first.isListening());
        QLocalServer::removeServer(key);
    }

    void bringToFrontRestoresTheWindow() {
        QWidget window;
        window.showMinimized();
        QVERIFY(window.isMinimized());
        bringToFront(&window);
        QVERIFY(!window.isMinimized());
        QVERIFY(window.isVisible());
    }

    void secondProgramStartEndsAndFirstKeepsRunning() {
        const QString program = QStringLiteral(TK_BINARY_DIR "/src/ui/tollkeeper");
        if (!QFileInfo(program).isExecutable())
            QFAIL("the tollkeeper program has not been built");

        CTestFolders folders;
        QVERIFY(folders.isValid());
        const QString tmp = folders.filePath(u"tmp"_s);
        QVERIFY(QDir().mkpath(tmp));
        const QString database = folders.filePath(u"office.db"_s);
        CreateNewDatabase(database);

        // Settings as after an earlier run: the database known, no question about it.
        theRegistry().close();
        QVERIFY(theRegistry().open());
        QVERIFY(RegWriteText(Reg::DatabasePath, database));
        QVERIFY(RegWriteYesNo(Reg::SuppressDatabasePrompt, true));
        theRegistry().close();

        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"HOME"_s, folders.path());
        env.insert(u"TMPDIR"_s, tmp); // the instance socket lives here
        env.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
        const QString socketPath = tmp + u'/' + CSingleInstance::defaultKey();

        QProcess first;
        first.setProcessEnvironment(env);
        first.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        first.start(program, {});
        QVERIFY(first.waitForStarted(10000));
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(socketPath), 20000);
        QTest::qWait(300);
        QCOMPARE(first.state(), QProcess::Running);

        QProcess second;
        second.setProcessEnvironment(env);
        second.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        second.start(program, {});
        QVERIFY(second.waitForFinished(15000));
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);

        QTest::qWait(200);
        QCOMPARE(first.state(), QProcess::Running);
        first.terminate();
        if (!first.waitForFinished(5000)) {
            first.kill();
            first.waitForFinished(5000);
        }
    }
};

QTEST_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"
