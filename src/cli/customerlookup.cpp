#include "cli/customerlookup.h"

#include "cli/clicommand.h"
#include "core/customers/customernames.h"
#include "core/customers/customerpages.h"

namespace {

std::optional<qint32> lookUpPlan(CCliContext& c, const QList<PlanChoice>& plans,
                                 const QString& name, const QString& kind) {
    if (name.isEmpty() || name.compare(QLatin1String("None"), Qt::CaseInsensitive) == 0)
        return 0;
    for (const PlanChoice& p : plans)
        if (p.name.compare(name, Qt::CaseInsensitive) == 0)
            return p.id;
    c.terminal().showMessage(QStringLiteral("No %1 named '%2'.").arg(kind, name),
                             MessageIcon::Stop);
    return std::nullopt;
}

QString planName(const QList<PlanChoice>& plans, qint32 id) {
    if (id == 0)
        return QStringLiteral("None");
    for (const PlanChoice& p : plans)
        if (p.id == id)
            return p.name;
    return QStringLiteral("#%1").arg(id);
}

} // namespace

std::optional<qint32> LookUpCustomer(CCliContext& c, Database& db, const QString& name) {
    const qint32 id = FindCustomerByName(db, name);
    if (id == 0) {
        c.terminal().showMessage(QStringLiteral("No customer or group named '%1'.").arg(name),
                                 MessageIcon::Stop);
        return std::nullopt;
    }
    return id;
}

std::optional<UserRow> LookUpCustomerRow(CCliContext& c, Database& db, const QString& name) {
    const auto id = LookUpCustomer(c, db, name);
    if (!id)
        return std::nullopt;
    CUserRecord u(db);
    if (!u.findById(*id)) {
        c.terminal().showMessage(QStringLiteral("User not found."), MessageIcon::Stop);
        return std::nullopt;
    }
    return u.row();
}

std::optional<qint32> LookUpBillingPlan(CCliContext& c, Database& db, const QString& name) {
    return lookUpPlan(c, BillingPlanChoices(db), name, QStringLiteral("billing plan"));
}

std::optional<qint32> LookUpInvoicePlan(CCliContext& c, Database& db, const QString& name) {
    return lookUpPlan(c, InvoicePlanChoices(db), name, QStringLiteral("invoicing plan"));
}

QString BillingPlanName(Database& db, qint32 id) {
    return planName(BillingPlanChoices(db), id);
}

QString InvoicePlanName(Database& db, qint32 id) {
    return planName(InvoicePlanChoices(db), id);
}
