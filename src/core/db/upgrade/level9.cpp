#include "core/db/upgrade/upgradecontext.h"
#include "core/db/upgrade/upgradelevels.h"

int UpgradeLevel9(UpgradeContext& ctx) {
    const QString plans = QStringLiteral("InvoicePlans");
    ctx.mark(9, 0);
    if (!ctx.fieldExists(plans, QStringLiteral("ShowInvoiceNum"))) {
        ctx.addCurrentField(plans, QStringLiteral("ShowInvoiceNum"));
        ctx.exec(
            QStringLiteral("UPDATE DISTINCTROW InvoicePlans SET InvoicePlans.ShowInvoiceNum = 0"));
    }
    return 0;
}
