#include "core/mail/smtpclient.h"

#include "core/app/cp1252.h"
#include "core/app/oplog.h"
#include "core/app/settingsvalues.h"
#include "core/app/userinterface.h"
#include "core/mail/socketerrors.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QHostAddress>
#include <QHostInfo>
#include <QNetworkProxy>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QTimer>

namespace {
quint16 g_port = 25;
int g_replyTimeoutMs = 15000;
// One exchange at a time: a second one started from inside the waiting loop is refused.
bool g_exchangeRunning = false;

// Every receive takes at most this many bytes, and each receive is one reply.
constexpr qint64 kReplyBufferSize = 128;

class CSmtpSession {
public:
    CSmtpSession(bool debug, int timeoutMs) : m_debug(debug), m_timeoutMs(timeoutMs) {
        m_socket.setProxy(QNetworkProxy::NoProxy);
        QObject::connect(&m_socket, &QAbstractSocket::errorOccurred,
                         [this](QAbstractSocket::SocketError) {
                             if (m_socketError == 0)
                                 m_socketError = SocketErrorCodeOf(m_socket);
                         });
    }
    ~CSmtpSession() { m_socket.abort(); }

    int error() const { return m_error; }

    bool connectTo(const QString& host, quint16 port);
    // Receives one reply and, with debug output on, checks its code.
    bool reply();
    bool send(const QByteArray& bytes);
    // Sends a command and takes its reply.
    bool command(const QByteArray& bytes) { return send(bytes) && reply(); }
    void close(bool graceful);

private:
    bool receive();
    bool replyAccepted();
    // Runs the event loop until the socket reports anything or ms milliseconds pass.
    void pump(qint64 ms);
    int brokenConnectionError() const {
        return m_socketError != 0 ? m_socketError : int(SOCKERR_NOT_CONNECTED);
    }

    QTcpSocket m_socket;
    bool m_debug;
    int m_timeoutMs;
    int m_error = 0;       // the error the exchange failed with
    int m_socketError = 0; // the first error the socket reported
    QByteArray m_reply;
};

void CSmtpSession::pump(qint64 ms) {
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    QObject::connect(&m_socket, &QIODevice::readyRead, &loop, &QEventLoop::quit);
    QObject::connect(&m_socket, &QAbstractSocket::connected, &loop, &QEventLoop::quit);
    QObject::connect(&m_socket, &QAbstractSocket::disconnected, &loop, &QEventLoop::quit);
    QObject::connect(&m_socket, &QAbstractSocket::stateChanged, &loop, &QEventLoop::quit);
    QObject::connect(&m_socket, &QAbstractSocket::errorOccurred, &loop, &QEventLoop::quit);
    timer.start(int(qBound<qint64>(0, ms, qint64(24) * 3600 * 1000)));
    loop.exec();
}

bool CSmtpSession::connectTo(const QString& host, quint16 port) {
    QList<QHostAddress> addresses;
    QHostAddress literal;
    if (literal.setAddress(host)) {
        addresses.append(literal);
    } else {
        QEventLoop loop;
        QTimer timer;
        timer.setSingleShot(true);
        QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
        bool done = false;
        QHostInfo found;
        const int id = QHostInfo::lookupHost(host, &loop, [&](const QHostInfo& info) {
            found = info;
            done = true;
            loop.quit();
        });
        timer.start(m_timeoutMs);
        if (!done)
            loop.exec();
        if (!done) {
            QHostInfo::abortHostLookup(id);
            m_error = SOCKERR_TRY_AGAIN;
            return false;
        }
        if (const int code = HostLookupErrorCode(found)) {
            m_error = code;
            return false;
        }
        addresses = found.addresses();
    }

    // Each address of the host in turn (a name may stand for an IPv6 and an IPv4 address of
    // which only one takes mail); the last failure is the one reported.
    for (const QHostAddress& address : addresses) {
        m_socketError = 0;
        m_socket.abort();
        m_socket.connectToHost(address, port);
        QElapsedTimer clock;
        clock.start();
        while (m_socket.state() != QAbstractSocket::ConnectedState &&
               m_socket.state() != QAbstractSocket::UnconnectedState) {
            const qint64 left = m_timeoutMs - clock.elapsed();
            if (left <= 0)
                break;
            pump(left);
        }
        if (m_socket.state() == QAbstractSocket::ConnectedState)
            return true;
        m_error = m_socket.state() == QAbstractSocket::UnconnectedState && m_socketError != 0
                      ? m_socketError
                      : int(SOCKERR_TIMED_OUT);
        m_socket.abort();
    }
    if (addresses.isEmpty())
        m_error = SOCKERR_NO_DATA;
    return false;
}

bool CSmtpSession::receive() {
    QElapsedTimer clock; // monotonic: no wrapped tick counts to care about
    clock.start();
    for (;;) {
        if (m_socket.bytesAvailable() > 0) {
            m_reply = m_socket.read(kReplyBufferSize);
            break;
        }
        if (m_socket.state() != QAbstractSocket::ConnectedState) {
            m_error = brokenConnectionError();
            return false;
        }
        const qint64 left = m_timeoutMs - clock.elapsed();
        if (left <= 0) {
            m_error = SOCKERR_CONN_ABORTED;
            return false;
        }
        pump(left);
    }
    if (m_debug)
        ui().showMessage(QStringLiteral("Received: ") + DecodeCp1252(m_reply));
    return true;
}

bool CSmtpSession::replyAccepted() {
    if (!m_debug)
        return true;
    if (m_reply.startsWith('2') || m_reply.startsWith('3') || m_reply.startsWith("00"))
        return true;
    ui().showMessage(
        QStringLiteral("Email server responded with error: %1").arg(DecodeCp1252(m_reply)));
    return false;
}

bool CSmtpSession::reply() {
    return receive() && replyAccepted();
}

bool CSmtpSession::send(const QByteArray& bytes) {
    if (m_debug)
        ui().showMessage(QStringLiteral("Sending: %1").arg(DecodeCp1252(bytes)));
    if (m_socket.state() != QAbstractSocket::ConnectedState) {
        m_error = brokenConnectionError();
        return false;
    }
    if (m_socket.write(bytes) != bytes.size()) {
        m_error = m_socketError != 0 ? m_socketError : SocketErrorCodeOf(m_socket);
        return false;
    }
    m_socket.flush();
    return true;
}

void CSmtpSession::close(bool graceful) {
    if (graceful && m_socket.state() != QAbstractSocket::UnconnectedState) {
        // Let the last bytes go out before the connection ends.
        m_socket.disconnectFromHost();
        QElapsedTimer clock;
        clock.start();
        while (m_socket.state() != QAbstractSocket::UnconnectedState) {
            const qint64 left = qMin<qint64>(m_timeoutMs, 2000) - clock.elapsed();
            if (left <= 0)
                break;
            pump(left);
        }
    }
    m_socket.abort();
}

QByteArray Bytes(const QString& text) {
    return EncodeCp1252(text);
}

// The dialogue of one message; false on failure with session.error() set (or 0 when only a
// rejected reply stopped it).
bool RunDialogue(CSmtpSession& session, const SmtpRequest& request, const QList<QByteArray>& pieces,
                 bool debug) {
    if (!session.connectTo(request.server, g_port))
        return false;
    if (debug)
        ui().showMessage(QStringLiteral("Connection with email server established"));
    if (!session.reply())
        return false;

    ui().setStatusText(QStringLiteral("Sending invoice to %1...").arg(request.logonName));
    if (!session.command("HELO " + Bytes(request.server) + "\r\n"))
        return false;
    if (!session.command("MAIL FROM:<" + Bytes(request.sender) + ">\r\n"))
        return false;
    for (const QString* list : {&request.recipients, &request.memberRecipients})
        for (const QString& address : SplitMailAddresses(*list))
            if (!session.command("RCPT TO:<" + Bytes(address) + ">\r\n"))
                return false;
    if (!session.command("DATA\r\n"))
        return false;

    for (const QByteArray& piece : pieces)
        if (!session.send(piece))
            return false;
    ui().setStatusText(QStringLiteral("Sent data"));
    if (!session.reply())
        return false;
    ui().setStatusText(QStringLiteral("Acknowledged data"));

    if (!session.send("QUIT\r\n"))
        return false;
    ui().setStatusText(QStringLiteral("Sent quit"));
    if (!session.reply())
        return false;
    ui().setStatusText(QStringLiteral("Acknowledged quit"));
    return true;
}
} // namespace

