#pragma once
#include "core/db/serverrecord.h"

#include <QList>
#include <QString>

#include <optional>

class Database;

// The register of servers sessions are imported from (table Servers). A server keeps its Id
// when it is renamed: the Id is what keeps the sessions of two servers apart.
//
// Functions returning an int answer IMPORT_OK, IMPORT_FAILED (the user was told) or
// IMPORT_INTERRUPTED (declined by the user).

// Every server in ServerName order; shows "Error accessing server table" and answers an empty
// list (ok = false) when the table cannot be read.
QList<ServerRow> ListServers(Database& db, bool* ok = nullptr);

// A host name as the register keeps and compares it: without surrounding white space and NUL
// characters, cut to the size of ServerName.
QString ServerNameOf(const QString& name);

// The server of a host name (in the form above), compared as a whole name ignoring case.
std::optional<ServerRow> FindServerByName(const QList<ServerRow>& servers, const QString& name);
std::optional<ServerRow> FindServerByName(Database& db, const QString& name);

// Adds a server of a new host name (kept in the form above). A name already listed (ignoring
// case) gives "Server already exists."; an engine error "Error adding server.". newId gets the
// new row's Id.
[[nodiscard]] int AddServer(Database& db, const QString& name, qint32* newId);

// The server of a host name, added when it is new (created tells which).
[[nodiscard]] int ResolveServer(Database& db, const QString& name, qint32* id,
                                bool* created = nullptr);

// Renames a server, keeping its Id. An empty name gives "Please enter a name." (nothing
// changed, IMPORT_INTERRUPTED); an engine error "Error renaming server.". No test for a name
// already in use.
[[nodiscard]] int RenameServer(Database& db, qint32 id, const QString& newName);

// Deletes a server's row after asking "Delete the record for server '%s'? ..." (unless
// confirm is off). Sessions keep their ServerId. An engine error gives "Error deleting server
// record".
[[nodiscard]] int DeleteServer(Database& db, qint32 id, bool confirm = true);
