// backup FILE: copies the database file, replacing FILE ("-": to standard output).
#include "cli/clicommand.h"

#include "core/app/dbsession.h"

#include <QDir>
#include <QFileInfo>

namespace {

int runBackup(CCliContext& c) {
    const QString file = c.args().positional().first();
    if (file.isEmpty())
        return c.usageError();
    CDatabaseSession* session = c.openDatabase();
    if (!session)
        return c.openFailureExit();
    const QString target = file == QLatin1String("-") ? file : QFileInfo(file).absoluteFilePath();
    const int rc = session->backup(target);
    if (rc == SystemResult::Failed && !session->lastError().isEmpty())
        CCliUserInterface::note(session->lastError());
    if (rc == 0 && target != QLatin1String("-"))
        c.out(QDir::toNativeSeparators(target));
    return c.exitFor(rc);
}

const CliRegistration reg{{
    .name = QStringLiteral("backup"),
    .synopsis = QStringLiteral("FILE"),
    .summary = QStringLiteral("Copy the database to FILE, replacing it."),
    .minArgs = 1,
    .maxArgs = 1,
    .run = &runBackup,
}};

} // namespace
