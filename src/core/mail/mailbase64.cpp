#include "core/mail/mailbase64.h"

QByteArray EncodeBase64Lines(const QByteArray& data) {
    constexpr qsizetype kLine = 76;
    const QByteArray encoded = data.toBase64();
    QByteArray out;
    out.reserve(encoded.size() + (encoded.size() / kLine + 1) * 2);
    for (qsizetype pos = 0; pos < encoded.size(); pos += kLine) {
        out.append(encoded.constData() + pos, qMin(kLine, encoded.size() - pos));
        out.append("\r\n");
    }
    return out;
}
