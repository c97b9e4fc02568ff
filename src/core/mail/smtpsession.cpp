#include "core/mail/smtpsession.h"

#include "core/app/cp1252.h"
#include "core/app/oplog.h"
#include "core/app/resultcodes.h"
#include "core/app/userinterface.h"
#include "core/mail/socketerrors.h"

#include <QEventLoop>
#include <QHostInfo>
#include <QNetworkProxy>
#include <QSslConfiguration>
#include <QTimer>

namespace {
// Replies are read line by line; one longer than kMaxReplySize is refused.
constexpr qint64 kReadAhead = 4096;
constexpr qsizetype kMaxReplySize = 64 * 1024;

// True when the buffer ends with the last line of a reply: a line whose code is not
// followed by "-" (RFC 5321 multi-line replies continue with "250-...").
bool replyComplete(const QByteArray& buffer) {
    if (!buffer.endsWith('\n'))
        return false;
    const qsizetype start = buffer.lastIndexOf('\n', buffer.size() - 2) + 1;
    const QByteArray line = buffer.mid(start);
    return line.size() < 4 || line.at(3) != '-';
}
} // namespace

CSmtpSession::CSmtpSession(bool debug, int replyTimeoutMs, int messageLimitMs,
                           const QString& logName)
    : m_debug(debug), m_replyTimeoutMs(replyTimeoutMs), m_messageDeadline(messageLimitMs),
      m_logName(logName) {
    m_socket.setProxy(QNetworkProxy::NoProxy);
    QObject::connect(&m_socket, &QAbstractSocket::errorOccurred,
                     [this](QAbstractSocket::SocketError) {
                         if (m_socketError == 0)
                             m_socketError = SocketErrorCodeOf(m_socket);
                     });
}

CSmtpSession::~CSmtpSession() {
    m_socket.abort();
}

int CSmtpSession::brokenConnectionError() const {
    return m_socketError != 0 ? m_socketError : int(SOCKERR_NOT_CONNECTED);
}

void CSmtpSession::pump(qint64 ms) {
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    QObject::connect(&m_socket, &QIODevice::readyRead, &loop, &QEventLoop::quit);
    QObject::connect(&m_socket, &QIODevice::bytesWritten, &loop, &QEventLoop::quit);
    QObject::connect(&m_socket, &QAbstractSocket::connected, &loop, &QEventLoop::quit);
    QObject::connect(&m_socket, &QAbstractSocket::disconnected, &loop, &QEventLoop::quit);
    QObject::connect(&m_socket, &QAbstractSocket::stateChanged, &loop, &QEventLoop::quit);
    QObject::connect(&m_socket, &QAbstractSocket::errorOccurred, &loop, &QEventLoop::quit);
    QObject::connect(&m_socket, &QSslSocket::encrypted, &loop, &QEventLoop::quit);
    timer.start(int(qBound<qint64>(0, ms, qint64(24) * 3600 * 1000)));
    loop.exec();
}

qint64 CSmtpSession::timeLeft(const QDeadlineTimer& replyDeadline) {
    if (m_messageDeadline.hasExpired()) {
        m_error = SOCKERR_CONN_ABORTED;
        return 0;
    }
    const qint64 left = qMin(replyDeadline.remainingTime(), m_messageDeadline.remainingTime());
    if (left <= 0)
        m_error = SOCKERR_CONN_ABORTED;
    return qMax<qint64>(left, 0);
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
        timer.start(int(qMin<qint64>(m_replyTimeoutMs, m_messageDeadline.remainingTime())));
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
        const QDeadlineTimer deadline(m_replyTimeoutMs);
        while (m_socket.state() != QAbstractSocket::ConnectedState &&
               m_socket.state() != QAbstractSocket::UnconnectedState) {
            const qint64 left = timeLeft(deadline);
            if (left <= 0)
                break;
            pump(left);
        }
        if (m_socket.state() == QAbstractSocket::ConnectedState) {
            m_error = 0;
            return true;
        }
        m_error = m_socket.state() == QAbstractSocket::UnconnectedState && m_socketError != 0
                      ? m_socketError
                      : int(SOCKERR_TIMED_OUT);
        m_socket.abort();
    }
    if (addresses.isEmpty())
        m_error = SOCKERR_NO_DATA;
    return false;
}

