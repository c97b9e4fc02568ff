// The SMTP dialogue against scripted servers on 127.0.0.1: the command order, recipients,
// rejected replies with and without "DebugOutput", silent and closing servers, a greeting
// longer than one receive, and the socket error texts.
#include "common/recordingui.h"
#include "common/testfolders.h"
#include "core/app/registrystore.h"
#include "core/app/settingsvalues.h"
#include "core/mail/smtpclient.h"
#include "core/mail/socketerrors.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>
#include <functional>
#include <memory>

using namespace Qt::StringLiterals;

namespace {
// A mail server that follows a script: a greeting, then one reply per command line, the
// message after DATA taken whole up to the line with the single dot.
class CScriptedServer : public QObject {
public:
    enum class Mode { Normal, Silent, CloseAfterGreeting };

    explicit CScriptedServer(Mode mode = Mode::Normal) : m_mode(mode) {
        QObject::connect(&m_server, &QTcpServer::newConnection, this,
                         [this] { onNewConnection(); });
    }
    bool listen() { return m_server.listen(QHostAddress::LocalHost); }
    quint16 port() const { return m_server.serverPort(); }

    QByteArray greeting = "220 mail.test ESMTP ready\r\n";
    QByteArray rcptReply = "250 OK\r\n";
    QStringList commands; // command lines received, without CR LF
    QByteArray message;   // what came after DATA, up to and including "\r\n.\r\n"
    int connections = 0;

private:
    void onNewConnection() {
        QTcpSocket* s = m_server.nextPendingConnection();
        ++connections;
        QObject::connect(s, &QTcpSocket::readyRead, this, [this, s] { onData(s); });
        if (m_mode == Mode::Silent)
            return;
        s->write(greeting);
        if (m_mode == Mode::CloseAfterGreeting)
            s->disconnectFromHost();
    }

    void onData(QTcpSocket* s) {
        m_buffer += s->readAll();
        for (;;) {
            if (m_inData) {
                const qsizetype end = m_buffer.indexOf("\r\n.\r\n");
                if (end < 0)
                    return;
                message = m_buffer.left(end + 5);
                m_buffer.remove(0, end + 5);
                m_inData = false;
                s->write("250 Queued\r\n");
                continue;
            }
            const qsizetype eol = m_buffer.indexOf("\r\n");
            if (eol < 0)
                return;
            const QString line = QString::fromLatin1(m_buffer.left(eol));
            m_buffer.remove(0, eol + 2);
            commands.append(line);
            if (m_mode == Mode::Silent)
                continue;
            if (line.startsWith(u"RCPT"_s)) {
                s->write(rcptReply);
            } else if (line == u"DATA"_s) {
                m_inData = true;
                s->write("354 End data with <CR><LF>.<CR><LF>\r\n");
            } else if (line == u"QUIT"_s) {
                s->write("221 Bye\r\n");
                s->disconnectFromHost();
                return;
            } else {
                s->write("250 OK\r\n");
            }
        }
    }

    QTcpServer m_server;
    Mode m_mode;
    QByteArray m_buffer;
    bool m_inData = false;
};

// A user interface that starts a second exchange while the first one shows its status.
class CReenteringUi : public CRecordingUi {
public:
    std::function<void()> onSending;
    void setStatusText(const QString& text) override {
        CRecordingUi::setStatusText(text);
        if (text.startsWith(u"Sending invoice to"_s) && onSending) {
            auto f = std::move(onSending);
            onSending = nullptr;
            f();
        }
    }
};

SmtpRequest request() {
    SmtpRequest r;
    r.server = u"127.0.0.1"_s;
    r.sender = u"billing@isp.example"_s;
    r.recipients = u"joe@example.com"_s;
    r.logonName = u"joe"_s;
    return r;
}

const QList<QByteArray> kPieces = {"Subject: test\r\n\r\n", "Qm9keQ==\r\n",
                                   "\r\n--=_TKP_Boundary_1--\r\n.\r\n"};

QString socketError(int code) {
    return u"Socket error:  "_s + SocketErrorText(code);
}
} // namespace

class TestSmtpClient : public QObject {
    Q_OBJECT

    std::unique_ptr<CTestFolders> m_folders;

    static void setDebug(bool on) { QVERIFY(RegWriteYesNo(Reg::DebugOutput, on)); }

private slots:
    void initTestCase() {
        m_folders = std::make_unique<CTestFolders>();
        QVERIFY(m_folders->isValid());
        QVERIFY(theRegistry().open());
    }
    void init() { setDebug(false); }
    void cleanupTestCase() { theRegistry().close(); }

