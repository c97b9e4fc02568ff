#include "core/mail/smtpsettings.h"

#include "core/app/secretstore.h"
#include "core/app/settingsvalues.h"

#include <QFile>
#include <QSslCertificate>

#include <QHostAddress>
#include <QRegularExpression>

bool ParseMailServer(const QString& text, SmtpServerAddress& out) {
    static const QRegularExpression form(
        QStringLiteral("^(?:\\[([0-9A-Fa-f:.]+)\\]|([A-Za-z0-9._-]+))(?::([0-9]{1,5}))?$"));
    const QRegularExpressionMatch m = form.match(text);
    if (!m.hasMatch())
        return false;
    SmtpServerAddress address;
    if (m.hasCaptured(1)) {
        address.host = m.captured(1);
        if (QHostAddress(address.host).protocol() != QAbstractSocket::IPv6Protocol)
            return false;
    } else {
        address.host = m.captured(2);
    }
    if (m.hasCaptured(3)) {
        const int port = m.captured(3).toInt();
        if (port < 1 || port > 65535)
            return false;
        address.port = quint16(port);
    }
    out = address;
    return true;
}

SmtpSettings ReadSmtpSettings() {
    SmtpSettings s;
    const qint32 security = RegNumber(Reg::SmtpSecurity);
    if (security == int(SmtpSecurity::StartTls) || security == int(SmtpSecurity::Tls))
        s.security = SmtpSecurity(security);
    s.user = RegText(Reg::SmtpUser);
    if (!SecretStore::lookup(RegName(Reg::SmtpPassword), &s.password))
        s.password = RegText(Reg::SmtpPassword);
    s.caFile = RegText(Reg::SmtpCAFile);
    return s;
}

namespace {
bool holdsControl(const QString& text) {
    for (QChar c : text)
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            return true;
    return false;
}
} // namespace

QString SmtpSettingsProblem(const SmtpSettings& s) {
    if (holdsControl(s.user) || holdsControl(s.password))
        return QStringLiteral("The user name and the password may not hold control characters.");
    if (!s.caFile.isEmpty()) {
        QFile f(s.caFile);
        if (!f.open(QIODevice::ReadOnly))
            return QStringLiteral("Unable to read the CA file %1: %2")
                .arg(s.caFile, f.errorString());
        if (QSslCertificate::fromData(f.read(4 * 1024 * 1024), QSsl::Pem).isEmpty())
            return QStringLiteral("The CA file %1 holds no PEM certificate.").arg(s.caFile);
    }
    if (!s.user.isEmpty() && s.security == SmtpSecurity::None)
        return QStringLiteral("A user name needs STARTTLS or TLS: the password is never sent in "
                              "clear text.");
    return {};
}

bool WriteSmtpSettings(const SmtpSettings& s, QString* problem, QString* where) {
    const QString refused = SmtpSettingsProblem(s);
    if (!refused.isEmpty()) {
        *problem = refused;
        return false;
    }
    const QString key = RegName(Reg::SmtpPassword);
    bool ok = RegWriteNumber(Reg::SmtpSecurity, int(s.security)) &&
              RegWriteText(Reg::SmtpUser, s.user) && RegWriteText(Reg::SmtpCAFile, s.caFile);
    QString place;
    if (ok && SecretStore::store(key, s.password)) {
        place = QStringLiteral("the desktop's secret store");
        // The file keeps no copy once the keyring holds the password.
        ok = RegWriteText(Reg::SmtpPassword, QString());
    } else if (ok) {
        place = QStringLiteral("the settings file (readable by its owner only)");
        ok = RegWriteText(Reg::SmtpPassword, s.password);
    }
    if (!ok) {
        *problem = QStringLiteral("Unable to write the mail server settings.");
        return false;
    }
    if (where)
        *where = place;
    return true;
}

bool ParseSmtpSecurity(const QString& text, SmtpSecurity* out) {
    const QString t = text.trimmed().toLower();
    if (t == QLatin1String("none") || t == QLatin1String("0"))
        *out = SmtpSecurity::None;
    else if (t == QLatin1String("starttls") || t == QLatin1String("1"))
        *out = SmtpSecurity::StartTls;
    else if (t == QLatin1String("tls") || t == QLatin1String("2"))
        *out = SmtpSecurity::Tls;
    else
        return false;
    return true;
}

QString SmtpSecurityName(SmtpSecurity security) {
    switch (security) {
    case SmtpSecurity::StartTls:
        return QStringLiteral("starttls");
    case SmtpSecurity::Tls:
        return QStringLiteral("tls");
    case SmtpSecurity::None:
        break;
    }
    return QStringLiteral("none");
}
