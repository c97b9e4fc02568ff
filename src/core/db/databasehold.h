#pragma once
#include <QString>
#include <memory>

// The hold of one process on one database file, through an advisory lock on "<file>.lock"
// beside it (removed again when the hold ends). Every opening of a database takes the hold first,
// so a second process is refused before it reads or writes anything. The lock file is never
// replaced, so the hold lasts while the database file itself is closed, copied and renamed into
// place (compact, repair, the sample database), and nothing can slip in between.
//
// Within this process holds on the same file are shared: the session, a second connection of
// compact and the maintenance command itself all hold the one lock.
class DatabaseHold {
public:
    // Takes or shares the hold on the database at path. Throws DbException ("... is in use by
    // another program.") when another process holds it. Shared holds (readers that tolerate one
    // another) exclude only an exclusive one. A folder that cannot take a lock file
    // (read-only) gives a hold without one: nothing can write a database there either.
    static std::shared_ptr<DatabaseHold> acquire(const QString& path, bool exclusive = true);
    // True when this process holds the file at path, or path is the journal of such a file or
    // its lock file: files an output command must never replace.
    static bool isHeldFile(const QString& path);

    ~DatabaseHold();
    DatabaseHold(const DatabaseHold&) = delete;
    DatabaseHold& operator=(const DatabaseHold&) = delete;

    QString key() const { return m_key; }

private:
    DatabaseHold(QString key, int fd, bool exclusive)
        : m_key(std::move(key)), m_fd(fd), m_exclusive(exclusive) {}
    QString m_key;
    int m_fd = -1;
    bool m_exclusive = true;
};

// The absolute, symlink-resolved spelling of a file that may not exist yet (its folder does).
QString CanonicalFileKey(const QString& path);