QStringList SplitMailAddresses(const QString& text) {
    static const QRegularExpression separators(QStringLiteral("[ ;,<>]"));
    return text.split(separators, Qt::SkipEmptyParts);
}

bool HoldsLineBreak(const QString& text) {
    return text.contains(QLatin1Char('\r')) || text.contains(QLatin1Char('\n'));
}

bool SendMail(const SmtpRequest& request, const QList<QByteArray>& pieces) {
    if (g_exchangeRunning) {
        ReportSocketError(SOCKERR_IN_PROGRESS);
        return true;
    }
    // A line break in any of these would let the text end the command it stands in and
    // start commands of its own.
    if (HoldsLineBreak(request.server) || HoldsLineBreak(request.sender) ||
        HoldsLineBreak(request.recipients) || HoldsLineBreak(request.memberRecipients)) {
        LogText(request.logonName,
                QStringLiteral("E-mail not sent: the mail server, sender or recipient address "
                               "holds a line break."),
                ResultCode::MailError);
        return true;
    }
    if (SplitMailAddresses(request.recipients).isEmpty() &&
        SplitMailAddresses(request.memberRecipients).isEmpty()) {
        LogText(request.logonName, QStringLiteral("E-mail not sent: no recipient address."),
                ResultCode::MailError);
        return true;
    }

    g_exchangeRunning = true;
    ui().setStatusText(QStringLiteral("Connecting to email server..."));
    const bool debug = RegYesNo(Reg::DebugOutput);
    CSmtpSession session(debug, g_replyTimeoutMs);
    const bool sent = RunDialogue(session, request, pieces, debug);
    if (!sent)
        ReportSocketError(session.error());
    session.close(sent);
    ui().setStatusText(QStringLiteral("Done."));
    g_exchangeRunning = false;
    return !sent;
}

quint16 SmtpPort() {
    return g_port;
}

int SmtpReplyTimeoutMs() {
    return g_replyTimeoutMs;
}

void SetSmtpTestParameters(quint16 port, int replyTimeoutMs) {
    g_port = port;
    g_replyTimeoutMs = replyTimeoutMs;
}
