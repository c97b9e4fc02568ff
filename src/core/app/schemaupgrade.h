#pragma once
#include "core/app/resultcodes.h"
#include "core/db/upgrade/upgradedriver.h"

class Database;

// The schema upgrade as the program runs it at every opening of a database: questions and
// messages through the user interface, the settings of earlier releases from the settings
// store, the progress window shown while it runs. Result codes: 0 success, 13 failure (the
// user was told), 1223 the user declined. See core/db/upgrade/upgradedriver.h.
[[nodiscard]] int UpgradeDatabase(Database& db, const UpgradeOptions& options = {});
