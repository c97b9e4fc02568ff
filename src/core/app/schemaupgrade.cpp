#include "core/app/schemaupgrade.h"

#include "core/app/busystate.h"
#include "core/app/settingsvalues.h"
#include "core/app/userinterface.h"
#include "core/db/currency.h"
#include "core/db/database.h"
#include "core/db/dbexception.h"
#include "core/db/schema.h"

#include <QDir>
#include <QLocale>
#include <QStringList>

namespace {

const QString kDBInfo = QStringLiteral("DBInfo");

// Progress marker: minus (level * 65536 + step) of the step being run.
int g_marker = 0;
bool g_versionFound = false;
int g_foundVersion = -1;
QString g_lastError;

void mark(int level, int step) {
    g_marker = -(level * 65536 + step);
}

int release(int version) {
    return version & 0xFFFF;
}

int build(int version) {
    return (version >> 16) & 0xFFFF;
}

void addFieldIfMissing(Database& db, const QString& field) {
    if (!db.fieldExists(kDBInfo, field))
        db.addField(kDBInfo, CurrentField(kDBInfo, field));
}

// The earlier-layout minimum payment, kept as text in the user's number format.
Currency registryMinimum() {
    const QString text = RegText(Reg::Minimum).trimmed();
    bool ok = false;
    double amount = QLocale().toDouble(text, &ok);
    if (!ok)
        amount = QLocale::c().toDouble(text, &ok);
    return ok ? Currency::fromDouble(amount) : Currency::fromUnits(0);
}

// Level 0: the DBInfo table with all its fields and its one row. Returns the stored version
// (0 for a new row). Throws DbException.
int upgradeLevel0(Database& db) {
    mark(0, 0);
    const bool existed = db.tableExists(kDBInfo);
    if (!existed)
        db.createTable(kDBInfo, {CurrentField(kDBInfo, QStringLiteral("Version"))});
    mark(0, 1);
    if (existed)
        addFieldIfMissing(db, QStringLiteral("Version"));
    mark(0, 2);
    if (!db.fieldExists(kDBInfo, QStringLiteral("LogoURL"))) {
        addFieldIfMissing(db, QStringLiteral("LogoURL"));
        addFieldIfMissing(db, QStringLiteral("Company Name"));
    }
    mark(0, 3);
    bool addedMinimum = false;
    if (!db.fieldExists(kDBInfo, QStringLiteral("PrepaidMinimum"))) {
        addFieldIfMissing(db, QStringLiteral("PrepaidMinimum"));
        addFieldIfMissing(db, QStringLiteral("MinimumPayment"));
        addedMinimum = true;
    }
    mark(0, 4);
    const QVariant rows = db.scalar(QStringLiteral("SELECT COUNT(*) FROM DBInfo"));
    mark(0, 5);
    if (rows.toLongLong() == 0)
        db.execute(QStringLiteral("INSERT INTO DBInfo ([Version]) VALUES (0)"));
    mark(0, 6);
    if (addedMinimum) {
        db.execute(QStringLiteral("UPDATE DBInfo SET [PrepaidMinimum] = ?, [MinimumPayment] = ?"),
                   {RegYesNo(Reg::Prepay), QVariant::fromValue(registryMinimum())});
    }
    mark(0, 7);
    const QVariant version = db.scalar(QStringLiteral("SELECT [Version] FROM DBInfo"));
    mark(0, 8);
    return version.isNull() ? 0 : version.toInt();
}

// The first level of the earlier layouts that a database of this version needs; 0 for none.
int firstLevelNeeded(int v) {
    if (v < 1)
        return 1;
    const int rel = release(v);
    const int bld = build(v);
    if (rel < 110 || (rel == 110 && bld <= 12))
        return 6;
    if (rel < 200 || (rel == 200 && bld < 44))
        return 7;
    if (rel < 203 || (rel == 203 && bld < 20))
        return 8;
    if (rel < 205)
        return 9;
    return 0;
}

// The database already holds every table and field of the current layout.
bool hasCurrentLayout(Database& db) {
    for (const TableSchema& table : CurrentSchema()) {
        if (!db.tableExists(table.name))
            return false;
        for (const FieldDef& field : table.fields)
            if (!db.fieldExists(table.name, field.name))
                return false;
    }
    return true;
}

// The levels of earlier layouts. Their conversions are not part of this program yet: a
// database whose version asks for them is accepted when it already has the current layout
// (for example one whose DBInfo row was lost), and refused otherwise, without changes.
int upgradeEarlierLevels(Database& db, int v) {
    const int level = firstLevelNeeded(v);
    if (level == 0)
        return 0;
    mark(level, 0);
    if (hasCurrentLayout(db))
        return 0;
    g_lastError = QStringLiteral("The database has an earlier layout (version %1) that this "
                                 "program cannot convert.")
                      .arg(v);
    return SystemResult::Failed;
}

void reportFailure(Database& db) {
    const int code = -g_marker;
    ui().showMessage(QStringLiteral("Error updating Tollkeeper database (Level: %1 Step: %2).")
                         .arg(code >> 16)
                         .arg(code & 0xFFFF),
                     MessageIcon::Exclamation);
    try {
        db.execute(QStringLiteral("UPDATE DBInfo SET [Version] = ?"), {g_marker});
    } catch (const DbException&) {
        // The failure itself was reported; a database that cannot take the marker reruns
        // the levels anyway because its version was not advanced.
    }
}

} // namespace