    void splitAddresses_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("addresses");
        QTest::newRow("semicolon and blank")
            << "a@x.example; b@y.example" << QStringList{"a@x.example", "b@y.example"};
        QTest::newRow("angle brackets") << "<a@x.example>" << QStringList{"a@x.example"};
        QTest::newRow("comma") << "a@x.example,b@y.example"
                               << QStringList{"a@x.example", "b@y.example"};
        QTest::newRow("empty") << "" << QStringList{};
        QTest::newRow("separators only") << " ;,<> " << QStringList{};
    }
    void splitAddresses() {
        QFETCH(QString, text);
        QFETCH(QStringList, addresses);
        QCOMPARE(SplitMailAddresses(text), addresses);
    }

    // The whole dialogue in order, both recipient lists, the message as given, the status.
    void dialogueInOrder() {
        CScriptedServer server;
        QVERIFY(server.listen());
        SetSmtpTestParameters(server.port(), 5000);
        CRecordingUi recorder;
        SmtpRequest r = request();
        r.recipients = u"joe@example.com; <joe2@example.com>"_s;
        r.memberRecipients = u"ann@example.com,bob@example.com"_s;
        QVERIFY(!SendMail(r, kPieces));
        QCOMPARE(server.commands,
                 QStringList({"HELO 127.0.0.1", "MAIL FROM:<billing@isp.example>",
                              "RCPT TO:<joe@example.com>", "RCPT TO:<joe2@example.com>",
                              "RCPT TO:<ann@example.com>", "RCPT TO:<bob@example.com>", "DATA",
                              "QUIT"}));
        QCOMPARE(server.message, kPieces.join());
        QCOMPARE(
            recorder.statusTexts,
            QStringList({"Connecting to email server...", "Sending invoice to joe...", "Sent data",
                         "Acknowledged data", "Sent quit", "Acknowledged quit", "Done."}));
        QVERIFY2(recorder.messages.isEmpty(), qPrintable(recorder.transcript().join('\n')));
    }

    // A refused recipient fails the message, "DebugOutput" on or off: no DATA goes. With it on
    // every command and reply is shown and the refusal stops the exchange with the server's
    // text; no socket error follows.
    void rejectedRecipientFails_data() {
        QTest::addColumn<bool>("debug");
        QTest::newRow("debug output off") << false;
        QTest::newRow("debug output on") << true;
    }
    void rejectedRecipientFails() {
        QFETCH(bool, debug);
        setDebug(debug);
        CScriptedServer server;
        server.rcptReply = "550 No such user here\r\n";
        QVERIFY(server.listen());
        SetSmtpTestParameters(server.port(), 5000);
        CRecordingUi recorder;
        QVERIFY(SendMail(request(), kPieces));
        QTest::qWait(50);
        QVERIFY(!server.commands.contains("DATA"));
        QVERIFY(server.message.isEmpty());
        QStringList shown;
        for (const CRecordingUi::Entry& e : recorder.messages)
            shown.append(e.text);
        const QStringList dialogue{"Connection with email server established",
                                   "Received: 220 mail.test ESMTP ready\r\n",
                                   "Sending: HELO 127.0.0.1\r\n",
                                   "Received: 250 OK\r\n",
                                   "Sending: MAIL FROM:<billing@isp.example>\r\n",
                                   "Received: 250 OK\r\n",
                                   "Sending: RCPT TO:<joe@example.com>\r\n",
                                   "Received: 550 No such user here\r\n",
                                   "Email server responded with error: 550 No such user here\r\n"};
        QCOMPARE(shown, debug ? dialogue : QStringList());
        if (debug)
            QCOMPARE(recorder.statusTexts.last(), u"Done."_s);
    }

    // A server that accepts the connection and never answers: the greeting times out.
    void silentServerTimesOut() {
        CScriptedServer server(CScriptedServer::Mode::Silent);
        QVERIFY(server.listen());
        SetSmtpTestParameters(server.port(), 300);
        CRecordingUi recorder;
        QElapsedTimer clock;
        clock.start();
        QVERIFY(SendMail(request(), kPieces));
        QVERIFY(clock.elapsed() >= 290);
        QCOMPARE(recorder.messages.size(), 1);
        QCOMPARE(
            recorder.messages[0].text,
            QStringLiteral(
                "Socket error:  Software caused connection abort.  Timeout may have occurred."));
        QVERIFY(server.commands.isEmpty());
        QCOMPARE(recorder.statusTexts.last(), u"Done."_s);
    }

    void serverClosesAfterGreeting() {
        CScriptedServer server(CScriptedServer::Mode::CloseAfterGreeting);
        QVERIFY(server.listen());
        SetSmtpTestParameters(server.port(), 5000);
        CRecordingUi recorder;
        QVERIFY(SendMail(request(), kPieces));
        QCOMPARE(recorder.messages.size(), 1);
        QCOMPARE(recorder.messages[0].text, socketError(10057));
    }

    // A multi-line reply longer than one read is taken whole, so every later answer belongs
    // to its own command.
    void longGreetingIsOneReply() {
        setDebug(true);
        CScriptedServer server;
        const QByteArray first = "220-" + QByteArray(122, 'a') + "\r\n"; // 128 bytes
        const QByteArray second = "220 " + QByteArray(66, 'b') + "\r\n"; // 72 bytes
        server.greeting = first + second;
        QVERIFY(server.listen());
        SetSmtpTestParameters(server.port(), 5000);
        CRecordingUi recorder;
        QVERIFY(!SendMail(request(), kPieces));
        QStringList received;
        for (const CRecordingUi::Entry& e : recorder.messages)
            if (e.text.startsWith(u"Received: "_s))
                received.append(e.text.mid(10));
        QCOMPARE(received.size(), 7);
        QCOMPARE(received[0], QString::fromLatin1(first + second));
        QCOMPARE(received[1], u"250 OK\r\n"_s);
        QCOMPARE(server.message, kPieces.join());
    }

    void connectionRefused() {
        quint16 port = 0;
        {
            QTcpServer probe;
            QVERIFY(probe.listen(QHostAddress::LocalHost));
            port = probe.serverPort();
        }
        SetSmtpTestParameters(port, 5000);
        CRecordingUi recorder;
        QVERIFY(SendMail(request(), kPieces));
        QCOMPARE(recorder.messages.size(), 1);
        QCOMPARE(recorder.messages[0].text, u"Socket error:  Connection refused."_s);
        QCOMPARE(recorder.statusTexts, QStringList({"Connecting to email server...", "Done."}));
    }

    // Only one exchange at a time: one started while another waits is refused.
    void secondExchangeWhileOneRuns() {
        CScriptedServer server;
        QVERIFY(server.listen());
        SetSmtpTestParameters(server.port(), 5000);
        CReenteringUi recorder;
        bool innerFailed = false;
        recorder.onSending = [&] { innerFailed = SendMail(request(), kPieces); };
        QVERIFY(!SendMail(request(), kPieces));
        QVERIFY(innerFailed);
        QCOMPARE(recorder.messages.size(), 1);
        QCOMPARE(recorder.messages[0].text, u"Socket error:  Operation now in progress."_s);
        QCOMPARE(server.connections, 1);
    }

    // A code without a text of its own says so, with the code.
    void unknownErrorCode() {
        QCOMPARE(SocketErrorMessage(0), QString());
        QCOMPARE(SocketErrorMessage(12345), u"Unknown socket error code! (12345)"_s);
    }

    // Qt folds several failures into one kind; its text and the resolver's answer tell
    // them apart.
    void errorMapping() {
        QCOMPARE(SocketErrorCodeOf(QAbstractSocket::NetworkError, "Network unreachable"), 10051);
        QCOMPARE(SocketErrorCodeOf(QAbstractSocket::NetworkError, "Host unreachable"), 10065);
        QCOMPARE(SocketErrorCodeOf(QAbstractSocket::NetworkError, "Connection timed out"), 10060);
        QCOMPARE(SocketErrorCodeOf(QAbstractSocket::NetworkError), 10050);

        QHostInfo info;
        info.setError(QHostInfo::HostNotFound);
        QCOMPARE(HostLookupErrorCode(info), 11001);
        info.setError(QHostInfo::UnknownError);
        QCOMPARE(HostLookupErrorCode(info), 11002);
        info.setError(QHostInfo::NoError);
        QCOMPARE(HostLookupErrorCode(info), 11004);
        info.setAddresses({QHostAddress::LocalHost});
        QCOMPARE(HostLookupErrorCode(info), 0);
    }
};

QTEST_GUILESS_MAIN(TestSmtpClient)
#include "tst_smtpclient.moc"
