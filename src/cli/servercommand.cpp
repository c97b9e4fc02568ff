// server list|rename OLD NEW|delete NAME: the register of the servers sessions are imported
// from. A renamed server keeps its id, and with it the sessions already imported from it.
#include "cli/clicommand.h"
#include "cli/clitable.h"

#include "core/app/dbsession.h"
#include "core/import/importcodes.h"
#include "core/import/serverregister.h"

namespace {

int runList(CCliContext& c) {
    const auto format = c.tableFormat();
    if (!format)
        return ExitUsage;
    Database* db = c.database();
    if (!db)
        return c.openFailureExit();
    bool ok = false;
    const QList<ServerRow> servers = ListServers(*db, &ok);
    if (!ok)
        return ExitFailure;
    CCliTable table;
    table.addColumn(QStringLiteral("Id"));
    table.addColumn(QStringLiteral("Name"));
    for (const ServerRow& s : servers)
        table.addRow({QString::number(s.Id), s.ServerName});
    c.out(table, *format);
    return ExitOk;
}

// The listed server of a name (ignoring case); nullopt after saying it is unknown.
std::optional<ServerRow> lookUp(CCliContext& c, Database& db, const QString& name) {
    bool ok = false;
    const QList<ServerRow> servers = ListServers(db, &ok);
    if (!ok)
        return std::nullopt;
    const auto found = FindServerByName(servers, name);
    if (!found)
        c.terminal().showMessage(QStringLiteral("No server is named '%1'.").arg(name),
                                 MessageIcon::Stop);
    return found;
}

int runRename(CCliContext& c) {
    Database* db = c.database();
    if (!db)
        return c.openFailureExit();
    const auto server = lookUp(c, *db, c.args().positional().at(0));
    if (!server)
        return ExitFailure;
    const int rc = RenameServer(*db, server->Id, c.args().positional().at(1));
    // An empty new name is a refusal of the arguments, not a decision of the user.
    return rc == IMPORT_INTERRUPTED ? ExitUsage : c.exitFor(rc);
}

int runDelete(CCliContext& c) {
    Database* db = c.database();
    if (!db)
        return c.openFailureExit();
    const auto server = lookUp(c, *db, c.args().positional().at(0));
    if (!server)
        return ExitFailure;
    return c.exitFor(DeleteServer(*db, server->Id));
}

const CliRegistration reg{{
    .name = QStringLiteral("server"),
    .synopsis = QStringLiteral("list|rename|delete ..."),
    .summary = QStringLiteral("List, rename or delete the servers sessions are imported from."),
    .subcommands = {{.name = QStringLiteral("list"),
                     .synopsis = QStringLiteral("[--format table|csv|json]"),
                     .summary = QStringLiteral("List the servers in name order with their ids."),
                     .options = {FormatCliOption()},
                     .run = &runList},
                    {.name = QStringLiteral("rename"),
                     .synopsis = QStringLiteral("OLD NEW"),
                     .summary =
                         QStringLiteral("Rename a server; it keeps its id and its sessions."),
                     .minArgs = 2,
                     .maxArgs = 2,
                     .run = &runRename},
                    {.name = QStringLiteral("delete"),
                     .synopsis = QStringLiteral("NAME"),
                     .summary =
                         QStringLiteral("Delete a server's record (asks first); its sessions stay. "
                                        "Importing its logs again under a new record stores them "
                                        "twice."),
                     .minArgs = 1,
                     .maxArgs = 1,
                     .run = &runDelete}},
}};

} // namespace
