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
    bool force = false;
    QString detail;
    const QStringList& args = c.args();
    for (qsizetype i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--force"))
            force = true;
        else if (args[i] == QLatin1String("--detail") && i + 1 < args.size())
            detail = args[++i];
        else
            return c.usageError(QStringLiteral("init --sample takes --force and --detail FILE."));
    }
    const QString path = c.options().db.isEmpty()
                             ? CDatabaseSession::sampleDatabasePath()
                             : QDir::cleanPath(QDir::current().absoluteFilePath(
                                   CDatabaseSession::commandLinePath(c.options().db)));
    QDir().mkpath(QFileInfo(path).absolutePath());
    SampleDatabaseOptions options;
    options.replace = force;
    const SampleDatabaseResult r = CreateSampleDatabase(path, options);
    if (!r.ok) {
        c.terminal().showMessage(
            QStringLiteral("Unable to create the sample database: %1").arg(r.error),
            MessageIcon::Stop);
        return ExitFailure;
    }
    c.out(QDir::toNativeSeparators(path));
    if (!detail.isEmpty()) {
        QString error;
        if (!WriteSampleDetailFile(detail, &error)) {
            c.terminal().showMessage(QStringLiteral("Unable to write %1: %2")
                                         .arg(QDir::toNativeSeparators(detail), error),
                                     MessageIcon::Stop);
            return ExitFailure;
        }
        c.out(QDir::toNativeSeparators(QFileInfo(detail).absoluteFilePath()));
    }
    return ExitOk;
}

int runInit(CCliContext& c) {
    if (!c.args().isEmpty() && c.args().first() == QLatin1String("--sample"))
        return runInitSample(c);
    if (!c.args().isEmpty())
        return c.usageError(QStringLiteral("init takes no arguments (or --sample)."));
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

const CliRegistration reg{
    {QStringLiteral("init"), QStringLiteral("init [--sample]"),
     QStringLiteral("Create a new database (never over a file); with --sample [--force] "
                    "[--detail FILE] the sample database."),
     &runInit}};

} // namespace
