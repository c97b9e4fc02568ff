// plan list|show|export|import|delete: billing and invoicing plans from the command line, and
// price lists copied between databases.
#include "cli/chargedescription.h"
#include "cli/clicommand.h"
#include "cli/clitable.h"

#include "core/app/dbsession.h"
#include "core/billing/chargetypes.h"
#include "core/billing/plancatalog.h"
#include "core/billing/plandelete.h"
#include "core/billing/planexport.h"
#include "core/db/dbexception.h"
#include "core/db/replacefile.h"

#include <QFile>

namespace {

// --- list ---

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
    table.addColumn(QStringLiteral("StartDate"));
    table.addColumn(QStringLiteral("EndDate"));
    table.addColumn(QStringLiteral("Minimum"), CCliTable::Kind::Number);
    table.addColumn(QStringLiteral("Charges"), CCliTable::Kind::Number);
    table.addColumn(QStringLiteral("Taxes"));
    try {
        for (const TemplateEntry& p : TemplateBillingPlans(*db)) {
            CBPRecord plan(*db);
            if (!plan.findById(p.id))
                continue;
            int charges = 0;
            QStringList taxes;
            for (const TemplateEntry& e : PlanChargeEntries(*db, p.id)) {
                if (e.type & ChargeType::Applied)
                    taxes << e.name;
                else
                    ++charges;
            }
            table.addRow({plan.Name, QStringLiteral("billing"), IsoDateText(plan.StartDate),
                          IsoDateText(plan.EndDate), plan.MinimumCharge.format(decimals),
                          QString::number(charges), taxes.join(QStringLiteral(", "))});
        }
        for (const TemplateEntry& p : TemplateInvoicingPlans(*db))
            table.addRow({p.name, QStringLiteral("invoicing")});
    } catch (const DbException& e) {
        return c.fail(e.message());
    }
    c.out(table, *format);
    return ExitOk;
}

// --- show ---

void showBillingPlan(CCliContext& c, Database& db, const BPRow& plan) {
    const int decimals = CurrencyDecimals();
    const auto line = [&](const QString& label, const QString& value) {
        c.out(QStringLiteral("%1: %2").arg(label, value));
    };
    line(QStringLiteral("Name"), plan.Name);
    line(QStringLiteral("Kind"), QStringLiteral("billing plan"));
    line(QStringLiteral("Period"),
         QStringLiteral("%1 to %2").arg(IsoDateText(plan.StartDate), IsoDateText(plan.EndDate)));
    line(QStringLiteral("Minimum"), plan.MinimumCharge.format(decimals));
    line(QStringLiteral("PrepayMinimum"), CliYesNo(plan.PrepayMinimum));
    line(QStringLiteral("UseAnniversary"), CliYesNo(plan.UseAnniversary));
    line(QStringLiteral("SkipFirstInvoice"),
         CliYesNo(plan.Options & BillingPlanOption::SkipFirstInvoice));
    const QHash<qint32, QString> servers = ServerNames(db);
    CCliTable charges, taxes;
    for (const char* name : {"Priority", "Name", "Kind", "Amount", "Units", "Conditions"})
        charges.addColumn(QLatin1String(name));
    for (const char* name : {"Name", "Kind", "Rate", "Conditions"})
        taxes.addColumn(QLatin1String(name));
    for (const TemplateEntry& e : PlanChargeEntries(db, plan.Id)) {
        CChargeRecord rec(db);
        if (!rec.findById(e.id))
            continue;
        if (rec.Type & ChargeType::Applied)
            taxes.addRow({rec.Name, ChargeKindName(rec.Type), ChargeAmountText(rec, decimals),
                          ChargeFiltersText(rec, servers)});
        else
            charges.addRow({QString::number(charges.rowCount() + 1), rec.Name,
                            ChargeKindName(rec.Type), ChargeAmountText(rec, decimals),
                            ChargeUnitsText(rec), ChargeFiltersText(rec, servers)});
    }
    c.out(QStringLiteral("Charges (in priority order):"));
    if (charges.rowCount() > 0)
        c.out(charges, CliTableFormat::Table);
    c.out(QStringLiteral("Taxes, surcharges and discounts of the plan:"));
    if (taxes.rowCount() > 0)
        c.out(taxes, CliTableFormat::Table);
}

