#pragma once
#include <QByteArray>
#include <QString>
#include <functional>

class QIODevice;

// How every file the program writes is written, so that a full disk, a crash or a wrong
// target never costs the file that was there:
//  - "-" is standard output, a device or FIFO is written in place (never replaced);
//  - a regular file is written to a new file beside it, every write and the final flush and
//    sync checked, the result checked when asked, and only then renamed over the target in
//    one step; on any failure the target stays as it was and the new file is removed;
//  - the open database, its journal and its lock file are refused as targets.
// Each answers true on success; on failure *error says why, naming the file.

// Writes the content; answers false (with *error) when the content could not be made.
using FileContentWriter = std::function<bool(QIODevice& out, QString* error)>;
// Checks the finished new file before it replaces anything.
using FileCheck = std::function<bool(const QString& newFile, QString* error)>;

struct ReplaceOptions {
    FileCheck check;
    // Compact and repair replace the database they hold themselves.
    bool mayReplaceDatabase = false;
};

[[nodiscard]] bool WriteFileSafely(const QString& target, const FileContentWriter& write,
                                   QString* error, const ReplaceOptions& options = {});
[[nodiscard]] bool WriteFileSafely(const QString& target, const QByteArray& bytes, QString* error);
[[nodiscard]] bool CopyFileSafely(const QString& source, const QString& target, QString* error,
                                  const ReplaceOptions& options = {});

// Opens the database file at path read-only and runs the engine's quick check: true when the
// file is a complete, consistent database.
[[nodiscard]] bool VerifyDatabaseCopy(const QString& path, QString* error);
