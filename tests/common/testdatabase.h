#pragma once
#include <QString>

// The engine a test run uses, and the one way a test names its database, so one test source runs
// on both engines. CTest runs the listed tests a second time with TK_TEST_ENGINE=postgresql and
// TK_TEST_PGHOST set to the socket folder of the harness's own server
// (scripts/pg-test-server.sh).

// True in the PostgreSQL runs.
bool TestOnPostgres();

// On SQLite, `sqlitePath` unchanged. On PostgreSQL, a fresh empty database on the harness's
// server (a new one on every call), as a URL the engine opens; the process drops its databases
// when it exits. Aborts the test with libpq's message when the server cannot be reached.
QString TestDatabaseName(const QString& sqlitePath);

// The URL of the database `dbname` on the harness's server, whether or not it exists.
QString TestServerUrl(const QString& dbname);

class Database;
// Makes every DELETE of a row of `table` for which `condition` (SQL over "old.<field>") holds
// fail with `message`, on either engine; AllowDeletes removes that again.
void RefuseDeletes(Database& db, const QString& table, const QString& condition,
                   const QString& message);
void AllowDeletes(Database& db, const QString& table);