int ProgramVersionCode() {
    const QStringList parts = QStringLiteral(TK_VERSION).split(QLatin1Char('.'));
    const int major = parts.value(0).toInt();
    const int minor = parts.value(2).toInt();
    const int bld = parts.value(3).toInt();
    return bld * 65536 + major * 100 + minor;
}

namespace {

// True when version a is later than version b (release first, then build).
bool laterVersion(int a, int b) {
    return release(a) != release(b) ? release(a) > release(b) : build(a) > build(b);
}

// Refuses, before anything is written, a file that another program's tables fill and one
// that a newer version of this program wrote (rewriting its version would hide that).
bool refusedBeforeUpgrade(Database& db) {
    if (!db.tableExists(kDBInfo)) {
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
    if (!db.fieldExists(kDBInfo, QStringLiteral("Version")))
        return false;
    const int stored = db.scalar(QStringLiteral("SELECT [Version] FROM DBInfo")).toInt();
    const int ours = std::max(ProgramVersionCode(), int(kCurrentDbVersion));
    if (stored <= 0 || !laterVersion(stored, ours))
        return false;
    g_lastError = QStringLiteral("%1 was written by a newer version of Tollkeeper (version "
                                 "%2.%3); this version cannot use it.")
                      .arg(QDir::toNativeSeparators(db.path()))
                      .arg(release(stored))
                      .arg(build(stored));
    return true;
}

} // namespace

int UpgradeDatabase(Database& db) {
    CProcessScope busy(QString(), 0);
    g_lastError.clear();
    try {
        if (refusedBeforeUpgrade(db)) {
            ui().showMessage(g_lastError, MessageIcon::Exclamation);
            return SystemResult::Failed;
        }
    } catch (const DbException& e) {
        g_lastError = e.message();
        ui().showMessage(g_lastError, MessageIcon::Exclamation);
        return SystemResult::Failed;
    }
    int version = 0;
    try {
        version = upgradeLevel0(db);
    } catch (const DbException& e) {
        g_lastError = e.message();
        reportFailure(db);
        return SystemResult::Failed;
    }
    if (!g_versionFound) {
        g_versionFound = true;
        g_foundVersion = version;
    }

    int rc = 0;
    try {
        rc = upgradeEarlierLevels(db, version);
    } catch (const DbException& e) {
        g_lastError = e.message();
        rc = SystemResult::Failed;
    }
    if (rc == SystemResult::Cancelled)
        return rc;
    if (rc != 0) {
        reportFailure(db);
        return rc;
    }

    // A file already at this version is not written, so read-only commands work on a
    // read-only file.
    const int current = std::max(ProgramVersionCode(), int(kCurrentDbVersion));
    try {
        if (version != current)
            db.execute(QStringLiteral("UPDATE DBInfo SET [Version] = ?"), {current});
    } catch (const DbException& e) {
        g_lastError = e.message();
        ui().showMessage(QStringLiteral("Error updating database version."),
                         MessageIcon::Exclamation);
        return SystemResult::Failed;
    }
    return 0;
}

int VersionFoundBeforeUpgrade() {
    return g_foundVersion;
}

QString LastUpgradeError() {
    return g_lastError;
}

void ResetUpgradeState() {
    g_marker = 0;
    g_versionFound = false;
    g_foundVersion = -1;
    g_lastError.clear();
}
