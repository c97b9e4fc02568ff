// The e-mail form of an invoice: base64 lines, the Date zone, image types, the program
// version, the exact bytes of the message, and the cases in which nothing is sent.
#include "common/loggedentries.h"
#include "common/recordingui.h"
#include "common/testfolders.h"
#include "core/app/operationlog.h"
#include "core/app/registrystore.h"
#include "core/app/settingsvalues.h"
#include "core/mail/mailbase64.h"
#include "core/mail/mimemessage.h"
#include "core/mail/smtpclient.h"

#include <QTcpServer>
#include <QTimeZone>
#include <QtTest>
#include <memory>

using namespace Qt::StringLiterals;

namespace {
QByteArray joined(const QList<QByteArray>& pieces) {
    QByteArray all;
    for (const QByteArray& p : pieces)
        all += p;
    return all;
}

// A fixed sending time one hour east of UTC: 2024-03-05 13:07:09 UTC = 0x65e718fd.
QDateTime fixedNow() {
    return QDateTime(QDate(2024, 3, 5), QTime(14, 7, 9), QTimeZone(3600));
}

MailRequest basicRequest() {
    MailRequest r;
    r.server = u"127.0.0.1"_s;
    r.sender = u"billing@isp.example"_s;
    r.subject = u"INTERNET USAGE"_s;
    r.logonName = u"joe"_s;
    r.billingEmail = u"joe@example.com"_s;
    r.textPart = "Invoice text\r\n";
    r.now = fixedNow();
    return r;
}
} // namespace

class TestMimeMessage : public QObject {
    Q_OBJECT

    std::unique_ptr<CTestFolders> m_folders;
    // Stands where the mail server would be: any connection to it means something was sent.
    QTcpServer m_listener;

    bool connectionAttempted() {
        QTest::qWait(50);
        return m_listener.hasPendingConnections();
    }

private slots:
    void initTestCase() {
        m_folders = std::make_unique<CTestFolders>();
        QVERIFY(m_folders->isValid());
        QVERIFY(theRegistry().open());
        QVERIFY(m_listener.listen(QHostAddress::LocalHost));
        SetSmtpTestParameters(m_listener.serverPort(), 2000);
    }
    void init() { theLog().clear(); }
    void cleanupTestCase() {
        theLog().close();
        theRegistry().close();
    }

