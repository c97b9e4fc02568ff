#include "core/db/operationlock.h"

#include "core/db/database.h"
#include "core/db/dbexception.h"

#include <QDeadlineTimer>
#include <QThread>

namespace {
constexpr qint64 kKeyPrefix = qint64(0x546F6C6C) << 32;
} // namespace

qint64 OperationLockKey(OperationKind kind) {
    return kKeyPrefix | qint64(kind);
}

QString OperationName(OperationKind kind) {
    switch (kind) {
    case OperationKind::Import:
        return QStringLiteral("import");
    case OperationKind::InvoiceRun:
        return QStringLiteral("invoice run");
    case OperationKind::Purge:
        return QStringLiteral("purge");
    case OperationKind::Upgrade:
        return QStringLiteral("database upgrade");
    case OperationKind::Compact:
        return QStringLiteral("compact");
    }
    return QStringLiteral("operation");
}

OperationLock::OperationLock(Database& db, OperationKind kind,
                             const std::function<bool()>& keepWaiting, int maxWaitMs)
    : m_db(db), m_kind(kind) {
    DbEngine& engine = db.engine();
    const qint64 key = OperationLockKey(kind);
    const QDeadlineTimer deadline(maxWaitMs);
    while (!engine.tryLockOperation(key)) {
        m_waited = true;
        if (deadline.hasExpired() || (keepWaiting && !keepWaiting()))
            throw DbException(QStringLiteral("Another workstation is running %1 on this database; "
                                             "try again when it has finished.")
                                  .arg(OperationName(kind)));
        QThread::msleep(kPollIntervalMs);
    }
}

OperationLock::~OperationLock() {
    // A connection closed meanwhile has given the lock up already.
    if (!m_db.isOpen())
        return;
    try {
        m_db.engine().unlockOperation(OperationLockKey(m_kind));
    } catch (const DbException& e) {
        // The lock stays with the connection until it closes; the operation itself is done.
        qWarning("Unable to release the %s lock (%d): %s", qPrintable(OperationName(m_kind)),
                 e.code(), qPrintable(e.message()));
    }
}
