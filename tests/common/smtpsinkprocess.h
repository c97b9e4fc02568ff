#pragma once
#include <QJsonArray>
#include <QJsonObject>
#include <QProcess>
#include <QString>
#include <QStringList>

// The local SMTP server of the mail tests (tests/mail/smtpsink.py on Python's aiosmtpd) as a
// child process, and the MIME checker (tests/mail/mailcheck.py) that reads back what it
// stored. start() points the SMTP client at the server's port.
class CSmtpSinkProcess {
public:
    // One stored message as the checker describes it.
    struct Message {
        QString from;
        QStringList rcpt;
        QString helo; // the EHLO or HELO name the client gave
        bool tls = false;
        QString user; // the authenticated user; empty without AUTH
        QJsonObject headers;
        QJsonObject decoded; // the headers with RFC 2047 encoded words decoded
        QJsonArray parts;
        QJsonArray defects; // of the message and of every part
        QByteArray raw;
        // The first part of a content type ("text/html"); empty when there is none.
        QJsonObject part(const QString& type) const;
        QStringList shape() const; // "depth:type" of every part below the root
    };

    ~CSmtpSinkProcess();
    // Starts the server storing into `inbox`, with the options of smtpsink.py (STARTTLS,
    // implicit TLS, AUTH); false (with the reason) when Python with aiosmtpd is missing or the
    // server did not come up.
    bool start(const QString& inbox, QString* error, const QStringList& options = {});
    void stop();
    int port() const { return m_port; }
    // Messages stored so far.
    int storedCount() const;
    // The next stored message (in arrival order), parsed; false when there is none.
    bool take(Message& out);

private:
    QString m_python;
    QString m_inbox;
    QProcess m_sink;
    int m_port = 0;
    int m_taken = 0;
};
