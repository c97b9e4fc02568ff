#include "core/import/logrecordreader.h"

#include "core/app/faultpoint.h"

#include <QIODevice>

#include <algorithm>
#include <cstring>

namespace {

// First occurrence of the delimiter in text[from..]; -1 for none. memchr finds the candidates.
qsizetype findDelimiter(const QByteArray& text, const QByteArray& delimiter, qsizetype from) {
    const char* const base = text.constData();
    const char* const end = base + text.size();
    const char* p = base + from;
    const size_t len = size_t(delimiter.size());
    const char first = delimiter.front();
    while (size_t(end - p) >= len) {
        p = static_cast<const char*>(std::memchr(p, first, size_t(end - p) - len + 1));
        if (!p)
            return -1;
        if (std::memcmp(p, delimiter.constData(), len) == 0)
            return p - base;
        ++p;
    }
    return -1;
}

} // namespace

CLogRecordReader::CLogRecordReader(QIODevice& device, QByteArray delimiter, qsizetype pieceSize,
                                   qsizetype recordLimit)
    : m_device(device), m_delimiter(std::move(delimiter)),
      m_pieceSize(std::max<qsizetype>(pieceSize, 1)),
      m_recordLimit(std::max<qsizetype>(recordLimit, 1)) {
    Q_ASSERT(!m_delimiter.isEmpty());
}

CLogRecordReader::Status CLogRecordReader::next(QByteArrayView& record) {
    m_oversized = false;
    const qsizetype delimLen = m_delimiter.size();
    bool readOne = false;
    for (;;) {
        // A delimiter may straddle the text searched before and the piece appended since.
        const qsizetype from = m_start + std::max<qsizetype>(0, m_scanned - (delimLen - 1));
        const qsizetype pos = findDelimiter(m_pending, m_delimiter, from);
        if (pos >= 0) {
            if (m_discarding)
                record = QByteArrayView();
            else
                record = QByteArrayView(m_pending.constData() + m_start, pos - m_start);
            m_oversized = m_discarding;
            m_discarding = false;
            m_start = pos + delimLen;
            m_scanned = 0;
            return Status::Record;
        }
        m_scanned = m_pending.size() - m_start;
        if (m_scanned > m_recordLimit) {
            // Keep only the tail that could begin a delimiter.
            m_discarding = true;
            m_start = m_pending.size() - (delimLen - 1);
            m_scanned = delimLen - 1;
            compact();
        }
        if (m_eof)
            return Status::End;
        if (readOne) {
            FaultPoint("import-piece");
            if (m_interruptCheck && m_interruptCheck())
                return Status::Interrupted;
        }
        readOne = true;
        if (!readPiece()) {
            if (!m_error.isEmpty())
                return Status::Error;
            m_eof = true;
            if (m_heldCr) {
                m_pending.append('\r');
                m_heldCr = false;
            }
        }
    }
}

void CLogRecordReader::compact() {
    if (m_start > 0) {
        m_pending.remove(0, m_start);
        m_start = 0;
    }
}

bool CLogRecordReader::readPiece() {
    compact();
    m_piece.resize(m_pieceSize);
    const qint64 n = m_device.read(m_piece.data(), m_pieceSize);
    if (n < 0) {
        m_error = m_device.errorString();
        if (m_error.isEmpty())
            m_error = QStringLiteral("Read error.");
        return false;
    }
    if (n == 0)
        return false;

    const char* p = m_piece.constData();
    const char* end = p + n;
    if (m_heldCr) {
        if (*p != '\n')
            m_pending.append('\r');
        m_heldCr = false;
    }
    // Drop each CR that directly precedes an LF; a CR ending the piece waits for the next one.
    while (p < end) {
        const char* cr = static_cast<const char*>(std::memchr(p, '\r', size_t(end - p)));
        if (!cr) {
            m_pending.append(p, end - p);
            break;
        }
        m_pending.append(p, cr - p);
        if (cr + 1 == end) {
            m_heldCr = true;
        } else if (cr[1] != '\n') {
            m_pending.append('\r');
        }
        p = cr + 1;
    }
    m_peak = std::max(m_peak, m_pending.size());
    return true;
}
