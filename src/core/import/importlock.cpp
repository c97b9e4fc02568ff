#include "core/import/importlock.h"

#include "core/app/userinterface.h"
#include "core/db/dbexception.h"

bool TakeImportLock(Database& db, std::optional<CExclusiveOperation>& lock, QString* error) {
    try {
        lock.emplace(db, OperationKind::Import);
        return true;
    } catch (const DbException& e) {
        *error = e.message();
        ui().showMessage(*error, MessageIcon::Exclamation);
        return false;
    }
}
