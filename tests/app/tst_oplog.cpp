#include "common/recordingui.h"
#include "common/testfolders.h"
#include "core/app/appcontext.h"
#include "core/app/cp1252.h"
#include "core/app/operationlog.h"
#include "core/app/oplog.h"
#include "core/app/registrystore.h"
#include "core/app/settingsvalues.h"
#include "core/db/dbexception.h"

#include <QtTest>
#include <memory>
#include <stdexcept>

namespace {
struct RecordingListener : ILogListener {
    QStringList events;
    void lineAdded(const QString& line) override { events.append("line:" + line); }
    void cleared() override { events.append("cleared"); }
};

const QString kNotFound =
    "%1\nCannot find this file.\nPlease verify that the correct path and file name are given.";
} // namespace

class TestOpLog : public QObject {
    Q_OBJECT

    std::unique_ptr<CTestFolders> m_folders;
    std::unique_ptr<CRecordingUi> m_ui;
    QString m_path;

    QStringList fileLines() const {
        QStringList lines = QString::fromLatin1(FileBytes(m_path)).split("\r\n");
        if (!lines.isEmpty() && lines.last().isEmpty())
            lines.removeLast();
        return lines;
    }

private slots:
    void init() {
        App().reset();
        m_folders = std::make_unique<CTestFolders>();
        QVERIFY(theRegistry().open());
        m_path = m_folders->filePath("logs/Tollk.log");
        QDir().mkpath(m_folders->filePath("logs"));
        QVERIFY(RegWriteText(Reg::LogFileName, m_path));
        m_ui = std::make_unique<CRecordingUi>();
    }
    void cleanup() {
        m_ui.reset();
        App().reset();
        m_folders.reset();
    }

    void lineFormat() {
        const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
        LogResult("alice", 1);
        LogResult(39);
        LogResult("bob", 25); // a warning without a message
        const QDateTime after = QDateTime::currentDateTime().addSecs(1);
        const QStringList lines = fileLines();
        QCOMPARE(lines.size(), 3);
        const QStringList f = lines[0].split('\t');
        QCOMPARE(f.size(), 4);
        QCOMPARE(f[1], QString("alice"));
        QCOMPARE(f[2], QString("ERROR"));
        QCOMPARE(f[3], QString("No billing plan or can't open billing plan."));
        QCOMPARE(f[0], LogDateText(ParseLogDate(f[0])));
        const QDateTime written = ParseLogDate(f[0]);
        QVERIFY2(written >= before && written <= after, qPrintable(f[0]));
        QVERIFY(f[0].contains(QString::number(QDate::currentDate().year())));
        QCOMPARE(lines[1].section('\t', 1), QString("Unknown customer\tSUCCESS\tInvoice "
                                                    "creation succeeded."));
        QVERIFY(FileBytes(m_path).endsWith("\tbob\tWARNING\t\r\n"));
        QVERIFY(m_ui->messages.isEmpty());
    }

    void successOnlyWhileLoggingOn() {
        QVERIFY(theLog().loggingEnabled()); // default on
        theLog().toggleLogging();
        QVERIFY(!theLog().loggingEnabled());
        QCOMPARE(RegYesNo(Reg::Logging), false); // stored at once
        LogResult("a", 39);
        LogResult("b", 37);
        QVERIFY(FileBytes(m_path).isEmpty());
        QVERIFY(!theLog().problem());
        LogResult("c", 3);
        LogResult("d", 25);
        LogText("e", "neg", -2);
        const QStringList lines = fileLines();
        QCOMPARE(lines.size(), 3);
        QVERIFY(lines[0].endsWith("c\tERROR\tNo charges in billing plan."));
        QVERIFY(lines[1].endsWith("d\tWARNING\t"));
        QVERIFY(lines[2].endsWith("e\tSUCCESS\tneg"));

        // The switch is read from the settings in a new process.
        theLog().reset();
        QVERIFY(!theLog().loggingEnabled());
        theLog().toggleLogging();
        theLog().reset();
        QVERIFY(theLog().loggingEnabled());
    }

