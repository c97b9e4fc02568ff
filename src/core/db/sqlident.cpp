#include "core/db/sqlident.h"

#include <QRegularExpression>

QString quoteIdentifier(const QString& name) {
    QString n = name;
    if (n.size() >= 2 && n.startsWith(QLatin1Char('[')) && n.endsWith(QLatin1Char(']')))
        n = n.mid(1, n.size() - 2);
    n.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + n + QLatin1Char('"');
}

QString quoteLiteral(const QString& text) {
    QString t = text;
    t.replace(QLatin1Char('\''), QLatin1String("''"));
    return QLatin1Char('\'') + t + QLatin1Char('\'');
}

QString defaultLiteral(const QString& value) {
    static const QRegularExpression number(QStringLiteral("^-?\\d+(\\.\\d+)?$"));
    return number.match(value).hasMatch() ? value : quoteLiteral(value);
}
