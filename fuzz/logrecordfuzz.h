#pragma once
// One fuzz input for the accounting-log parser: the first byte picks the dialect, the strip
// option and the read piece size; the rest is the file. Every record is cut, walked and, when
// accepted, turned into a session row whose values must be in range. Shared by the libFuzzer
// target and the test that replays the saved corpus.
#include "core/db/eventrecord.h"
#include "core/db/schema.h"
#include "core/import/importcodes.h"
#include "core/import/logrecordparser.h"
#include "core/import/logrecordreader.h"

#include <QBuffer>

#include <cstddef>
#include <cstdint>

// False when a produced row breaks an invariant.
inline bool FuzzLogRecords(const uint8_t* data, size_t size) {
    if (size < 1)
        return true;
    const uint8_t sel = data[0];
    const int system = sel % 3 == 0 ? AUTH_RADIUS : sel % 3 == 1 ? AUTH_UNET : AUTH_TELEBIT;
    const bool strip = (sel & 4) != 0;
    const qsizetype piece = 1 + ((sel >> 3) % 8) * 17;
    QByteArray bytes(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    QBuffer buf(&bytes);
    buf.open(QIODevice::ReadOnly);
    CLogRecordReader reader(buf, LogRecordDelimiter(system), piece, 4096);
    QByteArrayView rec;
    EventRow row;
    while (reader.next(rec) == CLogRecordReader::Status::Record) {
        if (reader.peakPending() > 4096 + 2 * piece + 2)
            return false;
        if (reader.oversized())
            continue;
        const LogSession s = ParseLogRecord(rec, system, strip, 2024, QLocale::c());
        if (s.username.size() > kImportNameLength)
            return false;
        if (!SessionToEventRow(s, 1, row))
            continue;
        if (row.Hours < 0 || row.Minutes < 0 || row.Minutes > 59 || row.Seconds < 0 ||
            row.Seconds > 59 || row.Username.isEmpty() || !row.ConnectDate.isValid() ||
            !row.DisconnectDate.isValid() || row.Sent < 0 || row.Received < 0 ||
            row.Username.contains(QChar(u'\0')) || row.SessionId.size() > kDefaultTextSize)
            return false;
    }
    return true;
}
