// init: a new database of the current layout.
#include "clicommand.h"

#include "db/dbexception.h"
#include "db/schema.h"

#include <QDir>

namespace {

int runInit(CCliContext& c) {
    if (!c.args().isEmpty())
        return c.usageError(QStringLiteral("init takes no arguments."));
    const QString path = c.databasePath();
    try {
        // Refuses an existing file: a database is never created over one.
        CreateNewDatabase(path);
    } catch (const DbException& e) {
        c.terminal().showMessage(QStringLiteral("Unable to create the database %1: %2")
                                     .arg(QDir::toNativeSeparators(path), e.message()),
                                 MessageIcon::Stop);
        return ExitFailure;
    }
    c.out(QDir::toNativeSeparators(path));
    return ExitOk;
}

const CliRegistration reg{{QStringLiteral("init"), QStringLiteral("init"),
                           QStringLiteral("Create a new database (never over a file)."), &runInit}};

} // namespace