    void problemFlag_data() {
        QTest::addColumn<int>("code");
        QTest::addColumn<bool>("problem");
        QTest::addColumn<QString>("severity");
        QTest::newRow("negative") << -1 << true << "SUCCESS";
        QTest::newRow("error") << 5 << true << "ERROR";
        QTest::newRow("warning") << 25 << true << "WARNING";
        QTest::newRow("success") << 35 << false << "SUCCESS";
        QTest::newRow("aborted") << 40 << false << "SUCCESS";
    }
    void problemFlag() {
        QFETCH(int, code);
        QFETCH(bool, problem);
        QFETCH(QString, severity);
        QVERIFY(!theLog().problem());
        LogText("x", "m", code);
        QCOMPARE(theLog().problem(), problem);
        QCOMPARE(fileLines().value(0).section('\t', 2, 2), severity);
        // Set even when the line cannot be written.
        theLog().reset();
        QVERIFY(RegWriteText(Reg::LogFileName, m_folders->filePath("missing/dir/x.log")));
        LogText("x", "m", code);
        QCOMPARE(theLog().problem(), problem);
    }

    void crlfAndWindows1252OnDisk() {
        LogText(QString::fromUtf8("Ren\u00e9"), QString::fromUtf8("\u20ac 5 f\u00fcr \u6f22"), 3);
        WriteLogLine("plain\n");
        WriteLogLine("no break");
        const QByteArray bytes = FileBytes(m_path);
        QVERIFY(bytes.contains("Ren\xe9\tERROR\t\x80 5 f\xfc\x72 ?\r\n"));
        QVERIFY(bytes.endsWith("\r\nplain\r\nno break\r\n"));
        QCOMPARE(bytes.count('\n'), bytes.count("\r\n"));
        // And back through the reader.
        const QStringList lines = theLog().readLines();
        QCOMPARE(lines.size(), 3);
        QCOMPARE(ParseLogLine(lines[0]).name, QString::fromUtf8("Ren\u00e9"));
        QCOMPARE(ParseLogLine(lines[0]).message, QString::fromUtf8("\u20ac 5 f\u00fcr ?"));
    }

    void fieldsStayOnTheirLine() {
        LogText("a\tb", "one\ttwo\r\nthree", 3);
        const QStringList lines = fileLines();
        QCOMPARE(lines.size(), 1);
        const LogLineFields f = ParseLogLine(lines[0]);
        QCOMPARE(f.name, QString("a b"));
        QCOMPARE(f.severity, QString("ERROR"));
        QCOMPARE(f.message, QString("one two  three"));
    }

    void neverTruncatedOnOpen() {
        QVERIFY(WriteFileBytes(m_path, "earlier line\r\n"));
        LogResult("a", 1);
        theLog().reset(); // a new process
        LogResult("b", 2);
        const QStringList lines = fileLines();
        QCOMPARE(lines.size(), 3);
        QCOMPARE(lines[0], QString("earlier line"));
        QVERIFY(lines[2].contains("\tb\tERROR\t"));
        // Reading the file does not move the write position.
        QCOMPARE(theLog().readLines().size(), 3);
        LogResult("c", 2);
        QCOMPARE(fileLines().size(), 4);
    }

    void missingFolderShowsNotFoundPerErrorEntry() {
        const QString bad = m_folders->filePath("missing/folder/Tollk.log");
        QVERIFY(RegWriteText(Reg::LogFileName, bad));
        LogResult("a", 1);
        LogResult("b", 39); // logging of non-error output is now off: not even tried
        LogResult("c", 25);
        QCOMPARE(m_ui->messages.size(), 2);
        QCOMPARE(m_ui->countMessages(kNotFound.arg(bad)), 2);
        QCOMPARE(m_ui->messages[0].icon, MessageIcon::Exclamation);
        QVERIFY(m_ui->questions.isEmpty());
        QVERIFY(!theLog().loggingEnabled());
        QCOMPARE(RegYesNo(Reg::Logging), true); // only switched off in memory
        QVERIFY(!QFileInfo::exists(bad));
        QVERIFY(!theLog().isOpen());
    }

