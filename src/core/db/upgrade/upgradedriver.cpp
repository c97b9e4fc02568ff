#include "core/db/upgrade/upgradedriver.h"

#include "core/app/resultcodes.h"
#include "core/db/database.h"
#include "core/db/dbexception.h"
#include "core/db/schema.h"
#include "core/db/transaction.h"
#include "core/db/upgrade/upgradecontext.h"
#include "core/db/upgrade/upgradelevels.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <algorithm>

namespace {

bool g_versionFound = false;
int g_foundVersion = -1;
QString g_lastError;
QString g_lastCopy;

int releaseOf(int version) {
    return version & 0xFFFF;
}

int buildOf(int version) {
    return (version >> 16) & 0xFFFF;
}

bool needsLevel6(int v) {
    return v < 0 || releaseOf(v) < 110 || (releaseOf(v) == 110 && buildOf(v) <= 12);
}

bool needsLevel7(int v) {
    return v < 0 || releaseOf(v) < 200 || (releaseOf(v) == 200 && buildOf(v) < 44);
}

bool needsLevel8(int v) {
    return v < 0 || releaseOf(v) < 203 || (releaseOf(v) == 203 && buildOf(v) < 20);
}

bool needsLevel9(int v) {
    return v < 0 || releaseOf(v) < 205;
}

// The rate fields of the first billing model stay while their summary file could not be
// written; level 7 then runs again at every opening until it can.
bool rateFieldsLeft(Database& db) {
    return db.tableExists(QStringLiteral("Users")) &&
           db.fieldExists(QStringLiteral("Users"), QStringLiteral("HRate"));
}

// The stored version, read without changing anything: 0 when there is none yet.
int storedVersion(Database& db) {
    if (!db.tableExists(QStringLiteral("DBInfo")) ||
        !db.fieldExists(QStringLiteral("DBInfo"), QStringLiteral("Version")))
        return 0;
    const QVariant v = db.scalar(QStringLiteral("SELECT [Version] FROM DBInfo"));
    return v.isNull() ? 0 : v.toInt();
}

bool needsEarlierLevels(Database& db, int v) {
    return v < 1 || needsLevel6(v) || needsLevel7(v) || needsLevel8(v) || needsLevel9(v) ||
           rateFieldsLeft(db);
}

// Writes the copy of the file as it is now beside it; replaces a copy of the same name (the
// file has not changed since an earlier failed attempt wrote it).
bool writeCopy(const QString& path, int version, QString* copy, QString* error) {
    const QFileInfo info(path);
    *copy = info.dir().filePath(info.fileName() + QStringLiteral(".before-upgrade-") +
                                QString::number(version));
    if (QFile::exists(*copy) && !QFile::remove(*copy)) {
        *error = QStringLiteral("The old copy %1 cannot be replaced.").arg(*copy);
        return false;
    }
    QFile source(path);
    if (!source.copy(*copy)) {
        *error = source.errorString();
        return false;
    }
    if (QFileInfo(*copy).size() != info.size()) {
        QFile::remove(*copy);
        *error = QStringLiteral("The copy %1 is incomplete.").arg(*copy);
        return false;
    }
    return true;
}

int runLevels(UpgradeContext& ctx, int v) {
    using Level = int (*)(UpgradeContext&);
    QList<Level> levels;
    if (v < 1) {
        ClearUpgradeConsent();
        levels << &UpgradeLevel1 << &UpgradeLevel2 << &UpgradeLevel3 << &UpgradeLevel4
               << &UpgradeLevel5;
    }
    if (needsLevel6(v))
        levels << &UpgradeLevel6;
    if (needsLevel7(v) || rateFieldsLeft(ctx.db()))
        levels << &UpgradeLevel7;
    if (needsLevel8(v))
        levels << &UpgradeLevel8;
    if (needsLevel9(v))
        levels << &UpgradeLevel9;
    for (Level level : levels) {
        const int rc = level(ctx);
        if (rc != 0)
            return rc;
    }
    return 0;
}

// The version this program writes.
int currentVersion();

// True when version a is later than version b (release first, then build).
bool laterVersion(int a, int b) {
    return releaseOf(a) != releaseOf(b) ? releaseOf(a) > releaseOf(b) : buildOf(a) > buildOf(b);
}

// Refuses, before anything is written, a file that another program's tables fill and one
// that a newer version of this program wrote (rewriting its version would hide that).
bool refusedBeforeUpgrade(Database& db) {
    if (!db.tableExists(QStringLiteral("DBInfo"))) {
        // An older file of ours may lack DBInfo, never every one of our tables.
        const QStringList tables = db.tableNames();
        if (tables.isEmpty())
            return false;
        for (const TableSchema& table : CurrentSchema())
            if (tables.contains(table.name, Qt::CaseInsensitive))
                return false;
        g_lastError = QStringLiteral("%1 is not a Tollkeeper database: it holds the tables of "
                                     "another program.")
                          .arg(QDir::toNativeSeparators(db.path()));
        return true;
    }
    const int stored = storedVersion(db);
    if (stored <= 0 || !laterVersion(stored, currentVersion()))
        return false;
    g_lastError = QStringLiteral("%1 was written by a newer version of Tollkeeper (version "
                                 "%2.%3); this version cannot use it.")
                      .arg(QDir::toNativeSeparators(db.path()))
                      .arg(releaseOf(stored))
                      .arg(buildOf(stored));
    return true;
}

int currentVersion() {
    return std::max(ProgramVersionCode(), int(kCurrentDbVersion));
}

} // namespace

