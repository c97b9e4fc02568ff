#pragma once
#include "core/app/resultcodes.h"

#include <QString>

class Database;

// Brings an opened database from whatever earlier layout it has to the current one, in
// place. Result codes: 0 success, 13 failure (the user was told), 1223 the user declined.
//
// Level 0 (the DBInfo table, its fields and its one row) runs at every opening and yields the
// stored version; the levels of earlier layouts run when that version asks for them. On
// success the program's version is stored in DBInfo.Version; after a failure the progress
// marker (minus level * 65536 + step) is stored there instead, so the next opening reruns
// every level.
[[nodiscard]] int UpgradeDatabase(Database& db);

// The version found in DBInfo before the first upgrade of this process; -1 before that.
int VersionFoundBeforeUpgrade();
// The program's own version as DBInfo.Version encodes it: build * 65536 + major * 100 + minor
// (major the first field of the version, minor the third, build the fourth).
int ProgramVersionCode();
// Engine message of the last failure of UpgradeDatabase (empty after a success).
QString LastUpgradeError();
// Forgets the process-wide state (found version, consent) as in a new process; for tests.
void ResetUpgradeState();
