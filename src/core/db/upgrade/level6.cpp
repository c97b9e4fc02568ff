#include "core/app/resultcodes.h"
#include "core/db/database.h"
#include "core/db/schema.h"
#include "core/db/upgrade/fieldconversion.h"
#include "core/db/upgrade/upgradecontext.h"
#include "core/db/upgrade/upgradelevels.h"

int UpgradeLevel6(UpgradeContext& ctx) {
    const QString events = QStringLiteral("Events");
    if (ctx.fieldExists(events, QStringLiteral("SessionId")))
        return 0;
    if (!ctx.consent(3))
        return SystemResult::Cancelled;
    const QString id = QStringLiteral("Id");

    ctx.mark(6, 0);
    ctx.addCurrentField(events, QStringLiteral("SessionId"));
    ctx.addCurrentField(events, QStringLiteral("ServerId"));
    ctx.addCurrentField(events, id);
    ctx.saveAndDeleteIndexes(events);
    ctx.createIndex(events, id, true);
    ctx.createIndex(events, QStringLiteral("Username"));
    ctx.createIndex(events, QStringLiteral("DisconnectDate"));

    ctx.mark(6, 1);
    ctx.exec(QStringLiteral("UPDATE DISTINCTROW Events SET Events.SessionId = 'None'"));
    ctx.exec(QStringLiteral("UPDATE DISTINCTROW Events SET Events.ServerId = 0"));

    ctx.mark(6, 2);
    const QString servers = QStringLiteral("Servers");
    if (ctx.tableExists(servers)) {
        ctx.db().deleteTable(servers);
        ctx.note(QStringLiteral("delete table Servers"));
    }
    ctx.createCurrentTable(servers);

    ctx.mark(6, 3);
    const QString lanTemp = QStringLiteral("LANTemp");
    ctx.saveAndDeleteIndexes(lanTemp);
    ctx.dropField(lanTemp, QStringLiteral("On/Off"));
    ctx.addCurrentField(lanTemp, QStringLiteral("ServerId"));
    ctx.addCurrentField(lanTemp, id);
    ctx.createIndex(lanTemp, id, true);
    ConvertField(ctx, lanTemp, CurrentField(lanTemp, QStringLiteral("LogonID")));

    ctx.mark(6, 4);
    ctx.exec(QStringLiteral("UPDATE DISTINCTROW LANTemp SET LANTemp.ServerId = 0"));

    ctx.mark(6, 5);
    const QString users = QStringLiteral("Users");
    ctx.saveAndDeleteIndexes(users);
    ctx.addCurrentField(users, id);
    ctx.createIndex(users, id, true);
    ctx.createIndex(users, QStringLiteral("Username"));

    ctx.mark(6, 6);
    const QString invoices = QStringLiteral("Invoices");
    ctx.saveAndDeleteIndexes(invoices);
    ctx.createIndex(invoices, QStringLiteral("InvoiceNum"), true);
    return 0;
}
