#include "core/mail/smtpsettings.h"

#include "core/app/settingsvalues.h"

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
    s.password = RegText(Reg::SmtpPassword);
    s.caFile = RegText(Reg::SmtpCAFile);
    return s;
}
