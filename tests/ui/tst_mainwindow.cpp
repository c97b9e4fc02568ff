#include "common/modalwatcher.h"
#include "common/testfolders.h"
#include "core/app/appcontext.h"
#include "core/app/busystate.h"
#include "core/app/dbsession.h"
#include "core/app/operationlog.h"
#include "core/app/oplog.h"
#include "core/app/registrystore.h"
#include "core/app/settingsvalues.h"
#include "core/db/schema.h"
#include "ui/app/guiuserinterface.h"
#include "ui/app/logdoc.h"
#include "ui/app/logframe.h"
#include "ui/app/logview.h"
#include "ui/app/mainframe.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <QtTest>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

// Answers each modal message box with `answer` and records its text.
struct CBoxAnswerer : CModalWatcher {
    QStringList texts;
    explicit CBoxAnswerer(QMessageBox::StandardButton answer)
        : CModalWatcher([this, answer](QWidget* w) {
              auto* box = qobject_cast<QMessageBox*>(w);
              if (!box)
                  return;
              texts.append(box->text());
              if (QAbstractButton* b = box->button(answer))
                  b->click();
              else
                  box->reject();
          }) {}
};

// Answers each file dialog with a file name (empty: cancels) and records its title.
struct CFileDialogAnswerer : CModalWatcher {
    QStringList titles;
    explicit CFileDialogAnswerer(const QString& file)
        : CModalWatcher([this, file](QWidget* w) {
              auto* dialog = qobject_cast<QFileDialog*>(w);
              if (!dialog)
                  return;
              titles.append(dialog->windowTitle());
              if (file.isEmpty())
                  return dialog->reject();
              // Typed into the name field with nothing selected in the file list: selectFile()
              // may be overtaken by the dialog's initial selection once its folder has loaded
              // in the background, and a selected row wins over the typed name.
              for (QAbstractItemView* v : dialog->findChildren<QAbstractItemView*>())
                  if (v->selectionModel())
                      v->selectionModel()->clear();
              if (auto* edit = dialog->findChild<QLineEdit*>(u"fileNameEdit"_s))
                  edit->setText(file);
              else
                  dialog->selectFile(file);
              QMetaObject::invokeMethod(dialog, "accept");
          }) {}
};

// Counts Esc key presses that reach a widget.
class CEscCounter : public QObject {
public:
    int count = 0;
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(e)->key() == Qt::Key_Escape)
            ++count;
        return false;
    }
};

QStringList columnTexts(const QTreeWidget* view, int column) {
    QStringList out;
    for (int i = 0; i < view->topLevelItemCount(); ++i)
        out.append(view->topLevelItem(i)->text(column));
    return out;
}

} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT

    std::unique_ptr<CTestFolders> m_folders;
    std::unique_ptr<CGuiUserInterface> m_gui;
    std::unique_ptr<CMainFrame> m_frame;

    QString logPath() const { return m_folders->filePath(u"Tollk.log"_s); }

    void writeLogFile(const QStringList& lines) {
        QFile f(logPath());
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        for (const QString& l : lines)
            f.write(l.toLatin1() + "\r\n");
    }

    static QString line(const QDateTime& when, const QString& name, const QString& type,
                        const QString& message) {
        return LogDateText(when) + u'\t' + name + u'\t' + type + u'\t' + message;
    }

    // Sends a click to a header section, as the user does.
    static void clickHeader(CLogView* view, int section) {
        QHeaderView* head = view->header();
        const int x = head->sectionViewportPosition(section) + head->sectionSize(section) / 2;
        QTest::mouseClick(head->viewport(), Qt::LeftButton, {}, QPoint(x, head->height() / 2));
    }

