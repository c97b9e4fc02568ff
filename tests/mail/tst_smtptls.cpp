// The mail client against a real SMTP server (aiosmtpd on 127.0.0.1) with TLS and AUTH: a
// throw-away CA and server certificates made with the openssl tool, STARTTLS and implicit
// TLS, AUTH PLAIN and LOGIN, a wrong password, certificates that must be refused, STARTTLS
// not offered, a server that stops answering, a server without EHLO, and where the password
// may and may not go.
#include "common/loggedentries.h"
#include "common/recordingui.h"
#include "common/smtpsinkprocess.h"
#include "common/testfolders.h"
#include "core/app/operationlog.h"
#include "core/app/registrystore.h"
#include "core/app/settingsvalues.h"
#include "core/mail/smtpclient.h"
#include "core/mail/smtpsettings.h"
#include "core/mail/testmessage.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QtTest>
#include <memory>

using namespace Qt::StringLiterals;

namespace {
const QList<QByteArray> kPieces = {"Subject: test\r\n\r\n", "Qm9keQ==\r\n",
                                   "\r\n--=_TKP_Boundary_1--\r\n.\r\n"};

SmtpRequest request(quint16 port, const QString& host = u"localhost"_s) {
    SmtpRequest r;
    r.server = u"%1:%2"_s.arg(host).arg(port);
    r.sender = u"billing@isp.example"_s;
    r.recipients = u"joe@example.com"_s;
    r.logonName = u"joe"_s;
    return r;
}

void configure(int security, const QString& user = {}, const QString& password = {},
               const QString& caFile = {}) {
    QVERIFY(RegWriteNumber(Reg::SmtpSecurity, security));
    QVERIFY(RegWriteText(Reg::SmtpUser, user));
    QVERIFY(RegWriteText(Reg::SmtpPassword, password));
    QVERIFY(RegWriteText(Reg::SmtpCAFile, caFile));
}

QString loggedText() {
    QStringList lines;
    for (const LoggedEntry& e : LoggedEntries())
        lines.append(e.name + QLatin1Char('|') + e.severity + QLatin1Char('|') + e.message);
    return lines.join(QLatin1Char('\n'));
}
} // namespace

class TestSmtpTls : public QObject {
    Q_OBJECT

    std::unique_ptr<CTestFolders> m_folders;
    QString m_ca, m_cert, m_key, m_otherCert, m_otherKey;
    int m_inboxes = 0;

    bool openssl(const QStringList& args) {
        QProcess p;
        p.setWorkingDirectory(m_folders->path());
        p.start(u"openssl"_s, args);
        if (!p.waitForFinished(60000) || p.exitCode() != 0) {
            qWarning() << "openssl" << args << p.readAllStandardError();
            return false;
        }
        return true;
    }

    // A key and a certificate for `name`, signed by the test CA.
    bool makeServerCertificate(const QString& name, const QString& base) {
        QFile ext(m_folders->filePath(base + u".ext"_s));
        if (!ext.open(QIODevice::WriteOnly))
            return false;
        ext.write("subjectAltName=DNS:" + name.toLatin1() +
                  "\nbasicConstraints=CA:FALSE\nextendedKeyUsage=serverAuth\n");
        ext.close();
        return openssl({"req", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
                        "-nodes", "-keyout", base + ".key", "-out", base + ".csr", "-subj",
                        "/CN=" + name}) &&
               openssl({"x509", "-req", "-in", base + ".csr", "-CA", "ca.pem", "-CAkey", "ca.key",
                        "-CAcreateserial", "-days", "2", "-out", base + ".pem", "-extfile",
                        base + ".ext"});
    }

