// Untrusted text in invoice e-mails: addresses that would break an SMTP command, header lines
// too long for RFC 5322, a logo that is no image, and a server that refuses a recipient or
// the message, each against a real SMTP server (aiosmtpd) or a listener that must see nothing.
#include "common/loggedentries.h"
#include "common/recordingui.h"
#include "common/smtpsinkprocess.h"
#include "common/testfolders.h"
#include "core/app/operationlog.h"
#include "core/app/registrystore.h"
#include "core/app/settingsvalues.h"
#include "core/mail/mailaddress.h"
#include "core/mail/mimemessage.h"
#include "core/mail/smtpclient.h"

#include <QFile>
#include <QTcpServer>
#include <QtTest>
#include <memory>

using namespace Qt::StringLiterals;

namespace {
using Received = CSmtpSinkProcess::Message;

MailRequest request() {
    MailRequest r;
    r.server = u"127.0.0.1"_s;
    r.sender = u"billing@isp.example"_s;
    r.subject = u"INTERNET USAGE"_s;
    r.logonName = u"joe"_s;
    r.fullName = u"Joe Miller"_s;
    r.billingEmail = u"joe@example.com"_s;
    r.textPart = "Invoice for joe\r\n";
    return r;
}

QString unfolded(const QJsonValue& header) {
    return header.toString().remove(u"\r\n"_s);
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
        QVERIFY2(m_sink.start(m_folders->filePath(u"inbox"_s), &error), qPrintable(error));
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
                                 u"joe@x.example"_s + QChar(0) + "evil",
                                 "joe@exa\tmple.com",
                                 "jo\x7f@example.com",
                                 "jo e@example.com",
                                 "<joe@example.com",
                                 u"j\u00f6e@example.com"_s,
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
        QTest::newRow("recipient with NUL") << 1 << u"joe@example.com"_s + QChar(0) + "evil";
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
        QCOMPARE(log[0].severity, u"ERROR"_s);
        QVERIFY2(log[0].message.startsWith(u"E-mail not sent: \""_s), qPrintable(log[0].message));
        QVERIFY(!log[0].message.contains(QChar(0)));
    }

    // Long subjects and names arrive whole, in header lines of at most 998 characters.
    void longHeadersAreFolded() {
        CRecordingUi recorder;
        MailRequest r = request();
        QStringList words;
        for (int i = 0; i < 250; ++i)
            words.append(u"part%1"_s.arg(i));
        r.subject = words.join(' ');
        Received m;
        QVERIFY(sendAndTake(r, m));
        QVERIFY(longestHeaderLine(m.raw) <= 998);
        QCOMPARE(unfolded(m.headers[u"Subject"_s]), r.subject);

        r.subject = QString(1500, 'S') + u" \u00e9t\u00e9"_s;
        r.fullName = QString(1200, 'N');
        r.billingEmail = u"joe@example.com, joe2@example.com"_s;
        QVERIFY(sendAndTake(r, m));
        QVERIFY2(longestHeaderLine(m.raw) <= 998, m.raw.left(400).constData());
        QCOMPARE(unfolded(m.decoded[u"Subject"_s]), r.subject);
        QCOMPARE(unfolded(m.decoded[u"To"_s]),
                 r.fullName + u" <joe@example.com>, <joe2@example.com>"_s);
        QCOMPARE(m.rcpt, QStringList({"joe@example.com", "joe2@example.com"}));
        QVERIFY2(m.defects.isEmpty(), qPrintable(QJsonDocument(m.defects).toJson()));
    }

    // A logo that is no image (here the password file under an image's name) stays home: a
    // warning under its path, and the message goes with the HTML alone.
    void logoThatIsNoImage() {
        const QString logo = m_folders->filePath(u"logo.gif"_s);
        const QByteArray secret = "root:x:0:0:root:/root:/bin/bash\nsecret line of the server\n";
        QVERIFY(WriteFileBytes(logo, secret));
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
        QCOMPARE(log[0].severity, u"WARNING"_s);
        QCOMPARE(log[0].message, u"Unknown image file type."_s);
    }

    // A refused message fails the e-mail with the server's words in the log; nothing is
    // stored. (A refused recipient: tst_smtpclient.)
    void serverRefusal() {
        const QString reply = u"554 Message refused"_s;
        CRecordingUi recorder;
        MailRequest r = request();
        r.sender = u"refused@isp.example"_s;
        const int stored = m_sink.storedCount();
        QVERIFY(BuildMailParts(r));
        QCOMPARE(m_sink.storedCount(), stored);
        const QList<LoggedEntry> log = LoggedEntries();
        QCOMPARE(log.size(), 1);
        QCOMPARE(log[0].name, u"joe"_s);
        QCOMPARE(log[0].severity, u"ERROR"_s);
        QCOMPARE(log[0].message, u"Email server responded with error: "_s + reply);
        QCOMPARE(recorder.statusTexts.last(), u"Done."_s);
    }
};

QTEST_MAIN(TestMailSafety)
#include "tst_mailsafety.moc"
