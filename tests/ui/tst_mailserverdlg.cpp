// The "Mail Server" dialog offscreen: the test message goes with the values as entered, before
// they are kept, and a refused value keeps the dialog open with its reason.
#include "common/recordingui.h"
#include "common/smtpsinkprocess.h"
#include "common/testfolders.h"
#include "core/app/operationlog.h"
#include "core/app/registrystore.h"
#include "core/mail/smtpsettings.h"
#include "ui/mail/mailserverdlg.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

class TestMailServerDlg : public QObject {
    Q_OBJECT

private slots:
    void testMessageThenRefusedThenKept() {
        CTestFolders folders;
        QVERIFY(theRegistry().open());
        CSmtpSinkProcess sink;
        QString error;
        if (!sink.start(folders.filePath(QStringLiteral("inbox")), &error))
            QFAIL(qPrintable(error));

        CMailServerDlg dlg;
        auto field = [&dlg](const char* name) {
            return dlg.findChild<QLineEdit*>(QString::fromLatin1(name));
        };
        field("server")->setText(QStringLiteral("127.0.0.1:%1").arg(sink.port()));
        field("from")->setText(QStringLiteral("billing@isp.example"));
        field("to")->setText(QStringLiteral("office@isp.example"));
        CRecordingUi recorder;
        dlg.findChild<QPushButton*>(QStringLiteral("sendTest"))->click();
        QCOMPARE(sink.storedCount(), 1);
        QVERIFY2(recorder.transcript().join('\n').contains(QLatin1String("accepted the test")),
                 qPrintable(recorder.transcript().join('\n')));
        QCOMPARE(ReadSmtpSettings().user, QString()); // trying keeps nothing

        // A user name without TLS is refused: the dialog stays open and nothing is kept.
        field("user")->setText(QStringLiteral("clerk"));
        field("password")->setText(QStringLiteral("pw"));
        dlg.accept();
        QCOMPARE(dlg.result(), int(QDialog::Rejected));
        QVERIFY(recorder.transcript().join('\n').contains(QLatin1String("clear text")));
        QCOMPARE(ReadSmtpSettings().user, QString());

        auto* security = dlg.findChild<QComboBox*>(QStringLiteral("security"));
        security->setCurrentIndex(security->findData(int(SmtpSecurity::StartTls)));
        dlg.accept();
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        const SmtpSettings kept = ReadSmtpSettings();
        QCOMPARE(kept.security, SmtpSecurity::StartTls);
        QCOMPARE(kept.user + kept.password, QStringLiteral("clerkpw"));
        theLog().close();
        theRegistry().close();
    }
};

QTEST_MAIN(TestMailServerDlg)
#include "tst_mailserverdlg.moc"
