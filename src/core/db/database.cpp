#include "core/db/database.h"
#include "core/db/dbexception.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <sqlite3.h>

namespace {

QString quoteIdent(const QString& name) {
    QString n = name;
    n.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + n + QLatin1Char('"');
}

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
    QString sql = quoteIdent(f.name) + QLatin1Char(' ') + declaredTypeFor(f);
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
        .arg(quoteIdent(table), cols.join(QLatin1String(", ")));
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
    const QString c = quoteIdent(from.name);
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

QString engineMessage(sqlite3* db) {
    return db ? QString::fromUtf8(sqlite3_errmsg(db)) : QStringLiteral("out of memory");
}

// Runs SQL without parameters on a raw connection; throws with the engine's message.
void rawExec(sqlite3* db, const char* sql) {
    char* err = nullptr;
    const int rc = sqlite3_exec(db, sql, nullptr, nullptr, &err);
    if (rc != SQLITE_OK) {
        const QString msg = err ? QString::fromUtf8(err) : QString::fromUtf8(sqlite3_errstr(rc));
        sqlite3_free(err);
        throw DbException(msg, sqlite3_extended_errcode(db));
    }
}

bool isBusy(int code) {
    const int primary = code & 0xff;
    return primary == SQLITE_BUSY || primary == SQLITE_LOCKED;
}

} // namespace

Database::Database() = default;

Database::~Database() {
    close();
}

void Database::open(const QString& path, OpenMode mode, bool create) {
    close();
    const QString native = QDir::toNativeSeparators(path);
    if (!create && !QFileInfo::exists(path))
        throw DbException(QStringLiteral("The database file %1 does not exist.").arg(native),
                          SQLITE_CANTOPEN);
    if (QFileInfo(path).isDir())
        throw DbException(QStringLiteral("%1 is a folder, not a database file.").arg(native),
                          SQLITE_CANTOPEN);

    sqlite3* db = nullptr;
    const int flags = SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0);
    int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &db, flags, nullptr);
    if (rc != SQLITE_OK) {
        const QString msg = engineMessage(db);
        sqlite3_close(db);
        throw DbException(
            QStringLiteral("Unable to open the database file %1: %2").arg(native, msg), rc);
    }
    sqlite3_extended_result_codes(db, 1);
    sqlite3_busy_timeout(db, 0);

    try {
        if (mode == OpenMode::Exclusive)
            rawExec(db, "PRAGMA locking_mode=EXCLUSIVE");
        // Rollback journal with full syncs: after every commit the file itself is complete and
        // consistent, so it survives a power loss and may be copied as a backup while open.
        rawExec(db, "PRAGMA journal_mode=DELETE");
        rawExec(db, "PRAGMA synchronous=FULL");
        rawExec(db, "PRAGMA foreign_keys=OFF");
        // Take the lock now, and read the schema so that a file of another kind is refused
        // before anything is written to it.
        rawExec(db, mode == OpenMode::Exclusive ? "BEGIN EXCLUSIVE" : "BEGIN");
        try {
            rawExec(db, "SELECT count(*) FROM sqlite_master");
            rawExec(db, "COMMIT");
        } catch (...) {
            sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
            throw;
        }
    } catch (const DbException& e) {
        sqlite3_close(db);
        if (isBusy(e.code()))
            throw DbException(
                QStringLiteral("The database file %1 is in use by another program.").arg(native),
                e.code());
        if ((e.code() & 0xff) == SQLITE_NOTADB)
            throw DbException(QStringLiteral("The file %1 is not a Tollkeeper database file "
                                             "or is damaged beyond repair.")
                                  .arg(native),
                              e.code());
        throw DbException(
            QStringLiteral("Unable to open the database file %1: %2").arg(native, e.message()),
            e.code());
    }
    // In shared mode other connections may briefly hold the file; wait for them a little.
    if (mode == OpenMode::Shared)
        sqlite3_busy_timeout(db, 5000);
    m_db = db;
    ++m_generation;
    m_path = path;
    m_mode = mode;
    m_transDepth = 0;
}

void Database::close() {
    if (!m_db)
        return;
    if (m_transDepth > 0)
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
    m_transDepth = 0;
    clearCaches();
    ++m_generation;
    sqlite3_close_v2(m_db);
    m_db = nullptr;
}

