#include "core/import/lognumber.h"

#include <algorithm>
#include <climits>
#include <limits>

qint32 LogNumber(QByteArrayView text) {
    return qint32(std::clamp<qint64>(LogNumber64(text), INT_MIN, INT_MAX));
}

qint64 LogNumber64(QByteArrayView text) {
    constexpr qint64 kMax = std::numeric_limits<qint64>::max();
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r')))
        ++i;
    bool neg = false;
    if (i < n && (text[i] == '+' || text[i] == '-'))
        neg = text[i++] == '-';
    qint64 v = 0; // saturates at kMax; keeps reading the digits
    for (; i < n && text[i] >= '0' && text[i] <= '9'; ++i) {
        const int digit = text[i] - '0';
        v = v > (kMax - digit) / 10 ? kMax : v * 10 + digit;
    }
    return neg ? -v : v;
}
