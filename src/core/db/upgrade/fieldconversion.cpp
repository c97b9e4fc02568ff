#include "core/db/upgrade/fieldconversion.h"

#include "core/db/database.h"
#include "core/db/dbexception.h"
#include "core/db/upgrade/upgradecontext.h"

namespace {

const QString kTmp = QStringLiteral("tmp");

QString copySql(const QString& table, const QString& to, const QString& from) {
    return QStringLiteral("UPDATE DISTINCTROW %1 SET %1.%2 = %1.%3").arg(table, to, from);
}

} // namespace

void ConvertField(UpgradeContext& ctx, const QString& table, const FieldDef& newDef) {
    Database& db = ctx.db();
    const QList<IndexDef> indexes = ctx.saveAndDeleteIndexes(table);
    const FieldDef old = db.fieldInfo(table, newDef.name);
    if (db.fieldExists(table, kTmp))
        db.deleteField(table, kTmp);
    FieldDef parked = old;
    parked.name = kTmp;
    parked.required = false;
    if (old.kind == FieldKind::Text || old.kind == FieldKind::Memo)
        parked.allowZeroLength = true;
    if (old.kind == FieldKind::AutoNumber)
        parked.kind = FieldKind::Long;
    db.addField(table, parked);
    db.execute(copySql(table, kTmp, old.name));
    bool parkedOnly = false;
    try {
        db.deleteField(table, old.name);
        parkedOnly = true;
        FieldDef made = newDef;
        made.name = old.name;
        db.addField(table, made);
        db.execute(copySql(table, old.name, kTmp));
        parkedOnly = false;
    } catch (const DbException&) {
        // Inside the upgrade's transaction the rollback brings the field back; only a
        // conversion run on its own can leave the values parked.
        if (parkedOnly && db.transactionDepth() == 0)
            ctx.host().showMessage(
                QStringLiteral("Error converting field attributes.\n\nDo not rerun Tollkeeper "
                               "without first contacting Corvane or you may lose data which "
                               "has become stuck in %1.%2.")
                    .arg(table, kTmp),
                true);
        throw;
    }
    db.deleteField(table, kTmp);
    ctx.restoreIndexes(table, indexes);
    ctx.note(QStringLiteral("convert field %1.%2").arg(table, old.name));
}
