// init: a new database of the current layout, or the sample database (--sample).
#include "cli/clicommand.h"

#include "core/app/dbsession.h"
#include "core/sample/sampledatabase.h"
#include "core/sample/sampledetail.h"
#include "core/db/dbexception.h"
#include "core/db/schema.h"

#include <QDir>
#include <QFileInfo>

namespace {

// init --sample [--force] [--detail FILE]: the sample database at --db, else tollk.sample.db in
// the user's data folder; --force replaces an existing file; --detail also writes the sample
// month's RADIUS detail file.
int runInitSample(CCliContext& c) {
    const bool force = c.args().isSet(QStringLiteral("force"));
    const QString detail = c.args().value(QStringLiteral("detail"));
    const QString path = c.options().db.isEmpty()
                             ? CDatabaseSession::sampleDatabasePath()
                             : QDir::cleanPath(QDir::current().absoluteFilePath(
                                   CDatabaseSession::commandLinePath(c.options().db)));
    QDir().mkpath(QFileInfo(path).absolutePath());
    SampleDatabaseOptions options;
    options.replace = force;
    const SampleDatabaseResult r = CreateSampleDatabase(path, options);
    if (!r.ok)
        return c.fail(QStringLiteral("Unable to create the sample database: %1").arg(r.error));
    c.out(QDir::toNativeSeparators(path));
    if (!detail.isEmpty()) {
        QString error;
        if (!WriteSampleDetailFile(detail, &error))
            return c.fail(QStringLiteral("Unable to write %1: %2")
                              .arg(QDir::toNativeSeparators(detail), error));
        c.out(QDir::toNativeSeparators(QFileInfo(detail).absoluteFilePath()));
    }
    return ExitOk;
}

int runInit(CCliContext& c) {
    if (c.args().isSet(QStringLiteral("sample")))
        return runInitSample(c);
    if (c.args().isSet(QStringLiteral("force")) || c.args().isSet(QStringLiteral("detail")))
        return c.usageError(QStringLiteral("--force and --detail go with init --sample only."));
    const QString path = c.databasePath();
    const QString shown = Database::isServerName(path) ? Database::displayNameOf(path)
                                                       : QDir::toNativeSeparators(path);
    try {
        // Refuses an existing file: a database is never created over one.
        CreateNewDatabase(path);
    } catch (const DbException& e) {
        return c.fail(
            QStringLiteral("Unable to create the database %1: %2").arg(shown, e.message()));
    }
    c.out(shown);
    return ExitOk;
}

const CliRegistration reg{{
    .name = QStringLiteral("init"),
    .synopsis = QStringLiteral("[--sample [--force] [--detail FILE]]"),
    .summary = QStringLiteral("Create a new database, or the sample database."),
    .details = QStringLiteral("A database is never created over an existing file. Without "
                              "--db the new database is tollk.db in the user's data folder, "
                              "the sample database tollk.sample.db there."),
    .options = {{QStringLiteral("sample"), QString(), QString(),
                 QStringLiteral("the sample database of a small ISP")},
                {QStringLiteral("force"), QString(), QString(),
                 QStringLiteral("replace an existing sample database")},
                {QStringLiteral("detail"), QString(), QStringLiteral("FILE"),
                 QStringLiteral("also write the sample month's RADIUS detail file")}},
    .run = &runInit,
}};

} // namespace
