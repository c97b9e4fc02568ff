#include "core/db/recordset.h"
#include "core/db/currency.h"
#include "core/db/dbdatetime.h"
#include "core/db/dbexception.h"
#include "core/db/sqlident.h"

#include <QDateTime>

namespace {

const QString kRowidColumn = QStringLiteral("__rowid__");

// The value a new row takes from the field's default text; invalid when none applies.
QVariant defaultValueOf(const FieldDef& f) {
    if (!f.hasDefault)
        return QVariant();
    const QString d = f.defaultValue.trimmed();
    bool ok = false;
    switch (f.kind) {
    case FieldKind::Text:
    case FieldKind::Memo:
        return QVariant(f.defaultValue);
    case FieldKind::Long:
    case FieldKind::Integer: {
        const int v = d.toInt(&ok);
        return ok ? QVariant(v) : QVariant();
    }
    case FieldKind::Single: {
        const float v = d.toFloat(&ok);
        return ok ? QVariant(v) : QVariant();
    }
    case FieldKind::Double: {
        const double v = d.toDouble(&ok);
        return ok ? QVariant(v) : QVariant();
    }
    case FieldKind::Currency: {
        const double v = d.toDouble(&ok);
        return ok ? QVariant::fromValue(Currency::fromDouble(v)) : QVariant();
    }
    case FieldKind::YesNo: {
        const QString u = d.toUpper();
        if (u == QLatin1String("YES") || u == QLatin1String("TRUE") || u == QLatin1String("ON"))
            return QVariant(true);
        if (u == QLatin1String("NO") || u == QLatin1String("FALSE") || u == QLatin1String("OFF"))
            return QVariant(false);
        const double v = d.toDouble(&ok);
        return ok ? QVariant(v != 0) : QVariant();
    }
    case FieldKind::DateTime: {
        const double v = d.toDouble(&ok);
        if (ok)
            return QVariant::fromValue(DbDateTime(v));
        return QVariant(); // engine default (if any) applies on insert
    }
    case FieldKind::AutoNumber:
    case FieldKind::LongBinary:
        return QVariant();
    }
    return QVariant();
}

// Brings a value given for a field to the field's kind, so that amounts, dates and flags are
// stored in their own form whatever numeric type the caller used.
QVariant coerce(const FieldDef* f, const QVariant& v) {
    if (!f || !v.isValid())
        return v;
    const int id = v.metaType().id();
    const bool numeric = id == QMetaType::Int || id == QMetaType::UInt ||
                         id == QMetaType::LongLong || id == QMetaType::ULongLong ||
                         id == QMetaType::Double || id == QMetaType::Float ||
                         id == QMetaType::Short || id == QMetaType::UShort ||
                         id == QMetaType::Long || id == QMetaType::ULong || id == QMetaType::Bool;
    switch (f->kind) {
    case FieldKind::Currency:
        if (id == qMetaTypeId<Currency>())
            return v;
        if (numeric || id == QMetaType::QString)
            return QVariant::fromValue(Currency::fromDouble(v.toDouble()));
        return v;
    case FieldKind::DateTime:
        if (numeric)
            return QVariant::fromValue(DbDateTime(v.toDouble()));
        return v;
    case FieldKind::YesNo:
        if (numeric)
            return QVariant(v.toDouble() != 0);
        return v;
    case FieldKind::Long:
    case FieldKind::Integer:
    case FieldKind::AutoNumber:
        if (id == QMetaType::Bool)
            return QVariant(v.toBool() ? 1 : 0);
        return v;
    default:
        return v;
    }
}

} // namespace

Recordset::Recordset(Database& db) : m_db(db) {}

Recordset::~Recordset() = default;

void Recordset::resolveTableInfo() {
    m_tableFields = m_db.fields(m_table);
    m_keyField = QStringLiteral("rowid");
    for (const FieldDef& f : m_tableFields)
        if (f.kind == FieldKind::AutoNumber)
            m_keyField = f.name;
}

void Recordset::openTable(const QString& table) {
    openFilter(table, QString());
}

void Recordset::openForAdding(const QString& table) {
    // Inserting one row would otherwise cost a query for the columns and one reading the row
    // back: two round trips on a server for every charge copy of an invoice run.
    openFilter(table, QStringLiteral("1 = 0"), {}, false);
    m_addOnly = true;
}

void Recordset::openFilter(const QString& table, const QString& criteria,
                           const QVariantList& params) {
    openFilter(table, criteria, params, true);
}

