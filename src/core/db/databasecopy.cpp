#include "core/db/databasecopy.h"
#include "core/db/currency.h"
#include "core/db/database.h"
#include "core/db/dbdatetime.h"
#include "core/db/dbexception.h"
#include "core/db/transaction.h"

#include <QUrl>
#include <QVector>

#include <cmath>

// The copy goes through the engine-neutral API only (Jet SQL with bracketed names, prepared
// statements, typed values), so it works between any two engines the data store offers.

namespace {

constexpr int kProgressEvery = 256; // rows between two progress calls

QString bracket(const QString& name) {
    return QLatin1Char('[') + name + QLatin1Char(']');
}

bool isNumeric(FieldKind k) {
    switch (k) {
    case FieldKind::Long:
    case FieldKind::AutoNumber:
    case FieldKind::Integer:
    case FieldKind::Single:
    case FieldKind::Double:
    case FieldKind::Currency:
    case FieldKind::DateTime:
    case FieldKind::YesNo:
        return true;
    default:
        return false;
    }
}

bool isFloating(FieldKind k) {
    return k == FieldKind::Single || k == FieldKind::Double || k == FieldKind::DateTime;
}

// The sum of one numeric field over a table: whole numbers and Currency (in ten-thousandths)
// exactly, wrapping rather than overflowing, floating kinds as a double.
struct FieldSum {
    QString field;
    FieldKind kind = FieldKind::Long;
    quint64 whole = 0;
    double floating = 0;

    void add(const QVariant& v) {
        if (!v.isValid())
            return;
        const int type = v.metaType().id();
        if (type == qMetaTypeId<Currency>())
            whole += quint64(v.value<Currency>().units());
        else if (type == qMetaTypeId<DbDateTime>())
            floating += v.value<DbDateTime>().days();
        else if (isFloating(kind))
            floating += v.toDouble();
        else if (type == QMetaType::Bool)
            whole += v.toBool() ? 1 : 0;
        else
            whole += quint64(v.toLongLong());
    }

    bool matches(const FieldSum& o) const {
        if (!isFloating(kind))
            return whole == o.whole;
        const double scale = qMax(std::fabs(floating), std::fabs(o.floating));
        return std::fabs(floating - o.floating) <= 1e-9 * scale;
    }

    QString text() const {
        if (isFloating(kind))
            return QString::number(floating, 'g', 17);
        if (kind == FieldKind::Currency)
            return QString::number(double(qint64(whole)) / double(Currency::Scale), 'f', 4);
        return QString::number(qint64(whole));
    }
};

struct TablePlan {
    QString name;
    FieldList fields;
    QList<IndexDef> indexes;
    int keyColumn = -1;   // the AutoNumber field's column, -1 when the table has none
    QVector<int> numeric; // columns summed by the check
};

TablePlan planTable(Database& from, const QString& table) {
    TablePlan plan{table, from.fields(table), from.indexes(table), -1, {}};
    for (int i = 0; i < plan.fields.size(); ++i) {
        if (plan.fields[i].kind == FieldKind::AutoNumber)
            plan.keyColumn = i;
        if (isNumeric(plan.fields[i].kind))
            plan.numeric << i;
    }
    return plan;
}

QVector<FieldSum> emptySums(const TablePlan& plan) {
    QVector<FieldSum> sums;
    for (int column : plan.numeric)
        sums.append(FieldSum{plan.fields[column].name, plan.fields[column].kind});
    return sums;
}

QString selectAll(const TablePlan& plan) {
    QStringList columns;
    for (const FieldDef& f : plan.fields)
        columns << bracket(f.name);
    return QStringLiteral("SELECT %1 FROM %2")
        .arg(columns.join(QLatin1String(", ")), bracket(plan.name));
}

// Makes the table's indexes in the target. The data store makes the primary index and
// "<Field>_index" ones; a unique secondary index cannot be made again and is refused rather
// than copied without its uniqueness.
void copyIndexes(Database& to, const TablePlan& plan) {
    for (const IndexDef& ix : plan.indexes) {
        if (ix.unique && !ix.primary)
            throw DbException(
                QStringLiteral("The unique index '%1' of table '%2' cannot be copied.")
                    .arg(ix.name, plan.name));
        to.createIndex(plan.name, ix.field, ix.primary);
    }
}

class Copier {
public:
    Copier(Database& from, Database& to, const DatabaseCopyProgressFn& progress)
        : m_from(from), m_to(to), m_progress(progress) {}