    void base64Lines_data() {
        QTest::addColumn<int>("size");
        QTest::addColumn<QList<int>>("lineLengths");
        QTest::newRow("empty") << 0 << QList<int>{};
        QTest::newRow("57 bytes: one full line") << 57 << QList<int>{76};
        QTest::newRow("58 bytes: a second short line") << 58 << QList<int>{76, 4};
        QTest::newRow("1000 bytes") << 1000 << QList<int>(17, 76) + QList<int>{44};
    }
    void base64Lines() {
        QFETCH(int, size);
        QFETCH(QList<int>, lineLengths);
        QByteArray data;
        for (int i = 0; i < size; ++i)
            data.append(char((i * 37 + 11) & 0xff));
        const QByteArray out = EncodeBase64Lines(data);

        // Every line, the last included, ends with CR LF.
        QVERIFY(out.isEmpty() || out.endsWith("\r\n"));
        QList<QByteArray> lines = out.split('\n');
        QVERIFY(lines.takeLast().isEmpty());
        QList<int> lengths;
        for (const QByteArray& line : lines) {
            QVERIFY2(line.endsWith('\r'), line.constData());
            lengths.append(int(line.size() - 1));
        }
        QCOMPARE(lengths, lineLengths);
        QCOMPARE(QByteArray::fromBase64(QByteArray(out).replace("\r\n", "")), data);
    }
    void dateZone_data() {
        QTest::addColumn<QDateTime>("when");
        QTest::addColumn<QByteArray>("text");
        const QDate d(2024, 3, 5);
        const QTime t(14, 7, 9);
        QTest::newRow("one hour east")
            << QDateTime(d, t, QTimeZone(3600)) << QByteArray("Tue, 05 Mar 2024 14:07:09 +0100");
        QTest::newRow("five hours west") << QDateTime(d, t, QTimeZone(-5 * 3600))
                                         << QByteArray("Tue, 05 Mar 2024 14:07:09 -0500");
        QTest::newRow("half hour east")
            << QDateTime(QDate(2023, 12, 31), QTime(23, 59, 59), QTimeZone(19800))
            << QByteArray("Sun, 31 Dec 2023 23:59:59 +0530");
        QTest::newRow("half hour west")
            << QDateTime(QDate(2024, 1, 1), QTime(0, 0, 0), QTimeZone(-12600))
            << QByteArray("Mon, 01 Jan 2024 00:00:00 -0330");
        // Local time of the test zone (Europe/Berlin): summer time is two hours east.
        QTest::newRow("local summer time") << QDateTime(QDate(2024, 7, 1), QTime(8, 0, 0))
                                           << QByteArray("Mon, 01 Jul 2024 08:00:00 +0200");
        QTest::newRow("local winter time") << QDateTime(QDate(2024, 11, 9), QTime(8, 0, 0))
                                           << QByteArray("Sat, 09 Nov 2024 08:00:00 +0100");
    }
    void dateZone() {
        QFETCH(QDateTime, when);
        QFETCH(QByteArray, text);
        if (when.timeSpec() == Qt::LocalTime &&
            QTimeZone::systemTimeZoneId() != QByteArray("Europe/Berlin"))
            QSKIP("the test runs outside the Europe/Berlin zone");
        QCOMPARE(MailDateText(when), text);
    }
    // The logo's type comes from its first bytes, never from its name.
    void imageTypes_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QByteArray>("subtype");
        QTest::newRow("png") << QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR") << QByteArray("png");
        QTest::newRow("jpeg") << QByteArray("\xff\xd8\xff\xe0\0\x10JFIF") << QByteArray("jpeg");
        QTest::newRow("gif") << QByteArray("GIF89a\x01\0\x01\0") << QByteArray("gif");
        QTest::newRow("bmp") << QByteArray::fromHex("424d3e0000000000000036000000280000000100"
                                                    "00000100000001001800")
                             << QByteArray("bmp");
        QTest::newRow("tiff") << QByteArray("II*\0\x08\0\0\0", 8) << QByteArray("tiff");
        QTest::newRow("text") << QByteArray("root:x:0:0:root:/root:/bin/bash\n")
                              << QByteArray("unknown");
        QTest::newRow("BM text") << QByteArray("BMW drivers list, version 2 of the file")
                                 << QByteArray("unknown");
        QTest::newRow("empty") << QByteArray() << QByteArray("unknown");
    }
    void imageTypes() {
        QFETCH(QByteArray, content);
        QFETCH(QByteArray, subtype);
        QCOMPARE(MailImageSubtype(MailImageTypeOf(content)), subtype);
    }

    void programVersion() {
        QCOMPARE(MailProgramVersion(u"3.1.0"_s), u"3.01"_s);
        QCOMPARE(MailProgramVersion(u"3.12.7"_s), u"3.12 Build 7"_s);
        QCOMPARE(MailProgramVersion(u"2.0"_s), u"2.00"_s);
        QCOMPARE(MailProgramVersion(u"x.y"_s), QString());
        QCOMPARE(MailProgramVersion(QString()), QString());
        // The build's own version parses.
        QVERIFY(!MailProgramVersion().isEmpty());
    }

    void htmlRewriteAndTextRange() {
        QCOMPARE(RewriteLogoReferences("<P><IMG SRC=file:///srv/a.gif>\r\n</P>"
                                       "<IMG SRC=file://b.gif><img src=file://c.gif>"),
                 QByteArray("<P><IMG SRC=cid:/srv/a.gif>\r\n</P>"
                            "<IMG SRC=cid:b.gif><img src=file://c.gif>"));
        const QByteArray page = "<HEAD>\r\n<PRE>Line one\r\nTotal\r\n</PRE>";
        const qsizetype start = page.indexOf("Line");
        const qsizetype end = page.indexOf("</PRE>") - 1;
        QCOMPARE(MailTextBetween(page, start, end), QByteArray("Line one\r\nTotal\r\n"));
        QCOMPARE(MailTextBetween(page, 5, 4), QByteArray());
        QCOMPARE(MailTextBetween(page, page.size(), page.size() + 3), QByteArray());
    }

    void logoIdentifier() {
        QCOMPARE(MailLogoIdentifier(u"/srv/logos/logo_1.JPG"_s), u"/srv/logos/logo_1.JPG"_s);
        // No blank survives: it would end the IMG SRC value and break the Content-ID.
        QCOMPARE(MailLogoIdentifier(u"/srv/My Logos/l\u00f6go.gif"_s),
                 u"/srv/My%20Logos/l%C3%B6go.gif"_s);
    }

    // The whole message of a customer with HTML and a logo, byte for byte.
    void messageBytesWithImage() {
        MailRequest r = basicRequest();
        r.fullName = u"Jo \"JJ\" M\u00fcller"_s;
        MailParts parts;
        parts.text = "VGV4dA==\r\n";
        parts.html = "SFRNTA==\r\n";
        parts.image = "R0lG\r\n";
        parts.hasHtml = true;
        parts.hasImage = true;
        parts.logoId = u"/srv/logo.gif"_s;
        parts.imageType = MailImageType::Gif;
        const QList<QByteArray> pieces = ComposeMailPieces(r, parts, u"3.01"_s);

        const QByteArray header = "Return-Path: <billing@isp.example>\r\n"
                                  "Date: Tue, 05 Mar 2024 14:07:09 +0100\r\n"
                                  "From: <billing@isp.example>\r\n"
                                  "Subject: INTERNET USAGE\r\n"
                                  "To: \"Jo \\\"JJ\\\" M\xfcller\" <joe@example.com>\r\n"
                                  "X-Mailer: Tollkeeper 3.01\r\n"
                                  "MIME-Version: 1.0\r\n"
                                  "Content-Type: multipart/alternative;\r\n"
                                  "\tboundary=\"=_TKP_Boundary_65e718fd\"\r\n"
                                  "Content-Transfer-Encoding: 7bit\r\n"
                                  "\r\n"
                                  "\r\n"
                                  "This is a multipart message in MIME format.\r\n"
                                  "\r\n"
                                  "If you are reading this text, you might want to\r\n"
                                  "consider changing to a mail reader that understands\r\n"
                                  "how to properly display multipart MIME messages.\r\n";
        const QList<QByteArray> expected = {
            header,
            "\r\n--=_TKP_Boundary_65e718fd\r\n"
            "Content-Type: text/plain; charset=\"ISO-8859-1\"\r\n"
            "Content-Transfer-Encoding: base64\r\n\r\n",
            "VGV4dA==\r\n",
            "\r\n--=_TKP_Boundary_65e718fd\r\n"
            "Content-Type: multipart/related;\r\n"
            "\ttype=\"text/html\";\r\n"
            "\tboundary=\"=_TKP_Boundary2_65e718fd\"\r\n"
            "\r\n--=_TKP_Boundary2_65e718fd\r\n"
            "Content-Type: text/html; charset=\"ISO-8859-1\"\r\n"
            "Content-Transfer-Encoding: base64\r\n\r\n",
            "SFRNTA==\r\n",
            "\r\n--=_TKP_Boundary2_65e718fd\r\n"
            "Content-Type: image/gif\r\n"
            "Content-Disposition: INLINE\r\n"
            "Content-ID: </srv/logo.gif>\r\n"
            "Content-Transfer-Encoding: base64\r\n\r\n",
            "R0lG\r\n",
            "\r\n--=_TKP_Boundary2_65e718fd--\r\n",
            "\r\n--=_TKP_Boundary_65e718fd--\r\n.\r\n",
        };
        QCOMPARE(pieces.size(), expected.size());
        for (qsizetype i = 0; i < pieces.size(); ++i)
            QCOMPARE(pieces[i], expected[i]);
    }

    // Several billing addresses all appear in the To header; without any, no one is named.
    void toHeader() {
        MailRequest r = basicRequest();
        MailParts parts;
        parts.text = "VGV4dA==\r\n";
        r.billingEmail = u"a@x.example; <b@y.example>"_s;
        QVERIFY(joined(ComposeMailPieces(r, parts, u"3.01"_s))
                    .contains("\r\nTo: <a@x.example>, <b@y.example>\r\n"));
        r.billingEmail.clear();
        QVERIFY(joined(ComposeMailPieces(r, parts, u"3.01"_s))
                    .contains("\r\nTo: undisclosed-recipients:;\r\n"));
    }

    void summaryMembers() {
        MailRequest r = basicRequest();
        r.members = {{"group", "group@x.example"},
                     {"ann", "ann@x.example"},
                     {"bob", ""},
                     {"cy", "cy@x.example; cy2@x.example"}};
        // Not sent to the members: no addresses and no warnings.
        QCOMPARE(MemberRecipients(r), QString());
        r.sendToMembers = true;
        QCOMPARE(MemberRecipients(r), u"ann@x.example,cy@x.example; cy2@x.example"_s);
        const QList<LoggedEntry> log = LoggedEntries();
        QCOMPARE(log.size(), 1);
        QCOMPARE(log[0].name, u"bob"_s);
        QCOMPARE(log[0].severity, u"WARNING"_s);
        QCOMPARE(log[0].message, QString());
        // A list of one entry mails no member.
        theLog().clear();
        r.members = {{"group", "group@x.example"}};
        QCOMPARE(MemberRecipients(r), QString());
        QVERIFY(LoggedEntries().isEmpty());
    }

    // Cases that must not open a connection to the server (addresses that are no plain
    // mailbox: tst_mailsafety).
    void nothingSent_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<bool>("failed");
        QTest::addColumn<QString>("logName");
        QTest::newRow("empty text part") << 0 << false << QString();
        QTest::newRow("billing address unreadable") << 1 << true << QString();
        QTest::newRow("subject with CR LF") << 2 << true << "joe";
        QTest::newRow("full name with LF") << 5 << true << "joe";
        QTest::newRow("logo cannot be read") << 7 << true << "/nonexistent/logo.gif";
        QTest::newRow("no recipient at all") << 8 << true << "joe";
    }
    void nothingSent() {
        QFETCH(int, kind);
        QFETCH(bool, failed);
        QFETCH(QString, logName);
        CRecordingUi recorder;
        MailRequest r = basicRequest();
        switch (kind) {
        case 0:
            r.textPart.clear();
            break;
        case 1:
            r.billingAddressRead = false;
            break;
        case 2:
            r.subject = u"Invoice\r\nBcc: everyone@x.example"_s;
            break;
        case 5:
            r.fullName = u"Joe\nBcc: x@x.example"_s;
            break;
        case 7:
            r.html = true;
            r.htmlPage = "<HTML></HTML>";
            r.logoPath = u"/nonexistent/logo.gif"_s;
            break;
        case 8:
            r.billingEmail = u" ; "_s;
            break;
        }
        QCOMPARE(BuildMailParts(r), failed);
        QVERIFY(!connectionAttempted());
        const QList<LoggedEntry> log = LoggedEntries();
        if (logName.isEmpty()) {
            QVERIFY(log.isEmpty());
        } else {
            QCOMPARE(log.size(), 1);
            QCOMPARE(log[0].name, logName);
            QCOMPARE(log[0].severity, u"ERROR"_s);
            QVERIFY(!log[0].message.isEmpty());
        }
    }

    // SendMail itself refuses a line break, whoever calls it.
    void sendMailRefusesLineBreaks() {
        CRecordingUi recorder;
        SmtpRequest s;
        s.server = u"127.0.0.1"_s;
        s.sender = u"a@x.example"_s;
        s.recipients = u"b@x.example"_s;
        s.logonName = u"joe"_s;
        s.memberRecipients = u"c@x.example\r\nRSET"_s;
        QVERIFY(SendMail(s, {"x\r\n.\r\n"}));
        QVERIFY(!connectionAttempted());
        QCOMPARE(LoggedEntries().size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestMimeMessage)
#include "tst_mimemessage.moc"
