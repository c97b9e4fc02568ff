// send-group --group NAME --date YYYY-MM-DD [--invoice-plan NAME]: sends the invoices of one
// invoice date of a group, its customers and its member groups.
#include "cli/clicommand.h"

#include "core/app/dbsession.h"
#include "core/billing/invoicerun.h"
#include "core/db/invoicerecord.h"
#include "core/invoice/invoicedelivery.h"
#include "cli/runsupport.h"

namespace {

QString resultWord(SendResult r) {
    switch (r) {
    case SendResult::Done:
        return QStringLiteral("sent");
    case SendResult::Refused:
        return QStringLiteral("not sent");
    case SendResult::Failed:
        return QStringLiteral("failed");
    case SendResult::Aborted:
        return QStringLiteral("aborted");
    }
    return {};
}

int runSendGroup(CCliContext& c) {
    const QString group = c.args().value(QStringLiteral("group"));
    const QString date = c.args().value(QStringLiteral("date"));
    const QString invoicePlan = c.args().value(QStringLiteral("invoice-plan"));
    if (group.isNull() || date.isEmpty())
        return c.usageError();
    const std::optional<DbDateTime> when = ParseInvoiceDate(date);
    if (!when)
        return ExitUsage;

    CDatabaseSession* session = c.openDatabase();
    if (!session)
        return c.openFailureExit();
    Database& db = *session->database();

    const std::optional<qint32> invoicePlanId = FindInvoicePlanId(db, invoicePlan);
    if (!invoicePlanId)
        return ExitFailure;
    const std::optional<UserRow> row = FindCustomerRow(db, group, true);
    if (!row) {
        c.terminal().showMessage(QStringLiteral("Customer group record not found."),
                                 MessageIcon::Exclamation);
        return ExitFailure;
    }

    CRunReport report(c.terminal());
    CInvoiceRun run(db);
    bool sendFailed = false;
    run.SetSender([&](qint32 num, qint32 plan) {
        SendResult result = SendResult::Failed;
        const bool failed = SendInvoice(db, num, plan, nullptr, &result);
        sendFailed = sendFailed || failed;
        CInvoiceRecord inv(db);
        CUserRecord user(db);
        const QString name =
            inv.findByNumber(num) && user.findById(inv.IdUser) ? user.Username : QString();
        c.out(QStringLiteral("%1\t%2\t%3").arg(num).arg(name, resultWord(result)));
        return failed;
    });
    const bool failed = run.SendGroupInvoices(*row, *when, *invoicePlanId);
    report.print();
    return failed || sendFailed || report.hadError() ? ExitFailure : ExitOk;
}

const CliRegistration reg{{
    .name = QStringLiteral("send-group"),
    .synopsis = QStringLiteral("--group NAME --date YYYY-MM-DD [--invoice-plan NAME]"),
    .summary = QStringLiteral("Send the invoices of one invoice date of a group and its members."),
    .details = QStringLiteral("Prints number, customer and outcome of each invoice."),
    .options = {{QStringLiteral("group"), QString(), QStringLiteral("NAME"),
                 QStringLiteral("the group")},
                {QStringLiteral("date"), QString(), QStringLiteral("YYYY-MM-DD"),
                 QStringLiteral("the invoice date of the invoices to send")},
                {QStringLiteral("invoice-plan"), QString(), QStringLiteral("NAME"),
                 QStringLiteral("send by this plan's options instead of each invoice's own")}},
    .usesFonts = true,
    .run = &runSendGroup,
}};

} // namespace
