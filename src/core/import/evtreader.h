#pragma once
#include <QByteArray>
#include <QList>
#include <QString>

class QIODevice;

// A saved Windows NT event log (.evt, the backup format of the NT event-log service): a
// 48-byte header, then records in a circular area that may wrap from the end of the file
// back to just after the header, ended by a 40-byte end-of-file record. All numbers are
// little-endian.
struct EvtHeader {
    quint32 majorVersion = 1;
    quint32 minorVersion = 1;
    quint32 startOffset = 0; // the oldest record
    quint32 endOffset = 0;   // the end-of-file record
    quint32 currentRecordNumber = 0;
    quint32 oldestRecordNumber = 0;
    quint32 maxSize = 0;
    quint32 flags = 0;
    quint32 retention = 0;
};

// One event record, with what the import reads of it.
struct EvtRecord {
    quint32 recordNumber = 0;
    quint32 timeGenerated = 0; // seconds since 1970, universal time
    quint32 eventId = 0;       // the whole 32-bit value
    quint16 numStrings = 0;
    // The insertion strings in Windows-1252, the 8-bit encoding of the database's names. A
    // string holding a character that has no Windows-1252 form cannot be read as a name and
    // comes out empty, like a string the log left empty.
    QList<QByteArray> strings;
};

// Reads the records of a saved event log in log order (oldest first). The file is untrusted:
// every offset and length is checked against the record and the file before it is used,
// nothing is read past a record, and each record must carry the record signature, its
// length again at its end and a number above the one before (so a damaged wrap can never
// bring the reading round again). A record that fails any test ends the reading, as does
// one larger than the reading buffer of the event-log interface (1,024 bytes, with its
// strings in 8-bit form) and the end of the circular area: at most the whole area is read
// once, so a corrupt or truncated file ends the reading instead of looping.
class CEvtReader {
public:
    enum class Status { Record, End, Damaged };

    static constexpr int kHeaderSize = 48;
    static constexpr int kFixedRecordSize = 56;
    static constexpr int kEofRecordSize = 40;
    static constexpr int kReadBufferSize = 1024;

    // The device must be open for reading and random access.
    explicit CEvtReader(QIODevice& device);

    // Reads and checks the header; false with *error when the file is no saved event log.
    bool open(QString* error);
    const EvtHeader& header() const { return m_header; }

    // The next record: Record, End (the end-of-file record or the end of the area) or
    // Damaged (the reading ends at a record that fails its tests; damage() tells why).
    Status next(EvtRecord& record);
    QString damage() const { return m_damage; }

private:
    bool readAt(qint64 pos, qint64 count, char* out);
    bool readCircular(qint64 count, QByteArray& out);
    Status fail(const QString& why);

    QIODevice& m_device;
    EvtHeader m_header;
    qint64 m_fileSize = 0;
    qint64 m_pos = 0;    // offset of the next record in the file
    qint64 m_budget = 0; // bytes of the circular area not read yet
    quint32 m_lastNumber = 0;
    bool m_started = false;
    bool m_done = false;
    QString m_damage;
    // A window of the file, so that records are not read from the device one field at a time.
    QByteArray m_window;
    qint64 m_windowPos = -1;
};

// The file of an empty log with the version, size and retention of header: the header and
// the end-of-file record, the record numbers starting again at 1.
QByteArray EmptyEvtLog(const EvtHeader& header);
