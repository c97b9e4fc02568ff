// copy --to NAME | --from NAME: the whole database copied into an empty one, of either engine.
#include "cli/clicommand.h"
#include "cli/clitable.h"

#include "core/app/busystate.h"
#include "core/app/dbsession.h"
#include "core/db/database.h"
#include "core/db/databasecopy.h"
#include "core/db/dbexception.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

bool isServerName(const QString& name) {
    return name.contains(QLatin1String("://"));
}

// A file named on the command line is taken from the current folder; a server's URL as it is.
QString resolveName(const QString& name) {
    if (isServerName(name))
        return name;
    return QDir::cleanPath(
        QDir::current().absoluteFilePath(CDatabaseSession::commandLinePath(name)));
}

QString shownName(const QString& name) {
    return isServerName(name) ? DatabaseDisplayName(name) : QDir::toNativeSeparators(name);
}

bool sameFile(const QString& a, const QString& b) {
    if (isServerName(a) || isServerName(b))
        return a == b;
    const QString ca = QFileInfo(a).canonicalFilePath();
    return ca.isEmpty() ? a == b : ca == QFileInfo(b).canonicalFilePath();
}

// The target database, opened (a missing file is made empty, the copy makes its tables); a
// file made here is removed again when the copy does not complete, so a failed copy leaves
// nothing behind that could be taken for one.
class CopyTarget {
public:
    explicit CopyTarget(const QString& name)
        : m_name(name), m_made(!isServerName(name) && !QFileInfo::exists(name)) {
        if (m_made) {
            // It will hold customers' card numbers: readable by its owner only from the start
            // (the engine's journal takes the same permissions).
            QFile file(name);
            if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly,
                           QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
                m_made = false;
                throw DbException(QStringLiteral("Unable to create the file %1: %2")
                                      .arg(QDir::toNativeSeparators(name), file.errorString()));
            }
        }
        m_db.open(name, Database::OpenMode::Exclusive, true);
    }
    ~CopyTarget() {
        if (m_kept || !m_made)
            return;
        m_db.close();
        if (!QFile::remove(m_name))
            CCliUserInterface::note(QStringLiteral("Unable to remove the unfinished copy %1.")
                                        .arg(QDir::toNativeSeparators(m_name)));
    }
    CopyTarget(const CopyTarget&) = delete;
    CopyTarget& operator=(const CopyTarget&) = delete;

    Database& database() { return m_db; }
    void keep() { m_kept = true; }

private:
    QString m_name;
    bool m_made;
    bool m_kept = false;
    Database m_db;
};

int runCopy(CCliContext& c) {
    const QString to = c.args().value(QStringLiteral("to"));
    const QString from = c.args().value(QStringLiteral("from"));
    if (to.isEmpty() == from.isEmpty())
        return c.usageError(QStringLiteral("Name the other database with either --to or --from."));

    // --to: the current database is the source, opened as every command opens it.
    // --from: the named database is the source and the current one the target, opened directly
    // because it may not exist yet or have no tables.
    Database named;
    Database* source = nullptr;
    QString sourceName, targetName;
    if (!to.isEmpty()) {
        CDatabaseSession* session = c.openDatabase();
        if (!session)
            return c.openFailureExit();
        source = session->database();
        sourceName = session->path();
        targetName = resolveName(to);
    } else {
        sourceName = resolveName(from);
        targetName = isServerName(c.options().db) ? c.options().db : c.databasePath();
    }
    const QString shownSource = shownName(sourceName);
    const QString shownTarget = shownName(targetName);
    if (sameFile(sourceName, targetName))
        return c.fail(
            QStringLiteral("The database %1 cannot be copied into itself.").arg(shownSource));

    QList<TableCopyCount> counts;
    try {
        if (!source) {
            named.open(sourceName, Database::OpenMode::Exclusive, false);
            source = &named;
        }
        CopyTarget target(targetName);
        CProcessScope busy(QStringLiteral("Copying the database..."), PROC_DEFAULT);
        counts = CopyDatabase(*source, target.database(), [](const DatabaseCopyProgress& p) {
            if (p.rows == 0)
                BeginProcess(QStringLiteral("Copying %1 (table %2 of %3)...")
                                 .arg(p.table)
                                 .arg(p.tableIndex + 1)
                                 .arg(p.tableCount),
                             PROC_DEFAULT);
            return !CheckInterrupt();
        });
        target.keep();
    } catch (const DbException& e) {
        // A server's password never reaches the terminal, whatever the engine's message holds.
        QString reason = e.message();
        for (const QString& name : {sourceName, targetName})
            if (isServerName(name))
                reason.replace(name, shownName(name));
        return c.fail(
            QStringLiteral("Unable to copy %1 to %2: %3").arg(shownSource, shownTarget, reason));
    }

    CCliTable table;
    table.addColumn(QStringLiteral("Table"));
    table.addColumn(QStringLiteral("Rows"), CCliTable::Kind::Number);
    qint64 rows = 0;
    for (const TableCopyCount& t : counts) {
        table.addRow({t.table, QString::number(t.rows)});
        rows += t.rows;
    }
    c.out(table, CliTableFormat::Table);
    c.out(QStringLiteral("Copied %1 tables, %2 rows from %3 to %4.")
              .arg(counts.size())
              .arg(rows)
              .arg(shownSource, shownTarget));
    return ExitOk;
}

const CliRegistration reg{{
    .name = QStringLiteral("copy"),
    .synopsis = QStringLiteral("--to NAME | --from NAME"),
    .summary = QStringLiteral("Copy the whole database into an empty one, or from another."),
    .details = QStringLiteral(
        "NAME is a database file or a server's postgresql:// URL. The target must have no "
        "tables (a missing file is created); every table, index and row is copied with its "
        "AutoNumber values, and the copy is checked by row counts and sums before it is kept. "
        "A copy that fails or is interrupted leaves the target as it was."),
    .options = {{QStringLiteral("to"), QString(), QStringLiteral("NAME"),
                 QStringLiteral("copy the current database into NAME")},
                {QStringLiteral("from"), QString(), QStringLiteral("NAME"),
                 QStringLiteral("copy NAME into the current database")}},
    .run = &runCopy,
}};

} // namespace
