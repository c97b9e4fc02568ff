#include "core/db/replacefile.h"

#include "core/db/databasehold.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString native(const QString& path) {
    return QDir::toNativeSeparators(path);
}

QString systemError() {
    return QString::fromLocal8Bit(std::strerror(errno));
}

// Runs the writer on an open device and checks that everything reached it.
bool writeAll(QFile& out, const QString& name, const FileContentWriter& write, QString* error) {
    QString reason;
    if (!write(out, &reason)) {
        *error = QStringLiteral("Unable to write %1: %2").arg(native(name), reason);
        return false;
    }
    if (!out.flush() || out.error() != QFileDevice::NoError) {
        *error = QStringLiteral("Unable to write %1: %2").arg(native(name), out.errorString());
        return false;
    }
    return true;
}

bool syncFolder(const QString& folder) {
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

} // namespace

bool WriteFileSafely(const QString& target, const FileContentWriter& write, QString* error,
                     const ReplaceOptions& options) {
    if (target == QLatin1String("-")) {
        QFile out;
        if (!out.open(stdout, QIODevice::WriteOnly)) {
            *error =
                QStringLiteral("Unable to write to standard output: %1").arg(out.errorString());
            return false;
        }
        return writeAll(out, QStringLiteral("standard output"), write, error);
    }
    const QString path = CanonicalFileKey(target);
    if (!options.mayReplaceDatabase && DatabaseHold::isHeldFile(path)) {
        *error = QStringLiteral("%1 belongs to the open database and is never replaced by "
                                "an output file.")
                     .arg(native(target));
        return false;
    }
    struct stat st {};
    const bool exists = ::stat(QFile::encodeName(path).constData(), &st) == 0;
    if (exists && S_ISDIR(st.st_mode)) {
        *error = QStringLiteral("%1 is a folder.").arg(native(target));
        return false;
    }
    if (exists && !S_ISREG(st.st_mode)) {
        // A device or FIFO: written in place, it is not ours to replace.
        QFile out(path);
        if (!out.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
            *error =
                QStringLiteral("Unable to write %1: %2").arg(native(target), out.errorString());
            return false;
        }
        return writeAll(out, target, write, error);
    }

    const QFileInfo fi(path);
    QTemporaryFile temp(fi.absolutePath() + QStringLiteral("/.") + fi.fileName() +
                        QStringLiteral(".XXXXXX"));
    if (!temp.open()) {
        *error = QStringLiteral("Unable to write %1: %2").arg(native(target), temp.errorString());
        return false;
    }
    if (!writeAll(temp, target, write, error))
        return false;
    if (::fsync(temp.handle()) != 0) {
        *error = QStringLiteral("Unable to write %1: %2").arg(native(target), systemError());
        return false;
    }
    // A replaced file keeps its permissions; a new one gets the usual ones.
    mode_t mode = 0;
    if (exists) {
        mode = st.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    if (::fchmod(temp.handle(), mode) != 0) {
        *error = QStringLiteral("Unable to write %1: %2").arg(native(target), systemError());
        return false;
    }
    temp.close();
    if (temp.error() != QFileDevice::NoError) {
        *error = QStringLiteral("Unable to write %1: %2").arg(native(target), temp.errorString());
        return false;
    }
    if (options.check) {
        QString reason;
        if (!options.check(temp.fileName(), &reason)) {
            *error = QStringLiteral("The new %1 failed its check and replaced nothing: %2")
                         .arg(native(target), reason);
            return false;
        }
    }
    if (::rename(QFile::encodeName(temp.fileName()).constData(),
                 QFile::encodeName(path).constData()) != 0) {
        *error = QStringLiteral("Unable to replace %1: %2").arg(native(target), systemError());
        return false;
    }
    temp.setAutoRemove(false);
    if (!syncFolder(fi.absolutePath())) {
        *error = QStringLiteral("Unable to write %1: %2").arg(native(target), systemError());
        return false;
    }
    return true;
}

bool WriteFileSafely(const QString& target, const QByteArray& bytes, QString* error) {
    return WriteFileSafely(
        target,
        [&bytes](QIODevice& out, QString* reason) {
            if (out.write(bytes) == bytes.size())
                return true;
            *reason = out.errorString();
            return false;
        },
        error);
}

bool CopyFileSafely(const QString& source, const QString& target, QString* error,
                    const ReplaceOptions& options) {
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("Unable to read %1: %2").arg(native(source), in.errorString());
        return false;
    }
    return WriteFileSafely(
        target,
        [&in, &source](QIODevice& out, QString* reason) {
            while (!in.atEnd()) {
                const QByteArray buffer = in.read(1 << 20);
                if (buffer.isEmpty() && in.error() != QFileDevice::NoError) {
                    *reason =
                        QStringLiteral("reading %1: %2").arg(native(source), in.errorString());
                    return false;
                }
                if (out.write(buffer) != buffer.size()) {
                    *reason = out.errorString();
                    return false;
                }
            }
            return true;
        },
        error, options);
}

bool VerifyDatabaseCopy(const QString& path, QString* error) {
    sqlite3* db = nullptr;
    int rc =
        sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    QStringList problems;
    if (rc == SQLITE_OK) {
        sqlite3_stmt* st = nullptr;
        rc = sqlite3_prepare_v2(db, "PRAGMA quick_check", -1, &st, nullptr);
        if (rc == SQLITE_OK) {
            while ((rc = sqlite3_step(st)) == SQLITE_ROW)
                problems << QString::fromUtf8(
                    reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
            if (rc == SQLITE_DONE)
                rc = SQLITE_OK;
        }
        sqlite3_finalize(st);
    }
    if (rc != SQLITE_OK)
        problems = {db ? QString::fromUtf8(sqlite3_errmsg(db))
                       : QString::fromUtf8(sqlite3_errstr(rc))};
    sqlite3_close_v2(db);
    if (problems == QStringList{QStringLiteral("ok")})
        return true;
    *error = QStringLiteral("%1 is not a sound database: %2")
                 .arg(native(path), problems.mid(0, 5).join(QStringLiteral("; ")));
    return false;
}
