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
#include <QTcpSocket>
#include <QTimer>

namespace {
quint16 g_port = 25;
int g_replyTimeoutMs = 15000;
// One exchange at a time: a second one started from inside the waiting loop is refused.
bool g_exchangeRunning = false;

// Replies are read line by line; one longer than kMaxReplySize is refused.
constexpr qint64 kReadAhead = 4096;
constexpr qsizetype kMaxReplySize = 64 * 1024;
// A refusal of the server is logged as an error with the server's text.
constexpr int kResultMailError = 0;

class CSmtpSession {
public:
    CSmtpSession(bool debug, int timeoutMs, const QString& logName)
        : m_debug(debug), m_timeoutMs(timeoutMs), m_logName(logName) {
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
    // Receives one reply and checks its code (2xx and 3xx go on; with debug output on every
    // reply is shown).
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
    QString m_logName;
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

// True when the buffer ends with the last line of a reply: a line whose code is not
// followed by "-" (RFC 5321 multi-line replies continue with "250-...").
bool replyComplete(const QByteArray& buffer) {
    if (!buffer.endsWith('\n'))
        return false;
    const qsizetype start = buffer.lastIndexOf('\n', buffer.size() - 2) + 1;
    const QByteArray line = buffer.mid(start);
    return line.size() < 4 || line.at(3) != '-';
}

bool CSmtpSession::receive() {
    QElapsedTimer clock; // monotonic: no wrapped tick counts to care about
    clock.start();
    m_reply.clear();
    for (;;) {
        // A reply is taken whole, over as many reads as it needs, and no further: what the
        // server sends after it belongs to the next command.
        while (m_socket.bytesAvailable() > 0 && !replyComplete(m_reply)) {
            const QByteArray ahead = m_socket.peek(kReadAhead);
            const qsizetype eol = ahead.indexOf('\n');
            m_reply += m_socket.read(eol < 0 ? ahead.size() : eol + 1);
            if (m_reply.size() > kMaxReplySize) {
                m_error = SOCKERR_MSG_TOO_LONG;
                return false;
            }
        }
        if (replyComplete(m_reply))
            break;
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
    if (m_reply.startsWith('2') || m_reply.startsWith('3') || m_reply.startsWith("00"))
        return true;
    // A refusal (550 for an unknown recipient, 554 for a rejected message) fails the
    // message; the server's own words go to the log so the office can see why.
    const QString text =
        QStringLiteral("Email server responded with error: %1").arg(DecodeCp1252(m_reply));
    if (m_debug)
        ui().showMessage(text);
    LogText(m_logName, text.trimmed(), kResultMailError);
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
                0);
        return true;
    }
    if (SplitMailAddresses(request.recipients).isEmpty() &&
        SplitMailAddresses(request.memberRecipients).isEmpty()) {
        LogText(request.logonName, QStringLiteral("E-mail not sent: no recipient address."), 0);
        return true;
    }
    // Every address goes into a command as it stands, so each must be a plain mailbox: a
    // NUL, blank or angle bracket would add parameters or commands of its own.
    bool valid = IsValidMailbox(request.sender);
    QString invalid = request.sender;
    for (const QString* list : {&request.recipients, &request.memberRecipients}) {
        if (valid && !FirstInvalidMailbox(*list).isEmpty()) {
            invalid = FirstInvalidMailbox(*list);
            valid = false;
        }
    }
    if (!valid) {
        LogText(request.logonName,
                QStringLiteral("E-mail not sent: \"%1\" is not a valid e-mail address.")
                    .arg(PrintableText(invalid)),
                0);
        return true;
    }
    if (!IsValidServerName(request.server)) {
        LogText(request.logonName,
                QStringLiteral("E-mail not sent: \"%1\" is not a valid mail server name.")
                    .arg(PrintableText(request.server)),
                0);
        return true;
    }

    g_exchangeRunning = true;
    ui().setStatusText(QStringLiteral("Connecting to email server..."));
    const bool debug = RegYesNo(Reg::DebugOutput);
    CSmtpSession session(debug, g_replyTimeoutMs, request.logonName);
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