void showInvoicingPlan(CCliContext& c, const InvoicePlanRow& plan) {
    const auto line = [&](const QString& label, const QString& value) {
        c.out(QStringLiteral("%1: %2").arg(label, value));
    };
    line(QStringLiteral("Name"), plan.Name);
    line(QStringLiteral("Kind"), QStringLiteral("invoicing plan"));
    line(QStringLiteral("ShowDetails"), CliYesNo(plan.ShowDetails));
    line(QStringLiteral("ShowAddress"), CliYesNo(plan.ShowAddress));
    line(QStringLiteral("ShowInvoiceNum"), CliYesNo(plan.ShowInvoiceNum));
    line(QStringLiteral("DateFormat"), plan.DateFormat);
    const QStringList languages{QStringLiteral("English"), QStringLiteral("French"),
                                QStringLiteral("Spanish"), QStringLiteral("Portuguese")};
    line(QStringLiteral("Language"),
         languages.value(plan.Language, QString::number(plan.Language)));
    line(QStringLiteral("EmailServer"), plan.EmailServer);
    line(QStringLiteral("EmailSender"), plan.EmailSender);
    line(QStringLiteral("EmailSubject"), plan.EmailSubject);
    line(QStringLiteral("CreateIfZero"), CliYesNo(plan.CreateIfZero));
    line(QStringLiteral("EmailOnCreate"), CliYesNo(plan.EmailOnCreate));
    line(QStringLiteral("PrintOnCreate"), CliYesNo(plan.PrintOnCreate));
    line(QStringLiteral("ViewOnCreate"), CliYesNo(plan.ViewOnCreate));
    line(QStringLiteral("Heading"), plan.Heading);
    line(QStringLiteral("Footer"), plan.Footer);
    line(QStringLiteral("Message"), plan.Message);
    line(QStringLiteral("Bitmap"), plan.Bitmap);
}

int runShow(CCliContext& c) {
    Database* db = c.database();
    if (!db)
        return c.openFailureExit();
    const QString name = c.args().positional().at(0);
    try {
        if (const auto plan = FindTemplateBillingPlan(*db, name))
            showBillingPlan(c, *db, *plan);
        else if (const auto invoicing = FindTemplateInvoicingPlan(*db, name))
            showInvoicingPlan(c, *invoicing);
        else
            return c.fail(QStringLiteral("No billing or invoicing plan named '%1'.").arg(name));
    } catch (const DbException& e) {
        return c.fail(e.message());
    }
    return ExitOk;
}

// --- export, import ---

int runExport(CCliContext& c) {
    Database* db = c.database();
    if (!db)
        return c.openFailureExit();
    QByteArray json;
    if (const EditResult r = ExportPlans(*db, c.args().positional(), &json); !r.ok())
        return c.fail(r.text());
    const QString file = c.args().value(QStringLiteral("output"));
    QString error;
    if (!WriteFileSafely(file.isEmpty() ? QStringLiteral("-") : file, json, &error))
        return c.fail(error);
    return ExitOk;
}

int runImport(CCliContext& c) {
    const QString path = c.args().positional().at(0);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return c.fail(QStringLiteral("Cannot read %1: %2").arg(path, file.errorString()));
    const QByteArray json = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return c.fail(QStringLiteral("Cannot read %1: %2").arg(path, file.errorString()));
    Database* db = c.database();
    if (!db)
        return c.openFailureExit();
    PlanImportSummary s;
    if (const EditResult r = ImportPlans(*db, json, c.args().isSet(QStringLiteral("replace")), &s);
        !r.ok())
        return c.fail(r.text());
    c.out(QStringLiteral("Imported %1 billing plans, %2 invoicing plans and %3 charges (%4 "
                         "replaced).")
              .arg(s.billingPlans)
              .arg(s.invoicingPlans)
              .arg(s.charges)
              .arg(s.replaced));
    return ExitOk;
}