void Database::clearCaches() {
    for (sqlite3_stmt* stmt : std::as_const(m_statementCache))
        sqlite3_finalize(stmt);
    m_statementCache.clear();
    m_fieldCache.clear();
}

void Database::recycle(const QString& key, sqlite3_stmt* stmt, quint64 generation) {
    constexpr qsizetype kMaxCachedStatements = 128;
    if (!m_db || generation != m_generation || m_statementCache.contains(key) ||
        m_statementCache.size() >= kMaxCachedStatements) {
        sqlite3_finalize(stmt);
        return;
    }
    sqlite3_reset(stmt);
    sqlite3_clear_bindings(stmt);
    m_statementCache.insert(key, stmt);
}

int Database::schemaVersion() {
    Statement st = prepare(QStringLiteral("PRAGMA schema_version"));
    return st.next() ? st.value(0).toInt() : -1;
}

void Database::ensureOpen() const {
    if (!m_db)
        throw DbException(QStringLiteral("The database is not open."));
}

void Database::fail(const QString& what) const {
    const int code = m_db ? sqlite3_extended_errcode(m_db) : 0;
    const QString msg = engineMessage(m_db);
    throw DbException(what.isEmpty() ? msg : QStringLiteral("%1: %2").arg(what, msg), code);
}

Statement Database::prepare(const QString& sql) {
    ensureOpen();
    // Statements are prepared once per text and reused: the program runs the same few
    // queries for every customer of a run.
    if (sqlite3_stmt* cached = m_statementCache.take(sql))
        return Statement(this, cached, sql, m_generation);
    const QByteArray utf8 = translateSql(sql).toUtf8();
    sqlite3_stmt* stmt = nullptr;
    const char* tail = nullptr;
    const int rc = sqlite3_prepare_v2(m_db, utf8.constData(), int(utf8.size()), &stmt, &tail);
    if (rc != SQLITE_OK) {
        const QString msg = engineMessage(m_db);
        const int code = sqlite3_extended_errcode(m_db);
        sqlite3_finalize(stmt);
        throw DbException(QStringLiteral("%1 (%2)").arg(msg, sql), code);
    }
    if (!stmt)
        throw DbException(QStringLiteral("The SQL text holds no statement (%1)").arg(sql));
    // One statement per call: a second one in the same text is refused, not ignored.
    if (tail && !QByteArray(tail).trimmed().isEmpty() && QByteArray(tail).trimmed() != ";") {
        sqlite3_finalize(stmt);
        throw DbException(
            QStringLiteral("The SQL text holds more than one statement (%1)").arg(sql));
    }
    return Statement(this, stmt, sql, m_generation);
}

int Database::execute(const QString& sql, const QVariantList& params) {
    Statement st = prepare(sql);
    st.bindAll(params);
    return st.exec();
}

QVariant Database::scalar(const QString& sql, const QVariantList& params) {
    Statement st = prepare(sql);
    st.bindAll(params);
    if (!st.next())
        return QVariant();
    return st.value(0);
}

qint64 Database::lastInsertId() const {
    ensureOpen();
    return sqlite3_last_insert_rowid(m_db);
}

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
    execute(QStringLiteral("DROP TABLE %1").arg(quoteIdent(table)));
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
                    .arg(quoteIdent(table), columnSql(field)));
        return;
    }
    // A required field without default cannot be added in place; rows that exist already get
    // the empty value of its kind, as the field may not hold Null.
    FieldList next = current;
    next << field;
    QList<QPair<QString, QString>> copy;
    for (const FieldDef& f : current)
        copy.append({f.name, quoteIdent(f.name)});
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
            copy.append({f.name, quoteIdent(f.name)});
        rebuildTable(table, next, copy);
        return;
    }
    beginTrans();
    try {
        for (const IndexDef& ix : indexes(table))
            if (ix.field.compare(field, Qt::CaseInsensitive) == 0)
                deleteIndex(table, ix.name);
        execute(QStringLiteral("ALTER TABLE %1 DROP COLUMN %2")
                    .arg(quoteIdent(table), quoteIdent(field)));
        commitTrans();
    } catch (...) {
        rollback();
        throw;
    }
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
            copy.append({f.name, quoteIdent(f.name)});
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
        copy.append({f.name, quoteIdent(f.name)});
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
                     quoteIdent(engineIndexName(table, name)), quoteIdent(table),
                     quoteIdent(f.name)));
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
        execute(QStringLiteral("DROP INDEX %1").arg(quoteIdent(ours ? engineName : ix.name)));
        return;
    }
    throw DbException(
        QStringLiteral("The index '%1' does not exist on table '%2'.").arg(indexName, table));
}

