#include "core/db/database.h"
#include "core/db/dbexception.h"
#include "core/db/sqlident.h"
#include "core/db/transaction.h"

#include <QRegularExpression>
#include <sqlite3.h>

// Schema introspection and changes: tables, fields, indexes, conversions and the rebuild of a
// table that SQLite cannot change in place.

namespace {

QString quoteLiteral(const QString& text) {
    QString t = text;
    t.replace(QLatin1Char('\''), QLatin1String("''"));
    return QLatin1Char('\'') + t + QLatin1Char('\'');
}

// A default is written bare when it is a plain number, otherwise as a quoted literal.
QString defaultLiteral(const QString& value) {
    static const QRegularExpression number(QStringLiteral("^-?\\d+(\\.\\d+)?$"));
    return number.match(value).hasMatch() ? value : quoteLiteral(value);
}

QString unquoteDefault(const QString& sqlDefault) {
    QString d = sqlDefault.trimmed();
    if (d.size() >= 2 && d.startsWith(QLatin1Char('\'')) && d.endsWith(QLatin1Char('\''))) {
        d = d.mid(1, d.size() - 2);
        d.replace(QLatin1String("''"), QLatin1String("'"));
    } else if (d.size() >= 2 && d.startsWith(QLatin1Char('(')) && d.endsWith(QLatin1Char(')'))) {
        return unquoteDefault(d.mid(1, d.size() - 2));
    }
    return d;
}

QString columnSql(const FieldDef& f) {
    QString sql = quoteIdentifier(f.name) + QLatin1Char(' ') + declaredTypeFor(f);
    if (f.kind == FieldKind::AutoNumber)
        return sql;
    if (f.required)
        sql += QLatin1String(" NOT NULL");
    if (f.hasDefault)
        sql += QLatin1String(" DEFAULT ") + defaultLiteral(f.defaultValue);
    // Text compares without regard to case, as the program's look-ups expect: a session
    // of "Alice" belongs to the customer "alice", and plan names are unique ignoring case.
    if (f.kind == FieldKind::Text || f.kind == FieldKind::Memo)
        sql += QLatin1String(" COLLATE NOCASE");
    return sql;
}

QString createTableSql(const QString& table, const FieldList& fields) {
    QStringList cols;
    for (const FieldDef& f : fields)
        cols << columnSql(f);
    return QStringLiteral("CREATE TABLE %1 (%2)")
        .arg(quoteIdentifier(table), cols.join(QLatin1String(", ")));
}

// Engine name of a secondary or primary index: index names are global in the file, so they
// carry their table.
QString engineIndexName(const QString& table, const QString& indexName) {
    return table + QLatin1Char('.') + indexName;
}

bool isText(FieldKind k) {
    return k == FieldKind::Text || k == FieldKind::Memo;
}
bool isWhole(FieldKind k) {
    return k == FieldKind::Long || k == FieldKind::Integer || k == FieldKind::AutoNumber;
}
bool isFloating(FieldKind k) {
    return k == FieldKind::Single || k == FieldKind::Double || k == FieldKind::DateTime;
}

// Expression that yields the value of column c (of kind `from`) as a value of `to`.
QString conversionExpr(const FieldDef& from, const FieldDef& to) {
    const QString c = quoteIdentifier(from.name);
    const FieldKind f = from.kind;
    const FieldKind t = to.kind;
    if (isText(t)) {
        QString e;
        if (isText(f))
            e = c;
        else if (f == FieldKind::Currency)
            e = QStringLiteral("CAST(%1 / 10000.0 AS TEXT)").arg(c);
        else
            e = QStringLiteral("CAST(%1 AS TEXT)").arg(c);
        if (t == FieldKind::Text && (!isText(f) || f == FieldKind::Memo || from.size > to.size))
            e = QStringLiteral("substr(%1, 1, %2)").arg(e).arg(to.size > 0 ? to.size : 255);
        return e;
    }
    if (t == FieldKind::YesNo) {
        const QString v = f == FieldKind::YesNo ? c : QStringLiteral("CAST(%1 AS REAL)").arg(c);
        return QStringLiteral("CASE WHEN %1 IS NULL THEN NULL WHEN %2 <> 0 THEN 1 ELSE 0 END")
            .arg(c, v);
    }
    if (isWhole(t)) {
        if (isWhole(f) || f == FieldKind::YesNo)
            return c;
        if (f == FieldKind::Currency)
            return QStringLiteral("CAST(ROUND(%1 / 10000.0) AS INTEGER)").arg(c);
        return QStringLiteral("CAST(ROUND(CAST(%1 AS REAL)) AS INTEGER)").arg(c);
    }
    if (isFloating(t)) {
        if (f == FieldKind::Currency)
            return QStringLiteral("(%1 / 10000.0)").arg(c);
        return QStringLiteral("CAST(%1 AS REAL)").arg(c);
    }
    if (t == FieldKind::Currency) {
        if (f == FieldKind::Currency)
            return c;
        return QStringLiteral("CAST(ROUND(CAST(%1 AS REAL) * 10000) AS INTEGER)").arg(c);
    }
    if (t == FieldKind::LongBinary)
        return f == FieldKind::LongBinary ? c : QStringLiteral("CAST(%1 AS BLOB)").arg(c);
    return c;
}

} // namespace

