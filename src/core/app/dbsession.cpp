#include "core/app/dbsession.h"

#include "core/app/appcontext.h"
#include "core/app/appservices.h"
#include "core/app/exclusiveoperation.h"
#include "core/app/faultpoint.h"
#include "core/app/schemaupgrade.h"
#include "core/app/settingsvalues.h"
#include "core/app/userinterface.h"
#include "core/db/database.h"
#include "core/db/databasehold.h"
#include "core/db/dbexception.h"
#include "core/db/replacefile.h"
#include "core/db/schema.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <cstdlib>

namespace {

const QString kDatabaseFilter = QStringLiteral("Tollkeeper Database Files (*.db);;All Files (*)");

// A database name as messages and the log show it: a file in the system's spelling, a server
// database without its password.
QString native(const QString& path) {
    return Database::isServerName(path) ? Database::displayNameOf(path)
                                        : QDir::toNativeSeparators(path);
}

bool samePath(const QString& a, const QString& b) {
    return QDir::cleanPath(a).compare(QDir::cleanPath(b), Qt::CaseInsensitive) == 0;
}

// Reserves a new temporary file name with the prefix "TKP" in the temporary folder; the file
// itself is removed again so that the engine can create it. Empty on failure.
QString reserveTempName() {
    QTemporaryFile temp(QDir::tempPath() + QStringLiteral("/TKPXXXXXX.tmp"));
    temp.setAutoRemove(false);
    if (!temp.open())
        return {};
    const QString name = temp.fileName();
    temp.close();
    QFile::remove(name);
    return name;
}

} // namespace

CDatabaseSession::CDatabaseSession() : m_db(std::make_unique<Database>()) {
    App().setSession(this);
}

CDatabaseSession::~CDatabaseSession() {
    closeDatabase();
    if (App().session() == this)
        App().setSession(nullptr);
}

CDatabaseSession* CDatabaseSession::instance() {
    return App().session();
}

Database* theDatabase() {
    return App().database();
}

Database* CDatabaseSession::database() const {
    return m_db->isOpen() ? m_db.get() : nullptr;
}

bool CDatabaseSession::isOpen() const {
    return m_db->isOpen();
}

QString CDatabaseSession::defaultDatabasePath() {
    return UserDataFolder() + QStringLiteral("/tollk.db");
}

QString CDatabaseSession::sampleDatabasePath() {
    return UserDataFolder() + QStringLiteral("/tollk.sample.db");
}

QString CDatabaseSession::commandLinePath(const QString& arg) {
    QString path = arg;
    if (path.startsWith(QLatin1Char('"'))) {
        path.remove(0, 1);
        if (path.endsWith(QLatin1Char('"')))
            path.chop(1);
    }
    return path;
}

bool CDatabaseSession::openFile(const QString& path) {
    try {
        m_db->open(path, Database::OpenMode::Exclusive);
        return true;
    } catch (const DbException& e) {
        m_lastError = e.message();
        if (m_db->isOpen())
            m_db->close();
        return false;
    }
}

void CDatabaseSession::closeDatabase() {
    if (!m_db->isOpen())
        return;
    try {
        m_db->close();
    } catch (const DbException& e) {
        m_lastError = e.message();
    }
}

void CDatabaseSession::storePath(const QString& path) {
    m_path = path;
    // A server's password is not kept in the settings: the next start takes it from the
    // password file, as libpq does. The session goes on with the database either way; the
    // next start merely asks for it again.
    if (!RegWriteText(Reg::DatabasePath, Database::displayNameOf(path)))
        qWarning("Unable to store the database path %s in the settings", qPrintable(native(path)));
}

bool CDatabaseSession::reopenOrShutDown(const QString& path) {
    if (openFile(path))
        return true;
    ui().showMessage(QStringLiteral("Yikes!  Unable to reopen %1.  Tollkeeper must shut down.")
                         .arg(native(path)),
                     MessageIcon::Stop);
    m_path.clear();
    if (m_shutdown)
        m_shutdown();
    else
        std::exit(EXIT_FAILURE);
    return false;
}

bool CDatabaseSession::openAtStartup(const QString& commandLineFile) {
    return openAtStartup(commandLineFile, StartupOptions());
}

