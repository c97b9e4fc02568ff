#include "core/db/currency.h"
#include "core/db/database.h"
#include "core/db/schema.h"
#include "core/db/upgrade/upgradecontext.h"
#include "core/db/upgrade/upgradelevels.h"

#include <QLocale>

namespace {

const QString kDBInfo = QStringLiteral("DBInfo");

// The minimum payment of releases that kept it per user, as text in the user's format.
Currency minimumFromText(const QString& setting) {
    const QString text = setting.trimmed();
    bool ok = false;
    double amount = QLocale().toDouble(text, &ok);
    if (!ok)
        amount = QLocale::c().toDouble(text, &ok);
    return ok ? Currency::fromDouble(amount) : Currency::fromUnits(0);
}

} // namespace

int UpgradeLevel0(UpgradeContext& ctx) {
    Database& db = ctx.db();
    ctx.mark(0, 0);
    const bool existed = ctx.tableExists(kDBInfo);
    if (!existed) {
        db.createTable(kDBInfo, {CurrentField(kDBInfo, QStringLiteral("Version"))});
        ctx.note(QStringLiteral("create table DBInfo"));
    }
    ctx.mark(0, 1);
    if (existed)
        ctx.addCurrentField(kDBInfo, QStringLiteral("Version"));
    ctx.mark(0, 2);
    if (!ctx.fieldExists(kDBInfo, QStringLiteral("LogoURL"))) {
        ctx.addCurrentField(kDBInfo, QStringLiteral("LogoURL"));
        ctx.addCurrentField(kDBInfo, QStringLiteral("Company Name"));
    }
    ctx.mark(0, 3);
    bool addedMinimum = false;
    if (!ctx.fieldExists(kDBInfo, QStringLiteral("PrepaidMinimum"))) {
        ctx.addCurrentField(kDBInfo, QStringLiteral("PrepaidMinimum"));
        ctx.addCurrentField(kDBInfo, QStringLiteral("MinimumPayment"));
        addedMinimum = true;
    }
    ctx.mark(0, 4);
    const QVariant rows = db.scalar(QStringLiteral("SELECT COUNT(*) FROM DBInfo"));
    ctx.mark(0, 5);
    if (rows.toLongLong() == 0) {
        db.execute(QStringLiteral("INSERT INTO DBInfo ([Version]) VALUES (0)"));
        ctx.note(QStringLiteral("add the DBInfo row"));
    }
    ctx.mark(0, 6);
    if (addedMinimum) {
        db.execute(QStringLiteral("UPDATE DBInfo SET [PrepaidMinimum] = ?, [MinimumPayment] = ?"),
                   {ctx.host().prepaySetting(),
                    QVariant::fromValue(minimumFromText(ctx.host().minimumSetting()))});
        ctx.note(QStringLiteral("copy the minimum-payment settings into DBInfo"));
    }
    ctx.mark(0, 7);
    const QVariant version = db.scalar(QStringLiteral("SELECT [Version] FROM DBInfo"));
    ctx.mark(0, 8);
    return version.isNull() ? 0 : version.toInt();
}
