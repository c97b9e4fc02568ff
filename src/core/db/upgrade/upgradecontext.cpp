#include "core/db/upgrade/upgradecontext.h"

#include "core/db/database.h"
#include "core/db/dbexception.h"
#include "core/db/schema.h"

namespace {

bool g_consented = false;

// Index descriptions kept per table, as the engine of earlier releases allowed.
constexpr int kMaxSavedIndexes = 5;

} // namespace

void ClearUpgradeConsent() {
    g_consented = false;
}

UpgradeContext::UpgradeContext(Database& db, UpgradeHost& host, const UpgradeOptions& options)
    : m_db(db), m_host(host), m_options(options) {}

void UpgradeContext::mark(int level, int step) {
    m_marker = -(level * 65536 + step);
    m_host.progress();
    if (m_options.failAt != 0 && m_options.failAt == -m_marker)
        throw DbException(
            QStringLiteral("Failure injected at level %1 step %2.").arg(level).arg(step));
}

void UpgradeContext::note(const QString& what) {
    if (m_options.onStep) {
        const int code = -m_marker;
        m_options.onStep(code >> 16, code & 0xFFFF, what);
    }
}

bool UpgradeContext::consent(int kind) {
    if (g_consented || m_options.dryRun)
        return true;
    QString text = QStringLiteral("Tollkeeper is going to upgrade its database.\n");
    if (kind == 2)
        text += QStringLiteral("\nAll invoice numbers will be altered.");
    if (kind == 2 || kind == 3) {
        text += QStringLiteral(
            "\nBilling data will be written to a text file before being permanently deleted "
            "from the Tollkeeper database.  You may refer to the data in the text file when "
            "generating new-style billing plans.");
        text += QStringLiteral(
            "\n\nWe recommend that you backup the file \"tollk.mdb\" before proceeding.");
    } else {
        text += QStringLiteral("\n\nWe recommend that you proceed with the update.");
    }
    text += QStringLiteral("\n\nYou will no longer be able to run previous version of "
                           "Tollkeeper.  Do you want to proceed?");
    if (!m_host.askConsent(text))
        return false;
    g_consented = true;
    return true;
}

bool UpgradeContext::tableExists(const QString& table) {
    return m_db.tableExists(table);
}

bool UpgradeContext::fieldExists(const QString& table, const QString& field) {
    return m_db.tableExists(table) && m_db.fieldExists(table, field);
}

void UpgradeContext::addField(const QString& table, const FieldDef& field) {
    if (m_db.fieldExists(table, field.name))
        return;
    FieldDef f = field;
    // Zero length is allowed only for text that may be empty.
    if (f.kind != FieldKind::Text && f.kind != FieldKind::Memo)
        f.allowZeroLength = false;
    m_db.addField(table, f);
    note(QStringLiteral("add field %1.%2").arg(table, field.name));
}

void UpgradeContext::addCurrentField(const QString& table, const QString& field) {
    addField(table, CurrentField(table, field));
}

void UpgradeContext::dropField(const QString& table, const QString& field) {
    if (!m_db.fieldExists(table, field))
        return;
    m_db.deleteField(table, field);
    note(QStringLiteral("delete field %1.%2").arg(table, field));
}

void UpgradeContext::createCurrentTable(const QString& table) {
    CreateTable(m_db, CurrentTable(table));
    note(QStringLiteral("create table %1").arg(table));
}

void UpgradeContext::createIndex(const QString& table, const QString& field, bool primary) {
    const QString name = primary ? QStringLiteral("PrimaryKey") : field + QLatin1String("_index");
    for (const IndexDef& ix : m_db.indexes(table))
        if (ix.name.compare(name, Qt::CaseInsensitive) == 0)
            return;
    m_db.createIndex(table, field, primary);
    note(QStringLiteral("create index %1 on %2.%3").arg(name, table, field));
}

void UpgradeContext::exec(const QString& sql) {
    const int rows = m_db.execute(sql);
    note(QStringLiteral("%1 (%2 rows)").arg(sql).arg(rows));
}

QList<IndexDef> UpgradeContext::saveAndDeleteIndexes(const QString& table) {
    QList<IndexDef> saved = m_db.indexes(table).mid(0, kMaxSavedIndexes);
    for (qsizetype i = saved.size() - 1; i >= 0; --i) {
        m_db.deleteIndex(table, saved[i].name);
        note(QStringLiteral("delete index %1 of %2").arg(saved[i].name, table));
    }
    return saved;
}

void UpgradeContext::restoreIndexes(const QString& table, const QList<IndexDef>& saved) {
    for (const IndexDef& ix : saved)
        createIndex(table, ix.field, ix.primary);
}