bool CDatabaseSession::openAtStartup(const QString& commandLineFile,
                                     const StartupOptions& options) {
    m_lastError.clear();
    const QString def = defaultDatabasePath();
    QString path = commandLinePath(commandLineFile);
    if (path.isEmpty())
        path = RegText(Reg::DatabasePath, def);
    if (path.isEmpty())
        path = def;
    if (!Database::isServerName(path))
        path = QFileInfo(path).absoluteFilePath();
    const bool isDefault = samePath(path, def);

    const auto finish = [this] {
        m_logging = RegYesNo(Reg::Logging, true);
        m_appVersion = RegNumber(Reg::AppVersion, 0);
        return true;
    };
    const auto locateInstead = [&] {
        if (locate(false) != 0)
            return false;
        return finish();
    };

    if (options.confirmPath && !isDefault && !RegYesNo(Reg::SuppressDatabasePrompt, false)) {
        if (!ui().askYesNo(QStringLiteral("Open database %1?").arg(native(path)),
                           MessageIcon::Question))
            return locateInstead();
    }

    // Only the default file itself, in its own spelling, is ever created.
    if (options.createDefault && path == QDir::cleanPath(def) && !QFileInfo::exists(path)) {
        try {
            CreateNewDatabase(path);
        } catch (const DbException& e) {
            m_lastError = e.message(); // reported by the failed open below
        }
    }

    if (!openFile(path)) {
        ui().showMessage(QStringLiteral("Error opening Tollkeeper database %1.").arg(native(path)),
                         MessageIcon::Exclamation);
        return locateInstead();
    }
    m_path = path;
    if (options.rememberPath)
        storePath(path);
    if (UpgradeDatabase(*m_db) != 0) {
        m_lastError = LastUpgradeError();
        closeDatabase();
        m_path.clear();
        return false;
    }
    return finish();
}

int CDatabaseSession::locate(bool fallback, const QString& name) {
    const QString chosen = !name.isEmpty()
                               ? name.trimmed()
                               : ui().chooseOpenFile(QStringLiteral("Locate Tollkeeper Database"),
                                                     kDatabaseFilter, m_path);
    if (chosen.isEmpty())
        return SystemResult::Cancelled;
    const bool server = Database::isServerName(chosen);
    const QString path = server ? chosen : QFileInfo(chosen).absoluteFilePath();
    const QString previous = m_path;

    closeDatabase();
    int rc = SystemResult::Failed;
    if (!server && !QFileInfo(path).isFile())
        m_lastError = QStringLiteral("The file does not exist.");
    else if (openFile(path)) {
        rc = UpgradeDatabase(*m_db);
        if (rc == 0) {
            storePath(path);
            return 0;
        }
        m_lastError = LastUpgradeError();
        closeDatabase();
    }
    if (rc != SystemResult::Cancelled)
        ui().showMessage(QStringLiteral("Unable to open %1.").arg(native(path)),
                         MessageIcon::Exclamation);

    if (!fallback || previous.isEmpty()) {
        m_path.clear();
        return rc;
    }
    if (!reopenOrShutDown(previous))
        return SystemResult::Failed;
    storePath(previous);
    return rc;
}

int CDatabaseSession::locateCommand(const QString& name) {
    if (!CheckNoDocumentsOpen())
        return SystemResult::Cancelled;
    return locate(true, name);
}

int CDatabaseSession::compact(bool confirm) {
    return maintain(Maintenance::Compact, confirm);
}

int CDatabaseSession::repair() {
    return maintain(Maintenance::Repair);
}

int CDatabaseSession::maintain(Maintenance kind, bool confirm) {
    const bool compacting = kind == Maintenance::Compact;
    const QString failed = compacting ? QStringLiteral("Failed to compact the database.")
                                      : QStringLiteral("Failed to repair the database.");
    if (!CheckNoDocumentsOpen())
        return SystemResult::Cancelled;
    if (!isOpen() || m_path.isEmpty()) {
        m_lastError = QStringLiteral("No database is open.");
        ui().showMessage(failed, MessageIcon::Exclamation);
        return SystemResult::Failed;
    }
    const bool server = Database::isServerName(m_path);
    if (server && !compacting) {
        ui().showMessage(QStringLiteral("The database server maintains its own files; there is "
                                        "nothing to repair."),
                         MessageIcon::Information);
        return SystemResult::Ok;
    }
    const QString question =
        compacting ? QStringLiteral("This operation will compact the database and possibly "
                                    "improve performance.  Do you wish to compact the database?")
                   : QStringLiteral("This operation will repair the database and possibly "
                                    "correct problems with the database, if it is damaged.  Do "
                                    "you wish to repair the database?");
    if (confirm && !ui().askYesNo(question, MessageIcon::Question))
        return SystemResult::Cancelled;

    CWaitCursor wait;
    ui().setStatusText(compacting ? QStringLiteral("Compacting database...")
                                  : QStringLiteral("Repairing database..."));
    if (server)
        return compactOnServer();
    const QString path = m_path;
    // The hold on the file outlives the connection: no other process opens it between the
    // close below and the reopen, while the copy is made and moved into place.
    std::shared_ptr<DatabaseHold> hold;
    try {
        hold = DatabaseHold::acquire(path);
    } catch (const DbException& e) {
        m_lastError = e.message();
        ui().showMessage(failed, MessageIcon::Exclamation);
        return SystemResult::Failed;
    }
    closeDatabase();

    bool ok = false;
    if (compacting) {
        const QString temp = reserveTempName();
        if (temp.isEmpty()) {
            m_lastError = QStringLiteral("No temporary file could be created in %1.")
                              .arg(native(QDir::tempPath()));
        } else {
            try {
                Database::compact(path, temp);
                FaultPoint("compact-copy-made");
                ok = CopyFileSafely(temp, path, &m_lastError,
                                    {.check = &VerifyDatabaseCopy, .mayReplaceDatabase = true});
            } catch (const DbException& e) {
                m_lastError = e.message();
            }
            QFile::remove(temp);
        }
    } else {
        try {
            QString original;
            const QStringList lost = Database::repair(path, &original);
            FaultPoint("repair-done");
            ok = lost.isEmpty();
            if (!ok)
                m_lastError =
                    QStringLiteral("Not everything could be read: %1. The original file is kept "
                                   "as %2.")
                        .arg(lost.join(QStringLiteral("; ")), native(original));
        } catch (const DbException& e) {
            m_lastError = e.message();
        }
    }
    if (!ok)
        ui().showMessage(failed, MessageIcon::Exclamation);

    // The session keeps its exclusive hold on the file, as after start-up.
    if (!reopenOrShutDown(path)) {
        ui().setStatusText(QString());
        return SystemResult::Failed;
    }
    ui().setStatusText(ok ? QStringLiteral("Done") : QString());
    return ok ? SystemResult::Ok : SystemResult::Failed;
}

