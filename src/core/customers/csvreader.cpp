#include "core/customers/csvreader.h"

#include "core/app/cp1252.h"

#include <QIODevice>

namespace {
constexpr qint64 kPiece = 256 * 1024;
}

bool IsUtf8File(QIODevice& device) {
    QStringDecoder decoder(QStringDecoder::Utf8);
    while (!device.atEnd()) {
        const QByteArray piece = device.read(kPiece);
        if (piece.isEmpty())
            break;
        // The decoding runs when the result is converted to a string.
        const QString text = decoder.decode(piece);
        if (decoder.hasError())
            return false;
    }
    return !decoder.hasError() && device.seek(0);
}

CCsvReader::CCsvReader(QIODevice& device, bool utf8)
    : m_device(device), m_utf8(utf8), m_decoder(QStringDecoder::Utf8) {}

bool CCsvReader::fill() {
    if (m_atEnd)
        return false;
    const QByteArray piece = m_device.read(kPiece);
    if (piece.isEmpty()) {
        m_atEnd = true;
        return false;
    }
    m_text.remove(0, m_pos);
    m_pos = 0;
    m_text += m_utf8 ? QString(m_decoder.decode(piece)) : DecodeCp1252(piece);
    if (m_first) {
        m_first = false;
        if (m_text.startsWith(QChar(0xFEFF)))
            m_text.remove(0, 1);
    }
    return true;
}

CCsvReader::Status CCsvReader::next(QStringList* fields, qint64* line) {
    fields->clear();
    // Skip blank lines between records.
    for (;;) {
        if (m_pos >= m_text.size() && !fill())
            return Status::End;
        const QChar c = m_text.at(m_pos);
        if (c == QLatin1Char('\n')) {
            ++m_pos;
            ++m_line;
        } else if (c == QLatin1Char('\r')) {
            ++m_pos;
        } else {
            break;
        }
    }
    *line = m_line;
    QString field;
    bool quoted = false;    // inside a quoted field
    bool wasQuoted = false; // the current field was quoted (only a separator may follow)
    for (;;) {
        if (m_pos >= m_text.size() && !fill()) {
            if (quoted) {
                m_error = QStringLiteral("a quoted field is not closed");
                return Status::Error;
            }
            fields->append(field);
            return Status::Record;
        }
        const QChar c = m_text.at(m_pos++);
        if (quoted) {
            if (c == QLatin1Char('"')) {
                if (m_pos >= m_text.size())
                    fill();
                if (m_pos < m_text.size() && m_text.at(m_pos) == QLatin1Char('"')) {
                    field.append(c);
                    ++m_pos;
                } else {
                    quoted = false;
                    wasQuoted = true;
                }
            } else {
                if (c == QLatin1Char('\n'))
                    ++m_line;
                field.append(c);
            }
            continue;
        }
        if (c == QLatin1Char(',')) {
            fields->append(field);
            field.clear();
            wasQuoted = false;
        } else if (c == QLatin1Char('\n')) {
            ++m_line;
            fields->append(field);
            return Status::Record;
        } else if (c == QLatin1Char('\r')) {
            // CR LF ends the record at the LF
        } else if (c == QLatin1Char('"') && field.isEmpty() && !wasQuoted) {
            quoted = true;
        } else if (wasQuoted || c == QLatin1Char('"')) {
            m_error = QStringLiteral("a quote inside an unquoted field, or text after a closing "
                                     "quote");
            // Skip to the end of the line so that the next record starts cleanly.
            while ((m_pos < m_text.size() || fill()) && m_text.at(m_pos) != QLatin1Char('\n'))
                ++m_pos;
            return Status::Error;
        } else {
            field.append(c);
        }
    }
}
