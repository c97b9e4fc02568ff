// Untrusted text in invoice e-mails: addresses that would break an SMTP command, header lines
// too long for RFC 5322, a logo that is no image, and a server that refuses a recipient or
// the message, each against a real SMTP server (aiosmtpd) or a listener that must see nothing.
#include "common/billingfixture.h"
#include "common/cliprocess.h"
#include "common/deliveryfixture.h"
#include "common/loggedentries.h"
#include "common/recordingui.h"
#include "common/smtpsinkprocess.h"
#include "common/testfolders.h"
#include "core/app/operationlog.h"
#include "core/app/registrystore.h"
#include "core/app/settingsvalues.h"
#include "core/db/database.h"
#include "core/db/schema.h"
#include "core/mail/mailaddress.h"
#include "core/mail/mimemessage.h"
#include "core/mail/smtpclient.h"

#include <QFile>
#include <QTcpServer>
#include <QtTest>
#include <memory>

namespace {
using Received = CSmtpSinkProcess::Message;

MailRequest request() {
    MailRequest r;
    r.server = QStringLiteral("127.0.0.1");
    r.sender = QStringLiteral("billing@isp.example");
    r.subject = QStringLiteral("INTERNET USAGE");
    r.logonName = QStringLiteral("joe");
    r.fullName = QStringLiteral("Joe Miller");
    r.billingEmail = QStringLiteral("joe@example.com");
    r.textPart = "Invoice for joe\r\n";
    return r;
}

QString unfolded(const QJsonValue& header) {
    return header.toString().remove(QStringLiteral("\r\n"));
}

qsizetype longestHeaderLine(const QByteArray& raw) {
    qsizetype longest = 0;
    for (const QByteArray& line : raw.left(raw.indexOf("\r\n\r\n")).split('\n'))
        longest = qMax(longest, line.size() - 1);
    return longest;
}
} // namespace

class TestMailSafety : public QObject {
    Q_OBJECT

    std::unique_ptr<CTestFolders> m_folders;
    CSmtpSinkProcess m_sink;

    // Sends to the sink; false when it stored nothing.
    bool sendAndTake(const MailRequest& r, Received& m) {
        if (BuildMailParts(r))
            return false;
        return m_sink.take(m);
    }

private slots:
    void initTestCase() {
        m_folders = std::make_unique<CTestFolders>();
        QVERIFY(m_folders->isValid());
        QVERIFY(theRegistry().open());
        QVERIFY(RegWriteYesNo(Reg::DebugOutput, false));
        QString error;
        QVERIFY2(m_sink.start(m_folders->filePath(QStringLiteral("inbox")), &error),
                 qPrintable(error));
    }
    void init() {
        theLog().clear();
        SetSmtpTestParameters(quint16(m_sink.port()), 10000);
    }
    void cleanupTestCase() {
        m_sink.stop();
        theLog().close();
        theRegistry().close();
    }

    void mailboxes() {
        for (const char* ok : {"joe@example.com", "a.b+c_d@mail.sub-1.example", "joe@[192.0.2.1]"})
            QVERIFY2(IsValidMailbox(QString::fromLatin1(ok)), ok);
        const QStringList bad = {"a@b> SIZE=1",
                                 QStringLiteral("joe@x.example") + QChar(0) + "evil",
                                 "joe@exa\tmple.com",
                                 "jo\x7f@example.com",
                                 "jo e@example.com",
                                 "<joe@example.com",
                                 QStringLiteral("j\u00f6e@example.com"),
                                 "joe.example.com",
                                 "@example.com",
                                 "joe@",
                                 "a@b@example.com",
                                 "a..b@example.com",
                                 "joe@example..com",
                                 QString(65, 'a') + "@example.com",
                                 ""};
        for (const QString& address : bad)
            QVERIFY2(!IsValidMailbox(address), qPrintable(address));
    }

