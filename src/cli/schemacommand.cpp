// schema: the database layout, table by table.
#include "cli/clicommand.h"

#include "core/app/dbsession.h"
#include "core/db/database.h"
#include "core/db/dbexception.h"
#include "core/db/schema.h"

namespace {

QString kindText(const FieldDef& f) {
    switch (f.kind) {
    case FieldKind::Long:
        return QStringLiteral("Long");
    case FieldKind::AutoNumber:
        return QStringLiteral("AutoNumber");
    case FieldKind::Integer:
        return QStringLiteral("Integer");
    case FieldKind::Single:
        return QStringLiteral("Single");
    case FieldKind::Double:
        return QStringLiteral("Double");
    case FieldKind::Currency:
        return QStringLiteral("Currency");
    case FieldKind::DateTime:
        return QStringLiteral("Date/Time");
    case FieldKind::YesNo:
        return QStringLiteral("Yes/No");
    case FieldKind::Text:
        return QStringLiteral("Text(%1)").arg(f.size);
    case FieldKind::Memo:
        return QStringLiteral("Memo");
    case FieldKind::LongBinary:
        return QStringLiteral("Long Binary");
    }
    return QStringLiteral("?");
}

void printTable(CCliContext& c, const QString& name, const FieldList& fields,
                const QList<IndexDef>& indexes) {
    c.out(name);
    for (const FieldDef& f : fields) {
        QString line =
            QStringLiteral("  %1 %2").arg(f.name.leftJustified(20), kindText(f).leftJustified(12));
        QStringList notes;
        if (f.required)
            notes << QStringLiteral("required");
        if (f.allowZeroLength)
            notes << QStringLiteral("zero-length");
        if (f.hasDefault)
            notes << QStringLiteral("default \"%1\"").arg(f.defaultValue);
        line += notes.join(QLatin1Char(' '));
        while (line.endsWith(QLatin1Char(' ')))
            line.chop(1);
        c.out(line);
    }
    for (const IndexDef& i : indexes) {
        QStringList notes;
        if (i.primary)
            notes << QStringLiteral("primary");
        if (i.unique)
            notes << QStringLiteral("unique");
        c.out(QStringLiteral("  index %1 (%2)%3")
                  .arg(i.name, i.field,
                       notes.isEmpty() ? QString()
                                       : QLatin1Char(' ') + notes.join(QLatin1Char(' '))));
    }
    c.out(QString());
}

int runSchema(CCliContext& c) {
    if (!c.args().isSet(QStringLiteral("file"))) {
        for (const TableSchema& t : CurrentSchema()) {
            QList<IndexDef> indexes;
            for (const IndexSchema& i : t.indexes)
                indexes.append({i.name(), i.field, i.primary, i.primary});
            printTable(c, t.name, t.fields, indexes);
        }
        return ExitOk;
    }

    CDatabaseSession* session = c.openDatabase();
    if (!session)
        return c.openFailureExit();
    try {
        Database& db = *session->database();
        for (const QString& table : db.tableNames())
            printTable(c, table, db.fields(table), db.indexes(table));
    } catch (const DbException& e) {
        return c.fail(e.message());
    }
    return ExitOk;
}

const CliRegistration reg{{
    .name = QStringLiteral("schema"),
    .synopsis = QStringLiteral("[--file]"),
    .summary = QStringLiteral("Print the current database layout, table by table."),
    .options = {{QStringLiteral("file"), QString(), QString(),
                 QStringLiteral("the layout of the database file instead")}},
    .run = &runSchema,
}};

} // namespace
