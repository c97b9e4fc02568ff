#include "core/db/databasehold.h"

#include "core/db/dbexception.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMutex>
#include <QMutexLocker>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QMutex g_mutex;

QHash<QString, std::weak_ptr<DatabaseHold>>& holds() {
    static QHash<QString, std::weak_ptr<DatabaseHold>> h;
    return h;
}

} // namespace

QString CanonicalFileKey(const QString& path) {
    const QFileInfo fi(QDir::cleanPath(QDir::current().absoluteFilePath(path)));
    const QString canonical = fi.canonicalFilePath();
    if (!canonical.isEmpty())
        return canonical;
    QString dir = QFileInfo(fi.absolutePath()).canonicalFilePath();
    if (dir.isEmpty())
        dir = fi.absolutePath();
    return dir + QLatin1Char('/') + fi.fileName();
}

std::shared_ptr<DatabaseHold> DatabaseHold::acquire(const QString& path, bool exclusive) {
    const QString key = CanonicalFileKey(path);
    QMutexLocker lock(&g_mutex);
    if (auto existing = holds().value(key).lock())
        return existing;

    const QByteArray lockName = QFile::encodeName(key + QStringLiteral(".lock"));
    int fd = -1;
    // The lock file goes when its exclusive holder lets go; whoever locked a file that was
    // removed meanwhile starts again on the new one, so two processes never lock two files.
    for (int attempt = 0; attempt < 100; ++attempt) {
        fd = ::open(lockName.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
        if (fd < 0 && (errno == EACCES || errno == EROFS || errno == EPERM))
            fd = ::open(lockName.constData(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            break;
        if (::flock(fd, (exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB) != 0) {
            const int err = errno;
            ::close(fd);
            if (err == EWOULDBLOCK)
                throw DbException(
                    QStringLiteral("The database file %1 is in use by another program.")
                        .arg(QDir::toNativeSeparators(path)),
                    SQLITE_BUSY);
            throw DbException(
                QStringLiteral("Unable to lock the database file %1: %2")
                    .arg(QDir::toNativeSeparators(path), QString::fromLocal8Bit(strerror(err))),
                SQLITE_CANTOPEN);
        }
        struct stat opened {};
        struct stat named {};
        if (::fstat(fd, &opened) == 0 && ::stat(lockName.constData(), &named) == 0 &&
            opened.st_ino == named.st_ino && opened.st_dev == named.st_dev)
            break;
        ::close(fd);
        fd = -1;
    }
    // fd < 0: a folder where no lock file can be made or read; no process can write there.
    std::shared_ptr<DatabaseHold> hold(new DatabaseHold(key, fd, exclusive));
    holds().insert(key, hold);
    return hold;
}

bool DatabaseHold::isHeldFile(const QString& path) {
    const QString key = CanonicalFileKey(path);
    QMutexLocker lock(&g_mutex);
    for (auto it = holds().cbegin(); it != holds().cend(); ++it) {
        if (it.value().expired())
            continue;
        const QString& db = it.key();
        for (const char* suffix : {"", "-journal", "-wal", "-shm", ".lock"})
            if (key == db + QLatin1String(suffix))
                return true;
    }
    return false;
}

DatabaseHold::~DatabaseHold() {
    QMutexLocker lock(&g_mutex);
    auto it = holds().find(m_key);
    if (it != holds().end() && it.value().expired())
        holds().erase(it);
    if (m_fd < 0)
        return;
    // Removed while still locked (see acquire), so no lock file stays behind; a shared hold
    // removes it only when no other process shares it (its lock becomes exclusive).
    if (m_exclusive || ::flock(m_fd, LOCK_EX | LOCK_NB) == 0)
        ::unlink(QFile::encodeName(m_key + QStringLiteral(".lock")).constData());
    ::close(m_fd); // releases the lock
}