    void folderAsFileShowsOpenFailure() {
        QVERIFY(RegWriteText(Reg::LogFileName, m_folders->filePath("logs")));
        LogResult("a", 1);
        QCOMPARE(m_ui->countMessages("Failed to open document."), 1);
        QVERIFY(!theLog().isOpen());
    }

    void unwritableFileShowsAccessMessage() {
        if (::geteuid() == 0)
            QSKIP("root may write anywhere");
        QVERIFY(WriteFileBytes(m_path, {}));
        QVERIFY(QFile::setPermissions(m_path, QFileDevice::ReadOwner));
        LogResult("a", 1);
        QCOMPARE(m_ui->countMessages(
                     QString("Unable to read from %1, it is opened by someone else.").arg(m_path)),
                 1);
        QFile::setPermissions(m_path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        // A folder that refuses a new log file says so.
        const QString folder = m_folders->filePath("locked");
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
        QVERIFY(RegWriteText(Reg::LogFileName, folder + "/Tollk.log"));
        LogResult("a", 1);
        QCOMPARE(m_ui->countMessages(
                     QString("Unable to create %1/Tollk.log: its folder cannot be written.")
                         .arg(folder)),
                 1);
        QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                          QFileDevice::ExeOwner);
    }

    void clearThenNextLineIsFirst() {
        RecordingListener view;
        theLog().addListener(&view);
        LogResult("a", 1);
        LogResult("b", 2);
        m_ui->queueAnswers({false, true});
        QVERIFY(!theLog().clearWithQuestion());
        QCOMPARE(fileLines().size(), 2);
        QVERIFY(theLog().clearWithQuestion());
        QCOMPARE(m_ui->questions.size(), 2);
        QCOMPARE(m_ui->questions[1].text, QString("Clear the logfile?"));
        QCOMPARE(m_ui->questions[1].icon, MessageIcon::Question);
        QVERIFY(FileBytes(m_path).isEmpty());
        QCOMPARE(view.events.last(), QString("cleared"));
        QVERIFY(theLog().isOpen()); // stays open
        LogResult("c", 3);
        const QByteArray bytes = FileBytes(m_path);
        QVERIFY(bytes.at(0) != '\0');
        QCOMPARE(fileLines().size(), 1);
        QVERIFY(fileLines()[0].contains("\tc\tERROR\t"));
        QCOMPARE(view.events.size(), 4);
        QVERIFY(view.events[3].startsWith("line:"));
        QVERIFY(!view.events[3].endsWith('\n'));
        theLog().removeListener(&view);
        LogResult("d", 3);
        QCOMPARE(view.events.size(), 4);
    }

    void reloadFromAnotherFile() {
        LogResult("old", 1);
        const QString other = m_folders->filePath("logs/Other.log");
        QVERIFY(WriteFileBytes(other, "l1\r\nl2\n"));
        RecordingListener view;
        theLog().addListener(&view);
        QVERIFY(RegWriteText(Reg::LogFileName, other));
        QVERIFY(theLog().reload());
        QCOMPARE(view.events, QStringList({"cleared", "line:l1", "line:l2"}));
        QCOMPARE(theLog().filePath(), other);
        LogResult("new", 2);
        QCOMPARE(fileLines().size(), 1); // the old file is left alone
        QVERIFY(FileBytes(other).endsWith("\tnew\tERROR\tNo invoice plan or can't open invoice "
                                          "plan.\r\n"));

        // A new name that cannot be opened: the views are empty, the message is shown.
        QVERIFY(RegWriteText(Reg::LogFileName, m_folders->filePath("nowhere/x.log")));
        QVERIFY(!theLog().reload());
        QCOMPARE(view.events.last(), QString("cleared"));
        QCOMPARE(m_ui->messages.size(), 1);
    }

