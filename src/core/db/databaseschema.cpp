#include "core/db/database.h"
#include "core/db/dbexception.h"
#include "core/db/transaction.h"

// Schema introspection and changes: the checks every engine shares, the field cache, and the
// engine's primitives behind them.

namespace {

constexpr int kNoSuchObject = 1; // the code SQLite gives a missing table or field

bool sameName(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

} // namespace

bool Database::tableExists(const QString& table) {
    return engine().tableExists(table);
}

QStringList Database::tableNames() {
    return engine().tableNames();
}

FieldList Database::fields(const QString& table) {
    // Every recordset asks for its table's fields; they change only with the schema.
    const int version = engine().schemaVersion();
    const QString cacheKey = table.toLower();
    const auto hit = m_fieldCache.constFind(cacheKey);
    if (hit != m_fieldCache.constEnd() && hit->schemaVersion == version)
        return hit->fields;
    const FieldList list = engine().readFields(table);
    if (list.isEmpty())
        throw DbException(QStringLiteral("The table '%1' does not exist.").arg(table),
                          kNoSuchObject);
    m_fieldCache.insert(cacheKey, CachedFields{version, list});
    return list;
}

bool Database::fieldExists(const QString& table, const QString& field) {
    if (!tableExists(table))
        return false;
    for (const FieldDef& f : fields(table))
        if (sameName(f.name, field))
            return true;
    return false;
}

FieldDef Database::fieldInfo(const QString& table, const QString& field) {
    for (const FieldDef& f : fields(table))
        if (sameName(f.name, field))
            return f;
    throw DbException(
        QStringLiteral("The field '%1' does not exist in table '%2'.").arg(field, table),
        kNoSuchObject);
}

QList<IndexDef> Database::indexes(const QString& table) {
    QList<IndexDef> list;
    for (const FieldDef& f : fields(table))
        if (f.kind == FieldKind::AutoNumber)
            list << IndexDef{QStringLiteral("PrimaryKey"), f.name, true, true};
    list << engine().readIndexes(table);
    return list;
}

// --- schema changes ----------------------------------------------------------------------

void Database::createTable(const QString& table, const FieldList& fieldList) {
    ensureOpen();
    if (fieldList.isEmpty())
        throw DbException(QStringLiteral("The table '%1' needs at least one field.").arg(table));
    int keys = 0;
    for (const FieldDef& f : fieldList)
        keys += f.kind == FieldKind::AutoNumber ? 1 : 0;
    if (keys > 1)
        throw DbException(
            QStringLiteral("The table '%1' can have only one AutoNumber field.").arg(table));
    if (tableExists(table))
        throw DbException(QStringLiteral("The table '%1' already exists.").arg(table));
    m_engine->createTable(table, fieldList);
    forgetFields();
}

void Database::deleteTable(const QString& table) {
    ensureOpen();
    if (!tableExists(table))
        throw DbException(QStringLiteral("The table '%1' does not exist.").arg(table));
    m_engine->dropTable(table);
    forgetFields();
}

void Database::addField(const QString& table, const FieldDef& field) {
    const FieldList current = fields(table);
    for (const FieldDef& f : current)
        if (sameName(f.name, field.name))
            throw DbException(QStringLiteral("The field '%1' already exists in table '%2'.")
                                  .arg(field.name, table));
    if (field.kind == FieldKind::AutoNumber) {
        addAutoNumberKey(table, field.name);
        return;
    }
    m_engine->addField(table, current, field);
    forgetFields();
}

void Database::deleteField(const QString& table, const QString& field) {
    const FieldList current = fields(table);
    const FieldDef* found = nullptr;
    for (const FieldDef& f : current)
        if (sameName(f.name, field))
            found = &f;
    if (!found)
        throw DbException(
            QStringLiteral("The field '%1' does not exist in table '%2'.").arg(field, table));
    if (current.size() == 1)
        throw DbException(
            QStringLiteral("The last field of table '%1' cannot be deleted.").arg(table));
    Transaction transaction(*this);
    if (found->kind != FieldKind::AutoNumber)
        for (const IndexDef& ix : indexes(table))
            if (sameName(ix.field, field))
                deleteIndex(table, ix.name);
    m_engine->dropField(table, current, *found);
    forgetFields();
    transaction.commit();
}

void Database::convertField(const QString& table, const FieldDef& newDef) {
    const FieldList current = fields(table);
    const FieldDef* found = nullptr;
    for (const FieldDef& f : current) {
        if (sameName(f.name, newDef.name))
            found = &f;
        else if (newDef.kind == FieldKind::AutoNumber && f.kind == FieldKind::AutoNumber)
            throw DbException(
                QStringLiteral("The table '%1' can have only one AutoNumber field.").arg(table));
    }
    if (!found)
        throw DbException(
            QStringLiteral("The field '%1' does not exist in table '%2'.").arg(newDef.name, table));
    FieldDef to = newDef;
    to.name = found->name;
    if (to.kind == FieldKind::Text && to.size <= 0)
        to.size = 255;
    m_engine->convertField(table, current, *found, to);
    forgetFields();
}

void Database::addAutoNumberKey(const QString& table, const QString& field) {
    const FieldList current = fields(table);
    for (const FieldDef& f : current) {
        if (f.kind == FieldKind::AutoNumber)
            throw DbException(
                QStringLiteral("The table '%1' already has the AutoNumber field '%2'.")
                    .arg(table, f.name));
        if (sameName(f.name, field))
            throw DbException(
                QStringLiteral("The field '%1' already exists in table '%2'.").arg(field, table));
    }
    m_engine->addAutoNumberKey(table, current, field);
    forgetFields();
}

qint64 Database::nextAutoNumber(const QString& table) {
    return engine().nextAutoNumber(table);
}

void Database::setNextAutoNumber(const QString& table, qint64 next) {
    engine().setNextAutoNumber(table, next);
}

void Database::createIndex(const QString& table, const QString& field, bool primary) {
    const FieldDef f = fieldInfo(table, field);
    if (primary) {
        // The AutoNumber key is the table's primary index already.
        if (f.kind == FieldKind::AutoNumber)
            return;
        for (const FieldDef& other : fields(table))
            if (other.kind == FieldKind::AutoNumber)
                throw DbException(
                    QStringLiteral("The table '%1' already has a primary index.").arg(table));
    }
    const QString name = primary ? QStringLiteral("PrimaryKey") : f.name + QLatin1String("_index");
    for (const IndexDef& ix : indexes(table))
        if (sameName(ix.name, name))
            throw DbException(
                QStringLiteral("The index '%1' already exists on table '%2'.").arg(name, table));
    m_engine->createIndex(table, name, f.name, primary);
}

void Database::deleteIndex(const QString& table, const QString& indexName) {
    for (const IndexDef& ix : indexes(table)) {
        if (!sameName(ix.name, indexName))
            continue;
        if (ix.primary && fieldInfo(table, ix.field).kind == FieldKind::AutoNumber)
            return; // the AutoNumber key stays the row key of its table
        m_engine->dropIndex(table, ix);
        return;
    }
    throw DbException(
        QStringLiteral("The index '%1' does not exist on table '%2'.").arg(indexName, table));
}
