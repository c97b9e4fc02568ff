// compact: compacts the database file in place.
#include "cli/clicommand.h"

#include "core/app/dbsession.h"

namespace {

int runCompact(CCliContext& c) {
    if (!c.args().isEmpty())
        return c.usageError(QStringLiteral("compact takes no arguments."));
    CDatabaseSession* session = c.openDatabase();
    if (!session)
        return c.openFailureExit();
    const int rc = session->compact();
    if (rc == SystemResult::Failed && !session->lastError().isEmpty())
        CCliUserInterface::note(session->lastError());
    return c.exitFor(rc);
}

const CliRegistration reg{{QStringLiteral("compact"), QStringLiteral("compact"),
                           QStringLiteral("Compact the database (asks first)."), &runCompact}};

} // namespace