int CDatabaseSession::compactOnServer() {
    // The server's own compact: the space of deleted rows is given back and the planner's
    // statistics are renewed. VACUUM cannot run inside a transaction.
    try {
        if (m_db->transactionDepth() > 0)
            throw DbException(QStringLiteral("A transaction is in progress."));
        const CExclusiveOperation compacting(*m_db, OperationKind::Compact);
        m_db->execute(QStringLiteral("VACUUM ANALYZE"));
    } catch (const DbException& e) {
        m_lastError = e.message();
        ui().setStatusText(QString());
        ui().showMessage(QStringLiteral("Failed to compact the database."),
                         MessageIcon::Exclamation);
        return SystemResult::Failed;
    }
    ui().setStatusText(QStringLiteral("Done"));
    return SystemResult::Ok;
}

int CDatabaseSession::backup(const QString& target) {
    if (Database::isServerName(m_path)) {
        // The message says why; there is no engine failure to add.
        m_lastError.clear();
        ui().showMessage(QStringLiteral("A database on a server is not backed up as a file here. "
                                        "Copy it into a database file with \"tollkeeper-cli copy "
                                        "--to FILE\" instead."),
                         MessageIcon::Exclamation);
        return SystemResult::Failed;
    }
    QString file = target;
    if (file.isEmpty())
        file = ui().chooseSaveFile(QStringLiteral("Backup Tollkeeper Database"), kDatabaseFilter,
                                   m_path);
    if (file.isEmpty())
        return SystemResult::Cancelled;
    if (file != QLatin1String("-"))
        file = QFileInfo(file).absoluteFilePath();

    CWaitCursor wait;
    ui().setStatusText(QStringLiteral("Backup up database to %1...").arg(native(file)));
    bool ok = false;
    if (!isOpen() || m_path.isEmpty()) {
        m_lastError = QStringLiteral("No database is open.");
    } else if (m_db->transactionDepth() > 0) {
        // The file is only consistent between transactions.
        m_lastError = QStringLiteral("A transaction is in progress.");
    } else {
        // The copy is checked before it replaces an earlier backup; the database itself and
        // its journal are refused as targets.
        ok = CopyFileSafely(m_path, file, &m_lastError, {.check = &VerifyDatabaseCopy});
    }
    if (!ok) {
        ui().showMessage(QStringLiteral("Database backup failed."), MessageIcon::Exclamation);
        ui().setStatusText(QString());
        return SystemResult::Failed;
    }
    ui().setStatusText(QStringLiteral("Done"));
    return 0;
}

int CDatabaseSession::openSampleDatabase() {
    const QString sample = sampleDatabasePath();
    if (!QFileInfo::exists(sample)) {
        ui().showMessage(QStringLiteral("The Tollkeeper sample database was not found.  You "
                                        "must rerun Tollkeeper Setup to install it."),
                         MessageIcon::Exclamation);
        return SystemResult::Failed;
    }
    if (!CloseAllDocuments())
        return SystemResult::Cancelled;

    const QString previous = m_path;
    closeDatabase();
    int rc = SystemResult::Failed;
    if (openFile(sample)) {
        rc = UpgradeDatabase(*m_db);
        if (rc == 0) {
            storePath(sample);
            RefreshViews();
            return 0;
        }
        m_lastError = LastUpgradeError();
        closeDatabase();
    }
    if (rc != SystemResult::Cancelled)
        ui().showMessage(QStringLiteral("Unable to open %1.").arg(native(sample)),
                         MessageIcon::Exclamation);
    // Never leave the process without its database: go back to the one that was open.
    if (previous.isEmpty()) {
        m_path.clear();
        return rc;
    }
    if (!reopenOrShutDown(previous))
        return SystemResult::Failed;
    storePath(previous);
    return rc;
}
