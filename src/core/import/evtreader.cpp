#include "core/import/evtreader.h"

#include "core/app/cp1252.h"

#include <QIODevice>

#include <algorithm>
#include <cstring>

namespace {

constexpr quint32 kSignature = 0x654c664c; // "LfLe"
// Filler written at the end of the area when the next record starts again after the header.
constexpr quint32 kSkipDword = 0x27;
constexpr quint32 kEofMarker = 0x11111111;
// No event record is larger (the service's own limit); longer lengths are damage.
constexpr quint32 kMaxRecordBytes = 0x10000;
constexpr qint64 kWindowBytes = 2 * kMaxRecordBytes;

quint32 u32At(const char* p) {
    const auto* b = reinterpret_cast<const unsigned char*>(p);
    return quint32(b[0]) | quint32(b[1]) << 8 | quint32(b[2]) << 16 | quint32(b[3]) << 24;
}
quint16 u16At(const char* p) {
    const auto* b = reinterpret_cast<const unsigned char*>(p);
    return quint16(b[0] | b[1] << 8);
}

void putU32(QByteArray& out, quint32 v) {
    for (int i = 0; i < 4; ++i)
        out.append(char((v >> (8 * i)) & 0xff));
}

// The zero-terminated UTF-16LE text at pos, ending before end: its length in code units
// without the terminator, or -1 when no terminator comes before end.
qint64 utf16Length(const QByteArray& rec, qint64 pos, qint64 end) {
    for (qint64 p = pos; p + 2 <= end; p += 2) {
        if (rec[p] == 0 && rec[p + 1] == 0)
            return (p - pos) / 2;
    }
    return -1;
}

QByteArray toCp1252(const QByteArray& rec, qint64 pos, qint64 units) {
    QString text(units, Qt::Uninitialized);
    QChar* out = text.data();
    for (qint64 i = 0; i < units; ++i)
        out[i] = QChar(u16At(rec.constData() + pos + 2 * i));
    if (!IsCp1252(text))
        return QByteArray();
    return EncodeCp1252(text);
}

} // namespace

CEvtReader::CEvtReader(QIODevice& device) : m_device(device) {}

bool CEvtReader::open(QString* error) {
    m_fileSize = m_device.size();
    char h[kHeaderSize];
    if (m_fileSize < kHeaderSize || !readAt(0, kHeaderSize, h) || u32At(h) != kHeaderSize ||
        u32At(h + 4) != kSignature || u32At(h + 44) != kHeaderSize) {
        if (error)
            *error = QStringLiteral("The file is not a saved event log (.evt).");
        return false;
    }
    m_header.majorVersion = u32At(h + 8);
    m_header.minorVersion = u32At(h + 12);
    m_header.startOffset = u32At(h + 16);
    m_header.endOffset = u32At(h + 20);
    m_header.currentRecordNumber = u32At(h + 24);
    m_header.oldestRecordNumber = u32At(h + 28);
    m_header.maxSize = u32At(h + 32);
    m_header.flags = u32At(h + 36);
    m_header.retention = u32At(h + 40);
    if (m_header.startOffset < quint32(kHeaderSize) || m_header.startOffset > m_fileSize) {
        if (error)
            *error = QStringLiteral("The header of the event log names no record in the file.");
        return false;
    }
    m_pos = m_header.startOffset;
    m_budget = m_fileSize - kHeaderSize;
    return true;
}

bool CEvtReader::readAt(qint64 pos, qint64 count, char* out) {
    if (pos < 0 || count < 0 || pos + count > m_fileSize)
        return false;
    if (m_windowPos < 0 || pos < m_windowPos || pos + count > m_windowPos + m_window.size()) {
        if (!m_device.seek(pos))
            return false;
        m_window = m_device.read(std::min(kWindowBytes, m_fileSize - pos));
        m_windowPos = pos;
        if (m_window.size() < count) {
            m_windowPos = -1;
            return false;
        }
    }
    std::memcpy(out, m_window.constData() + (pos - m_windowPos), size_t(count));
    return true;
}

// Reads count bytes from the current offset on, continuing after the header at the end of
// the file, and moves past them.
bool CEvtReader::readCircular(qint64 count, QByteArray& out) {
    if (count > m_budget)
        return false;
    out.resize(count);
    const qint64 first = std::min(count, m_fileSize - m_pos);
    if (!readAt(m_pos, first, out.data()))
        return false;
    if (first < count && !readAt(kHeaderSize, count - first, out.data() + first))
        return false;
    m_pos = first < count ? kHeaderSize + (count - first) : m_pos + count;
    m_budget -= count;
    return true;
}

