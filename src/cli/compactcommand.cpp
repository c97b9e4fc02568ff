// compact: compacts the database file in place.
#include "cli/clicommand.h"

#include "core/app/dbsession.h"

namespace {

int runCompact(CCliContext& c) {
    CDatabaseSession* session = c.openDatabase();
    if (!session)
        return c.openFailureExit();
    const int rc = session->compact();
    if (rc == SystemResult::Failed && !session->lastError().isEmpty())
        CCliUserInterface::note(session->lastError());
    return c.exitFor(rc);
}

const CliRegistration reg{{
    .name = QStringLiteral("compact"),
    .summary = QStringLiteral("Compact the database (asks first)."),
    .run = &runCompact,
}};

} // namespace
