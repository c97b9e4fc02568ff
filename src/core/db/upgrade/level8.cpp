#include "core/db/database.h"
#include "core/db/schema.h"
#include "core/db/upgrade/fieldconversion.h"
#include "core/db/upgrade/upgradecontext.h"
#include "core/db/upgrade/upgradelevels.h"

int UpgradeLevel8(UpgradeContext& ctx) {
    const QString plans = QStringLiteral("InvoicePlans");
    const QString users = QStringLiteral("Users");
    ctx.mark(8, 0);
    if (!ctx.fieldExists(plans, QStringLiteral("Options"))) {
        ctx.addCurrentField(plans, QStringLiteral("Options"));
        ctx.exec(QStringLiteral("UPDATE DISTINCTROW InvoicePlans SET InvoicePlans.Options = 0"));
    }
    ctx.mark(8, 1);
    if (!ctx.fieldExists(users, QStringLiteral("Options"))) {
        ctx.addCurrentField(users, QStringLiteral("Options"));
        ctx.exec(QStringLiteral("UPDATE Users SET Options = 0"));
    }
    int step = 2;
    for (const char* f : {"Heading", "Footer", "Bitmap"}) {
        ctx.mark(8, step++);
        ctx.addCurrentField(plans, QString::fromLatin1(f));
    }
    ctx.mark(8, 5);
    const FieldDef expiry = ctx.db().fieldInfo(users, QStringLiteral("ExpiryDate"));
    if (expiry.kind == FieldKind::Text && expiry.size < kDefaultTextSize)
        ConvertField(ctx, users, CurrentField(users, QStringLiteral("ExpiryDate")));
    return 0;
}
