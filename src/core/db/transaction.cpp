#include "core/db/transaction.h"
#include "core/db/database.h"
#include "core/db/dbexception.h"

#include <exception>

Transaction::Transaction(Database& db) : m_db(db), m_uncaught(std::uncaught_exceptions()) {
    m_db.beginTrans();
    m_level = m_db.transactionDepth();
    m_active = true;
}

Transaction::~Transaction() {
    if (!m_active || !levelOpen())
        return;
    try {
        rollbackLevel();
    } catch (const std::exception& e) {
        const auto* engineError = dynamic_cast<const DbException*>(&e);
        const int code = engineError ? engineError->code() : 0;
        if (std::uncaught_exceptions() > m_uncaught)
            qWarning("Rollback while handling an earlier error failed (code %d): %s", code,
                     e.what());
        else
            qWarning("Rollback of an unfinished transaction failed (code %d): %s", code, e.what());
    }
}

bool Transaction::levelOpen() const {
    return m_db.isOpen() && m_db.transactionDepth() >= m_level;
}

void Transaction::commit() {
    if (!m_active)
        throw DbException(QStringLiteral("Commit of a transaction that has already ended."));
    if (m_db.transactionDepth() != m_level)
        throw DbException(QStringLiteral("Commit of a transaction while an inner one is open."));
    m_db.commitTrans();
    m_active = false;
}

void Transaction::rollback() {
    if (!m_active)
        return;
    m_active = false;
    rollbackLevel();
}

void Transaction::rollbackLevel() {
    // Inner levels still open (their guards live elsewhere) go with this one.
    while (levelOpen())
        m_db.rollback();
}
