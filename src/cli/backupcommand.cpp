// backup FILE: copies the database file, replacing FILE.
#include "cli/clicommand.h"

#include "core/app/dbsession.h"

#include <QDir>
#include <QFileInfo>

namespace {

int runBackup(CCliContext& c) {
    if (c.args().size() != 1 || c.args()[0].isEmpty())
        return c.usageError(QStringLiteral("Usage: backup FILE"));
    CDatabaseSession* session = c.openDatabase();
    if (!session)
        return c.openFailureExit();
    const QString target = QFileInfo(c.args()[0]).absoluteFilePath();
    const int rc = session->backup(target);
    if (rc == SystemResult::Failed && !session->lastError().isEmpty())
        CCliUserInterface::note(session->lastError());
    if (rc == 0)
        c.out(QDir::toNativeSeparators(target));
    return c.exitFor(rc);
}

const CliRegistration reg{{QStringLiteral("backup"), QStringLiteral("backup FILE"),
                           QStringLiteral("Copy the database to FILE, replacing it."), &runBackup}};

} // namespace
