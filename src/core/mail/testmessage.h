#pragma once
#include "core/mail/smtpsettings.h"

#include <QDateTime>
#include <QString>

// A short plain-text message that shows whether the mail server settings work, before an
// invoice run depends on them.
struct SmtpTestMessage {
    QString server;    // as an invoicing plan's EmailServer: "host", "host:port", "[IPv6]:port"
    QString sender;    // From and MAIL FROM
    QString recipient; // To and RCPT TO
    QDateTime now;     // the Date header; invalid: the current time
};

// The message bytes as they go after DATA (ending with "\r\n.\r\n").
QByteArray ComposeTestMessage(const SmtpTestMessage& message);
// Sends the test message with `settings`. True on failure; the reason has been shown and
// logged under "Mail Server" like any e-mail failure.
[[nodiscard]] bool SendTestMessage(const SmtpTestMessage& message, const SmtpSettings& settings);
