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
// None. The password comes from the desktop's Secret Service when it keeps one, else from
// the settings file.
SmtpSettings ReadSmtpSettings();

// Why `s` cannot be stored: a user name or password with a control character, a CA file
// that cannot be read or holds no certificate. Empty when it can.
QString SmtpSettingsProblem(const SmtpSettings& s);
// Checks and stores all four settings. The password goes to the Secret Service when one is
// there (and the settings file then keeps none), else into the settings file, made readable
// by its owner only. False with the reason in `problem` when a value was refused or the
// settings could not be written. `where` (optional) says where the password went.
[[nodiscard]] bool WriteSmtpSettings(const SmtpSettings& s, QString* problem,
                                     QString* where = nullptr);
// "none", "starttls", "tls" (also "0", "1", "2") as a security; false for anything else.
bool ParseSmtpSecurity(const QString& text, SmtpSecurity* out);
QString SmtpSecurityName(SmtpSecurity security);
