// Invoice e-mails delivered to a real SMTP server (Python's aiosmtpd on 127.0.0.1) and read
// back with Python's standard MIME parser: parts, charsets, the inline logo and its
// Content-ID, the recipients, the headers.
#include "common/loggedentries.h"
#include "common/recordingui.h"
#include "common/smtpsinkprocess.h"
#include "common/testfolders.h"
#include "core/app/operationlog.h"
#include "core/app/registrystore.h"
#include "core/app/settingsvalues.h"
#include "core/mail/mimemessage.h"
#include "core/mail/smtpclient.h"

#include <QCryptographicHash>
#include <QDir>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>
#include <memory>

using namespace Qt::StringLiterals;

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
        r.server = u"127.0.0.1"_s;
        r.sender = u"billing@isp.example"_s;
        r.subject = u"INTERNET USAGE"_s;
        r.logonName = u"joe"_s;
        r.fullName = u"Joe M\u00fcller"_s;
        r.billingEmail = u"joe@example.com"_s;
        // Windows-1252 text with a euro sign and an umlaut.
        r.textPart = "Invoice for joe\r\n\r\nNew Charges:      12,50 \x80\r\nM\xfcller\r\n";
        r.now = QDateTime::currentDateTime();
        return r;
    }

    void checkCommon(const Received& m, const MailRequest& r) {
        QCOMPARE(m.from, u"billing@isp.example"_s);
        QVERIFY2(m.defects.isEmpty(), QJsonDocument(m.defects).toJson().constData());
        QCOMPARE(m.headers[u"Subject"_s].toString(), r.subject);
        QCOMPARE(m.headers[u"Date"_s].toString(), QString::fromLatin1(MailDateText(r.now)));
        QCOMPARE(m.headers[u"X-Mailer"_s].toString(), u"Tollkeeper "_s + MailProgramVersion());
        QCOMPARE(m.headers[u"Return-Path"_s].toString(), u"<billing@isp.example>"_s);
        QVERIFY(m.raw.contains("\r\nTo: \"Joe M\xfcller\" <joe@example.com>"));

        // The plain text arrives byte for byte, declared as ISO-8859-1.
        const QJsonObject text = m.part(u"text/plain"_s);
        QCOMPARE(text[u"charset"_s].toString(), u"iso-8859-1"_s);
        QCOMPARE(text[u"encoding"_s].toString(), u"base64"_s);
        QCOMPARE(text[u"sha256"_s].toString(), sha256(r.textPart));
        QCOMPARE(text[u"text"_s].toString(), QString::fromLatin1(r.textPart));
    }

    QString makeLogo(const QString& name, const char* format) {
        const QString dir = m_folders->filePath(u"logo folder"_s);
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
        QVERIFY2(m_sink.start(m_folders->filePath(u"inbox"_s), &error), qPrintable(error));
    }
    void init() { theLog().clear(); }
    void cleanupTestCase() {
        m_sink.stop();
        theLog().close();
        theRegistry().close();
    }

    // The shapes of the message: text only; text and HTML side by side without a
    // multipart/related level; with a logo whose kind comes from its content (a BMP named
    // .dat goes as image/bmp, without a warning).
    void shapes_data() {
        QTest::addColumn<bool>("html");
        QTest::addColumn<QString>("logo");
        QTest::addColumn<QStringList>("shape");
        const QStringList alt{"0:multipart/alternative", "1:text/plain"};
        QTest::newRow("text only") << false << QString() << alt;
        QTest::newRow("html") << true << QString() << alt + QStringList{"1:text/html"};
        QTest::newRow("bmp logo") << true << "logo.dat"
                                  << alt + QStringList{"1:multipart/related", "2:text/html",
                                                       "2:image/bmp"};
    }
    void shapes() {
        QFETCH(bool, html);
        QFETCH(QString, logo);
        QFETCH(QStringList, shape);
        CRecordingUi recorder;
        MailRequest r = request();
        r.html = html;
        if (!logo.isEmpty()) {
            r.logoPath = makeLogo(logo, "BMP");
            QVERIFY(!r.logoPath.isEmpty());
        }
        if (html)
            r.htmlPage = htmlPage(r.logoPath);
        QVERIFY(!BuildMailParts(r));
        QVERIFY2(recorder.messages.isEmpty(), qPrintable(recorder.transcript().join('\n')));
        Received m;
        QVERIFY(m_sink.take(m));
        checkCommon(m, r);
        QCOMPARE(m.shape(), shape);
        QCOMPARE(m.rcpt, QStringList{"joe@example.com"});
        QVERIFY(LoggedEntries().isEmpty());
        if (html && logo.isEmpty()) {
            const QJsonObject part = m.part(u"text/html"_s);
            QCOMPARE(part[u"charset"_s].toString(), u"iso-8859-1"_s);
            QCOMPARE(part[u"sha256"_s].toString(), sha256(r.htmlPage));
        }
    }
};

QTEST_MAIN(TestMailDelivery)
#include "tst_maildelivery.moc"
