#pragma once
#include <QString>

// Where and how the mail client reaches the mail server: the invoicing plan's EmailServer
// ("host", "host:port", "[IPv6]" or "[IPv6]:port") and the installation's settings for
// transport security and authentication (SmtpSecurity, SmtpUser, SmtpPassword, SmtpCAFile).

enum class SmtpSecurity : int {
    None = 0,     // plain SMTP
    StartTls = 1, // plain connection, then STARTTLS before anything else
    Tls = 2,      // TLS from the first byte (port 465)
};

struct SmtpServerAddress {
    QString host;     // name or address, without brackets
    quint16 port = 0; // 0: none given
};
// Splits an EmailServer text; false when it is no host, "host:port" or "[IPv6]:port" (a
// blank, a control character, a port outside 1..65535, an IPv6 address without brackets).
[[nodiscard]] bool ParseMailServer(const QString& text, SmtpServerAddress& out);

struct SmtpSettings {
    SmtpSecurity security = SmtpSecurity::None;
    QString user;     // empty: no authentication
    QString password; // only ever sent over TLS
    QString caFile;   // certificates trusted besides the system's; empty for none
    // Neither TLS nor authentication: the classic exchange (HELO with the server's name).
    bool plain() const { return security == SmtpSecurity::None && user.isEmpty(); }
};
// The installation's settings from the settings store; an unknown security number reads as
// None.
SmtpSettings ReadSmtpSettings();
