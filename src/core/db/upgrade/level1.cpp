#include "core/app/resultcodes.h"
#include "core/db/database.h"
#include "core/db/upgrade/fieldconversion.h"
#include "core/db/upgrade/upgradecontext.h"
#include "core/db/upgrade/upgradelevels.h"

int UpgradeLevel1(UpgradeContext& ctx) {
    if (ctx.tableExists(QStringLiteral("Servers")))
        return 0;
    if (!ctx.consent(2))
        return SystemResult::Cancelled;
    Database& db = ctx.db();
    ctx.mark(1, 1);
    if (!ctx.tableExists(QStringLiteral("Comments"))) {
        db.createTable(QStringLiteral("Comments"),
                       {FieldDef(QStringLiteral("CommentID"), FieldKind::Long),
                        FieldDef(QStringLiteral("Comment"), FieldKind::Memo)});
        ctx.note(QStringLiteral("create table Comments"));
        ctx.createIndex(QStringLiteral("Comments"), QStringLiteral("CommentID"), true);
    }
    ctx.mark(1, 2);
    const auto text = [](const char* name, int size) {
        return FieldDef(QString::fromLatin1(name), FieldKind::Text, size);
    };
    const auto field = [](const char* name, FieldKind kind) {
        return FieldDef(QString::fromLatin1(name), kind);
    };
    db.createTable(QStringLiteral("Servers"),
                   {text("ServerName", 20), text("DateFormat", 40), text("SMTP", 50),
                    text("EMailSender", 50), text("EMailSubject", 50), text("Tax1Name", 20),
                    text("Tax2Name", 20), field("Tax1Rate", FieldKind::Single),
                    field("Tax2Rate", FieldKind::Single), field("Language", FieldKind::Integer),
                    field("CommentID", FieldKind::Long), field("BillFrom", FieldKind::DateTime),
                    field("BillTo", FieldKind::DateTime), field("PremFrom", FieldKind::DateTime),
                    field("PremTo", FieldKind::DateTime), field("InvoiceNum", FieldKind::Long),
                    field("InvoiceExtra", FieldKind::Long)});
    ctx.note(QStringLiteral("create table Servers"));
    ctx.createIndex(QStringLiteral("Servers"), QStringLiteral("ServerName"), true);
    ctx.mark(1, 3);
    if (!ctx.tableExists(QStringLiteral("LANTemp"))) {
        // Its key over all three fields goes at the next level but one, where LANTemp is keyed
        // by an AutoNumber; the engine's indexes cover one field, so none is made here.
        db.createTable(QStringLiteral("LANTemp"),
                       {text("UserName", 16), field("EventDate", FieldKind::DateTime),
                        field("On/Off", FieldKind::YesNo)});
        ctx.note(QStringLiteral("create table LANTemp"));
    }
    ctx.mark(1, 4);
    ctx.addField(QStringLiteral("Users"), field("CommentID", FieldKind::Long));
    ctx.addField(QStringLiteral("Users"), field("ServiceExpiry", FieldKind::DateTime));
    const FieldDef province = db.fieldInfo(QStringLiteral("Users"), QStringLiteral("Province"));
    if (province.kind != FieldKind::Text || province.size != 3)
        ConvertField(ctx, QStringLiteral("Users"), text("Province", 3));
    return 0;
}
