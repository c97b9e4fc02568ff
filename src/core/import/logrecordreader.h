#pragma once
#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <functional>

class QIODevice;

// Cuts an accounting log into records at a record delimiter while reading it in pieces.
//
// Line ends are read alike whether the file uses CR LF or bare LF: every CR that directly
// precedes an LF is dropped on reading, so the delimiters are given in their LF form ("\n\n"
// for a blank line, "\n" for one line). Text after the last delimiter is never returned: it
// may be a record still being written.
//
// Memory stays flat: the pending text holds at most one record and one read piece. A record
// longer than the record limit cannot be a real accounting record; its text is discarded as it
// is read and it is returned empty, marked oversized, once its delimiter is found.
//
// A record that spans several pieces (a file without delimiters is one such record) asks the
// interrupt check before every further piece, so that a long read can be stopped.
class CLogRecordReader {
public:
    enum class Status { Record, End, Error, Interrupted };

    static constexpr qsizetype kDefaultPieceSize = 64 * 1024;
    static constexpr qsizetype kDefaultRecordLimit = 1024 * 1024;

    CLogRecordReader(QIODevice& device, QByteArray delimiter,
                     qsizetype pieceSize = kDefaultPieceSize,
                     qsizetype recordLimit = kDefaultRecordLimit);

    // Asked before each further piece of one record; true stops next() with Interrupted (the
    // record in hand is then continued by the next call).
    void setInterruptCheck(std::function<bool()> check) { m_interruptCheck = std::move(check); }

    // The next record (without its delimiter); valid until the next call.
    Status next(QByteArrayView& record);
    // The record last returned was longer than the limit (and is returned empty).
    bool oversized() const { return m_oversized; }
    // The device's text for a failed read.
    QString errorString() const { return m_error; }
    // Largest number of bytes ever held as pending text (for checks of the memory bound).
    qsizetype peakPending() const { return m_peak; }

private:
    // Reads one piece into the pending text; false at the end of the file or on an error.
    [[nodiscard]] bool readPiece();
    void compact();

    QIODevice& m_device;
    QByteArray m_delimiter;
    qsizetype m_pieceSize;
    qsizetype m_recordLimit;

    QByteArray m_pending;    // m_pending[m_start..] is unread text
    qsizetype m_start = 0;   // start of the current record
    qsizetype m_scanned = 0; // offset from m_start already searched for the delimiter
    QByteArray m_piece;
    bool m_heldCr = false; // a CR at the end of the last piece, waiting for what follows
    bool m_eof = false;
    bool m_discarding = false; // the current record outgrew the limit
    bool m_oversized = false;
    qsizetype m_peak = 0;
    QString m_error;
    std::function<bool()> m_interruptCheck;
};
