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

const QString kUsage = QStringLiteral(
    "Usage: import --system radius|unet|telebit --server NAME [--strip-prefixes] FILE");

int runImport(CCliContext& c) {
    QString system, server, file;
    bool strip = false;
    const QStringList& a = c.args();
    for (qsizetype i = 0; i < a.size(); ++i) {
        const QString& arg = a[i];
        auto value = [&](QString& into) {
            if (i + 1 >= a.size())
                return false;
            into = a[++i];
            return true;
        };
        if (arg == QLatin1String("--system")) {
            if (!value(system))
                return c.usageError(kUsage);
        } else if (arg.startsWith(QLatin1String("--system="))) {
            system = arg.mid(9);
        } else if (arg == QLatin1String("--server")) {
            if (!value(server))
                return c.usageError(kUsage);
        } else if (arg.startsWith(QLatin1String("--server="))) {
            server = arg.mid(9);
        } else if (arg == QLatin1String("--strip-prefixes")) {
            strip = true;
        } else if (arg.startsWith(QLatin1Char('-')) || !file.isEmpty()) {
            return c.usageError(kUsage);
        } else {
            file = arg;
        }
    }
    int authSystem = -1;
    if (system.compare(QLatin1String("radius"), Qt::CaseInsensitive) == 0)
        authSystem = AUTH_RADIUS;
    else if (system.compare(QLatin1String("unet"), Qt::CaseInsensitive) == 0)
        authSystem = AUTH_UNET;
    else if (system.compare(QLatin1String("telebit"), Qt::CaseInsensitive) == 0)
        authSystem = AUTH_TELEBIT;
    if (authSystem < 0 || server.trimmed().isEmpty() || file.isEmpty())
        return c.usageError(kUsage);
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

const CliRegistration reg{
    {QStringLiteral("import"),
     QStringLiteral("import --system radius|unet|telebit --server NAME [--strip-prefixes] FILE"),
     QStringLiteral("Import the sessions of an accounting log (exit 4: FILE cannot be opened)."),
     &runImport}};

} // namespace