    // A sink with the options given; the test fails when it does not come up.
    std::unique_ptr<CSmtpSinkProcess> sink(const QStringList& options) {
        auto s = std::make_unique<CSmtpSinkProcess>();
        QString error;
        const QString inbox = m_folders->filePath(u"inbox%1"_s.arg(++m_inboxes));
        if (!s->start(inbox, &error, options)) {
            qWarning() << error;
            return nullptr;
        }
        return s;
    }

private slots:
    void initTestCase() {
        m_folders = std::make_unique<CTestFolders>();
        QVERIFY(m_folders->isValid());
        QVERIFY(theRegistry().open());
        QVERIFY(QSslSocket::supportsSsl()); // Qt's OpenSSL backend loads on this system
        QVERIFY(
            openssl({"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
                     "-nodes", "-keyout", "ca.key", "-out", "ca.pem", "-days", "2", "-subj",
                     "/CN=Tollkeeper Test CA", "-addext", "basicConstraints=critical,CA:TRUE",
                     "-addext", "keyUsage=critical,keyCertSign,cRLSign"}));
        QVERIFY(makeServerCertificate(u"localhost"_s, u"server"_s));
        QVERIFY(makeServerCertificate(u"mail.other.example"_s, u"other"_s));
        m_ca = m_folders->filePath(u"ca.pem"_s);
        m_cert = m_folders->filePath(u"server.pem"_s);
        m_key = m_folders->filePath(u"server.key"_s);
        m_otherCert = m_folders->filePath(u"other.pem"_s);
        m_otherKey = m_folders->filePath(u"other.key"_s);
    }
    void init() {
        theLog().clear();
        QVERIFY(RegWriteYesNo(Reg::DebugOutput, false));
        configure(0);
    }
    void cleanupTestCase() {
        theLog().close();
        theRegistry().close();
    }

    void serverAddresses() {
        const QList<std::tuple<QString, QString, int>> good = {
            {"mail.isp.example", "mail.isp.example", 0},
            {"mail.isp.example:587", "mail.isp.example", 587},
            {"192.0.2.7:2525", "192.0.2.7", 2525},
            {"[2001:db8::1]", "2001:db8::1", 0},
            {"[::1]:465", "::1", 465}};
        for (const auto& [text, host, port] : good) {
            SmtpServerAddress a;
            QVERIFY2(ParseMailServer(text, a), qPrintable(text));
            QCOMPARE(a.host, host);
            QCOMPARE(int(a.port), port);
        }
        SmtpServerAddress a;
        for (const char* bad : {"2001:db8::1", "mail:0", "mail:65536", "[mail]:25", "mail isp", ""})
            QVERIFY2(!ParseMailServer(QString::fromLatin1(bad), a), bad);
    }

    // STARTTLS and AUTH PLAIN: delivered encrypted as the configured user; EHLO names this
    // machine; the password shows nowhere, not even in debug output.
    void startTlsWithAuthPlain() {
        auto s = sink({"--starttls", m_cert, m_key, "--auth", "joe:s3cret pass"});
        QVERIFY(s);
        configure(1, u"joe"_s, u"s3cret pass"_s, m_ca);
        QVERIFY(RegWriteYesNo(Reg::DebugOutput, true));
        CRecordingUi recorder;
        QVERIFY2(!SendMail(request(quint16(s->port())), kPieces),
                 qPrintable(recorder.transcript().join('\n') + loggedText()));
        CSmtpSinkProcess::Message m;
        QVERIFY(s->take(m));
        QVERIFY(m.tls);
        QCOMPARE(m.user, u"joe"_s);
        QVERIFY2(m.helo != u"localhost"_s &&
                     (m.helo.contains(QLatin1Char('.')) || m.helo.startsWith(QLatin1Char('['))),
                 qPrintable(m.helo));
        const QString shown = recorder.transcript().join('\n');
        QVERIFY(shown.contains(u"Sending: STARTTLS"_s));
        QVERIFY(shown.contains(u"Sending: AUTH PLAIN ********"_s));
        QVERIFY(!shown.contains(u"s3cret"_s));
        QVERIFY(
            !shown.contains(QString::fromLatin1(QByteArray("\0joe\0s3cret pass", 16).toBase64())));
        QFile log(LogFilePath());
        QVERIFY(!log.open(QIODevice::ReadOnly) || !log.readAll().contains("s3cret"));
    }

