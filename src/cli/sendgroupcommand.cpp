// send-group --group NAME --date YYYY-MM-DD [--invoice-plan NAME]: sends the invoices of one
// invoice date of a group, its customers and its member groups.
#include "cli/clicommand.h"

#include "core/app/dbsession.h"
#include "core/billing/invoicerun.h"
#include "core/db/invoicerecord.h"
#include "core/invoice/invoicedelivery.h"
#include "cli/runsupport.h"

namespace {

const QString kUsage =
    QStringLiteral("Usage: send-group --group NAME --date YYYY-MM-DD [--invoice-plan NAME]");

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
    QString group, date, invoicePlan;
    const QStringList& a = c.args();
    for (qsizetype i = 0; i < a.size(); ++i) {
        const QString& arg = a[i];
        QString* into = nullptr;
        if (arg == QLatin1String("--group"))
            into = &group;
        else if (arg == QLatin1String("--date"))
            into = &date;
        else if (arg == QLatin1String("--invoice-plan"))
            into = &invoicePlan;
        if (!into || !into->isNull() || i + 1 >= a.size())
            return c.usageError(kUsage);
        *into = a[++i];
    }
    if (group.isNull() || date.isEmpty())
        return c.usageError(kUsage);
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

const CliRegistration reg{
    {QStringLiteral("send-group"),
     QStringLiteral("send-group --group NAME --date YYYY-MM-DD [--invoice-plan NAME]"),
     QStringLiteral("Send the invoices of one invoice date of a group and its members; prints "
                    "number, customer and outcome of each."),
     &runSendGroup}};

} // namespace