void Database::rebuildTable(const QString& table, const FieldList& newFields,
                            const QList<QPair<QString, QString>>& copyMap) {
    ensureOpen();
    const QString tmp = QStringLiteral("tk_rebuild_") + table;
    QString key;
    for (const FieldDef& f : newFields)
        if (f.kind == FieldKind::AutoNumber)
            key = f.name;
    execute(QStringLiteral("SAVEPOINT tk_rebuild"));
    try {
        const bool hasSequence = tableExists(QStringLiteral("sqlite_sequence"));
        qint64 oldSeq = 0;
        if (hasSequence)
            oldSeq = scalar(QStringLiteral(
                                "SELECT seq FROM sqlite_sequence WHERE name = ? COLLATE NOCASE"),
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
            execute(QStringLiteral("DROP TABLE %1").arg(quoteIdent(tmp)));
        execute(createTableSql(tmp, newFields));
        QStringList cols, exprs;
        for (const auto& [name, expr] : copyMap) {
            cols << quoteIdent(name);
            exprs << expr;
        }
        if (!cols.isEmpty())
            execute(QStringLiteral("INSERT INTO %1 (%2) SELECT %3 FROM %4 ORDER BY rowid")
                        .arg(quoteIdent(tmp), cols.join(QLatin1String(", ")),
                             exprs.join(QLatin1String(", ")), quoteIdent(table)));
        execute(QStringLiteral("DROP TABLE %1").arg(quoteIdent(table)));
        execute(
            QStringLiteral("ALTER TABLE %1 RENAME TO %2").arg(quoteIdent(tmp), quoteIdent(table)));
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
                                                 .arg(quoteIdent(key), quoteIdent(table)))
                                          .toLongLong();
                execute(QStringLiteral("INSERT INTO sqlite_sequence (name, seq) VALUES (?, ?)"),
                        {table, qMax(oldSeq, maxKey)});
            }
        }
        execute(QStringLiteral("RELEASE tk_rebuild"));
    } catch (...) {
        sqlite3_exec(m_db, "ROLLBACK TO tk_rebuild; RELEASE tk_rebuild", nullptr, nullptr, nullptr);
        throw;
    }
}

// --- transactions ------------------------------------------------------------------------

void Database::beginTrans() {
    ensureOpen();
    if (m_transDepth == 0)
        execute(QStringLiteral("BEGIN"));
    else
        execute(QStringLiteral("SAVEPOINT tk_level%1").arg(m_transDepth));
    ++m_transDepth;
}

void Database::commitTrans() {
    ensureOpen();
    if (m_transDepth == 0)
        throw DbException(QStringLiteral("Commit without a transaction."));
    if (m_transDepth == 1) {
        execute(QStringLiteral("COMMIT"));
    } else {
        execute(QStringLiteral("RELEASE tk_level%1").arg(m_transDepth - 1));
    }
    --m_transDepth;
}

void Database::rollback() {
    ensureOpen();
    if (m_transDepth == 0)
        throw DbException(QStringLiteral("Rollback without a transaction."));
    --m_transDepth;
    m_fieldCache.clear(); // a rolled-back schema change may reuse a schema version
    if (m_transDepth == 0) {
        // The engine may have ended the transaction itself after a failure.
        if (!sqlite3_get_autocommit(m_db))
            execute(QStringLiteral("ROLLBACK"));
    } else {
        const QString sp = QStringLiteral("tk_level%1").arg(m_transDepth);
        execute(QStringLiteral("ROLLBACK TO %1").arg(sp));
        execute(QStringLiteral("RELEASE %1").arg(sp));
    }
}

// --- maintenance -------------------------------------------------------------------------

void Database::compact(const QString& src, const QString& dst) {
    if (QFileInfo::exists(dst))
        throw DbException(
            QStringLiteral("The file %1 already exists.").arg(QDir::toNativeSeparators(dst)));
    Database db;
    db.open(src, OpenMode::Exclusive, false);
    db.execute(QStringLiteral("VACUUM INTO ?"), {dst});
    db.close();
}