// --- delete ---

int runDelete(CCliContext& c) {
    Database* db = c.database();
    if (!db)
        return c.openFailureExit();
    const QString name = c.args().positional().at(0);
    std::optional<BPRow> plan;
    std::optional<InvoicePlanRow> invoicing;
    try {
        plan = FindTemplateBillingPlan(*db, name);
        if (!plan)
            invoicing = FindTemplateInvoicingPlan(*db, name);
    } catch (const DbException& e) {
        return c.fail(e.message());
    }
    if (!plan && !invoicing)
        return c.fail(QStringLiteral("No billing or invoicing plan named '%1'.").arg(name));
    if (!c.terminal().askYesNo(plan ? DeleteBillingPlanQuestion() : DeleteInvoicingPlanQuestion(),
                               MessageIcon::Question))
        return ExitDeclined;
    QString note;
    const EditResult r = plan ? DeleteBillingPlan(*db, plan->Id, &note)
                              : DeleteInvoicingPlan(*db, invoicing->Id, &note);
    if (!r.ok())
        return c.fail(r.text());
    if (!note.isEmpty())
        c.terminal().showMessage(note, MessageIcon::Information);
    return ExitOk;
}

const CliRegistration reg{{
    .name = QStringLiteral("plan"),
    .synopsis = QStringLiteral("list|show|export|import|delete ..."),
    .summary = QStringLiteral("List, show or delete billing and invoicing plans; copy price lists "
                              "between databases."),
    .subcommands =
        {{.name = QStringLiteral("list"),
          .synopsis = QStringLiteral("[--format table|csv|json]"),
          .summary = QStringLiteral("List the billing plans, then the invoicing plans."),
          .options = {FormatCliOption()},
          .run = &runList},
         {.name = QStringLiteral("show"),
          .synopsis = QStringLiteral("NAME"),
          .summary = QStringLiteral("Show a plan: a billing plan's period, minimum, options, "
                                    "charges in priority order and its own taxes and surcharges; "
                                    "an invoicing plan's fields."),
          .minArgs = 1,
          .maxArgs = 1,
          .run = &runShow},
         {.name = QStringLiteral("export"),
          .synopsis = QStringLiteral("[NAME...] [-o FILE.json]"),
          .summary = QStringLiteral("Write plans with their charges as JSON (every plan and charge "
                                    "when no name is given)."),
          .details = QStringLiteral("The format is described in docs/plans-json.md."),
          .options = {{QStringLiteral("output"), QStringLiteral("o"), QStringLiteral("FILE"),
                       QStringLiteral("the file to write (default: standard output)")}},
          .maxArgs = -1,
          .run = &runExport},
         {.name = QStringLiteral("import"),
          .synopsis = QStringLiteral("FILE.json [--replace]"),
          .summary = QStringLiteral("Add the plans and charges of a JSON file; when anything in "
                                    "it is wrong nothing is stored."),
          .options = {{QStringLiteral("replace"), QString(), QString(),
                       QStringLiteral("replace plans and charges of the same name (invoices "
                                      "already issued keep what they were billed with)")}},
          .minArgs = 1,
          .maxArgs = 1,
          .run = &runImport},
         {.name = QStringLiteral("delete"),
          .synopsis = QStringLiteral("NAME"),
          .summary = QStringLiteral("Delete a billing or invoicing plan (asks first); its "
                                    "customers and groups are left without it, issued invoices "
                                    "keep their copies."),
          .minArgs = 1,
          .maxArgs = 1,
          .run = &runDelete}},
}};

} // namespace
