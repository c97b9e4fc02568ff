// log: prints the operation log; log --clear empties it.
#include "cli/clicommand.h"

#include "core/app/operationlog.h"

#include <QDir>
#include <QFileInfo>

namespace {

int runLog(CCliContext& c) {
    const QStringList& args = c.args();
    const bool clear = args.size() == 1 && args[0] == QLatin1String("--clear");
    if (!args.isEmpty() && !clear)
        return c.usageError(QStringLiteral("Usage: log [--clear]"));

    COperationLog& log = theLog();
    if (clear) {
        // The file is truncated only while open; opening creates a missing one.
        if (!log.ensureOpen())
            return ExitFailure;
        return log.clearWithQuestion() ? ExitOk : ExitDeclined;
    }

    const QFileInfo file(log.filePath());
    if (!file.exists())
        return ExitOk; // nothing logged yet
    if (!file.isReadable()) {
        c.terminal().showMessage(QStringLiteral("Unable to read from %1.")
                                     .arg(QDir::toNativeSeparators(file.filePath())),
                                 MessageIcon::Exclamation);
        return ExitFailure;
    }
    for (const QString& line : log.readLines())
        c.out(line);
    return ExitOk;
}

const CliRegistration reg{{QStringLiteral("log"), QStringLiteral("log [--clear]"),
                           QStringLiteral("Print the operation log, or empty it (asks first)."),
                           &runLog}};

} // namespace
