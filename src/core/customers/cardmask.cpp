#include "core/customers/cardmask.h"

QString MaskCardNumber(const QString& number) {
    QString digits;
    for (QChar c : number)
        if (c != QLatin1Char(' ') && c != QLatin1Char('-'))
            digits.append(c);
    if (digits.isEmpty())
        return {};
    if (digits.size() <= 4)
        return QString(digits.size(), QLatin1Char('*'));
    return QString(digits.size() - 4, QLatin1Char('*')) + digits.right(4);
}