private slots:
    void init() {
        App().reset();
        m_folders = std::make_unique<CTestFolders>();
        QVERIFY(m_folders->isValid());
        QVERIFY(theRegistry().open());
        QVERIFY(RegWriteText(Reg::LogFileName, logPath()));
        m_gui = std::make_unique<CGuiUserInterface>();
        setUi(m_gui.get());
        m_frame = std::make_unique<CMainFrame>(m_gui.get());
        m_frame->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_frame.get()));
    }

    void cleanup() {
        EndProcess();
        m_frame.reset();
        App().reset();
        m_gui.reset();
        m_folders.reset();
    }

    void enableLoggingReflectsAndStoresTheSwitch() {
        QAction* logging = m_frame->action("actionEnableLogging");
        QVERIFY(logging->isCheckable());
        emit m_frame->findChild<QMenu*>("FileMenu")->aboutToShow();
        QVERIFY(logging->isChecked()); // on by default

        logging->trigger();
        QVERIFY(!theLog().loggingEnabled());
        QVERIFY(!logging->isChecked());
        QCOMPARE(RegYesNo(Reg::Logging, true), false);

        logging->trigger();
        QVERIFY(theLog().loggingEnabled());
        QVERIFY(logging->isChecked());
        QCOMPARE(RegYesNo(Reg::Logging, false), true);

        // Switched off in memory behind the menu's back: the check mark follows on opening.
        theLog().setLoggingEnabled(false, false);
        emit m_frame->findChild<QMenu*>("FileMenu")->aboutToShow();
        QVERIFY(!logging->isChecked());
    }

    void logWindowShowsFileAndNewLines() {
        const QDateTime t0(QDate(2024, 3, 30), QTime(23, 15, 0));
        writeLogFile({line(t0, "alice", "ERROR", "Customer has no billing plan."),
                      line(t0.addSecs(60), "bob", "SUCCESS", "Invoice created.")});

        m_frame->action("actionViewLog")->trigger();
        CLogFrame* frame = CLogFrame::current();
        QVERIFY(frame);
        QVERIFY(CLogDoc::instance());
        CLogView* view = frame->view();
        QCOMPARE(view->topLevelItemCount(), 2);
        QCOMPARE(view->topLevelItem(0)->text(CLogView::ColName), u"alice"_s);
        QCOMPARE(view->topLevelItem(0)->text(CLogView::ColType), u"ERROR"_s);
        QCOMPARE(view->topLevelItem(0)->text(CLogView::ColMessage),
                 u"Customer has no billing plan."_s);
        QCOMPARE(view->topLevelItem(1)->text(CLogView::ColDate), LogDateText(t0.addSecs(60)));

        // Entries written while the window is open come in at the bottom, in view.
        for (int i = 0; i < 60; ++i)
            LogText(u"user%1"_s.arg(i), u"Warning %1"_s.arg(i), 26);
        QCOMPARE(view->topLevelItemCount(), 62);
        QTreeWidgetItem* last = view->topLevelItem(61);
        QCOMPARE(last->text(CLogView::ColName), u"user59"_s);
        QCOMPARE(last->text(CLogView::ColType), u"WARNING"_s);
        QCOMPARE(CLogDoc::instance()->lastLine().section(u'\t', 3), u"Warning 59"_s);
        QVERIFY(view->viewport()->rect().intersects(view->visualItemRect(last)));

        // A second View Logfile activates the same window.
        m_frame->action("actionViewLog")->trigger();
        QCOMPARE(m_frame->mdiArea()->subWindowList().size(), 1);
        QCOMPARE(CLogFrame::current(), frame);

        // Clearing empties the view; the next line is the first.
        theLog().clear();
        QCOMPARE(view->topLevelItemCount(), 0);
        LogText("carol", "After clearing", 1);
        QCOMPARE(view->topLevelItemCount(), 1);
        QCOMPARE(theLog().readLines().size(), 1);

        // Closing the window ends the document; its placement is kept.
        frame->close();
        QTRY_VERIFY(!CLogFrame::current());
        QVERIFY(!CLogDoc::instance());
        QVERIFY(!RegBinary(Reg::LogWindowPlacement).isEmpty());
        LogText("dave", "No window", 1); // nobody listens any more: must not crash
    }

    void clearLogfileAsksFirst_data() {
        QTest::addColumn<bool>("answer");
        QTest::newRow("no keeps the lines") << false;
        QTest::newRow("yes clears") << true;
    }
    void clearLogfileAsksFirst() {
        QFETCH(bool, answer);
        LogText("alice", "One", 1);
        LogText("bob", "Two", 1);
        CLogView* view = m_frame->viewLogfile()->view();
        QCOMPARE(view->topLevelItemCount(), 2);
        CBoxAnswerer answerer(answer ? QMessageBox::Yes : QMessageBox::No);
        m_frame->action("actionClearLog")->trigger();
        QCOMPARE(answerer.texts, QStringList{"Clear the logfile?"});
        QCOMPARE(view->topLevelItemCount(), answer ? 0 : 2);
        QCOMPARE(theLog().readLines().size(), answer ? 0 : 2);
    }

    void locateLogfileSwitchesAndReloads() {
        LogText("alice", "In the old file", 1);
        CLogView* view = m_frame->viewLogfile()->view();
        QCOMPARE(view->topLevelItemCount(), 1);
        const QString other = m_folders->filePath(u"other.log"_s);
        {
            QFile f(other);
            QVERIFY(f.open(QIODevice::WriteOnly));
            const QDateTime t(QDate(2024, 10, 27), QTime(2, 30));
            f.write(line(t, "bob", "ERROR", "first").toLatin1() + "\r\n" +
                    line(t, "carol", "WARNING", "second").toLatin1() + "\r\n");
        }
        {
            CFileDialogAnswerer chooser(other);
            m_frame->action("actionLocateLog")->trigger();
            QCOMPARE(chooser.titles, QStringList{"Locate Tollkeeper Logfile"});
        }
        QCOMPARE(QFileInfo(RegText(Reg::LogFileName)), QFileInfo(other));
        QCOMPARE(columnTexts(view, CLogView::ColName), (QStringList{"bob", "carol"}));
        LogText("dave", "third", 1);
        QCOMPARE(theLog().readLines().size(), 3);
        QCOMPARE(view->topLevelItemCount(), 3);

        // A new name in an existing folder is accepted: the log starts there.
        const QString fresh = m_folders->filePath(u"fresh.log"_s);
        {
            CFileDialogAnswerer chooser(fresh);
            m_frame->action("actionLocateLog")->trigger();
        }
        QCOMPARE(view->topLevelItemCount(), 0);
        LogText("erin", "into the new file", 1);
        QVERIFY(QFileInfo::exists(fresh));
        QCOMPARE(view->topLevelItemCount(), 1);
    }

    void logWindowPlacementIsRestored() {
        CLogFrame* frame = m_frame->viewLogfile();
        frame->showNormal();
        frame->setGeometry(QRect(17, 23, 310, 170));
        frame->close();
        QTRY_VERIFY(!CLogFrame::current());
        frame = m_frame->viewLogfile();
        QVERIFY(frame);
        QCOMPARE(frame->geometry(), QRect(17, 23, 310, 170));
    }

    void headerClickSortsAndReverses() {
        const QDateTime d1(QDate(2023, 12, 20), QTime(9, 0)), d2(QDate(2024, 1, 5), QTime(8, 0)),
            d3(QDate(2024, 11, 2), QTime(7, 0));
        writeLogFile({line(d2, "bob", "SUCCESS", "b message"),
                      line(d3, "Alice", "ERROR", "C message"),
                      line(d1, "carol", "WARNING", "a message")});
        CLogView* view = m_frame->viewLogfile()->view();
        QCOMPARE(view->topLevelItemCount(), 3);

        clickHeader(view, CLogView::ColName);
        QCOMPARE(columnTexts(view, CLogView::ColName), (QStringList{"Alice", "bob", "carol"}));
        clickHeader(view, CLogView::ColName);
        QCOMPARE(columnTexts(view, CLogView::ColName), (QStringList{"carol", "bob", "Alice"}));
        clickHeader(view, CLogView::ColName);
        QCOMPARE(columnTexts(view, CLogView::ColName), (QStringList{"Alice", "bob", "carol"}));

        // Dates sort by time, not by their text; another column starts ascending again.
        clickHeader(view, CLogView::ColDate);
        QCOMPARE(columnTexts(view, CLogView::ColName), (QStringList{"carol", "bob", "Alice"}));
        clickHeader(view, CLogView::ColDate);
        QCOMPARE(columnTexts(view, CLogView::ColName), (QStringList{"Alice", "bob", "carol"}));

        clickHeader(view, CLogView::ColMessage);
        QCOMPARE(columnTexts(view, CLogView::ColMessage),
                 (QStringList{"a message", "b message", "C message"}));

        // A line logged after sorting is added at the bottom.
        LogText("zed", "newest", 1);
        QCOMPARE(view->topLevelItem(3)->text(CLogView::ColName), u"zed"_s);
    }

    void busyStateInStatusBarDisablesTheRest() {
        m_frame->viewLogfile();
        m_frame->statusBar()->showMessage("Ready");
        BeginProcess(u"Importing events..."_s, PROC_DEFAULT);
        QVERIFY(m_gui->isBusy());
        QVERIFY(!m_gui->progressDialog());
        QVERIFY(m_gui->escPane());
        QCOMPARE(m_gui->messagePane()->text(), u"Importing events..."_s);
        QVERIFY(!m_frame->mdiArea()->isEnabled());
        QVERIFY(!m_frame->action("actionViewLog")->isEnabled());
        QVERIFY(!m_frame->menuBar()->actions().first()->isEnabled());
        QCOMPARE(m_frame->cursor().shape(), Qt::BusyCursor);

        BeginProcess(u"Customer 2 of 3"_s, PROC_DEFAULT);
        QCOMPARE(m_gui->messagePane()->text(), u"Customer 2 of 3"_s);
        QVERIFY(!CheckInterrupt());

        EndProcess();
        QVERIFY(!m_gui->isBusy());
        QVERIFY(!m_gui->escPane());
        QCOMPARE(m_frame->statusBar()->currentMessage(), u"Customer 2 of 3"_s);
        QVERIFY(m_frame->mdiArea()->isEnabled());
        QVERIFY(m_frame->action("actionViewLog")->isEnabled());
        QVERIFY(m_frame->menuBar()->actions().first()->isEnabled());
        QVERIFY(m_frame->cursor().shape() != Qt::BusyCursor);
    }

    void otherTopLevelWindowsAreDisabled() {
        QWidget other;
        other.show();
        QWidget alreadyOff;
        alreadyOff.setEnabled(false);
        alreadyOff.show();
        BeginProcess(QString(), PROC_DISABLE_WINDOWS | PROC_STATUS_BAR);
        QVERIFY(!other.isEnabled());
        QVERIFY(m_frame->isEnabled());
        EndProcess();
        QVERIFY(other.isEnabled());
        QVERIFY(!alreadyOff.isEnabled()); // left as it was
    }

    void escAsksToInterrupt_data() {
        QTest::addColumn<int>("flags");
        QTest::addColumn<bool>("answer");
        QTest::newRow("status bar, no goes on") << int(PROC_DEFAULT) << false;
        QTest::newRow("status bar, yes interrupts") << int(PROC_DEFAULT) << true;
        QTest::newRow("dialog, no goes on") << int(PROC_ESC_INTERRUPTS) << false;
        QTest::newRow("dialog, yes interrupts") << int(PROC_ESC_INTERRUPTS) << true;
    }
    void escAsksToInterrupt() {
        QFETCH(int, flags);
        QFETCH(bool, answer);
        BeginProcess(u"Working"_s, flags);
        QWidget* target = m_gui->progressDialog() ? m_gui->progressDialog() : m_frame.get();
        CEscCounter counter;
        target->installEventFilter(&counter);

        {
            CBoxAnswerer answerer(answer ? QMessageBox::Yes : QMessageBox::No);
            QTest::keyClick(target, Qt::Key_Escape);
            QCOMPARE(CheckInterrupt(), answer);
            QCOMPARE(answerer.texts, QStringList{"Interrupt process?"});
        }
        QCOMPARE(counter.count, 0); // the key was consumed
        {
            // Once interrupted it stays so without asking again; otherwise nothing is pending.
            CBoxAnswerer answerer(QMessageBox::Yes);
            QCOMPARE(CheckInterrupt(), answer);
            QVERIFY(answerer.texts.isEmpty());
        }
        EndProcess();
        QVERIFY(!m_gui->progressDialog());

        // Idle again: Esc reaches the windows as usual.
        m_frame->installEventFilter(&counter);
        QTest::keyClick(m_frame.get(), Qt::Key_Escape);
        QCOMPARE(counter.count, 1);
        m_frame->removeEventFilter(&counter);
    }

    void closingTheMainWindowWhileBusy_data() {
        QTest::addColumn<int>("flags");
        QTest::addColumn<bool>("asks");
        QTest::newRow("close interrupts") << int(PROC_DEFAULT) << true;
        QTest::newRow("close ignored") << int(PROC_STATUS_BAR | PROC_ESC_INTERRUPTS) << false;
        QTest::newRow("dialog, close interrupts") << int(PROC_CLOSE_INTERRUPTS) << true;
    }
    void closingTheMainWindowWhileBusy() {
        QFETCH(int, flags);
        QFETCH(bool, asks);
        BeginProcess(u"Working"_s, flags);
        QVERIFY(!m_frame->close());
        QVERIFY(m_frame->isVisible());
        {
            CBoxAnswerer answerer(QMessageBox::Yes);
            QCOMPARE(CheckInterrupt(), asks);
            QCOMPARE(answerer.texts.size(), asks ? 1 : 0);
        }
        // Interrupted or not, the window stays until the operation has ended.
        QVERIFY(!m_frame->close());
        QVERIFY(m_frame->isVisible());
        EndProcess();
        QVERIFY(m_frame->close());
        QVERIFY(!RegBinary(Reg::MainWndPlacement).isEmpty());
    }

    void progressDialogShowsTextAndTakesCloseAsRequest() {
        BeginProcess(u"not shown"_s, PROC_ESC_INTERRUPTS | PROC_CLOSE_INTERRUPTS);
        auto* dialog = m_gui->progressDialog();
        QVERIFY(dialog);
        QVERIFY(dialog->isVisible());
        QVERIFY(dialog->windowFlags() & Qt::CustomizeWindowHint);
        QVERIFY(!(dialog->windowFlags() & Qt::WindowTitleHint));
        auto* text = dialog->findChild<QLabel*>("ProgressText");
        QCOMPARE(text->text(), u"Updating Tollkeeper database.  This may take a long time..."_s);
        BeginProcess(u"Level 3 of 9"_s, 0);
        QCOMPARE(text->text(), u"Level 3 of 9"_s);
        BeginProcess(QString(), 0);
        QCOMPARE(text->text(), u"Level 3 of 9"_s);

        QVERIFY(!dialog->close());
        QVERIFY(dialog->isVisible());
        {
            CBoxAnswerer answerer(QMessageBox::No);
            QVERIFY(!CheckInterrupt());
            QCOMPARE(answerer.texts, QStringList{"Interrupt process?"});
        }
        EndProcess();
        QVERIFY(!m_gui->progressDialog());
    }

    void databaseCommandsFromTheMenu() {
        const QString database = m_folders->filePath(u"office.db"_s);
        CreateNewDatabase(database);
        QVERIFY(RegWriteText(Reg::DatabasePath, database));
        QVERIFY(RegWriteYesNo(Reg::SuppressDatabasePrompt, true));
        CDatabaseSession session;
        QVERIFY(session.openAtStartup());

        // An open document window stops the command before its question.
        m_frame->viewLogfile();
        {
            CBoxAnswerer answerer(QMessageBox::Ok);
            m_frame->action("actionCompact")->trigger();
            QCOMPARE(answerer.texts, QStringList{"Please close all invoice and report windows "
                                                 "before using this feature."});
        }
        QVERIFY(m_frame->closeAllDocumentWindows());
        {
            CBoxAnswerer answerer(QMessageBox::Yes);
            m_frame->action("actionCompact")->trigger();
            QCOMPARE(answerer.texts.size(), 1);
            QVERIFY(answerer.texts[0].startsWith("This operation will compact the database"));
        }
        QVERIFY(session.isOpen());
        QCOMPARE(QFileInfo(session.path()), QFileInfo(database));
        QCOMPARE(m_frame->statusBar()->currentMessage(), u"Done"_s);

        // Backup asks for the target with a save dialog.
        const QString copy = m_folders->filePath(u"copy.db"_s);
        {
            CFileDialogAnswerer chooser(copy);
            m_frame->action("actionBackup")->trigger();
            QCOMPARE(chooser.titles, QStringList{"Backup Tollkeeper Database"});
        }
        QVERIFY(QFileInfo::exists(copy));
        QCOMPARE(m_frame->statusBar()->currentMessage(), u"Done"_s);
        {
            CFileDialogAnswerer chooser{QString()}; // cancelled: nothing happens
            m_frame->action("actionBackup")->trigger();
            QCOMPARE(chooser.titles.size(), 1);
        }
    }

    void mainWindowPlacementIsRestored() {
        m_frame->setGeometry(QRect(40, 50, 640, 420));
        QVERIFY(m_frame->close());
        CMainFrame again(m_gui.get());
        QVERIFY(again.restorePlacement());
        QCOMPARE(again.geometry().size(), QSize(640, 420));
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