void Database::repair(const QString& path) {
    {
        Database db;
        db.open(path, OpenMode::Exclusive, false);
        QStringList problems;
        try {
            Statement st = db.prepare(QStringLiteral("PRAGMA integrity_check"));
            while (st.next())
                problems << st.value(0).toString();
        } catch (const DbException& e) {
            problems << e.message();
        }
        if (problems == QStringList{QStringLiteral("ok")}) {
            db.execute(QStringLiteral("REINDEX"));
            return;
        }
    }

    // Salvage: a fresh file with the same tables, filled with every row that can be read.
    const QString fresh = path + QStringLiteral(".repair");
    QFile::remove(fresh);
    {
        Database src;
        src.open(path, OpenMode::Exclusive, false);
        QList<QPair<QString, QString>> tables; // name, sql
        QStringList indexSql;
        {
            Statement st = src.prepare(QStringLiteral(
                "SELECT type, name, sql FROM sqlite_master WHERE sql IS NOT NULL "
                "AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\' ORDER BY type = 'index', rowid"));
            while (st.next()) {
                if (st.value(0).toString() == QLatin1String("table"))
                    tables.append({st.value(1).toString(), st.value(2).toString()});
                else if (st.value(0).toString() == QLatin1String("index"))
                    indexSql << st.value(2).toString();
            }
        }
        if (tables.isEmpty())
            throw DbException(QStringLiteral("No table of %1 could be read.")
                                  .arg(QDir::toNativeSeparators(path)));
        Database dst;
        dst.open(fresh, OpenMode::Exclusive, true);
        dst.beginTrans();
        int readable = 0;
        for (const auto& [name, sql] : tables) {
            dst.execute(sql);
            try {
                Statement rd =
                    src.prepare(QStringLiteral("SELECT * FROM %1").arg(quoteIdent(name)));
                const int n = rd.columnCount();
                QStringList marks;
                for (int i = 0; i < n; ++i)
                    marks << QStringLiteral("?");
                Statement wr =
                    dst.prepare(QStringLiteral("INSERT INTO %1 VALUES (%2)")
                                    .arg(quoteIdent(name), marks.join(QLatin1Char(','))));
                ++readable;
                while (rd.next()) {
                    for (int i = 0; i < n; ++i)
                        wr.bind(i + 1, rd.value(i));
                    try {
                        wr.exec();
                    } catch (const DbException& e) {
                        qWarning("Repair: a row of %s was not kept: %s", qPrintable(name),
                                 qPrintable(e.message()));
                    }
                }
            } catch (const DbException& e) {
                qWarning("Repair: reading %s stopped: %s", qPrintable(name),
                         qPrintable(e.message()));
            }
        }
        if (readable == 0) {
            dst.rollback();
            dst.close();
            QFile::remove(fresh);
            throw DbException(QStringLiteral("No table of %1 could be read.")
                                  .arg(QDir::toNativeSeparators(path)));
        }
        for (const QString& sql : indexSql) {
            try {
                dst.execute(sql);
            } catch (const DbException& e) {
                qWarning("Repair: index not rebuilt: %s", qPrintable(e.message()));
            }
        }
        try {
            Statement seq = src.prepare(QStringLiteral("SELECT name, seq FROM sqlite_sequence"));
            while (seq.next())
                dst.execute(
                    QStringLiteral("UPDATE sqlite_sequence SET seq = max(seq, ?) WHERE name = ?"),
                    {seq.value(1), seq.value(0)});
        } catch (const DbException&) {
            // no AutoNumber table, or the sequence could not be read: keys continue from the rows
        }
        dst.commitTrans();
        dst.close();
        src.close();
    }
    const QString old = path + QStringLiteral(".damaged");
    QFile::remove(old);
    if (!QFile::rename(path, old))
        throw DbException(QStringLiteral("The repaired copy could not replace %1.")
                              .arg(QDir::toNativeSeparators(path)));
    if (!QFile::rename(fresh, path)) {
        QFile::rename(old, path);
        throw DbException(QStringLiteral("The repaired copy could not replace %1.")
                              .arg(QDir::toNativeSeparators(path)));
    }
    QFile::remove(old);
}
