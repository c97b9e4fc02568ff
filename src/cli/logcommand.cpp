// log: prints the operation log; log --clear empties it.
#include "cli/clicommand.h"

#include "core/app/operationlog.h"

#include <QDir>
#include <QFileInfo>

namespace {

int runLog(CCliContext& c) {
    const bool clear = c.args().isSet(QStringLiteral("clear"));

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

const CliRegistration reg{{
    .name = QStringLiteral("log"),
    .synopsis = QStringLiteral("[--clear]"),
    .summary = QStringLiteral("Print the operation log, or empty it (asks first)."),
    .options = {{QStringLiteral("clear"), QString(), QString(),
                 QStringLiteral("empty the log file instead of printing it")}},
    .run = &runLog,
}};

} // namespace