    QList<TableCopyCount> run() {
        const QStringList tables = m_from.tableNames();
        if (!m_to.tableNames().isEmpty())
            throw DbException(
                QStringLiteral("The database %1 is not empty; copy needs an empty one.")
                    .arg(DatabaseDisplayName(m_to.path())));
        // The source is read in one transaction so the copy is of one moment.
        Transaction reading(m_from);
        Transaction writing(m_to);
        QList<TableCopyCount> counts;
        for (int i = 0; i < tables.size(); ++i) {
            const TablePlan plan = planTable(m_from, tables[i]);
            m_to.createTable(plan.name, plan.fields);
            QVector<FieldSum> sums = emptySums(plan);
            qint64 maxKey = 0;
            const qint64 rows = copyRows(plan, i, int(tables.size()), sums, &maxKey);
            copyIndexes(m_to, plan);
            if (plan.keyColumn >= 0)
                copyNextAutoNumber(plan.name, qMax(m_from.nextAutoNumber(plan.name), maxKey + 1));
            check(plan, rows, sums);
            counts.append({plan.name, rows});
        }
        // Every read is done: the source's transaction ends first, so no failure of its end
        // can follow a target that has been committed.
        reading.commit();
        writing.commit();
        return counts;
    }

private:
    void report(const QString& table, int index, int count, qint64 rows) {
        if (m_progress && !m_progress({table, index, count, rows}))
            throw DbException(QStringLiteral("The copy was interrupted."));
    }

    void copyNextAutoNumber(const QString& table, qint64 next) {
        m_to.setNextAutoNumber(table, next);
        const qint64 set = m_to.nextAutoNumber(table);
        if (set != next)
            throw DbException(
                QStringLiteral("The copy of table '%1' would number its next row %2, the "
                               "original %3.")
                    .arg(table)
                    .arg(set)
                    .arg(next));
    }

    qint64 copyRows(const TablePlan& plan, int index, int count, QVector<FieldSum>& sums,
                    qint64* maxKey) {
        report(plan.name, index, count, 0);
        QStringList names, marks;
        for (const FieldDef& f : plan.fields) {
            names << bracket(f.name);
            marks << QStringLiteral("?");
        }
        Statement insert =
            m_to.prepare(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                             .arg(bracket(plan.name), names.join(QLatin1String(", ")),
                                  marks.join(QLatin1String(", "))));
        Statement select = m_from.prepare(selectAll(plan));
        qint64 rows = 0;
        while (select.next()) {
            for (int c = 0; c < plan.fields.size(); ++c)
                insert.bind(c + 1, select.value(c));
            insert.exec();
            for (int s = 0; s < plan.numeric.size(); ++s)
                sums[s].add(select.value(plan.numeric[s]));
            if (plan.keyColumn >= 0)
                *maxKey = qMax(*maxKey, select.value(plan.keyColumn).toLongLong());
            if (++rows % kProgressEvery == 0)
                report(plan.name, index, count, rows);
        }
        return rows;
    }

    // The target's table, read back, against what was read from the source.
    void check(const TablePlan& plan, qint64 rows, const QVector<FieldSum>& sourceSums) {
        const QString countSql = QStringLiteral("SELECT count(*) FROM %1").arg(bracket(plan.name));
        const qint64 sourceRows = m_from.scalar(countSql).toLongLong();
        const qint64 targetRows = m_to.scalar(countSql).toLongLong();
        if (sourceRows != rows || targetRows != sourceRows)
            throw DbException(QStringLiteral("The copy of table '%1' has %2 rows, the original %3.")
                                  .arg(plan.name)
                                  .arg(targetRows)
                                  .arg(sourceRows));
        QVector<FieldSum> targetSums = emptySums(plan);
        Statement select = m_to.prepare(selectAll(plan));
        while (select.next())
            for (int s = 0; s < plan.numeric.size(); ++s)
                targetSums[s].add(select.value(plan.numeric[s]));
        for (int s = 0; s < sourceSums.size(); ++s)
            if (!targetSums[s].matches(sourceSums[s]))
                throw DbException(
                    QStringLiteral("The copy of field '%1' of table '%2' sums to %3, the "
                                   "original to %4.")
                        .arg(sourceSums[s].field, plan.name, targetSums[s].text(),
                             sourceSums[s].text()));
    }

    Database& m_from;
    Database& m_to;
    const DatabaseCopyProgressFn& m_progress;
};

} // namespace

QList<TableCopyCount> CopyDatabase(Database& from, Database& to,
                                   const DatabaseCopyProgressFn& progress) {
    return Copier(from, to, progress).run();
}

QString DatabaseDisplayName(const QString& name) {
    if (!name.contains(QLatin1String("://")))
        return name;
    return QUrl(name).toDisplayString(QUrl::RemovePassword);
}