    // TLS from the first byte, and AUTH LOGIN when the server offers nothing else.
    void implicitTlsWithAuthLogin() {
        auto s = sink({"--tls", m_cert, m_key, "--auth", "joe:pw", "--login-only"});
        QVERIFY(s);
        configure(2, u"joe"_s, u"pw"_s, m_ca);
        CRecordingUi recorder;
        QVERIFY2(!SendMail(request(quint16(s->port())), kPieces), qPrintable(loggedText()));
        CSmtpSinkProcess::Message m;
        QVERIFY(s->take(m));
        QVERIFY(m.tls);
        QCOMPARE(m.user, u"joe"_s);
    }

    // Each of these fails the message with a logged reason, and nothing is delivered.
    void refusals_data() {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<int>("security");
        QTest::addColumn<QString>("password");
        QTest::addColumn<bool>("trustCa");
        QTest::addColumn<QString>("reason");
        const QStringList authTls = {"--starttls", m_cert, m_key, "--auth", "joe:right"};
        QTest::newRow("wrong password")
            << authTls << 1 << u"wrong"_s << true
            << u"Email server responded with error: 535 5.7.8 Authentication credentials invalid"_s;
        QTest::newRow("certificate for another host")
            << QStringList{"--starttls", m_otherCert, m_otherKey} << 1 << u""_s << true
            << u"The mail server's certificate was refused: The host name did not match"_s;
        QTest::newRow("unknown CA")
            << authTls << 1 << "right" << false << "The mail server's certificate was refused: ";
        QTest::newRow("implicit TLS, another host")
            << QStringList{"--tls", m_otherCert, m_otherKey} << 2 << u""_s << true
            << u"The mail server's certificate was refused: The host name did not match"_s;
        QTest::newRow("STARTTLS not offered")
            << QStringList{} << 1 << "" << true
            << "The mail server does not offer STARTTLS; the message is not sent without "
               "encryption.";
        QTest::newRow("user without TLS")
            << QStringList{} << 0 << u"pw"_s << true
            << u"E-mail not sent: a user name for the mail server is set (SmtpUser), but no TLS"_s;
    }
    void refusals() {
        QFETCH(QStringList, options);
        QFETCH(int, security);
        QFETCH(QString, password);
        QFETCH(bool, trustCa);
        QFETCH(QString, reason);
        auto s = sink(options);
        QVERIFY(s);
        configure(security, password.isEmpty() ? QString() : u"joe"_s, password,
                  trustCa ? m_ca : QString());
        CRecordingUi recorder;
        QVERIFY(SendMail(request(quint16(s->port())), kPieces));
        QCOMPARE(s->storedCount(), 0);
        const QList<LoggedEntry> log = LoggedEntries();
        QVERIFY2(!log.isEmpty() && log[0].message.startsWith(reason), qPrintable(loggedText()));
        QCOMPARE(log[0].severity, u"ERROR"_s);
        QVERIFY(!loggedText().contains(u"right"_s));
        QVERIFY(recorder.statusTexts.isEmpty() || recorder.statusTexts.last() == "Done.");
    }

    // A server that stops answering ends within the message's limit with a logged failure,
    // and the next message goes as usual.
    void silentServerFailsWithinLimit() {
        auto s = sink({});
        QVERIFY(s);
        SetSmtpTestParameters(quint16(s->port()), 10000, 1500);
        CRecordingUi recorder;
        SmtpRequest r = request(quint16(s->port()), u"127.0.0.1"_s);
        r.sender = u"silent@isp.example"_s;
        QElapsedTimer clock;
        clock.start();
        QVERIFY(SendMail(r, kPieces));
        QVERIFY2(clock.elapsed() < 8000, qPrintable(QString::number(clock.elapsed())));
        QVERIFY2(loggedText().contains(
                     u"The mail server did not take the message within 1.5 seconds."_s),
                 qPrintable(loggedText()));
        SetSmtpTestParameters(quint16(s->port()), 10000, 5 * 60 * 1000);
        r.sender = u"billing@isp.example"_s;
        QVERIFY(!SendMail(r, kPieces));
        QCOMPARE(s->storedCount(), 1);
    }