void Recordset::openFilter(const QString& table, const QString& criteria,
                           const QVariantList& params, bool readRows) {
    close();
    m_table = table;
    resolveTableInfo();
    QString sql = QStringLiteral("SELECT *");
    if (m_keyField == QLatin1String("rowid"))
        sql += QStringLiteral(", rowid AS ") + kRowidColumn;
    sql += QStringLiteral(" FROM ") + quoteIdentifier(table);
    const QString c = criteria.trimmed();
    if (!c.isEmpty()) {
        if (c.startsWith(QLatin1String("ORDER BY"), Qt::CaseInsensitive))
            sql += QLatin1Char(' ') + c;
        else
            sql += QStringLiteral(" WHERE ") + c;
    }
    m_sql = sql;
    m_params = params;
    run(readRows);
}

void Recordset::openSql(const QString& sql, const QVariantList& params,
                        const QString& updateTable) {
    close();
    m_table = updateTable;
    if (!m_table.isEmpty())
        resolveTableInfo();
    m_sql = sql;
    m_params = params;
    run();
}

void Recordset::requery() {
    if (m_sql.isEmpty())
        throw DbException(QStringLiteral("The recordset is not open."));
    run();
}

void Recordset::clearRows() {
    m_open = false;
    m_editMode = EditMode::None;
    m_editKey.reset();
    m_pending.clear();
    m_rows.clear();
    m_columns.clear();
    m_columnIndex.clear();
    m_exactIndex.clear();
    m_columnField.clear();
    m_firstOfName.clear();
    m_rowidColumn = -1;
    m_pos = 0;
}

void Recordset::run(bool readRows) {
    clearRows();
    m_addOnly = false;

    Statement st = m_db.prepare(m_sql);
    if (readRows)
        st.bindAll(m_params);
    const int n = st.columnCount();
    for (int i = 0; i < n; ++i) {
        const QString name = st.columnName(i);
        if (name == kRowidColumn && i == n - 1) {
            m_rowidColumn = i; // hidden: locates rows of a table without key
            continue;
        }
        m_columns << name;
        const QString lower = name.toLower();
        const bool first = !m_columnIndex.contains(lower);
        if (first) {
            m_columnIndex.insert(lower, i);
            m_exactIndex.insert(name, i);
        }
        m_firstOfName << first;
        const FieldDef* f = tableField(name);
        m_columnField << (f ? int(f - m_tableFields.constData()) : -1);
    }
    while (readRows && st.next()) {
        QVector<QVariant> row(n);
        for (int i = 0; i < n; ++i)
            row[i] = st.value(i);
        m_rows.append(std::move(row));
    }
    m_open = true;
    rowChanged();
}

void Recordset::close() {
    clearRows();
    m_sql.clear();
    m_params.clear();
    m_table.clear();
    m_tableFields.clear();
    m_keyField.clear();
}

void Recordset::moveNext() {
    if (isEOF())
        throw DbException(QStringLiteral("No current record."));
    m_editMode = EditMode::None;
    ++m_pos;
    rowChanged();
}

void Recordset::moveFirst() {
    if (!m_open)
        throw DbException(QStringLiteral("The recordset is not open."));
    m_editMode = EditMode::None;
    m_pos = 0;
    rowChanged();
}

void Recordset::moveLast() {
    if (!m_open)
        throw DbException(QStringLiteral("The recordset is not open."));
    m_editMode = EditMode::None;
    m_pos = m_rows.isEmpty() ? 0 : m_rows.size() - 1;
    rowChanged();
}

int Recordset::findColumn(const QString& field) const {
    // Record types name their fields as the table spells them: found without a lower-case copy.
    const auto exact = m_exactIndex.constFind(field);
    if (exact != m_exactIndex.constEnd())
        return exact.value();
    return m_columnIndex.value(field.toLower(), -1);
}

int Recordset::columnIndex(const QString& field) const {
    const int i = findColumn(field);
    if (i < 0)
        throw DbException(QStringLiteral("The field '%1' is not in this recordset.").arg(field));
    return i;
}

const FieldDef* Recordset::columnField(int column) const {
    const int f = m_columnField.value(column, -1);
    return f >= 0 ? &m_tableFields.at(f) : nullptr;
}

const FieldDef* Recordset::tableField(const QString& column) const {
    for (const FieldDef& f : m_tableFields)
        if (f.name.compare(column, Qt::CaseInsensitive) == 0)
            return &f;
    return nullptr;
}

QVariant Recordset::value(const QString& field) const {
    return valueAt(columnIndex(field));
}

QVariant Recordset::valueAt(int i) const {
    if (m_editMode != EditMode::None)
        return m_pending.value(i);
    if (isEOF())
        throw DbException(QStringLiteral("No current record."));
    return m_rows.at(m_pos).at(i);
}

void Recordset::setValue(const QString& field, const QVariant& value) {
    const int i = columnIndex(field);
    if (m_editMode == EditMode::None)
        throw DbException(
            QStringLiteral("Call addNew or edit before setting the field '%1'.").arg(field));
    setValueAt(i, value);
}

