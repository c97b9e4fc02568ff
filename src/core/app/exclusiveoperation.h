#pragma once
#include "core/db/operationlock.h"

#include <memory>

class CProcessScope;
class Database;

// The lock of a long operation as the program takes it (see core/db/operationlock.h): while
// another workstation holds it, "Waiting for another workstation's <operation> to finish..."
// shows as the busy message and Esc (Ctrl+C on the command line) stops the wait. A refusal,
// after the longest wait or on the user's interruption, throws DbException with the message to
// show; the operation has then not begun.
class CExclusiveOperation {
public:
    CExclusiveOperation(Database& db, OperationKind kind);
    ~CExclusiveOperation();
    CExclusiveOperation(const CExclusiveOperation&) = delete;
    CExclusiveOperation& operator=(const CExclusiveOperation&) = delete;

private:
    // The busy state of the wait; it ends before the lock is given back.
    std::unique_ptr<CProcessScope> m_waiting;
    OperationLock m_lock;
};