CEvtReader::Status CEvtReader::fail(const QString& why) {
    m_done = true;
    m_damage = QStringLiteral("%1 (at offset %2)").arg(why).arg(m_pos);
    return Status::Damaged;
}

CEvtReader::Status CEvtReader::next(EvtRecord& record) {
    if (m_done)
        return Status::End;
    char word[8];
    for (;;) {
        if (m_budget < 4) {
            m_done = true;
            return Status::End;
        }
        const qint64 toEnd = m_fileSize - m_pos;
        if (toEnd >= 4 && !readAt(m_pos, 4, word))
            return fail(QStringLiteral("The event log cannot be read"));
        if (toEnd >= 4 && u32At(word) != kSkipDword)
            break;
        // Too little room or filler at the end: the next record starts after the header.
        if (toEnd > m_budget) {
            m_done = true;
            return Status::End;
        }
        m_budget -= toEnd;
        m_pos = kHeaderSize;
    }

    const quint32 length = u32At(word);
    if (length == quint32(kEofRecordSize) && m_fileSize - m_pos >= 8 && readAt(m_pos, 8, word) &&
        u32At(word + 4) == kEofMarker) {
        m_done = true;
        return Status::End;
    }
    if (length < quint32(kFixedRecordSize + 4))
        return fail(QStringLiteral("An event record is shorter than its fixed part"));
    if (length > kMaxRecordBytes || length > m_budget)
        return fail(QStringLiteral("An event record does not fit its stated length"));
    const qint64 at = m_pos;
    QByteArray rec;
    if (!readCircular(length, rec)) {
        m_pos = at;
        return fail(QStringLiteral("An event record does not fit its stated length"));
    }
    const char* p = rec.constData();
    const qint64 end = qint64(length) - 4; // the copy of the length closes the record
    if (u32At(p + 4) != kSignature || u32At(p + end) != length) {
        m_pos = at;
        return fail(QStringLiteral("An event record is damaged"));
    }
    const quint32 number = u32At(p + 8);
    if (m_started && number <= m_lastNumber) {
        m_pos = at;
        return fail(QStringLiteral("An event record repeats an earlier record number"));
    }

    // Source and computer names, then the insertion strings; every one must end in the record.
    qint64 textUnits = 0;
    qint64 pos = kFixedRecordSize;
    for (int i = 0; i < 2; ++i) {
        const qint64 units = utf16Length(rec, pos, end);
        if (units < 0) {
            m_pos = at;
            return fail(QStringLiteral("The names of an event record run past its end"));
        }
        textUnits += units + 1;
        pos += 2 * (units + 1);
    }
    const quint16 numStrings = u16At(p + 26);
    const quint32 stringOffset = u32At(p + 36);
    if (numStrings > 0 && (stringOffset < quint32(kFixedRecordSize) || stringOffset > end)) {
        m_pos = at;
        return fail(QStringLiteral("The insertion strings of an event record lie outside it"));
    }
    record.strings.clear();
    record.strings.reserve(numStrings);
    pos = stringOffset;
    for (int i = 0; i < numStrings; ++i) {
        const qint64 units = utf16Length(rec, pos, end);
        if (units < 0) {
            m_pos = at;
            return fail(
                QStringLiteral("The insertion strings of an event record run past its end"));
        }
        record.strings.append(toCp1252(rec, pos, units));
        textUnits += units + 1;
        pos += 2 * (units + 1);
    }
    // The event-log interface hands records over with 8-bit strings in a 1,024-byte buffer;
    // a record that would not fit there ends the reading like the end of the log.
    if (qint64(length) - textUnits > kReadBufferSize) {
        m_pos = at;
        return fail(QStringLiteral("An event record is larger than the reading buffer"));
    }

    record.recordNumber = number;
    record.timeGenerated = u32At(p + 12);
    record.eventId = u32At(p + 20);
    record.numStrings = numStrings;
    m_lastNumber = number;
    m_started = true;
    return Status::Record;
}

QByteArray EmptyEvtLog(const EvtHeader& header) {
    QByteArray out;
    out.reserve(CEvtReader::kHeaderSize + CEvtReader::kEofRecordSize);
    const quint32 start = CEvtReader::kHeaderSize;
    for (quint32 v : {quint32(CEvtReader::kHeaderSize), kSignature, header.majorVersion,
                      header.minorVersion, start, start, 1u, 0u, header.maxSize, 0u,
                      header.retention, quint32(CEvtReader::kHeaderSize)})
        putU32(out, v);
    for (quint32 v : {quint32(CEvtReader::kEofRecordSize), kEofMarker, 0x22222222u, 0x33333333u,
                      0x44444444u, start, start, 1u, 0u, quint32(CEvtReader::kEofRecordSize)})
        putU32(out, v);
    return out;
}
