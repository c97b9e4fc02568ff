#include "core/mail/headerfold.h"

namespace {
// Folded lines aim at this length, the one RFC 5322 recommends.
constexpr qsizetype kFoldTarget = 78;
// Bytes of text per encoded word: 14 base64 groups make 56 characters, 75 with the frame.
constexpr qsizetype kBytesPerWord = 42;
} // namespace

QByteArray FoldHeaderLine(const QByteArray& line) {
    if (line.size() <= kMaxHeaderLineLength)
        return line;
    QByteArray out;
    qsizetype lineStart = 0; // start of the current output line in `line`
    qsizetype lastBlank = -1;
    // The header name and its colon stay on the first line.
    const qsizetype colon = line.indexOf(':');
    for (qsizetype i = colon + 1; i < line.size(); ++i) {
        const char c = line.at(i);
        if ((c == ' ' || c == '\t') && i > lineStart)
            lastBlank = i;
        if (i - lineStart >= kFoldTarget && lastBlank > lineStart) {
            out += line.mid(lineStart, lastBlank - lineStart) + "\r\n";
            lineStart = lastBlank;
            lastBlank = -1;
        }
        if (i - lineStart >= kMaxHeaderLineLength)
            return {};
    }
    out += line.mid(lineStart);
    return out;
}

QByteArray EncodeHeaderWords(const QByteArray& text) {
    QByteArray out;
    for (qsizetype i = 0; i < text.size(); i += kBytesPerWord) {
        if (i > 0)
            out += ' ';
        out += "=?windows-1252?B?" + text.mid(i, kBytesPerWord).toBase64() + "?=";
    }
    return out;
}
