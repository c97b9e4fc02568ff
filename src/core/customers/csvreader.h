#pragma once
#include <QByteArray>
#include <QString>
#include <QStringDecoder>
#include <QStringList>

class QIODevice;

// Reads RFC 4180 records (fields separated by commas, optionally quoted with doubled quotes
// inside, records ended by CR LF or LF; a quoted field may span lines) from a device in
// pieces, so memory stays flat in the file size. Text is UTF-8 (a byte-order mark is
// skipped) unless the file is not valid UTF-8, when it is Windows-1252: the caller decides
// with IsUtf8File first.
class CCsvReader {
public:
    enum class Status { Record, End, Error };

    CCsvReader(QIODevice& device, bool utf8);

    // The next record's fields; `line` gets the line on which the record begins.
    Status next(QStringList* fields, qint64* line);
    // Why the last call answered Error (an unterminated quote, a stray quote, a read error).
    const QString& errorString() const { return m_error; }

private:
    bool fill(); // reads the next piece; false at the end of the device
    QIODevice& m_device;
    bool m_utf8;
    QStringDecoder m_decoder;
    QString m_text; // decoded text not yet consumed from m_pos
    qsizetype m_pos = 0;
    qint64 m_line = 1; // line of m_text[m_pos]
    bool m_atEnd = false;
    bool m_first = true;
    QString m_error;
};

// True when the whole file decodes as UTF-8 (read in pieces).
bool IsUtf8File(QIODevice& device);