    // A server that refuses EHLO is greeted with HELO and still gets the message over TLS.
    void heloWhenEhloRefused() {
        auto s = sink({"--tls", m_cert, m_key, "--no-ehlo"});
        QVERIFY(s);
        configure(2, {}, {}, m_ca);
        CRecordingUi recorder;
        QVERIFY2(!SendMail(request(quint16(s->port())), kPieces), qPrintable(loggedText()));
        CSmtpSinkProcess::Message m;
        QVERIFY(s->take(m));
        QVERIFY(m.tls);
        QVERIFY2(m.helo != QLatin1String("localhost") && !m.helo.isEmpty(), qPrintable(m.helo));
    }

    // Settings are checked before anything is written; the file holding the password is
    // readable by its owner only; the test message goes with the values given.
    void settingsStoredAndTested() {
        const QString notPem = m_folders->filePath(QStringLiteral("server.csr.txt"));
        QFile f(notPem);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write("not a certificate\n") > 0);
        f.close();
        const QList<SmtpSettings> bad = {
            {SmtpSecurity::None, QStringLiteral("joe"), QStringLiteral("pw"), {}},
            {SmtpSecurity::Tls, QStringLiteral("joe"), QStringLiteral("p\nw"), {}},
            {SmtpSecurity::Tls, {}, {}, m_folders->filePath(QStringLiteral("missing.pem"))},
            {SmtpSecurity::Tls, {}, {}, notPem}};
        for (const SmtpSettings& s : bad) {
            QString problem;
            QVERIFY(!WriteSmtpSettings(s, &problem));
            QVERIFY(!problem.isEmpty());
            QCOMPARE(ReadSmtpSettings().security, SmtpSecurity::None); // nothing written
        }
        const SmtpSettings good{SmtpSecurity::StartTls, QStringLiteral("joe"), QStringLiteral("pw"),
                                m_ca};
        QString problem, where;
        QVERIFY2(WriteSmtpSettings(good, &problem, &where), qPrintable(problem));
        QVERIFY(where.contains(QLatin1String("settings file"))); // no keyring in the tests
        const SmtpSettings read = ReadSmtpSettings();
        QCOMPARE(read.security, good.security);
        QCOMPARE(read.user + read.password + read.caFile, good.user + good.password + good.caFile);
        const QString file = m_folders->configHome() + QStringLiteral("/Corvane/Tollkeeper.conf");
        const QFileDevice::Permissions others = QFileDevice::ReadGroup | QFileDevice::WriteGroup |
                                                QFileDevice::ExeGroup | QFileDevice::ReadOther |
                                                QFileDevice::WriteOther | QFileDevice::ExeOther;
        QCOMPARE(QFile::permissions(file) & others, QFileDevice::Permissions());

        auto s = sink({"--starttls", m_cert, m_key, "--auth", "joe:pw"});
        QVERIFY(s);
        SmtpTestMessage message{QStringLiteral("localhost:%1").arg(s->port()),
                                QStringLiteral("billing@isp.example"),
                                QStringLiteral("office@isp.example"),
                                {}};
        CRecordingUi recorder;
        QVERIFY2(!SendTestMessage(message, read), qPrintable(loggedText()));
        CSmtpSinkProcess::Message m;
        QVERIFY(s->take(m));
        QCOMPARE(m.user, QStringLiteral("joe"));
        QCOMPARE(m.headers[QLatin1String("Subject")].toString(),
                 QStringLiteral("Tollkeeper test message"));
        QVERIFY(m.defects.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestSmtpTls)
#include "tst_smtptls.moc"
