#include "core/db/sqlident.h"

QString quoteIdentifier(const QString& name) {
    QString n = name;
    if (n.size() >= 2 && n.startsWith(QLatin1Char('[')) && n.endsWith(QLatin1Char(']')))
        n = n.mid(1, n.size() - 2);
    n.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + n + QLatin1Char('"');
}