// --- introspection -----------------------------------------------------------------------

bool Database::tableExists(const QString& table) {
    return scalar(QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type = 'table' AND "
                                 "name = ? COLLATE NOCASE"),
                  {table})
               .toLongLong() > 0;
}

QStringList Database::tableNames() {
    QStringList names;
    Statement st =
        prepare(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table' "
                               "AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\' ORDER BY name"));
    while (st.next())
        names << st.value(0).toString();
    return names;
}

FieldList Database::fields(const QString& table) {
    // Every recordset asks for its table's fields; they change only with the schema.
    const int version = schemaVersion();
    const QString cacheKey = table.toLower();
    const auto hit = m_fieldCache.constFind(cacheKey);
    if (hit != m_fieldCache.constEnd() && hit->schemaVersion == version)
        return hit->fields;
    FieldList list;
    Statement st = prepare(QStringLiteral(
        "SELECT name, type, \"notnull\", dflt_value, pk FROM pragma_table_info(?) ORDER BY cid"));
    st.bind(1, table);
    while (st.next()) {
        FieldDef f;
        f.name = st.value(0).toString();
        const QString declared = st.value(1).toString();
        f.kind = fieldKindFromDeclared(declared, &f.size, &f.allowZeroLength);
        if (st.value(4).toLongLong() > 0 &&
            declared.trimmed().toUpper() == QLatin1String("INTEGER"))
            f.kind = FieldKind::AutoNumber;
        f.required = f.kind != FieldKind::AutoNumber && st.value(2).toLongLong() != 0;
        const QVariant def = st.value(3);
        if (def.isValid()) {
            f.hasDefault = true;
            f.defaultValue = unquoteDefault(def.toString());
        }
        list << f;
    }
    if (list.isEmpty())
        throw DbException(QStringLiteral("The table '%1' does not exist.").arg(table),
                          SQLITE_ERROR);
    m_fieldCache.insert(cacheKey, CachedFields{version, list});
    return list;
}