    void reportOutcome() {
        int views = 0;
        theLog().setViewLogHook([&] { ++views; });

        // Problem, offer to view: asked; Yes opens the log; the flag is cleared either way.
        LogResult("a", 1);
        m_ui->queueAnswers({true});
        ReportLogOutcome(true, -1, true);
        QCOMPARE(m_ui->questions.size(), 1);
        QCOMPARE(m_ui->questions[0].text,
                 QString("An error or warning was issued, do you wish to view the log?"));
        QCOMPARE(m_ui->questions[0].icon, MessageIcon::Exclamation);
        QCOMPARE(views, 1);
        QVERIFY(!theLog().problem());
        LogResult("a", 30);
        ReportLogOutcome(true, -1, false); // default answer No
        QCOMPARE(views, 1);
        QVERIFY(!theLog().problem());

        // Problem without the offer: a message.
        LogResult("a", 1);
        ReportLogOutcome(false, -1, false);
        QCOMPARE(m_ui->messages.size(), 1);
        QCOMPARE(m_ui->messages[0].text, QString("An error or warning was issued."));
        QCOMPARE(m_ui->messages[0].icon, MessageIcon::Exclamation);
        QVERIFY(!theLog().problem());

        // No problem: said only when asked to.
        ReportLogOutcome(true, -1, false);
        QCOMPARE(m_ui->messages.size(), 1);
        ReportLogOutcome(true, -1, true);
        QCOMPARE(m_ui->messages.last().text, QString("Operation logged no errors or warnings."));
        QCOMPARE(m_ui->questions.size(), 2);

        // The caller's own verdict overrides the flag.
        ReportLogOutcome(false, 1, false);
        QCOMPARE(m_ui->messages.last().text, QString("An error or warning was issued."));
        LogResult("a", 1);
        ReportLogOutcome(false, 0, true);
        QCOMPARE(m_ui->messages.last().text, QString("Operation logged no errors or warnings."));
        QVERIFY(theLog().problem()); // not cleared by a report of no problem
    }

    void exceptionTextCutAt255() {
        LogException("x", std::runtime_error(std::string(300, 'y')), 5);
        LogException("x", DbException(QString::fromUtf8("Disk I/O error \u00e9")), 14);
        const QStringList lines = theLog().readLines();
        QCOMPARE(lines.size(), 2);
        QCOMPARE(ParseLogLine(lines[0]).message, QString(255, 'y'));
        QCOMPARE(ParseLogLine(lines[1]).message, QString::fromUtf8("Disk I/O error \u00e9"));
    }

    void parseLogLine() {
        LogText("carol", "message text", 27);
        const QString line = theLog().readLines().value(0);
        const LogLineFields f = ParseLogLine(line + "\r\n");
        QVERIFY(f.dateTime.isValid());
        QVERIFY(qAbs(f.dateTime.secsTo(QDateTime::currentDateTime())) <= 2);
        QCOMPARE(f.name, QString("carol"));
        QCOMPARE(f.severity, QString("WARNING"));
        QCOMPARE(f.message, QString("message text"));

        // A date written at another moment reads back to the second, summer and winter.
        for (const QDateTime& dt : {QDateTime(QDate(2024, 7, 1), QTime(21, 5, 9)),
                                    QDateTime(QDate(1999, 12, 31), QTime(0, 0, 1))})
            QCOMPARE(ParseLogLine(LogDateText(dt) + "\tn\tERROR\tm").dateTime, dt);

        const LogLineFields partial = ParseLogLine("garbage");
        QVERIFY(!partial.dateTime.isValid());
        QCOMPARE(partial.dateText, QString("garbage"));
        QVERIFY(partial.name.isEmpty() && partial.message.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestOpLog)
#include "tst_oplog.moc"