void Recordset::setValueAt(int i, const QVariant& value) {
    if (m_editMode == EditMode::None)
        throw DbException(QStringLiteral("Call addNew or edit before setting the field '%1'.")
                              .arg(m_columns.value(i)));
    m_pending[i] = coerce(columnField(i), value);
    if (m_editKey && i < m_assigned.size())
        m_assigned[i] = true;
}

QVariant Recordset::keyOfCurrent() const {
    if (isEOF())
        throw DbException(QStringLiteral("No current record."));
    if (m_keyField == QLatin1String("rowid")) {
        if (m_rowidColumn < 0)
            throw DbException(QStringLiteral("The rows of this recordset cannot be changed."));
        return m_rows.at(m_pos).at(m_rowidColumn);
    }
    const auto it = m_columnIndex.constFind(m_keyField.toLower());
    if (it == m_columnIndex.constEnd())
        throw DbException(
            QStringLiteral(
                "The rows of this recordset cannot be changed: the key %1 is not selected.")
                .arg(m_keyField));
    return m_rows.at(m_pos).at(it.value());
}

void Recordset::addNew() {
    if (!m_open || m_table.isEmpty())
        throw DbException(QStringLiteral("Rows cannot be added to this recordset."));
    m_pending = QVector<QVariant>(m_columns.size() + (m_rowidColumn >= 0 ? 1 : 0));
    for (int i = 0; i < m_columns.size(); ++i) {
        const FieldDef* f = columnField(i);
        if (f && m_firstOfName.at(i))
            m_pending[i] = defaultValueOf(*f);
    }
    m_editKey.reset();
    m_editMode = EditMode::Add;
    rowChanged();
}

void Recordset::edit() {
    if (m_table.isEmpty())
        throw DbException(QStringLiteral("The rows of this recordset cannot be changed."));
    if (isEOF())
        throw DbException(QStringLiteral("No current record."));
    keyOfCurrent(); // the row must be locatable
    m_editKey.reset();
    m_pending = m_rows.at(m_pos);
    m_editMode = EditMode::Edit;
}

void Recordset::editKey(const QVariant& key) {
    if (!m_open || m_table.isEmpty() || m_keyField == QLatin1String("rowid"))
        throw DbException(QStringLiteral("The rows of this recordset cannot be changed."));
    m_pending = QVector<QVariant>(m_columns.size() + (m_rowidColumn >= 0 ? 1 : 0));
    m_assigned = QVector<bool>(m_pending.size(), false);
    m_editKey = key;
    m_editMode = EditMode::Edit;
}

void Recordset::updatePosted(const std::shared_ptr<qint64>& key) {
    if (m_editMode != EditMode::Add || !m_addOnly || m_keyField == QLatin1String("rowid") || !key)
        throw DbException(QStringLiteral("Only a new row of a keyed table can be posted."));
    m_postedKey = key;
    try {
        update();
    } catch (...) {
        m_postedKey.reset();
        throw;
    }
    m_postedKey.reset();
}

void Recordset::cancelUpdate() {
    m_editKey.reset();
    m_editMode = EditMode::None;
    m_pending.clear();
    rowChanged();
}

QVector<QVariant> Recordset::fetchRow(const QVariant& key, const QVector<QVariant>& fallback) {
    const bool byRowid = m_keyField == QLatin1String("rowid");
    Statement st =
        m_db.prepare(QStringLiteral("SELECT *, rowid AS %1 FROM %2 WHERE %3 = ?")
                         .arg(kRowidColumn, quoteIdentifier(m_table),
                              byRowid ? QStringLiteral("rowid") : quoteIdentifier(m_keyField)));
    st.bind(1, key);
    QVector<QVariant> row = fallback;
    if (!st.next())
        return row;
    QHash<QString, QVariant> byName;
    QVariant rowid;
    for (int i = 0; i < st.columnCount(); ++i) {
        const QString name = st.columnName(i);
        if (name == kRowidColumn)
            rowid = st.value(i);
        else if (!byName.contains(name.toLower()))
            byName.insert(name.toLower(), st.value(i));
    }
    for (int i = 0; i < m_columns.size() && i < row.size(); ++i) {
        const QString lower = m_columns.at(i).toLower();
        if (m_columnIndex.value(lower) != i)
            continue; // a second column of the same name comes from another table
        const auto it = byName.constFind(lower);
        if (it != byName.constEnd())
            row[i] = it.value();
    }
    if (m_rowidColumn >= 0 && m_rowidColumn < row.size())
        row[m_rowidColumn] = rowid;
    return row;
}

