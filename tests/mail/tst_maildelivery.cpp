// Invoice e-mails delivered to a real SMTP server (Python's aiosmtpd on 127.0.0.1) and read
// back with Python's standard MIME parser: parts, charsets, the inline logo and its
// Content-ID, the recipients, the headers.
#include "core/app/operationlog.h"
#include "core/app/registrystore.h"
#include "core/app/settingsvalues.h"
#include "common/loggedentries.h"
#include "core/mail/mimemessage.h"
#include "core/mail/smtpclient.h"
#include "common/recordingui.h"
#include "common/smtpsinkprocess.h"
#include "common/testfolders.h"

#include <QCryptographicHash>
#include <QDir>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>
#include <memory>

namespace {
QString sha256(const QByteArray& bytes) {
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
}

using Received = CSmtpSinkProcess::Message;
} // namespace

class TestMailDelivery : public QObject {
    Q_OBJECT

    std::unique_ptr<CTestFolders> m_folders;
    CSmtpSinkProcess m_sink;

    MailRequest request() const {
        MailRequest r;
        r.server = QStringLiteral("127.0.0.1");
        r.sender = QStringLiteral("billing@isp.example");
        r.subject = QStringLiteral("INTERNET USAGE");
        r.logonName = QStringLiteral("joe");
        r.fullName = QStringLiteral("Joe M\u00fcller");
        r.billingEmail = QStringLiteral("joe@example.com");
        // Windows-1252 text with a euro sign and an umlaut.
        r.textPart = "Invoice for joe\r\n\r\nNew Charges:      12,50 \x80\r\nM\xfcller\r\n";
        r.now = QDateTime::currentDateTime();
        return r;
    }

    void checkCommon(const Received& m, const MailRequest& r) {
        QCOMPARE(m.from, QStringLiteral("billing@isp.example"));
        QVERIFY2(m.defects.isEmpty(), QJsonDocument(m.defects).toJson().constData());
        QCOMPARE(m.headers[QLatin1String("Subject")].toString(), r.subject);
        QCOMPARE(m.headers[QLatin1String("Date")].toString(),
                 QString::fromLatin1(MailDateText(r.now)));
        QCOMPARE(m.headers[QLatin1String("X-Mailer")].toString(),
                 QStringLiteral("Tollkeeper ") + MailProgramVersion());
        QCOMPARE(m.headers[QLatin1String("Return-Path")].toString(),
                 QStringLiteral("<billing@isp.example>"));
        QVERIFY(m.raw.contains("\r\nTo: \"Joe M\xfcller\" <joe@example.com>"));

        // The plain text arrives byte for byte, declared as ISO-8859-1.
        const QJsonObject text = m.part(QStringLiteral("text/plain"));
        QCOMPARE(text[QLatin1String("charset")].toString(), QStringLiteral("iso-8859-1"));
        QCOMPARE(text[QLatin1String("encoding")].toString(), QStringLiteral("base64"));
        QCOMPARE(text[QLatin1String("sha256")].toString(), sha256(r.textPart));
        QCOMPARE(text[QLatin1String("text")].toString(), QString::fromLatin1(r.textPart));
    }

    QString makeLogo(const QString& name, const char* format) {
        const QString dir = m_folders->filePath(QStringLiteral("logo folder"));
        QDir().mkpath(dir);
        const QString path = dir + QLatin1Char('/') + name;
        QImage image(40, 20, QImage::Format_RGB32);
        image.fill(QColor(20, 90, 160));
        if (!image.save(path, format))
            return {};
        return path;
    }

