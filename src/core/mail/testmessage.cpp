#include "core/mail/testmessage.h"

#include "core/mail/mimemessage.h"
#include "core/mail/smtpclient.h"

QByteArray ComposeTestMessage(const SmtpTestMessage& message) {
    const QDateTime now = message.now.isValid() ? message.now : QDateTime::currentDateTime();
    // Both addresses are checked as plain mailboxes by the client before anything is sent.
    return "Date: " + MailDateText(now) + "\r\nFrom: <" + message.sender.toLatin1() + ">\r\nTo: <" +
           message.recipient.toLatin1() +
           ">\r\nSubject: Tollkeeper test message\r\nX-Mailer: Tollkeeper " +
           MailProgramVersion().toLatin1() +
           "\r\nMIME-Version: 1.0\r\nContent-Type: text/plain; charset=\"US-ASCII\"\r\n"
           "Content-Transfer-Encoding: 7bit\r\n\r\n"
           "This message was sent by Tollkeeper to test the mail server settings.\r\n"
           "Invoices can be e-mailed with them.\r\n.\r\n";
}

bool SendTestMessage(const SmtpTestMessage& message, const SmtpSettings& settings) {
    SmtpRequest request;
    request.server = message.server;
    request.sender = message.sender;
    request.recipients = message.recipient;
    request.logonName = QStringLiteral("Mail Server");
    return SendMail(request, {ComposeTestMessage(message)}, settings);
}
