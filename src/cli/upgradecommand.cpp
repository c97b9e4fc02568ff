// upgrade: brings the database to the current layout, listing every step that changes it.
#include "cli/clicommand.h"

#include "core/app/schemaupgrade.h"
#include "core/db/database.h"
#include "core/db/dbexception.h"

#include <QDir>
#include <QFileInfo>

namespace {

int runUpgrade(CCliContext& c) {
    const QString path = c.databasePath();
    const bool server = Database::isServerName(path);
    const QString shown = server ? Database::displayNameOf(path) : QDir::toNativeSeparators(path);
    if (!server && !QFileInfo(path).isFile()) {
        CCliUserInterface::note(QStringLiteral("The database %1 does not exist.").arg(shown));
        return ExitFailure;
    }
    // Opened directly: the session's opening would upgrade the file before we could list it.
    Database db;
    try {
        db.open(path);
    } catch (const DbException& e) {
        CCliUserInterface::note(QStringLiteral("Error opening Tollkeeper database %1.").arg(shown));
        CCliUserInterface::note(e.message());
        return ExitFailure;
    }
    UpgradeOptions options;
    options.dryRun = c.args().isSet(QStringLiteral("dry-run"));
    int steps = 0;
    options.onStep = [&](int level, int step, const QString& what) {
        ++steps;
        c.out(QStringLiteral("Level %1 Step %2: %3").arg(level).arg(step).arg(what));
    };
    const int rc = UpgradeDatabase(db, options);
    if (rc == SystemResult::Failed && !LastUpgradeError().isEmpty())
        CCliUserInterface::note(LastUpgradeError());
    if (rc != 0)
        return c.exitFor(rc);
    if (!LastUpgradeCopy().isEmpty())
        c.out(QStringLiteral("Copy of the database before the upgrade: %1")
                  .arg(QDir::toNativeSeparators(LastUpgradeCopy())));
    if (options.dryRun)
        c.out(steps == 0 ? QStringLiteral("The database has the current layout; nothing to do.")
                         : QStringLiteral("Dry run: %1 steps would change the database; nothing "
                                          "was changed.")
                               .arg(steps));
    else
        c.out(QStringLiteral("%1 is at layout version %2 (%3 steps changed it).")
                  .arg(shown)
                  .arg(db.scalar(QStringLiteral("SELECT [Version] FROM DBInfo")).toInt())
                  .arg(steps));
    return ExitOk;
}

const CliRegistration reg{{
    .name = QStringLiteral("upgrade"),
    .synopsis = QStringLiteral("[--dry-run]"),
    .summary = QStringLiteral("Bring the database to the current layout, listing each step."),
    .details = QStringLiteral("A database of an earlier layout is copied to "
                              "FILE.before-upgrade-VERSION first; the upgrade then runs as one "
                              "transaction, so a failure leaves the file as it was."),
    .options = {{.name = QStringLiteral("dry-run"),
                 .help = QStringLiteral("List the steps that would run and change nothing.")}},
    .run = &runUpgrade,
}};

} // namespace
