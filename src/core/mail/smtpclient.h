#pragma once
#include "core/mail/mailaddress.h"
#include "core/mail/smtpsettings.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// The SMTP client: hands one finished e-mail to a mail server in a single exchange (greeting,
// HELO, MAIL FROM, one RCPT TO per address, DATA, the message, QUIT), waiting for each reply
// inside the event loop so that the windows stay painted. No queue and no retry.
// With the installation's SmtpSecurity or SmtpUser set (see smtpsettings.h) it says EHLO with
// this machine's name, takes TLS (implicit or by STARTTLS, the server's certificate and name
// checked) and authenticates with AUTH PLAIN or LOGIN, over TLS only; without them the
// exchange is the classic one, byte for byte.

struct SmtpRequest {
    QString server;           // host name or address of the mail server
    QString sender;           // envelope sender (MAIL FROM)
    QString recipients;       // the customer's billing address text
    QString memberRecipients; // addresses of the members of a summary invoice
    QString logonName;        // for the status text and the log
};

// Sends the message pieces back to back after DATA; the last piece ends with "\r\n.\r\n".
// Returns false when the server took the message and true when the exchange failed (the
// reason has been shown or logged). A reply not starting with "2", "3" or "00" (a refused
// recipient, a refused message) fails the exchange and is logged under the logon name; the
// setting "DebugOutput" also shows every command and reply.
// Refused before connecting: a server, sender or address holding a line break, a request
// without any recipient address, a sender or recipient that is not a valid mailbox and a
// server name with blanks or control characters.
[[nodiscard]] bool SendMail(const SmtpRequest& request, const QList<QByteArray>& pieces);
// The same with settings given instead of the installation's (the "Mail Server" dialog tries
// values before they are stored).
[[nodiscard]] bool SendMail(const SmtpRequest& request, const QList<QByteArray>& pieces,
                            const SmtpSettings& settings);

// The default server port (25; 465 for TLS from the first byte), the time a reply may take
// (15000 ms) and the limit of the whole exchange of one message (5 minutes). Tests point the
// client at their own servers (the port then also stands for 465) and shorten the waits; the
// program never changes them. A messageLimitMs of 0 keeps the limit as it is.
quint16 SmtpPort();
int SmtpReplyTimeoutMs();
int SmtpMessageLimitMs();
void SetSmtpTestParameters(quint16 port, int replyTimeoutMs, int messageLimitMs = 0);
