#include "common/recordingui.h"
#include "core/app/busystate.h"

#include <QtTest>

// The busy state driven through the scripted interface: Esc presses reach the operation only
// through CheckInterrupt, which confirms before interrupting.
class TestBusyState : public QObject {
    Q_OBJECT

private slots:
    void cleanup() {
        // A failed check must not leave the next case inside an operation.
        if (IsProcessRunning())
            EndProcess();
    }

    void escAnsweredNoGoesOn() {
        CRecordingUi ui;
        BeginProcess("Importing...", PROC_DEFAULT);
        ui.pressEsc();
        ui.queueAnswer(false);
        QVERIFY(!CheckInterrupt());
        QCOMPARE(ui.questions.size(), 1);
        QCOMPARE(ui.questions[0].text, QString("Interrupt process?"));
        QCOMPARE(ui.pendingEsc(), 0); // the key press was consumed
        // Nothing pending: no further question.
        QVERIFY(!CheckInterrupt());
        QCOMPARE(ui.questions.size(), 1);
        QVERIFY(!IsProcessInterrupted());
        EndProcess();
        QCOMPARE(ui.processCalls, QStringList({"start:29:Importing...", "end:29"}));
    }

    void escAnsweredYesInterruptsAndStays() {
        CRecordingUi ui;
        BeginProcess(QString(), PROC_DEFAULT);
        ui.pressEsc();
        ui.queueAnswer(true);
        QVERIFY(CheckInterrupt());
        QVERIFY(IsProcessInterrupted());
        // Later checks answer at once, without polling or asking again.
        const int polls = ui.polls;
        QVERIFY(CheckInterrupt());
        QVERIFY(CheckInterrupt());
        QCOMPARE(ui.polls, polls);
        QCOMPARE(ui.questions.size(), 1);
        EndProcess();
        QVERIFY(!IsProcessRunning());
        QVERIFY(!IsProcessInterrupted());
        // The next operation starts clean.
        BeginProcess(QString(), PROC_DEFAULT);
        QVERIFY(!CheckInterrupt());
        EndProcess();
    }

    void escIgnoredWithoutEscFlag() {
        CRecordingUi ui;
        BeginProcess(QString(), PROC_DISABLE_WINDOWS | PROC_STATUS_BAR);
        ui.pressEsc();
        QVERIFY(!CheckInterrupt());
        QVERIFY(ui.questions.isEmpty());
        EndProcess();
    }

    void closeRequestWithCloseFlag() {
        CRecordingUi ui;
        BeginProcess(QString(), PROC_CLOSE_INTERRUPTS);
        ui.requestClose();
        ui.queueAnswer(true);
        QVERIFY(CheckInterrupt());
        EndProcess();
    }

    void confirmInterruptWhenIdle() {
        CRecordingUi ui;
        QVERIFY(!IsProcessRunning());
        QVERIFY(ConfirmInterrupt());
        QVERIFY(ui.questions.isEmpty());
        // While running it asks.
        BeginProcess(QString(), PROC_DEFAULT);
        ui.queueAnswer(false);
        QVERIFY(!ConfirmInterrupt());
        QCOMPARE(ui.questions.size(), 1);
        EndProcess();
    }

    void requestInterruptFromWindow() {
        CRecordingUi ui;
        QVERIFY(!RequestInterrupt()); // nothing runs: nothing to mark, nothing asked
        QVERIFY(ui.questions.isEmpty());
        BeginProcess(QString(), PROC_DEFAULT);
        ui.queueAnswers({false, true});
        QVERIFY(!RequestInterrupt());
        QVERIFY(!CheckInterrupt());
        QVERIFY(RequestInterrupt());
        QVERIFY(CheckInterrupt());
        EndProcess();
    }

    void secondBeginOnlyReplacesMessage() {
        CRecordingUi ui;
        BeginProcess("First", PROC_DEFAULT);
        ui.pressEsc();
        ui.queueAnswer(true);
        QVERIFY(CheckInterrupt());
        BeginProcess("Second", 0);
        BeginProcess(QString(), 0);
        QVERIFY(IsProcessInterrupted());
        QCOMPARE(CurrentProcessFlags(), int(PROC_DEFAULT));
        EndProcess();
        QCOMPARE(ui.processCalls, QStringList({"start:29:First", "message:Second", "end:29"}));
        // A second EndProcess is harmless.
        EndProcess();
        QCOMPARE(ui.processCalls.size(), 3);
    }

    void scopeEndsOnlyWhatItBegan() {
        CRecordingUi ui;
        {
            CProcessScope outer("Outer", PROC_DEFAULT);
            {
                CProcessScope inner(QString(), 0);
                QVERIFY(IsProcessRunning());
            }
            QVERIFY(IsProcessRunning());
        }
        QVERIFY(!IsProcessRunning());
    }

    void interruptCheckedInsideALoop() {
        // An operation over ten items, Esc pressed while the fourth is handled.
        CRecordingUi ui;
        ui.queueAnswer(true);
        int handled = 0;
        ui.onPoll = [&] {
            if (handled == 3)
                ui.pressEsc();
        };
        BeginProcess(QString(), PROC_DEFAULT);
        for (int i = 0; i < 10; ++i) {
            if (CheckInterrupt())
                break;
            ++handled;
        }
        EndProcess();
        // The press arrives during the fourth check and is seen on the fifth.
        QCOMPARE(handled, 4);
    }
};

QTEST_GUILESS_MAIN(TestBusyState)
#include "tst_busystate.moc"
