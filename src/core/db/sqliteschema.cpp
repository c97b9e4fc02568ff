#include "core/db/sqliteengine.h"
#include "core/db/dbexception.h"
#include "core/db/sqlident.h"
#include "core/db/transaction.h"

#include <QRegularExpression>
#include <sqlite3.h>

// SQLite's schema: introspection through sqlite_master and the table pragmas, changes in place
// where SQLite can make them and otherwise by rebuilding the table.

namespace {

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

bool SqliteEngine::tableExists(const QString& table) {
    return m_db
               .scalar(QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type = 'table' "
                                      "AND name = ? COLLATE NOCASE"),
                       {table})
               .toLongLong() > 0;
}

QStringList SqliteEngine::tableNames() {
    QStringList names;
    Statement st =
        m_db.prepare(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table' "
                                    "AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\' ORDER BY name"));
    while (st.next())
        names << st.value(0).toString();
    return names;
}

FieldList SqliteEngine::readFields(const QString& table) {
    FieldList list;
    Statement st = m_db.prepare(QStringLiteral(
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
    return list;
}

int SqliteEngine::schemaVersion() {
    Statement st = m_db.prepare(QStringLiteral("PRAGMA schema_version"));
    return st.next() ? st.value(0).toInt() : -1;
}

QList<IndexDef> SqliteEngine::readIndexes(const QString& table) {
    QList<IndexDef> list;
    const QString prefix = table + QLatin1Char('.');
    Statement st = m_db.prepare(QStringLiteral(
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
        d.field = m_db.scalar(QStringLiteral("SELECT name FROM pragma_index_info(?) ORDER BY seqno"),
                              {name})
                      .toString();
        list << d;
    }
    return list;
}

// --- schema changes ----------------------------------------------------------------------

void SqliteEngine::createTable(const QString& table, const FieldList& fieldList) {
    m_db.execute(createTableSql(table, fieldList));
}

void SqliteEngine::dropTable(const QString& table) {
    m_db.execute(QStringLiteral("DROP TABLE %1").arg(quoteIdentifier(table)));
}

void SqliteEngine::addField(const QString& table, const FieldList& current,
                            const FieldDef& field) {
    if (!field.required || field.hasDefault) {
        m_db.execute(QStringLiteral("ALTER TABLE %1 ADD COLUMN %2")
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

void SqliteEngine::dropField(const QString& table, const FieldList& current,
                             const FieldDef& field) {
    if (field.kind == FieldKind::AutoNumber) {
        // SQLite cannot drop the row key in place.
        FieldList next;
        QList<QPair<QString, QString>> copy;
        for (const FieldDef& f : current) {
            if (f.name.compare(field.name, Qt::CaseInsensitive) == 0)
                continue;
            next << f;
            copy.append({f.name, quoteIdentifier(f.name)});
        }
        rebuildTable(table, next, copy);
        return;
    }
    m_db.execute(QStringLiteral("ALTER TABLE %1 DROP COLUMN %2")
                     .arg(quoteIdentifier(table), quoteIdentifier(field.name)));
}

void SqliteEngine::convertField(const QString& table, const FieldList& current,
                                const FieldDef& from, const FieldDef& to) {
    FieldList next;
    QList<QPair<QString, QString>> copy;
    for (const FieldDef& f : current) {
        if (f.name.compare(from.name, Qt::CaseInsensitive) == 0) {
            next << to;
            copy.append({to.name, conversionExpr(f, to)});
        } else {
            next << f;
            copy.append({f.name, quoteIdentifier(f.name)});
        }
    }
    rebuildTable(table, next, copy);
}

void SqliteEngine::addAutoNumberKey(const QString& table, const FieldList& current,
                                    const QString& field) {
    QList<QPair<QString, QString>> copy;
    for (const FieldDef& f : current)
        copy.append({f.name, quoteIdentifier(f.name)});
    FieldList next = current;
    next << FieldDef(field, FieldKind::AutoNumber);
    copy.append({field, QStringLiteral("row_number() OVER (ORDER BY rowid)")});
    rebuildTable(table, next, copy);
}

void SqliteEngine::createIndex(const QString& table, const QString& name, const QString& field,
                               bool unique) {
    m_db.execute(QStringLiteral("CREATE %1INDEX %2 ON %3 (%4)")
                     .arg(unique ? QStringLiteral("UNIQUE ") : QString(),
                          quoteIdentifier(engineIndexName(table, name)), quoteIdentifier(table),
                          quoteIdentifier(field)));
}

void SqliteEngine::dropIndex(const QString& table, const IndexDef& index) {
    const QString engineName = engineIndexName(table, index.name);
    // An index made outside this layer keeps its own name.
    const bool ours = m_db.scalar(QStringLiteral("SELECT count(*) FROM sqlite_master WHERE "
                                                 "type = 'index' AND name = ? COLLATE NOCASE"),
                                  {engineName})
                          .toLongLong() > 0;
    m_db.execute(
        QStringLiteral("DROP INDEX %1").arg(quoteIdentifier(ours ? engineName : index.name)));
}

qint64 SqliteEngine::nextAutoNumber(const QString& table) {
    QString key;
    for (const FieldDef& f : readFields(table))
        if (f.kind == FieldKind::AutoNumber)
            key = f.name;
    if (key.isEmpty())
        throw DbException(QStringLiteral("The table '%1' has no AutoNumber field.").arg(table));
    qint64 seq = 0;
    if (tableExists(QStringLiteral("sqlite_sequence")))
        seq = m_db.scalar(QStringLiteral(
                              "SELECT seq FROM sqlite_sequence WHERE name = ? COLLATE NOCASE"),
                          {table})
                  .toLongLong();
    const qint64 maxKey =
        m_db.scalar(QStringLiteral("SELECT max(%1) FROM %2")
                        .arg(quoteIdentifier(key), quoteIdentifier(table)))
            .toLongLong();
    return qMax(seq, maxKey) + 1;
}

void SqliteEngine::setNextAutoNumber(const QString& table, qint64 next) {
    if (next <= nextAutoNumber(table))
        return;
    // sqlite_sequence exists once any AUTOINCREMENT table does, which nextAutoNumber checked.
    Transaction transaction(m_db);
    m_db.execute(QStringLiteral("DELETE FROM sqlite_sequence WHERE name = ? COLLATE NOCASE"),
                 {table});
    m_db.execute(QStringLiteral("INSERT INTO sqlite_sequence (name, seq) VALUES (?, ?)"),
                 {table, next - 1});
    transaction.commit();
}

void SqliteEngine::rebuildTable(const QString& table, const FieldList& newFields,
                            const QList<QPair<QString, QString>>& copyMap) {
    const QString tmp = QStringLiteral("tk_rebuild_") + table;
    QString key;
    for (const FieldDef& f : newFields)
        if (f.kind == FieldKind::AutoNumber)
            key = f.name;
    Transaction transaction(m_db);
    const bool hasSequence = tableExists(QStringLiteral("sqlite_sequence"));
    qint64 oldSeq = 0;
    if (hasSequence)
        oldSeq =
            m_db.scalar(QStringLiteral("SELECT seq FROM sqlite_sequence WHERE name = ? COLLATE NOCASE"),
                   {table})
                .toLongLong();
    // Secondary indexes, to be made again on the new table when their field remains.
    QList<QPair<QString, QString>> indexSql; // field, sql
    {
        Statement st = m_db.prepare(QStringLiteral(
            "SELECT m.sql, i.name FROM sqlite_master m, pragma_index_info(m.name) i "
            "WHERE m.type = 'index' AND m.tbl_name = ? COLLATE NOCASE AND m.sql IS NOT NULL"));
        st.bind(1, table);
        while (st.next())
            indexSql.append({st.value(1).toString(), st.value(0).toString()});
    }
    if (tableExists(tmp))
        m_db.execute(QStringLiteral("DROP TABLE %1").arg(quoteIdentifier(tmp)));
    m_db.execute(createTableSql(tmp, newFields));
    QStringList cols, exprs;
    for (const auto& [name, expr] : copyMap) {
        cols << quoteIdentifier(name);
        exprs << expr;
    }
    if (!cols.isEmpty())
        m_db.execute(QStringLiteral("INSERT INTO %1 (%2) SELECT %3 FROM %4 ORDER BY rowid")
                    .arg(quoteIdentifier(tmp), cols.join(QLatin1String(", ")),
                         exprs.join(QLatin1String(", ")), quoteIdentifier(table)));
    m_db.execute(QStringLiteral("DROP TABLE %1").arg(quoteIdentifier(table)));
    m_db.execute(QStringLiteral("ALTER TABLE %1 RENAME TO %2")
                .arg(quoteIdentifier(tmp), quoteIdentifier(table)));
    for (const auto& [field, sql] : indexSql) {
        bool kept = false;
        for (const FieldDef& f : newFields)
            kept = kept || f.name.compare(field, Qt::CaseInsensitive) == 0;
        if (kept)
            m_db.execute(sql);
    }
    if (tableExists(QStringLiteral("sqlite_sequence"))) {
        m_db.execute(QStringLiteral("DELETE FROM sqlite_sequence WHERE name = ? COLLATE NOCASE OR "
                               "name = ? COLLATE NOCASE"),
                {table, tmp});
        if (!key.isEmpty()) {
            const qint64 maxKey = m_db.scalar(QStringLiteral("SELECT max(%1) FROM %2")
                                             .arg(quoteIdentifier(key), quoteIdentifier(table)))
                                      .toLongLong();
            m_db.execute(QStringLiteral("INSERT INTO sqlite_sequence (name, seq) VALUES (?, ?)"),
                    {table, qMax(oldSeq, maxKey)});
        }
    }
    transaction.commit();
}
