#include "core/app/exclusiveoperation.h"

#include "core/app/busystate.h"

CExclusiveOperation::CExclusiveOperation(Database& db, OperationKind kind)
    : m_lock(db, kind, [this, kind] {
          if (!m_waiting) {
              const QString text = QStringLiteral("Waiting for another workstation's %1 to "
                                                  "finish...")
                                       .arg(OperationName(kind));
              // Inside a running operation this only replaces its message.
              m_waiting = std::make_unique<CProcessScope>(text, PROC_DEFAULT);
          }
          return !CheckInterrupt();
      }) {
    m_waiting.reset();
}

CExclusiveOperation::~CExclusiveOperation() = default;