int ProgramVersionCode() {
    const QStringList parts = QStringLiteral(TK_VERSION).split(QLatin1Char('.'));
    const int major = parts.value(0).toInt();
    const int minor = parts.value(2).toInt();
    const int bld = parts.value(3).toInt();
    return bld * 65536 + major * 100 + minor;
}

int RunSchemaUpgrade(Database& db, UpgradeHost& host, const UpgradeOptions& options) {
    g_lastError.clear();
    g_lastCopy.clear();
    UpgradeContext ctx(db, host, options);
    int rc = 0;
    bool versionStored = true;
    try {
        if (refusedBeforeUpgrade(db)) {
            host.showMessage(g_lastError, true);
            return SystemResult::Failed;
        }
        if (!options.dryRun) {
            const int before = storedVersion(db);
            QString copy, error;
            if (needsEarlierLevels(db, before) && !writeCopy(db.path(), before, &copy, &error)) {
                g_lastError = error;
                host.showMessage(QStringLiteral("Unable to write the copy %1 of the database "
                                                "before upgrading it: %2")
                                     .arg(QDir::toNativeSeparators(copy), error),
                                 true);
                return SystemResult::Failed;
            }
            g_lastCopy = copy;
        }
        Transaction transaction(db);
        const int v = UpgradeLevel0(ctx);
        if (!g_versionFound) {
            g_versionFound = true;
            g_foundVersion = v;
        }
        rc = runLevels(ctx, v);
        if (rc == 0) {
            // A file already at this version is not written, so read-only commands work on
            // a read-only file.
            versionStored = false;
            if (v != currentVersion())
                db.execute(QStringLiteral("UPDATE DBInfo SET [Version] = ?"), {currentVersion()});
            versionStored = true;
            if (options.dryRun)
                transaction.rollback();
            else
                transaction.commit();
        }
        // A declined upgrade leaves the guard to roll back what level 0 did.
    } catch (const DbException& e) {
        g_lastError = e.message();
        rc = SystemResult::Failed;
    }
    if (rc != SystemResult::Failed)
        return rc;
    if (!versionStored) {
        host.showMessage(QStringLiteral("Error updating database version."), true);
        return rc;
    }
    const int code = -ctx.marker();
    QString text = QStringLiteral("Error updating Tollkeeper database (Level: %1 Step: %2).")
                       .arg(code >> 16)
                       .arg(code & 0xFFFF);
    if (!g_lastCopy.isEmpty())
        text += QStringLiteral("\n\nThe database was left as it was opened; a copy of it as "
                               "it was is kept in %1.")
                    .arg(QDir::toNativeSeparators(g_lastCopy));
    host.showMessage(text, true);
    return rc;
}

int VersionFoundBeforeUpgrade() {
    return g_foundVersion;
}

QString LastUpgradeError() {
    return g_lastError;
}

QString LastUpgradeCopy() {
    return g_lastCopy;
}

void ResetUpgradeState() {
    g_versionFound = false;
    g_foundVersion = -1;
    g_lastError.clear();
    g_lastCopy.clear();
    ClearUpgradeConsent();
}