void Recordset::update() {
    if (m_editMode == EditMode::None)
        throw DbException(QStringLiteral("Update without addNew or edit."));
    storeMembers();

    // Columns of the table present in this recordset, each written once.
    QList<int> cols;
    QStringList names;
    for (int i = 0; i < m_columns.size(); ++i) {
        const FieldDef* f = columnField(i);
        if (!f || f->kind == FieldKind::AutoNumber || names.contains(f->name, Qt::CaseInsensitive))
            continue;
        if (!m_firstOfName.at(i))
            continue;
        if (m_editMode == EditMode::Add && !m_pending.at(i).isValid() && f->hasDefault)
            continue; // the engine applies the default
        if (m_editKey && !m_assigned.value(i))
            continue; // a change by key writes only what was set
        cols << i;
        names << f->name;
    }

    QVariantList params;
    for (int i : cols)
        params << m_pending.at(i);

    if (m_editMode == EditMode::Add) {
        QString sql;
        if (cols.isEmpty()) {
            sql = QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(quoteIdentifier(m_table));
        } else {
            QStringList quoted, marks;
            for (const QString& n : names) {
                quoted << quoteIdentifier(n);
                marks << QStringLiteral("?");
            }
            sql = QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                      .arg(quoteIdentifier(m_table), quoted.join(QLatin1String(", ")),
                           marks.join(QLatin1String(", ")));
        }
        QVariant key;
        if (m_keyField == QLatin1String("rowid")) {
            key = writeLocating(sql, params);
            m_lastAddedKey = key.toLongLong();
        } else if (m_postedKey) {
            Statement st = m_db.prepare(sql);
            st.bindAll(params);
            st.postInsert(m_postedKey);
            key = QVariant(*m_postedKey); // 0 until the outcome arrives
            m_lastAddedKey = *m_postedKey;
        } else {
            m_db.execute(sql, params);
            key = m_db.lastInsertId();
            m_lastAddedKey = key.toLongLong();
        }
        QVector<QVariant> row = m_pending;
        if (m_keyField != QLatin1String("rowid") && m_columnIndex.contains(m_keyField.toLower()))
            row[m_columnIndex.value(m_keyField.toLower())] = QVariant(key.toInt());
        else if (m_rowidColumn >= 0 && m_rowidColumn < row.size())
            row[m_rowidColumn] = key;
        if (!m_addOnly)
            row = fetchRow(key, row);
        m_rows.append(row);
        m_pos = m_rows.size() - 1;
    } else {
        QVariant key = m_editKey ? *m_editKey : keyOfCurrent();
        if (!cols.isEmpty()) {
            QStringList sets;
            for (const QString& n : names)
                sets << quoteIdentifier(n) + QStringLiteral(" = ?");
            params << key;
            const QString sql =
                QStringLiteral("UPDATE %1 SET %2 WHERE %3 = ?")
                    .arg(quoteIdentifier(m_table), sets.join(QLatin1String(", ")),
                         m_keyField == QLatin1String("rowid") ? QStringLiteral("rowid")
                                                              : quoteIdentifier(m_keyField));
            const bool found = m_keyField == QLatin1String("rowid")
                                   ? (key = writeLocating(sql, params)).isValid()
                                   : m_db.execute(sql, params) > 0;
            if (!found)
                throw DbException(QStringLiteral("The row was deleted by another operation."));
        }
        if (!m_editKey)
            m_rows[m_pos] = fetchRow(key, m_pending);
    }
    m_editKey.reset();
    m_editMode = EditMode::None;
    m_pending.clear();
    rowChanged();
}

QVariant Recordset::writeLocating(const QString& sql, const QVariantList& params) {
    // A table without key locates its rows by the engine's row id, which a database server
    // may change when it writes the row: the statement answers where the row is now.
    Statement st = m_db.prepare(sql + QStringLiteral(" RETURNING rowid"));
    st.bindAll(params);
    QVariant key;
    while (st.next())
        key = st.value(0);
    return key;
}

void Recordset::deleteCurrent() {
    if (m_table.isEmpty())
        throw DbException(QStringLiteral("The rows of this recordset cannot be deleted."));
    m_editMode = EditMode::None;
    m_pending.clear();
    const QVariant key = keyOfCurrent();
    const int changed =
        m_db.execute(QStringLiteral("DELETE FROM %1 WHERE %2 = ?")
                         .arg(quoteIdentifier(m_table), m_keyField == QLatin1String("rowid")
                                                            ? QStringLiteral("rowid")
                                                            : quoteIdentifier(m_keyField)),
                     {key});
    if (changed == 0)
        throw DbException(QStringLiteral("The row was deleted by another operation."));
    m_rows.removeAt(m_pos);
    rowChanged();
}
