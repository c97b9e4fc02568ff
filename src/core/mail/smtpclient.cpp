#include "core/mail/smtpclient.h"

#include "core/app/cp1252.h"
#include "core/app/oplog.h"
#include "core/app/resultcodes.h"
#include "core/app/settingsvalues.h"
#include "core/app/userinterface.h"
#include "core/mail/smtpsession.h"
#include "core/mail/smtpsettings.h"
#include "core/mail/socketerrors.h"

#include <QHostInfo>
#include <QRegularExpression>

namespace {
quint16 g_port = 25;
bool g_portChanged = false;
int g_replyTimeoutMs = 15000;
int g_messageLimitMs = 5 * 60 * 1000;
// One exchange at a time: a second one started from inside the waiting loop is refused.
bool g_exchangeRunning = false;

constexpr quint16 kImplicitTlsPort = 465;

QByteArray Bytes(const QString& text) {
    return EncodeCp1252(text);
}

// The name this machine gives in EHLO: its fully qualified host name, or, when it has none,
// the address literal of this end of the connection (RFC 5321, 4.1.3).
QByteArray HeloName(const QHostAddress& local) {
    static const QString label = QStringLiteral("[A-Za-z0-9]([A-Za-z0-9-]*[A-Za-z0-9])?");
    static const QRegularExpression fqdn(QStringLiteral("^%1(\\.%1)+$").arg(label));
    QString name = QHostInfo::localHostName();
    const QString domain = QHostInfo::localDomainName();
    if (!name.contains(QLatin1Char('.')) && !domain.isEmpty())
        name += QLatin1Char('.') + domain;
    if (fqdn.match(name).hasMatch())
        return name.toLatin1();
    bool mapped = false;
    const QHostAddress v4(local.toIPv4Address(&mapped));
    if (mapped || local.protocol() == QAbstractSocket::IPv4Protocol)
        return "[" + v4.toString().toLatin1() + "]";
    return "[IPv6:" + local.toString().toLatin1() + "]";
}

// What the server offers after EHLO, from the keyword lines of its reply.
struct Extensions {
    bool startTls = false;
    QStringList auth; // mechanisms, upper case
};

Extensions ParseExtensions(const QByteArray& reply) {
    Extensions e;
    const QList<QByteArray> lines = reply.split('\n');
    for (qsizetype i = 1; i < lines.size(); ++i) { // the first line greets
        const QStringList words = QString::fromLatin1(lines[i].mid(4).trimmed())
                                      .toUpper()
                                      .split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (words.isEmpty())
            continue;
        if (words[0] == QLatin1String("STARTTLS"))
            e.startTls = true;
        else if (words[0] == QLatin1String("AUTH"))
            e.auth += words.mid(1);
        else if (words[0].startsWith(QLatin1String("AUTH="))) // the older form
            e.auth += QStringList{words[0].mid(5)} + words.mid(1);
    }
    return e;
}

// EHLO, or HELO when the server refuses EHLO (it then offers no extension).
bool Hello(CSmtpSession& session, Extensions& offered) {
    const QByteArray name = HeloName(session.localAddress());
    if (session.command("EHLO " + name + "\r\n", true)) {
        offered = ParseExtensions(session.lastReply());
        return true;
    }
    if (session.error() != 0)
        return false;
    offered = {};
    return session.command("HELO " + name + "\r\n");
}

// AUTH PLAIN when offered, else AUTH LOGIN; only ever on an encrypted connection. The
// password never appears in what debug output shows.
bool Authenticate(CSmtpSession& session, const Extensions& offered, const SmtpSettings& settings) {
    if (!session.encrypted()) {
        session.fail(QStringLiteral("The password is never sent over a connection without TLS; "
                                    "the message is not sent."));
        return false;
    }
    const QByteArray user = settings.user.toUtf8();
    const QByteArray password = settings.password.toUtf8();
    bool answered = false;
    if (offered.auth.contains(QLatin1String("PLAIN"))) {
        const QByteArray token = (QByteArray(1, '\0') + user + '\0' + password).toBase64();
        answered =
            session.command("AUTH PLAIN " + token + "\r\n", false, "AUTH PLAIN ********\r\n");
    } else if (offered.auth.contains(QLatin1String("LOGIN"))) {
        answered = session.command("AUTH LOGIN\r\n") && session.command(user.toBase64() + "\r\n") &&
                   session.command(password.toBase64() + "\r\n", false, "********\r\n");
    } else {
        session.fail(QStringLiteral("The mail server offers neither AUTH PLAIN nor AUTH LOGIN; "
                                    "the message is not sent."));
        return false;
    }
    if (answered && session.lastCode() != 235) { // only 235 says the login was taken
        session.fail(QStringLiteral("The mail server did not accept the login: %1")
                         .arg(QString::fromLatin1(session.lastReply().trimmed())));
        return false;
    }
    return answered;
}

// From the greeting to the point where MAIL FROM may go: HELO with the server's name as
// configured for a plain server (the classic exchange, byte for byte), else EHLO with this
// machine's name, STARTTLS and AUTH as the settings ask.
bool Introduce(CSmtpSession& session, const SmtpSettings& settings,
               const SmtpServerAddress& server) {
    if (settings.plain())
        return session.command("HELO " + Bytes(server.host) + "\r\n");
    Extensions offered;
    if (!Hello(session, offered))
        return false;
    if (settings.security == SmtpSecurity::StartTls) {
        if (!offered.startTls) {
            session.fail(QStringLiteral("The mail server does not offer STARTTLS; the message "
                                        "is not sent without encryption."));
            return false;
        }
        if (!session.command("STARTTLS\r\n") || !session.startTls(server.host, settings.caFile))
            return false;
        if (!Hello(session, offered)) // what was offered in clear text no longer counts
            return false;
    }
    return settings.user.isEmpty() || Authenticate(session, offered, settings);
}

// The dialogue of one message; false on failure with session.error() set (or 0 when a
// refusal or a failure of its own, already shown and logged, stopped it).
bool RunDialogue(CSmtpSession& session, const SmtpRequest& request, const QList<QByteArray>& pieces,
                 bool debug, const SmtpSettings& settings, const SmtpServerAddress& server) {
    quint16 port = server.port;
    if (port == 0)
        port = settings.security == SmtpSecurity::Tls && !g_portChanged ? kImplicitTlsPort : g_port;
    if (!session.connectTo(server.host, port))
        return false;
    if (settings.security == SmtpSecurity::Tls && !session.startTls(server.host, settings.caFile))
        return false;
    if (debug)
        ui().showMessage(QStringLiteral("Connection with email server established"));
    if (!session.reply())
        return false;

    ui().setStatusText(QStringLiteral("Sending invoice to %1...").arg(request.logonName));
    if (!Introduce(session, settings, server))
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

bool Refuse(const SmtpRequest& request, const QString& text) {
    LogText(request.logonName, QStringLiteral("E-mail not sent: ") + text, ResultCode::MailError);
    return true;
}
} // namespace

bool SendMail(const SmtpRequest& request, const QList<QByteArray>& pieces) {
    return SendMail(request, pieces, ReadSmtpSettings());
}

bool SendMail(const SmtpRequest& request, const QList<QByteArray>& pieces,
              const SmtpSettings& settings) {
    if (g_exchangeRunning) {
        ReportSocketError(SOCKERR_IN_PROGRESS);
        return true;
    }
    // A line break in any of these would let the text end the command it stands in and
    // start commands of its own.
    if (HoldsLineBreak(request.server) || HoldsLineBreak(request.sender) ||
        HoldsLineBreak(request.recipients) || HoldsLineBreak(request.memberRecipients))
        return Refuse(request, QStringLiteral("the mail server, sender or recipient address "
                                              "holds a line break."));
    if (SplitMailAddresses(request.recipients).isEmpty() &&
        SplitMailAddresses(request.memberRecipients).isEmpty())
        return Refuse(request, QStringLiteral("no recipient address."));
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
    if (!valid)
        return Refuse(
            request,
            QStringLiteral("\"%1\" is not a valid e-mail address.").arg(PrintableText(invalid)));
    SmtpServerAddress server;
    if (!ParseMailServer(request.server, server))
        return Refuse(request, QStringLiteral("\"%1\" is not a valid mail server name.")
                                   .arg(PrintableText(request.server)));
    if (!settings.user.isEmpty() && settings.security == SmtpSecurity::None) {
        const QString text = QStringLiteral(
            "a user name for the mail server is set (SmtpUser), but no TLS (SmtpSecurity is 0); "
            "the password is never sent in clear text.");
        ui().showMessage(QStringLiteral("E-mail not sent: ") + text);
        return Refuse(request, text);
    }

    g_exchangeRunning = true;
    ui().setStatusText(QStringLiteral("Connecting to email server..."));
    const bool debug = RegYesNo(Reg::DebugOutput);
    CSmtpSession session(debug, g_replyTimeoutMs, g_messageLimitMs, request.logonName);
    const bool sent = RunDialogue(session, request, pieces, debug, settings, server);
    if (!sent && session.error() != 0) {
        ReportSocketError(session.error());
        // The log keeps the reason of every failure, not only the screen.
        QString text = SocketErrorMessage(session.error());
        if (session.messageLimitReached())
            text = QStringLiteral("The mail server did not take the message within %1 seconds. ")
                       .arg(g_messageLimitMs / 1000.0) +
                   text;
        LogText(request.logonName, text, ResultCode::MailError);
    }
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

int SmtpMessageLimitMs() {
    return g_messageLimitMs;
}

void SetSmtpTestParameters(quint16 port, int replyTimeoutMs, int messageLimitMs) {
    g_port = port;
    g_portChanged = true;
    g_replyTimeoutMs = replyTimeoutMs;
    if (messageLimitMs > 0)
        g_messageLimitMs = messageLimitMs;
}