    // An address that is no plain mailbox refuses the message before any connection.
    void unsafeAddressSendsNothing_data() {
        QTest::addColumn<int>("field");
        QTest::addColumn<QString>("value");
        QTest::newRow("sender with SIZE") << 0 << "a@b> SIZE=1";
        QTest::newRow("empty sender") << 0 << "";
        QTest::newRow("recipient with NUL")
            << 1 << QStringLiteral("joe@example.com") + QChar(0) + "evil";
        QTest::newRow("second recipient") << 1 << "joe@example.com; ann@ex\x01mple.com";
        QTest::newRow("member") << 2 << "m@x.example\tRSET";
        QTest::newRow("server with blank") << 3 << "127.0.0.1 evil";
    }
    void unsafeAddressSendsNothing() {
        QFETCH(int, field);
        QFETCH(QString, value);
        QTcpServer listener;
        QVERIFY(listener.listen(QHostAddress::LocalHost));
        SetSmtpTestParameters(listener.serverPort(), 2000);
        CRecordingUi recorder;
        MailRequest r = request();
        if (field == 0)
            r.sender = value;
        else if (field == 1)
            r.billingEmail = value;
        else if (field == 3)
            r.server = value;
        r.sendToMembers = field == 2;
        r.members = {{"g", "g@x.example"}, {"m", value}};
        QVERIFY(BuildMailParts(r));
        QTest::qWait(50);
        QVERIFY(!listener.hasPendingConnections());
        const QList<LoggedEntry> log = LoggedEntries();
        QCOMPARE(log.size(), 1);
        QCOMPARE(log[0].severity, QStringLiteral("ERROR"));
        QVERIFY2(log[0].message.startsWith(QLatin1String("E-mail not sent: \"")),
                 qPrintable(log[0].message));
        QVERIFY(!log[0].message.contains(QChar(0)));
    }

    // Long subjects and names arrive whole, in header lines of at most 998 characters.
    void longHeadersAreFolded() {
        CRecordingUi recorder;
        MailRequest r = request();
        QStringList words;
        for (int i = 0; i < 250; ++i)
            words.append(QStringLiteral("part%1").arg(i));
        r.subject = words.join(' ');
        Received m;
        QVERIFY(sendAndTake(r, m));
        QVERIFY(longestHeaderLine(m.raw) <= 998);
        QCOMPARE(unfolded(m.headers[QLatin1String("Subject")]), r.subject);

        r.subject = QString(1500, 'S') + QStringLiteral(" \u00e9t\u00e9");
        r.fullName = QString(1200, 'N');
        r.billingEmail = QStringLiteral("joe@example.com, joe2@example.com");
        QVERIFY(sendAndTake(r, m));
        QVERIFY2(longestHeaderLine(m.raw) <= 998, m.raw.left(400).constData());
        QCOMPARE(unfolded(m.decoded[QLatin1String("Subject")]), r.subject);
        QCOMPARE(unfolded(m.decoded[QLatin1String("To")]),
                 r.fullName + QStringLiteral(" <joe@example.com>, <joe2@example.com>"));
        QCOMPARE(m.rcpt, QStringList({"joe@example.com", "joe2@example.com"}));
        QVERIFY2(m.defects.isEmpty(), qPrintable(QJsonDocument(m.defects).toJson()));
    }

