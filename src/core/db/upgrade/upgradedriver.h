#pragma once
#include "core/db/upgrade/upgradehost.h"

#include <QString>

class Database;

// Brings an opened database from whatever earlier layout it has to the current one, in
// place. Result codes: 0 success, 13 failure (the user was told), 1223 the user declined.
//
// Level 0 (the DBInfo table, its fields and its one row) runs at every opening and yields the
// stored version; the levels of earlier layouts run when that version asks for them. When
// they do, a byte-for-byte copy "<file>.before-upgrade-<version>" is written beside the file
// first. Everything runs as one transaction: on success the program's version is stored in
// DBInfo.Version and the whole is committed; any failure rolls it all back, so the file is
// left exactly as it was opened, and the user is told the level and step that failed.
[[nodiscard]] int RunSchemaUpgrade(Database& db, UpgradeHost& host,
                                   const UpgradeOptions& options = {});

// The version found in DBInfo before the first upgrade of this process; -1 before that.
int VersionFoundBeforeUpgrade();
// The program's own version as DBInfo.Version encodes it: build * 65536 + major * 100 + minor
// (major the first field of the version, minor the third, build the fourth).
int ProgramVersionCode();
// Engine message of the last failure of an upgrade (empty after a success).
QString LastUpgradeError();
// The copy the last upgrade wrote before changing the file; empty when it wrote none.
QString LastUpgradeCopy();
// Forgets the process-wide state (found version, consent) as in a new process; for tests.
void ResetUpgradeState();
