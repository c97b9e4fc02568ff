#include "core/app/resultcodes.h"
#include "core/db/database.h"
#include "core/db/upgrade/upgradecontext.h"
#include "core/db/upgrade/upgradelevels.h"

int UpgradeLevel2(UpgradeContext& ctx) {
    Database& db = ctx.db();
    ctx.mark(2, 0);
    if (!ctx.fieldExists(QStringLiteral("LANTemp"), QStringLiteral("LogonID"))) {
        if (!ctx.consent(2))
            return SystemResult::Cancelled;
        ctx.mark(2, 1);
        ctx.addField(QStringLiteral("LANTemp"),
                     FieldDef(QStringLiteral("LogonID"), FieldKind::Text, 32));
    }
    const QString invoices = QStringLiteral("Invoices");
    const QString number = QStringLiteral("InvoiceNum");
    if (db.fieldInfo(invoices, number).kind == FieldKind::AutoNumber)
        return 0;
    if (!ctx.consent(2))
        return SystemResult::Cancelled;
    ctx.mark(2, 2);
    ctx.saveAndDeleteIndexes(invoices);
    ctx.mark(2, 3);
    // Every invoice gets a new number from the engine.
    ctx.dropField(invoices, number);
    ctx.addField(invoices, FieldDef(number, FieldKind::AutoNumber));
    // The invoice number is the table's key from now on; the engine's indexes cover one field,
    // so the key over logon name, closing date and number is that AutoNumber key.
    ctx.createIndex(invoices, number, true);
    return 0;
}