    // A logo that is no image (here the password file under an image's name) stays home: a
    // warning under its path, and the message goes with the HTML alone.
    void logoThatIsNoImage() {
        const QString logo = m_folders->filePath(QStringLiteral("logo.gif"));
        const QByteArray secret = "root:x:0:0:root:/root:/bin/bash\nsecret line of the server\n";
        QFile f(logo);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(secret) == secret.size());
        f.close();
        CRecordingUi recorder;
        MailRequest r = request();
        r.html = true;
        r.logoPath = logo;
        r.htmlPage = "<HTML><BODY><IMG SRC=file://" + MailLogoIdentifier(logo).toLatin1() +
                     ">\r\n</BODY></HTML>";
        Received m;
        QVERIFY(sendAndTake(r, m));
        QCOMPARE(m.shape(),
                 QStringList({"0:multipart/alternative", "1:text/plain", "1:text/html"}));
        QVERIFY(!m.raw.contains(secret.toBase64().left(40)));
        QVERIFY(!m.raw.contains("image/"));
        const QList<LoggedEntry> log = LoggedEntries();
        QCOMPARE(log.size(), 1);
        QCOMPARE(log[0].name, logo);
        QCOMPARE(log[0].severity, QStringLiteral("WARNING"));
        QCOMPARE(log[0].message, QStringLiteral("Unknown image file type."));
    }

    // A refused recipient or a refused message fails the e-mail with the server's words in
    // the log; nothing is stored.
    void serverRefusal_data() {
        QTest::addColumn<QString>("sender");
        QTest::addColumn<QString>("recipients");
        QTest::addColumn<QString>("reply");
        QTest::newRow("RCPT 550") << "billing@isp.example"
                                  << "joe@example.com, reject@example.com"
                                  << "550 No such user here";
        QTest::newRow("DATA 554") << "refused@isp.example"
                                  << "joe@example.com"
                                  << "554 Message refused";
    }
    void serverRefusal() {
        QFETCH(QString, sender);
        QFETCH(QString, recipients);
        QFETCH(QString, reply);
        CRecordingUi recorder;
        MailRequest r = request();
        r.sender = sender;
        r.billingEmail = recipients;
        const int stored = m_sink.storedCount();
        QVERIFY(BuildMailParts(r));
        QCOMPARE(m_sink.storedCount(), stored);
        const QList<LoggedEntry> log = LoggedEntries();
        QCOMPARE(log.size(), 1);
        QCOMPARE(log[0].name, QStringLiteral("joe"));
        QCOMPARE(log[0].severity, QStringLiteral("ERROR"));
        QCOMPARE(log[0].message, QStringLiteral("Email server responded with error: ") + reply);
        QCOMPARE(recorder.statusTexts.last(), QStringLiteral("Done."));
    }

    // At the invoice level a refusal is the e-mail failure of that invoice (code 20): the
    // command line that sent it exits with a failure; an accepted one exits with 0.
    void refusedInvoiceEmailIsAFailure() {
        QVERIFY2(CliMissing().isEmpty(), qPrintable(CliMissing()));
        const QString path = m_folders->filePath(QStringLiteral("refusal.db"));
        CreateNewDatabase(path);
        qint32 refused = 0, accepted = 0;
        {
            Database db;
            db.open(path);
            CBillingFixture fx(db);
            InvoicePlanRow plan;
            plan.Name = QStringLiteral("Mail");
            plan.EmailOnCreate = true;
            plan.EmailServer = QStringLiteral("127.0.0.1:%1").arg(m_sink.port());
            plan.EmailSender = QStringLiteral("billing@isp.example");
            plan.EmailSubject = QStringLiteral("Your invoice");
            DeliveryInvoiceSpec customer;
            customer.email = QStringLiteral("reject@example.com");
            refused = MakeDeliveryInvoice(db, fx, plan, customer);
            customer.username = QStringLiteral("ann");
            customer.email = QStringLiteral("ann@example.com");
            accepted = MakeDeliveryInvoice(db, fx, plan, customer);
            QVERIFY(refused > 0 && accepted > 0);
        }
        CliResult r =
            RunCliOn(m_folders->path(), path, {"invoice", "send", QString::number(refused)});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains(QLatin1String("Email server responded with error: 550 No such "
                                              "user here")) &&
                     r.err.contains(QLatin1String("emailing invoice.")),
                 qPrintable(r.err));
        const int stored = m_sink.storedCount();
        r = RunCliOn(m_folders->path(), path, {"invoice", "send", QString::number(accepted)});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QCOMPARE(m_sink.storedCount(), stored + 1);
    }
};

QTEST_MAIN(TestMailSafety)
#include "tst_mailsafety.moc"
