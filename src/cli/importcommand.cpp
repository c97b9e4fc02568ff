// import --system radius|unet|telebit --server NAME [--strip-prefixes] FILE: reads an
// accounting log into the sessions of the database.
#include "cli/clicommand.h"

#include "core/app/dbsession.h"
#include "core/import/importcodes.h"
#include "core/import/serverregister.h"
#include "core/import/textlogimport.h"

#include <QFileInfo>

namespace {

// The log file could not be opened (the other results map as for every command).
constexpr int ExitNoFile = 4;

int runImport(CCliContext& c) {
    const QString system = c.args().value(QStringLiteral("system"));
    const QString server = c.args().value(QStringLiteral("server"));
    const QString file = c.args().positional().first();
    bool strip = c.args().isSet(QStringLiteral("strip-prefixes"));
    int authSystem = -1;
    if (system.compare(QLatin1String("radius"), Qt::CaseInsensitive) == 0)
        authSystem = AUTH_RADIUS;
    else if (system.compare(QLatin1String("unet"), Qt::CaseInsensitive) == 0)
        authSystem = AUTH_UNET;
    else if (system.compare(QLatin1String("telebit"), Qt::CaseInsensitive) == 0)
        authSystem = AUTH_TELEBIT;
    if (authSystem < 0 || server.trimmed().isEmpty() || file.isEmpty())
        return c.usageError();
    // The prefix option is offered for Radius and UNet only.
    if (authSystem == AUTH_TELEBIT)
        strip = false;

    CDatabaseSession* session = c.openDatabase();
    if (!session)
        return c.openFailureExit();
    Database& db = *session->database();

    bool created = false;
    const TextLogImportOutcome out = ImportTextLogForServer(db, QFileInfo(file).absoluteFilePath(),
                                                            authSystem, server, strip, &created);
    if (created)
        CCliUserInterface::note(QStringLiteral("Added server '%1'.").arg(ServerNameOf(server)));
    if (out.result == IMPORT_FAILED && !out.error.isEmpty())
        CCliUserInterface::note(out.error);
    c.out(QStringLiteral("Found %1 new logons out of %2 events").arg(out.found).arg(out.total));
    if (out.result == IMPORT_OPEN_FAILED)
        return ExitNoFile;
    return c.exitFor(out.result);
}

const CliRegistration reg{{
    .name = QStringLiteral("import"),
    .synopsis =
        QStringLiteral("--system radius|unet|telebit --server NAME [--strip-prefixes] FILE"),
    .summary = QStringLiteral("Import the sessions of an accounting log."),
    .details = QStringLiteral("Prints how many new logons were found. A server not yet known is "
                              "added. Exit status 4: FILE cannot be opened."),
    .options = {{QStringLiteral("system"), QString(), QStringLiteral("radius|unet|telebit"),
                 QStringLiteral("the kind of log")},
                {QStringLiteral("server"), QString(), QStringLiteral("NAME"),
                 QStringLiteral("the server the log comes from")},
                {QStringLiteral("strip-prefixes"), QString(), QString(),
                 QStringLiteral("remove the prefixes of logon names (radius and unet)")}},
    .minArgs = 1,
    .maxArgs = 1,
    .run = &runImport,
}};

} // namespace
