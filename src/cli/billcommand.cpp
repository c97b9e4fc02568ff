// bill (--customer NAME | --group NAME) [--date YYYY-MM-DD] [--billing-plan NAME]
// [--invoice-plan NAME] (--keep | --discard) [--send] [--again]: an invoice run.
#include "cli/clicommand.h"

#include "cli/runsupport.h"
#include "core/app/dbsession.h"
#include "core/billing/invoicerun.h"
#include "core/db/currency.h"
#include "core/db/invoicerecord.h"
#include "core/invoice/invoicedelivery.h"

namespace {

// One line per new invoice: number, customer, new charges, total due.
QStringList invoiceLines(Database& db, const QList<qint32>& numbers) {
    QStringList lines;
    const int decimals = CurrencyDecimals();
    for (const qint32 num : numbers) {
        CInvoiceRecord inv(db);
        if (!inv.findByNumber(num))
            continue;
        CUserRecord user(db);
        const QString name = user.findById(inv.IdUser) ? user.Username : QString();
        lines.append(
            QStringLiteral("%1\t%2\t%3\t%4")
                .arg(num)
                .arg(name, inv.NewCharges.format(decimals), inv.TotalDue.format(decimals)));
    }
    return lines;
}

int runBill(CCliContext& c) {
    const CliArgs& a = c.args();
    const QString customer = a.value(QStringLiteral("customer"));
    const QString group = a.value(QStringLiteral("group"));
    const QString billingPlan = a.value(QStringLiteral("billing-plan"));
    const QString invoicePlan = a.value(QStringLiteral("invoice-plan"));
    const bool keep = a.isSet(QStringLiteral("keep"));
    const bool discard = a.isSet(QStringLiteral("discard"));
    const bool send = a.isSet(QStringLiteral("send"));
    if (customer.isNull() == group.isNull() || keep == discard || (send && !keep))
        return c.usageError();
    const QString date = a.value(QStringLiteral("date"));
    const std::optional<DbDateTime> when = ParseInvoiceDate(date);
    if (!when)
        return ExitUsage;

    CDatabaseSession* session = c.openDatabase();
    if (!session)
        return c.openFailureExit();
    Database& db = *session->database();

    const std::optional<qint32> planIdFound = FindBillingPlanId(db, billingPlan);
    if (!planIdFound)
        return ExitFailure;
    const std::optional<qint32> invoicePlanIdFound = FindInvoicePlanId(db, invoicePlan);
    if (!invoicePlanIdFound)
        return ExitFailure;
    const qint32 planId = *planIdFound, invoicePlanId = *invoicePlanIdFound;
    const bool forGroup = !group.isNull();
    const std::optional<UserRow> row = FindCustomerRow(db, forGroup ? group : customer, forGroup);
    if (!row) {
        c.terminal().showMessage(forGroup ? QStringLiteral("Customer group record not found.")
                                          : QStringLiteral("Customer record not found."),
                                 MessageIcon::Exclamation);
        return ExitFailure;
    }
    // The plans a customer is billed with must exist, as in the desktop dialog.
    if (!forGroup && (planId ? planId : row->IdBillingPlan) == 0) {
        c.terminal().showMessage(QStringLiteral("Please choose a billing plan to use."),
                                 MessageIcon::Exclamation);
        return ExitFailure;
    }
    if (!forGroup && (invoicePlanId ? invoicePlanId : row->IdInvoicePlan) == 0) {
        c.terminal().showMessage(QStringLiteral("Please choose an invoicing plan to use, even if "
                                                "you choose not to execute the send options."),
                                 MessageIcon::Exclamation);
        return ExitFailure;
    }

    CRunReport report(c.terminal());
    CInvoiceRun run(db);
    run.SetSkipInvoiced(!a.isSet(QStringLiteral("again")));
    run.SetSender([&db](qint32 num, qint32 plan) { return SendInvoice(db, num, plan); });
    QStringList lines;
    run.SetCommitDecider([&](const QList<qint32>& numbers) {
        lines = invoiceLines(db, numbers);
        return keep ? CommitChoice::Keep | (send ? int(CommitChoice::Send) : 0)
                    : int(CommitChoice::Discard);
    });
    const bool failed = forGroup
                            ? run.GenerateForGroup(*row, *when, planId, invoicePlanId)
                            : run.GenerateForCustomer(*row, *when, false, planId, invoicePlanId);
    for (const QString& line : std::as_const(lines))
        c.out(line);
    report.print();
    if (discard && !lines.isEmpty())
        CCliUserInterface::note(QStringLiteral("Discarded %1 new invoice(s).").arg(lines.size()));
    return failed || report.hadError() ? ExitFailure : ExitOk;
}

const CliRegistration reg{{
    .name = QStringLiteral("bill"),
    .synopsis = QStringLiteral("(--customer NAME | --group NAME) [--date YYYY-MM-DD] "
                               "[--billing-plan NAME] [--invoice-plan NAME] (--keep | --discard) "
                               "[--send] [--again]"),
    .summary = QStringLiteral("Invoice a customer or a group."),
    .details = QStringLiteral("Prints number, customer, new charges and total due of each new "
                              "invoice, then the run's warnings and errors on stderr. The run is "
                              "kept or discarded whole. Customers who already have an invoice "
                              "of that date are skipped with a warning unless --again is "
                              "given."),
    .options = {{QStringLiteral("customer"), QString(), QStringLiteral("NAME"),
                 QStringLiteral("the customer to invoice")},
                {QStringLiteral("group"), QString(), QStringLiteral("NAME"),
                 QStringLiteral("the group to invoice, with its members")},
                {QStringLiteral("date"), QString(), QStringLiteral("YYYY-MM-DD"),
                 QStringLiteral("the invoice date (default: today)")},
                {QStringLiteral("billing-plan"), QString(), QStringLiteral("NAME"),
                 QStringLiteral("bill with this plan instead of the customer's own")},
                {QStringLiteral("invoice-plan"), QString(), QStringLiteral("NAME"),
                 QStringLiteral("invoice with this plan instead of the customer's own")},
                {QStringLiteral("keep"), QString(), QString(),
                 QStringLiteral("keep the new invoices")},
                {QStringLiteral("discard"), QString(), QString(),
                 QStringLiteral("discard them (a trial run)")},
                {QStringLiteral("send"), QString(), QString(),
                 QStringLiteral("carry out the send options of the kept invoices")},
                {QStringLiteral("again"), QString(), QString(),
                 QStringLiteral("also bill customers who already have an invoice of that date")}},
    .usesFonts = true,
    .run = &runBill,
}};

} // namespace