    static QByteArray htmlPage(const QString& logoPath) {
        QByteArray page = "<HTML>\r\n<HEAD>\r\n<META HTTP-EQUIV=\"Content-Type\" "
                          "CONTENT=\"text/html; charset=ISO-8859-1\">\r\n<TITLE>Invoice for "
                          "joe</TITLE>\r\n</HEAD>\r\n<BODY BGCOLOR=WHITE>\r\n";
        if (!logoPath.isEmpty())
            page +=
                "<P><IMG SRC=file://" + MailLogoIdentifier(logoPath).toLatin1() + ">\r\n</P>\r\n";
        page += "<P><FONT FACE=\"Arial\">To:  joe<BR>\r\nJoe M\xfcller</FONT></P>\r\n"
                "<HR SIZE=3 NOSHADE>\r\n<PRE>New Charges:      12,50 \x80\r\n</PRE>\r\n"
                "</BODY>\r\n</HTML>";
        return page;
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
    void init() { theLog().clear(); }
    void cleanupTestCase() {
        m_sink.stop();
        theLog().close();
        theRegistry().close();
    }

    // A customer without HTML: multipart/alternative holding only the text.
    void textOnly() {
        CRecordingUi recorder;
        const MailRequest r = request();
        QVERIFY(!BuildMailParts(r));
        QVERIFY2(recorder.messages.isEmpty(), qPrintable(recorder.transcript().join('\n')));
        Received m;
        QVERIFY(m_sink.take(m));
        checkCommon(m, r);
        QCOMPARE(m.shape(), QStringList({"0:multipart/alternative", "1:text/plain"}));
        QCOMPARE(m.rcpt, QStringList{"joe@example.com"});
    }

    // HTML without a logo: text and HTML side by side, no multipart/related level.
    void htmlWithoutLogo() {
        CRecordingUi recorder;
        MailRequest r = request();
        r.html = true;
        r.htmlPage = htmlPage({});
        QVERIFY(!BuildMailParts(r));
        Received m;
        QVERIFY(m_sink.take(m));
        checkCommon(m, r);
        QCOMPARE(m.shape(),
                 QStringList({"0:multipart/alternative", "1:text/plain", "1:text/html"}));
        const QJsonObject html = m.part(QStringLiteral("text/html"));
        QCOMPARE(html[QLatin1String("charset")].toString(), QStringLiteral("iso-8859-1"));
        QCOMPARE(html[QLatin1String("sha256")].toString(), sha256(r.htmlPage));
    }

    // HTML with a JPG logo, sent to the customer's two addresses and a summary's members.
    void htmlWithJpgLogo() {
        CRecordingUi recorder;
        const QString logo = makeLogo(QStringLiteral("Logo.JPG"), "JPG");
        QVERIFY(!logo.isEmpty());
        QFile logoFile(logo);
        QVERIFY(logoFile.open(QIODevice::ReadOnly));
        const QByteArray logoBytes = logoFile.readAll();

        MailRequest r = request();
        r.html = true;
        r.logoPath = logo;
        r.htmlPage = htmlPage(logo);
        r.billingEmail = QStringLiteral("joe@example.com; <joe.home@example.com>");
        r.sendToMembers = true;
        r.members = {{QStringLiteral("joe"), QStringLiteral("joe@example.com")},
                     {QStringLiteral("ann"), QStringLiteral("ann@example.com")},
                     {QStringLiteral("bob"), QString()}};
        QVERIFY(!BuildMailParts(r));
        Received m;
        QVERIFY(m_sink.take(m));
        QCOMPARE(m.rcpt,
                 QStringList({"joe@example.com", "joe.home@example.com", "ann@example.com"}));
        QCOMPARE(m.shape(), QStringList({"0:multipart/alternative", "1:text/plain",
                                         "1:multipart/related", "2:text/html", "2:image/jpeg"}));
        QVERIFY2(m.defects.isEmpty(), QJsonDocument(m.defects).toJson().constData());

        // The HTML points at the inline image by its Content-ID.
        const QJsonObject image = m.part(QStringLiteral("image/jpeg"));
        QCOMPARE(image[QLatin1String("sha256")].toString(), sha256(logoBytes));
        QCOMPARE(image[QLatin1String("disposition")].toString(), QStringLiteral("INLINE"));
        const QString cid = image[QLatin1String("cid")].toString();
        QVERIFY2(cid.startsWith('<') && cid.endsWith('>'), qPrintable(cid));
        const QString id = cid.mid(1, cid.size() - 2);
        QVERIFY(!id.contains(QLatin1Char(' ')));
        const QString html = m.part(QStringLiteral("text/html"))[QLatin1String("text")].toString();
        QVERIFY2(html.contains(QStringLiteral("<IMG SRC=cid:") + id + QLatin1Char('>')),
                 qPrintable(html));
        QVERIFY(!html.contains(QLatin1String("file://")));
        QCOMPARE(m.part(QStringLiteral("text/html"))[QLatin1String("sha256")].toString(),
                 sha256(RewriteLogoReferences(r.htmlPage)));

        // The member without an address is skipped with a warning.
        const QList<LoggedEntry> log = LoggedEntries();
        QCOMPARE(log.size(), 1);
        QCOMPARE(log[0].name, QStringLiteral("bob"));
        QCOMPARE(log[0].severity, QStringLiteral("WARNING"));
    }

    // The logo's kind comes from its content: a BMP goes as image/bmp, without a warning.
    void bmpLogo() {
        CRecordingUi recorder;
        const QString logo = makeLogo(QStringLiteral("logo.dat"), "BMP");
        QVERIFY(!logo.isEmpty());
        MailRequest r = request();
        r.html = true;
        r.logoPath = logo;
        r.htmlPage = htmlPage(logo);
        QVERIFY(!BuildMailParts(r));
        Received m;
        QVERIFY(m_sink.take(m));
        QCOMPARE(m.shape(), QStringList({"0:multipart/alternative", "1:text/plain",
                                         "1:multipart/related", "2:text/html", "2:image/bmp"}));
        QVERIFY(LoggedEntries().isEmpty());
    }
};

QTEST_MAIN(TestMailDelivery)
#include "tst_maildelivery.moc"
