#pragma once
#include <QByteArray>
#include <QDeadlineTimer>
#include <QSslSocket>
#include <QString>

// One connection to a mail server: connecting (to each address of a name in turn), TLS from
// the first byte or after STARTTLS with the server's certificate and name checked, and
// commands and their replies. Every wait runs the event loop and is bounded twice: by the
// time one reply may take and by the limit of the whole message.
class CSmtpSession {
public:
    CSmtpSession(bool debug, int replyTimeoutMs, int messageLimitMs, const QString& logName);
    ~CSmtpSession();
    CSmtpSession(const CSmtpSession&) = delete;
    CSmtpSession& operator=(const CSmtpSession&) = delete;

    // The socket error number the exchange failed with (0 when a refusal or a message of
    // its own, see failureText(), stopped it).
    int error() const { return m_error; }
    // Why the exchange failed when no socket error says it: already shown and logged.
    QString failureText() const { return m_failure; }

    // The limit of the whole message has run out.
    bool messageLimitReached() const { return m_messageDeadline.hasExpired(); }

    [[nodiscard]] bool connectTo(const QString& host, quint16 port);
    // TLS on the open connection, checking the certificate against `peerName` and the
    // system's certificates plus those of `caFile`.
    [[nodiscard]] bool startTls(const QString& peerName, const QString& caFile);
    bool encrypted() const { return m_socket.isEncrypted(); }

    // Receives one whole reply (all lines of a multi-line one) and checks its code: 2xx and
    // 3xx go on, anything else fails and is logged with the server's words. A refusal is
    // left to the caller (not logged) when `refusalOk`.
    [[nodiscard]] bool reply(bool refusalOk = false);
    [[nodiscard]] bool send(const QByteArray& bytes);
    // Sends a command and takes its reply. With debug output on the command is shown as
    // `shown` when that is given (a password never appears).
    [[nodiscard]] bool command(const QByteArray& bytes, bool refusalOk = false,
                               const QByteArray& shown = {}) {
        return sendShown(bytes, shown) && reply(refusalOk);
    }
    [[nodiscard]] bool sendShown(const QByteArray& bytes, const QByteArray& shown);
    const QByteArray& lastReply() const { return m_reply; }
    int lastCode() const;
    // The address this end of the connection has (for an EHLO address literal).
    QHostAddress localAddress() const { return m_socket.localAddress(); }

    // Shows and logs a failure of the exchange that no socket error describes.
    void fail(const QString& text);
    void close(bool graceful);

private:
    [[nodiscard]] bool receive();
    [[nodiscard]] bool replyAccepted(bool refusalOk);
    // Runs the event loop until the socket reports anything or ms milliseconds pass.
    void pump(qint64 ms);
    // What is left of the reply time-out started at `started` and of the message's limit;
    // 0 when either has run out (and the error is set).
    qint64 timeLeft(const QDeadlineTimer& replyDeadline);
    int brokenConnectionError() const;

    QSslSocket m_socket;
    bool m_debug;
    int m_replyTimeoutMs;
    QDeadlineTimer m_messageDeadline;
    QString m_logName;
    int m_error = 0;       // the error the exchange failed with
    int m_socketError = 0; // the first error the socket reported
    QString m_failure;
    QByteArray m_reply;
};
