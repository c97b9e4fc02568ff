#include "core/app/resultcodes.h"
#include "core/db/upgrade/upgradecontext.h"
#include "core/db/upgrade/upgradelevels.h"

int UpgradeLevel4(UpgradeContext& ctx) {
    const QString users = QStringLiteral("Users");
    if (ctx.fieldExists(users, QStringLiteral("ActiveStatus")))
        return 0;
    if (!ctx.consent(3))
        return SystemResult::Cancelled;
    ctx.mark(4, 1);
    ctx.addCurrentField(users, QStringLiteral("ActiveStatus"));
    ctx.mark(4, 2);
    ctx.exec(QStringLiteral("UPDATE DISTINCTROW Users SET Users.ActiveStatus = %1").arg(1));
    return 0;
}