bool CSmtpSession::startTls(const QString& peerName, const QString& caFile) {
    if (!QSslSocket::supportsSsl()) {
        fail(QStringLiteral("TLS is not available on this computer (the OpenSSL library could "
                            "not be loaded); the message is not sent."));
        return false;
    }
    QSslConfiguration config = m_socket.sslConfiguration();
    if (!caFile.isEmpty()) {
        const QList<QSslCertificate> extra = QSslCertificate::fromPath(caFile);
        if (extra.isEmpty()) {
            fail(QStringLiteral("The CA file \"%1\" holds no certificate.").arg(caFile));
            return false;
        }
        config.addCaCertificates(extra);
    }
    config.setPeerVerifyMode(QSslSocket::VerifyPeer);
    m_socket.setSslConfiguration(config);
    m_socket.setPeerVerifyName(peerName);

    QStringList refusals;
    const QMetaObject::Connection watch = QObject::connect(
        &m_socket, &QSslSocket::sslErrors, [&refusals](const QList<QSslError>& errors) {
            for (const QSslError& e : errors)
                refusals.append(e.errorString());
        });
    m_socket.startClientEncryption();
    const QDeadlineTimer deadline(m_replyTimeoutMs);
    while (!m_socket.isEncrypted() && m_socket.state() == QAbstractSocket::ConnectedState) {
        const qint64 left = timeLeft(deadline);
        if (left <= 0)
            break;
        pump(left);
    }
    QObject::disconnect(watch);
    if (m_socket.isEncrypted())
        return true;
    if (!refusals.isEmpty()) {
        m_error = 0;
        fail(QStringLiteral("The mail server's certificate was refused: %1")
                 .arg(refusals.join(QStringLiteral("; "))));
    } else if (m_error == 0) {
        fail(QStringLiteral("The TLS handshake with the mail server failed: %1")
                 .arg(m_socket.errorString()));
    }
    return false;
}

bool CSmtpSession::receive() {
    const QDeadlineTimer deadline(m_replyTimeoutMs);
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
        const qint64 left = timeLeft(deadline);
        if (left <= 0)
            return false;
        pump(left);
    }
    if (m_debug)
        ui().showMessage(QStringLiteral("Received: ") + DecodeCp1252(m_reply));
    return true;
}

int CSmtpSession::lastCode() const {
    bool ok = false;
    const int code = m_reply.left(3).toInt(&ok);
    return ok ? code : 0;
}

bool CSmtpSession::replyAccepted(bool refusalOk) {
    if (m_reply.startsWith('2') || m_reply.startsWith('3') || m_reply.startsWith("00"))
        return true;
    if (refusalOk)
        return false;
    // A refusal (550 for an unknown recipient, 554 for a rejected message) fails the
    // message; the server's own words go to the log so the office can see why.
    const QString text =
        QStringLiteral("Email server responded with error: %1").arg(DecodeCp1252(m_reply));
    if (m_debug)
        ui().showMessage(text);
    LogText(m_logName, text.trimmed(), ResultCode::MailError);
    return false;
}

bool CSmtpSession::reply(bool refusalOk) {
    return receive() && replyAccepted(refusalOk);
}

bool CSmtpSession::sendShown(const QByteArray& bytes, const QByteArray& shown) {
    if (m_debug)
        ui().showMessage(
            QStringLiteral("Sending: %1").arg(DecodeCp1252(shown.isEmpty() ? bytes : shown)));
    if (m_socket.state() != QAbstractSocket::ConnectedState) {
        m_error = brokenConnectionError();
        return false;
    }
    if (m_socket.write(bytes) != bytes.size()) {
        m_error = m_socketError != 0 ? m_socketError : SocketErrorCodeOf(m_socket);
        return false;
    }
    m_socket.flush();
    // A server that stops reading holds the message in our buffer; that wait is bounded too.
    QDeadlineTimer deadline(m_replyTimeoutMs);
    qint64 pending = m_socket.bytesToWrite() + m_socket.encryptedBytesToWrite();
    while (pending > 0) {
        if (m_socket.state() != QAbstractSocket::ConnectedState) {
            m_error = brokenConnectionError();
            return false;
        }
        const qint64 left = timeLeft(deadline);
        if (left <= 0)
            return false;
        pump(left);
        const qint64 now = m_socket.bytesToWrite() + m_socket.encryptedBytesToWrite();
        if (now < pending)
            deadline.setRemainingTime(m_replyTimeoutMs); // progress: the server reads
        pending = now;
    }
    return true;
}

bool CSmtpSession::send(const QByteArray& bytes) {
    return sendShown(bytes, {});
}

void CSmtpSession::fail(const QString& text) {
    m_failure = text;
    ui().showMessage(text);
    LogText(m_logName, text, ResultCode::MailError);
}

void CSmtpSession::close(bool graceful) {
    if (graceful && m_socket.state() != QAbstractSocket::UnconnectedState) {
        // Let the last bytes go out before the connection ends.
        m_socket.disconnectFromHost();
        const QDeadlineTimer deadline(qMin(m_replyTimeoutMs, 2000));
        while (m_socket.state() != QAbstractSocket::UnconnectedState && !deadline.hasExpired())
            pump(deadline.remainingTime());
    }
    m_socket.abort();
}
