#include "core/app/resultcodes.h"
#include "core/db/database.h"
#include "core/db/schema.h"
#include "core/db/upgrade/fieldconversion.h"
#include "core/db/upgrade/upgradecontext.h"
#include "core/db/upgrade/upgradelevels.h"

namespace {

constexpr int kOldNameSize = 16;
constexpr int kNameSize = 40;

} // namespace

int UpgradeLevel5(UpgradeContext& ctx) {
    const FieldDef name = ctx.db().fieldInfo(QStringLiteral("Users"), QStringLiteral("Username"));
    if (name.size != kOldNameSize)
        return 0;
    if (!ctx.consent(3))
        return SystemResult::Cancelled;
    // The engine keeps no relations between tables, so there is no first relation to remove.
    const struct {
        const char* table;
        const char* field;
    } names[] = {{"Users", "Username"},
                 {"Events", "Username"},
                 {"LANTemp", "UserName"},
                 {"Invoices", "Username"}};
    int step = 1;
    for (const auto& n : names) {
        ctx.mark(5, step++);
        const QString table = QString::fromLatin1(n.table);
        const QString field = QString::fromLatin1(n.field);
        if (ctx.fieldExists(table, field))
            ConvertField(ctx, table, FieldDef(field, FieldKind::Text, kNameSize));
    }
    return 0;
}
