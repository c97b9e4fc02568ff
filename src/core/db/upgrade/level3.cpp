#include "core/app/resultcodes.h"
#include "core/db/upgrade/upgradecontext.h"
#include "core/db/upgrade/upgradelevels.h"

int UpgradeLevel3(UpgradeContext& ctx) {
    const QString users = QStringLiteral("Users");
    if (!ctx.fieldExists(users, QStringLiteral("Prepaid")))
        return 0;
    if (!ctx.consent(3))
        return SystemResult::Cancelled;
    // The oldest releases kept the event-log server name in a profile; this program has none,
    // and the "ServerName" setting starts from that profile's default "ServerHostName".
    ctx.mark(3, 1);
    ctx.dropField(users, QStringLiteral("Prepaid"));
    ctx.addField(users, FieldDef(QStringLiteral("Prepay"), FieldKind::YesNo));
    ctx.mark(3, 2);
    ctx.exec(QStringLiteral("UPDATE DISTINCTROW Users SET Users.Prepay = 1"));
    return 0;
}
