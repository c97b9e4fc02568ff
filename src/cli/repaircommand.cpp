// repair: repairs the database file in place.
#include "cli/clicommand.h"

#include "core/app/dbsession.h"

namespace {

int runRepair(CCliContext& c) {
    if (!c.args().isEmpty())
        return c.usageError(QStringLiteral("repair takes no arguments."));
    CDatabaseSession* session = c.openDatabase();
    if (!session)
        return c.openFailureExit();
    const int rc = session->repair();
    if (rc == SystemResult::Failed && !session->lastError().isEmpty())
        CCliUserInterface::note(session->lastError());
    return c.exitFor(rc);
}

const CliRegistration reg{{QStringLiteral("repair"), QStringLiteral("repair"),
                           QStringLiteral("Repair the database (asks first)."), &runRepair}};

} // namespace
