#pragma once
#include "core/app/exclusiveoperation.h"

#include <QString>
#include <optional>

class Database;

// Takes the import's lock into `lock`, held until what was stored is committed: another
// workstation's import of the same log then finds every session of this one in its duplicate
// test. On a refusal (another import, or the user stopped the wait) the message is shown and
// put in *error, nothing has begun, and the answer is false.
bool TakeImportLock(Database& db, std::optional<CExclusiveOperation>& lock, QString* error);
