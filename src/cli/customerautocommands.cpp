#include "cli/customerautocommands.h"

#include "cli/clicommand.h"
#include "cli/reportsupport.h"

#include "core/app/dbsession.h"
#include "core/customers/autocreate.h"

namespace {

// The created names on stdout, one a line; the engine's or the source's words of a failure on
// stderr (the core has said "Error adding new customers.").
int report(CCliContext& c, const AutoCreateOutcome& out) {
    for (const QString& name : out.names)
        c.out(name);
    if (!out.error.isEmpty())
        CCliUserInterface::note(out.error);
    return c.exitFor(out.result);
}

int runFromSessions(CCliContext& c) {
    QDateTime since = AutoCreateSessionsDefaultStart();
    const QString text = c.args().value(QStringLiteral("since"));
    if (!text.isNull()) {
        const auto parsed = ParseCliDateTime(text);
        if (!parsed)
            return c.usageError(QStringLiteral("--since is YYYY-MM-DD or YYYY-MM-DDTHH:MM."));
        since = *parsed;
    }
    Database* db = c.database();
    if (!db)
        return c.openFailureExit();
    return report(c, CreateCustomersFromSessions(*db, since));
}

int runFromAccounts(CCliContext& c) {
    // Without options the kinds chosen last in the desktop program's dialog.
    AccountScanChoice choice = AccountScanChoice::read();
    choice.server.clear();
    const bool local = c.args().isSet(QStringLiteral("local"));
    const bool global = c.args().isSet(QStringLiteral("global"));
    if (local || global) {
        choice.local = local;
        choice.global = global;
    }
    const QString problem = choice.problem();
    if (!problem.isEmpty())
        return c.usageError(problem);
    Database* db = c.database();
    if (!db)
        return c.openFailureExit();
    AccountSources sources;
    sources.local = choice.local;
    sources.global = choice.global;
    return report(c, CreateCustomersFromAccounts(*db, sources));
}

} // namespace

CliSpec CreateFromSessionsCommand() {
    return {.name = QStringLiteral("create-from-sessions"),
            .synopsis = QStringLiteral("[--since YYYY-MM-DD]"),
            .summary = QStringLiteral("Create a customer for every logon name with a session "
                                      "after the date and no customer yet."),
            .details = QStringLiteral("Without --since, the date of the last complete scan (at "
                                      "first 1996-01-01). Prints the names created."),
            .options = {{QStringLiteral("since"), QString(), QStringLiteral("YYYY-MM-DD"),
                         QStringLiteral("only sessions that began after this date")}},
            .run = &runFromSessions};
}

CliSpec CreateFromAccountsCommand() {
    return {.name = QStringLiteral("create-from-accounts"),
            .synopsis = QStringLiteral("[--local] [--global]"),
            .summary = QStringLiteral("Create a customer for every login account of this "
                                      "computer that has no customer yet."),
            .details = QStringLiteral(
                "Accounts come from the system's user database (NSS) within the login UID range "
                "of /etc/login.defs: --local those of /etc/passwd, --global those of network "
                "sources (LDAP, NIS, SSSD). Without either, the kinds last chosen in the "
                "desktop program (at first both). FullName and Comment come from the GECOS "
                "field. Prints the names created."),
            .options = {{QStringLiteral("local"), QString(), QString(),
                         QStringLiteral("accounts of the local files")},
                        {QStringLiteral("global"), QString(), QString(),
                         QStringLiteral("accounts of network sources")}},
            .run = &runFromAccounts};
}
