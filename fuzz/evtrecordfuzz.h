#pragma once
// One fuzz input for the saved event-log reader: the bytes are the .evt file. Every record
// read must lie inside the file, the reading must end, and each Remote Access session read
// from a record must be in range. Shared by the libFuzzer target and the test that replays
// the saved corpus.
#include "core/import/evtreader.h"
#include "core/import/rasrecord.h"

#include <QBuffer>

#include <cstddef>
#include <cstdint>

// False when the reader or a session read breaks an invariant.
inline bool FuzzEvtRecords(const uint8_t* data, size_t size) {
    QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    QBuffer buf(&bytes);
    buf.open(QIODevice::ReadOnly);
    CEvtReader reader(buf);
    if (!reader.open(nullptr))
        return true;
    // Each record takes at least its fixed part and its closing length.
    const qsizetype maxRecords = bytes.size() / (CEvtReader::kFixedRecordSize + 4);
    qsizetype records = 0;
    EvtRecord rec;
    CEvtReader::Status st;
    while ((st = reader.next(rec)) == CEvtReader::Status::Record) {
        if (++records > maxRecords || rec.strings.size() != rec.numStrings)
            return false;
        for (const QByteArray& s : rec.strings) {
            if (s.size() > CEvtReader::kReadBufferSize || s.contains('\0'))
                return false;
        }
        RasSession session;
        if (ReadRasRecord(rec, session) == RasRecordKind::Session &&
            (session.hours < 0 || session.minutes < 0 || session.minutes > 59 ||
             session.seconds < 0 || session.seconds > 59 || session.username.isEmpty() ||
             session.sent < 0 || session.received < 0 || !session.connect.isValid() ||
             !session.disconnect.isValid()))
            return false;
    }
    if (reader.next(rec) != CEvtReader::Status::End)
        return false;
    // An emptied log of the same header holds no record.
    QByteArray empty = EmptyEvtLog(reader.header());
    QBuffer emptyBuf(&empty);
    emptyBuf.open(QIODevice::ReadOnly);
    CEvtReader emptied(emptyBuf);
    return emptied.open(nullptr) && emptied.next(rec) == CEvtReader::Status::End;
}
