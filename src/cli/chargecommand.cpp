// charge list|show|delete: the template charges from the command line.
#include "cli/chargedescription.h"
#include "cli/clicommand.h"
#include "cli/clitable.h"

#include "core/app/dbsession.h"
#include "core/billing/chargetypes.h"
#include "core/billing/plancatalog.h"
#include "core/billing/plandelete.h"
#include "core/db/database.h"
#include "core/db/dbexception.h"

namespace {

// Names of the template plans holding the charge, and of the taxes and surcharges linked to it.
QStringList names(Database& db, const QString& sql, qint32 id) {
    QStringList list;
    Statement st = db.prepare(sql);
    st.bind(1, id);
    while (st.next())
        list << st.value(0).toString();
    return list;
}

QStringList plansOf(Database& db, qint32 chargeId) {
    return names(db,
                 QStringLiteral("SELECT DISTINCT BillingPlans.Name FROM BPChargeJoin INNER JOIN "
                                "BillingPlans ON BPChargeJoin.IdBillingPlan = BillingPlans.Id "
                                "WHERE BPChargeJoin.IdCharge = ? AND BillingPlans.IdInvoice = 0 "
                                "ORDER BY BillingPlans.Name"),
                 chargeId);
}

QStringList appliedTo(Database& db, qint32 chargeId) {
    return names(db,
                 QStringLiteral("SELECT Charges.Name FROM ChargeChargeJoin INNER JOIN Charges ON "
                                "ChargeChargeJoin.IdChargeFrom = Charges.Id WHERE "
                                "ChargeChargeJoin.IdChargeTo = ? ORDER BY Charges.Name"),
                 chargeId);
}

int runList(CCliContext& c) {
    const auto format = c.tableFormat();
    if (!format)
        return ExitUsage;
    Database* db = c.database();
    if (!db)
        return c.openFailureExit();
    const int decimals = CurrencyDecimals();
    CCliTable table;
    table.addColumn(QStringLiteral("Name"));
    table.addColumn(QStringLiteral("Kind"));
    table.addColumn(QStringLiteral("Amount"), CCliTable::Kind::Number);
    table.addColumn(QStringLiteral("Units"));
    table.addColumn(QStringLiteral("Plans"));
    try {
        for (const TemplateEntry& e : TemplateCharges(*db)) {
            CChargeRecord rec(*db);
            if (rec.findById(e.id))
                table.addRow({rec.Name, ChargeKindName(rec.Type),
                              rec.Type & ChargeType::Applied
                                  ? QString::asprintf("%.2f", rec.SGPercentage)
                                  : rec.ChargeAmount.format(decimals),
                              ChargeUnitsText(rec), plansOf(*db, e.id).join(QStringLiteral(", "))});
        }
    } catch (const DbException& e) {
        return c.fail(e.message());
    }
    c.out(table, *format);
    return ExitOk;
}

int runShow(CCliContext& c) {
    Database* db = c.database();
    if (!db)
        return c.openFailureExit();
    const QString name = c.args().positional().at(0);
    try {
        const auto charge = FindTemplateCharge(*db, name);
        if (!charge)
            return c.fail(QStringLiteral("No charge named '%1'.").arg(name));
        const auto line = [&](const QString& label, const QString& value) {
            c.out(QStringLiteral("%1: %2").arg(label, value));
        };
        const bool applied = charge->Type & ChargeType::Applied;
        line(QStringLiteral("Name"), charge->Name);
        line(QStringLiteral("Kind"), ChargeKindName(charge->Type));
        line(applied ? QStringLiteral("Rate") : QStringLiteral("Amount"),
             ChargeAmountText(*charge, CurrencyDecimals()));
        if (!applied)
            line(QStringLiteral("Units"), ChargeUnitsText(*charge));
        if (charge->Type == ChargeType::Fixed)
            line(QStringLiteral("DefaultUnits"), QString::number(charge->DefUnitQuantity));
        line(QStringLiteral("Conditions"), ChargeFiltersText(*charge, ServerNames(*db)));
        if (!applied)
            line(QStringLiteral("Applied"), appliedTo(*db, charge->Id).join(QStringLiteral(", ")));
        line(QStringLiteral("Plans"), plansOf(*db, charge->Id).join(QStringLiteral(", ")));
    } catch (const DbException& e) {
        return c.fail(e.message());
    }
    return ExitOk;
}

int runDelete(CCliContext& c) {
    Database* db = c.database();
    if (!db)
        return c.openFailureExit();
    const QString name = c.args().positional().at(0);
    const QString planName = c.args().value(QStringLiteral("plan"));
    std::optional<ChargeRow> charge;
    std::optional<BPRow> plan;
    try {
        charge = FindTemplateCharge(*db, name);
        if (!planName.isNull())
            plan = FindTemplateBillingPlan(*db, planName);
    } catch (const DbException& e) {
        return c.fail(e.message());
    }
    if (!charge)
        return c.fail(QStringLiteral("No charge named '%1'.").arg(name));
    if (!planName.isNull() && !plan)
        return c.fail(QStringLiteral("No billing plan named '%1'.").arg(planName));
    if (!c.terminal().askYesNo(plan ? DeletePlanChargeQuestion() : DeleteChargeQuestion(),
                               MessageIcon::Question))
        return ExitDeclined;
    const EditResult r =
        plan ? DeletePlanCharge(*db, plan->Id, charge->Id) : DeleteCharge(*db, charge->Id);
    return r.ok() ? int(ExitOk) : c.fail(r.text());
}

const CliRegistration reg{{
    .name = QStringLiteral("charge"),
    .synopsis = QStringLiteral("list|show|delete ..."),
    .summary = QStringLiteral("List, show or delete charges."),
    .subcommands =
        {{.name = QStringLiteral("list"),
          .synopsis = QStringLiteral("[--format table|csv|json]"),
          .summary = QStringLiteral("List the charges with their price, units and plans."),
          .options = {FormatCliOption()},
          .run = &runList},
         {.name = QStringLiteral("show"),
          .synopsis = QStringLiteral("NAME"),
          .summary = QStringLiteral("Show a charge: its price, units, conditions, the taxes and "
                                    "surcharges applied to it and the plans that hold it."),
          .minArgs = 1,
          .maxArgs = 1,
          .run = &runShow},
         {.name = QStringLiteral("delete"),
          .synopsis = QStringLiteral("NAME [--plan PLAN]"),
          .summary = QStringLiteral("Delete a charge from every plan and the charge itself, or "
                                    "with --plan only from that plan (asks first); issued "
                                    "invoices keep their copies."),
          .options = {{QStringLiteral("plan"), QString(), QStringLiteral("PLAN"),
                       QStringLiteral("remove the charge from this billing plan only")}},
          .minArgs = 1,
          .maxArgs = 1,
          .run = &runDelete}},
}};

} // namespace