bool Database::fieldExists(const QString& table, const QString& field) {
    if (!tableExists(table))
        return false;
    for (const FieldDef& f : fields(table))
        if (f.name.compare(field, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

FieldDef Database::fieldInfo(const QString& table, const QString& field) {
    for (const FieldDef& f : fields(table))
        if (f.name.compare(field, Qt::CaseInsensitive) == 0)
            return f;
    throw DbException(
        QStringLiteral("The field '%1' does not exist in table '%2'.").arg(field, table),
        SQLITE_ERROR);
}

QList<IndexDef> Database::indexes(const QString& table) {
    QList<IndexDef> list;
    for (const FieldDef& f : fields(table))
        if (f.kind == FieldKind::AutoNumber)
            list << IndexDef{QStringLiteral("PrimaryKey"), f.name, true, true};
    const QString prefix = table + QLatin1Char('.');
    Statement st = prepare(QStringLiteral(
        "SELECT i.name, i.\"unique\", i.origin FROM pragma_index_list(?) i "
        "LEFT JOIN sqlite_master m ON m.type = 'index' AND m.name = i.name ORDER BY m.rowid"));
    st.bind(1, table);
    QList<QPair<QString, bool>> names;
    while (st.next()) {
        if (st.value(2).toString() != QLatin1String("c"))
            continue; // the engine's own indexes of constraints
        names.append({st.value(0).toString(), st.value(1).toLongLong() != 0});
    }
    for (const auto& [name, unique] : names) {
        IndexDef d;
        d.name = name.startsWith(prefix, Qt::CaseInsensitive) ? name.mid(prefix.size()) : name;
        d.unique = unique;
        d.primary = d.name == QLatin1String("PrimaryKey");
        d.field =
            scalar(QStringLiteral("SELECT name FROM pragma_index_info(?) ORDER BY seqno"), {name})
                .toString();
        list << d;
    }
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
    execute(createTableSql(table, fieldList));
}

void Database::deleteTable(const QString& table) {
    ensureOpen();
    if (!tableExists(table))
        throw DbException(QStringLiteral("The table '%1' does not exist.").arg(table));
    execute(QStringLiteral("DROP TABLE %1").arg(quoteIdentifier(table)));
}

void Database::addField(const QString& table, const FieldDef& field) {
    const FieldList current = fields(table);
    for (const FieldDef& f : current)
        if (f.name.compare(field.name, Qt::CaseInsensitive) == 0)
            throw DbException(QStringLiteral("The field '%1' already exists in table '%2'.")
                                  .arg(field.name, table));
    if (field.kind == FieldKind::AutoNumber) {
        addAutoNumberKey(table, field.name);
        return;
    }
    if (!field.required || field.hasDefault) {
        execute(QStringLiteral("ALTER TABLE %1 ADD COLUMN %2")
                    .arg(quoteIdentifier(table), columnSql(field)));
        return;
    }
    // A required field without default cannot be added in place; rows that exist already get
    // the empty value of its kind, as the field may not hold Null.
    FieldList next = current;
    next << field;
    QList<QPair<QString, QString>> copy;
    for (const FieldDef& f : current)
        copy.append({f.name, quoteIdentifier(f.name)});
    switch (field.kind) {
    case FieldKind::Text:
    case FieldKind::Memo:
        copy.append({field.name, QStringLiteral("''")});
        break;
    case FieldKind::LongBinary:
        copy.append({field.name, QStringLiteral("X''")});
        break;
    default:
        copy.append({field.name, QStringLiteral("0")});
        break;
    }
    rebuildTable(table, next, copy);
}

void Database::deleteField(const QString& table, const QString& field) {
    const FieldList current = fields(table);
    FieldList next;
    bool found = false;
    bool key = false;
    for (const FieldDef& f : current) {
        if (f.name.compare(field, Qt::CaseInsensitive) == 0) {
            found = true;
            key = f.kind == FieldKind::AutoNumber;
        } else {
            next << f;
        }
    }
    if (!found)
        throw DbException(
            QStringLiteral("The field '%1' does not exist in table '%2'.").arg(field, table));
    if (next.isEmpty())
        throw DbException(
            QStringLiteral("The last field of table '%1' cannot be deleted.").arg(table));
    if (key) {
        QList<QPair<QString, QString>> copy;
        for (const FieldDef& f : next)
            copy.append({f.name, quoteIdentifier(f.name)});
        rebuildTable(table, next, copy);
        return;
    }
    Transaction transaction(*this);
    for (const IndexDef& ix : indexes(table))
        if (ix.field.compare(field, Qt::CaseInsensitive) == 0)
            deleteIndex(table, ix.name);
    execute(QStringLiteral("ALTER TABLE %1 DROP COLUMN %2")
                .arg(quoteIdentifier(table), quoteIdentifier(field)));
    transaction.commit();
}

void Database::convertField(const QString& table, const FieldDef& newDef) {
    const FieldList current = fields(table);
    FieldList next;
    QList<QPair<QString, QString>> copy;
    bool found = false;
    for (const FieldDef& f : current) {
        if (f.name.compare(newDef.name, Qt::CaseInsensitive) == 0) {
            found = true;
            FieldDef d = newDef;
            d.name = f.name;
            if (d.kind == FieldKind::Text && d.size <= 0)
                d.size = 255;
            next << d;
            copy.append({d.name, conversionExpr(f, d)});
        } else {
            if (newDef.kind == FieldKind::AutoNumber && f.kind == FieldKind::AutoNumber)
                throw DbException(
                    QStringLiteral("The table '%1' can have only one AutoNumber field.")
                        .arg(table));
            next << f;
            copy.append({f.name, quoteIdentifier(f.name)});
        }
    }
    if (!found)
        throw DbException(
            QStringLiteral("The field '%1' does not exist in table '%2'.").arg(newDef.name, table));
    rebuildTable(table, next, copy);
}

void Database::addAutoNumberKey(const QString& table, const QString& field) {
    const FieldList current = fields(table);
    QList<QPair<QString, QString>> copy;
    for (const FieldDef& f : current) {
        if (f.kind == FieldKind::AutoNumber)
            throw DbException(
                QStringLiteral("The table '%1' already has the AutoNumber field '%2'.")
                    .arg(table, f.name));
        if (f.name.compare(field, Qt::CaseInsensitive) == 0)
            throw DbException(
                QStringLiteral("The field '%1' already exists in table '%2'.").arg(field, table));
        copy.append({f.name, quoteIdentifier(f.name)});
    }
    FieldList next = current;
    next << FieldDef(field, FieldKind::AutoNumber);
    copy.append({field, QStringLiteral("row_number() OVER (ORDER BY rowid)")});
    rebuildTable(table, next, copy);
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
        if (ix.name.compare(name, Qt::CaseInsensitive) == 0)
            throw DbException(
                QStringLiteral("The index '%1' already exists on table '%2'.").arg(name, table));
    execute(QStringLiteral("CREATE %1INDEX %2 ON %3 (%4)")
                .arg(primary ? QStringLiteral("UNIQUE ") : QString(),
                     quoteIdentifier(engineIndexName(table, name)), quoteIdentifier(table),
                     quoteIdentifier(f.name)));
}

void Database::deleteIndex(const QString& table, const QString& indexName) {
    for (const IndexDef& ix : indexes(table)) {
        if (ix.name.compare(indexName, Qt::CaseInsensitive) != 0)
            continue;
        if (ix.primary && fieldInfo(table, ix.field).kind == FieldKind::AutoNumber)
            return; // the AutoNumber key stays the row key of its table
        const QString engineName =
            indexName.contains(QLatin1Char('.')) ? ix.name : engineIndexName(table, ix.name);
        // An index made outside this layer keeps its own name.
        const bool ours = scalar(QStringLiteral("SELECT count(*) FROM sqlite_master WHERE "
                                                "type = 'index' AND name = ? COLLATE NOCASE"),
                                 {engineName})
                              .toLongLong() > 0;
        execute(QStringLiteral("DROP INDEX %1").arg(quoteIdentifier(ours ? engineName : ix.name)));
        return;
    }
    throw DbException(
        QStringLiteral("The index '%1' does not exist on table '%2'.").arg(indexName, table));
}

// The AutoNumber sequence of a table is its row in sqlite_sequence, which holds the largest
// number handed out so far; the engine goes on from the larger of that and the largest key.
namespace {

QString autoNumberField(Database& db, const QString& table) {
    for (const FieldDef& f : db.fields(table))
        if (f.kind == FieldKind::AutoNumber)
            return f.name;
    throw DbException(QStringLiteral("The table '%1' has no AutoNumber field.").arg(table),
                      SQLITE_ERROR);
}

} // namespace

qint64 Database::nextAutoNumber(const QString& table) {
    const QString key = autoNumberField(*this, table);
    qint64 handedOut = 0;
    if (tableExists(QStringLiteral("sqlite_sequence")))
        handedOut =
            scalar(QStringLiteral("SELECT seq FROM sqlite_sequence WHERE name = ? COLLATE NOCASE"),
                   {table})
                .toLongLong();
    const qint64 maxKey = scalar(QStringLiteral("SELECT max(%1) FROM %2")
                                     .arg(quoteIdentifier(key), quoteIdentifier(table)))
                              .toLongLong();
    return qMax(handedOut, maxKey) + 1;
}

void Database::setNextAutoNumber(const QString& table, qint64 next) {
    (void)autoNumberField(*this, table); // refuses a table without one
    // The engine finds the row by the table's name exactly as it was created.
    const QString name = scalar(QStringLiteral("SELECT name FROM sqlite_master WHERE type = "
                                               "'table' AND name = ? COLLATE NOCASE"),
                                {table})
                             .toString();
    Transaction transaction(*this);
    execute(QStringLiteral("DELETE FROM sqlite_sequence WHERE name = ? COLLATE NOCASE"), {name});
    execute(QStringLiteral("INSERT INTO sqlite_sequence (name, seq) VALUES (?, ?)"),
            {name, next - 1});
    transaction.commit();
}

void Database::rebuildTable(const QString& table, const FieldList& newFields,
                            const QList<QPair<QString, QString>>& copyMap) {
    ensureOpen();
    const QString tmp = QStringLiteral("tk_rebuild_") + table;
    QString key;
    for (const FieldDef& f : newFields)
        if (f.kind == FieldKind::AutoNumber)
            key = f.name;
    Transaction transaction(*this);
    const bool hasSequence = tableExists(QStringLiteral("sqlite_sequence"));
    qint64 oldSeq = 0;
    if (hasSequence)
        oldSeq =
            scalar(QStringLiteral("SELECT seq FROM sqlite_sequence WHERE name = ? COLLATE NOCASE"),
                   {table})
                .toLongLong();
    // Secondary indexes, to be made again on the new table when their field remains.
    QList<QPair<QString, QString>> indexSql; // field, sql
    {
        Statement st = prepare(QStringLiteral(
            "SELECT m.sql, i.name FROM sqlite_master m, pragma_index_info(m.name) i "
            "WHERE m.type = 'index' AND m.tbl_name = ? COLLATE NOCASE AND m.sql IS NOT NULL"));
        st.bind(1, table);
        while (st.next())
            indexSql.append({st.value(1).toString(), st.value(0).toString()});
    }
    if (tableExists(tmp))
        execute(QStringLiteral("DROP TABLE %1").arg(quoteIdentifier(tmp)));
    execute(createTableSql(tmp, newFields));
    QStringList cols, exprs;
    for (const auto& [name, expr] : copyMap) {
        cols << quoteIdentifier(name);
        exprs << expr;
    }
    if (!cols.isEmpty())
        execute(QStringLiteral("INSERT INTO %1 (%2) SELECT %3 FROM %4 ORDER BY rowid")
                    .arg(quoteIdentifier(tmp), cols.join(QLatin1String(", ")),
                         exprs.join(QLatin1String(", ")), quoteIdentifier(table)));
    execute(QStringLiteral("DROP TABLE %1").arg(quoteIdentifier(table)));
    execute(QStringLiteral("ALTER TABLE %1 RENAME TO %2")
                .arg(quoteIdentifier(tmp), quoteIdentifier(table)));
    for (const auto& [field, sql] : indexSql) {
        bool kept = false;
        for (const FieldDef& f : newFields)
            kept = kept || f.name.compare(field, Qt::CaseInsensitive) == 0;
        if (kept)
            execute(sql);
    }
    if (tableExists(QStringLiteral("sqlite_sequence"))) {
        execute(QStringLiteral("DELETE FROM sqlite_sequence WHERE name = ? COLLATE NOCASE OR "
                               "name = ? COLLATE NOCASE"),
                {table, tmp});
        if (!key.isEmpty()) {
            const qint64 maxKey = scalar(QStringLiteral("SELECT max(%1) FROM %2")
                                             .arg(quoteIdentifier(key), quoteIdentifier(table)))
                                      .toLongLong();
            execute(QStringLiteral("INSERT INTO sqlite_sequence (name, seq) VALUES (?, ?)"),
                    {table, qMax(oldSeq, maxKey)});
        }
    }
    transaction.commit();
}
