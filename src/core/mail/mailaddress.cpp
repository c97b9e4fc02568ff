#include "core/mail/mailaddress.h"

#include <QRegularExpression>

namespace {
bool isAtext(char16_t c) {
    if ((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9'))
        return true;
    return QStringView(u"!#$%&'*+-/=?^_`{|}~").contains(QChar(c));
}

bool isValidLocalPart(QStringView local) {
    if (local.isEmpty() || local.size() > 64 || local.startsWith(u'.') || local.endsWith(u'.') ||
        local.contains(u".."))
        return false;
    for (QChar c : local)
        if (c != u'.' && !isAtext(c.unicode()))
            return false;
    return true;
}

bool isValidDomain(QStringView domain) {
    if (domain.size() > 253)
        return false;
    if (domain.startsWith(u'[')) {
        // An address literal: [192.0.2.1] or [IPv6:2001:db8::1].
        static const QRegularExpression literal(QStringLiteral("^\\[[A-Za-z0-9:.]+\\]$"));
        return literal.match(domain).hasMatch();
    }
    static const QRegularExpression label(
        QStringLiteral("^[A-Za-z0-9]([A-Za-z0-9-]{0,61}[A-Za-z0-9])?$"));
    const QList<QStringView> labels = domain.split(u'.');
    for (QStringView l : labels)
        if (!label.match(l).hasMatch())
            return false;
    return !labels.isEmpty();
}
} // namespace

QStringList SplitMailAddresses(const QString& text) {
    static const QRegularExpression separators(QStringLiteral("[ ;,<>]"));
    return text.split(separators, Qt::SkipEmptyParts);
}

bool HoldsLineBreak(const QString& text) {
    return text.contains(QLatin1Char('\r')) || text.contains(QLatin1Char('\n'));
}

bool IsValidMailbox(const QString& address) {
    if (address.size() > 254)
        return false;
    const qsizetype at = address.lastIndexOf(QLatin1Char('@'));
    if (at <= 0)
        return false;
    return isValidLocalPart(QStringView(address).left(at)) &&
           isValidDomain(QStringView(address).mid(at + 1));
}

QString FirstInvalidMailbox(const QString& recipientText) {
    for (const QString& address : SplitMailAddresses(recipientText))
        if (!IsValidMailbox(address))
            return address;
    return {};
}

QString PrintableText(const QString& text) {
    QString out;
    for (QChar c : text) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            out += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        else
            out += c;
    }
    return out;
}
