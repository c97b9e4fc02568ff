#include "cli/invoicesendcommands.h"

#include "core/app/busystate.h"
#include "core/app/dbsession.h"
#include "core/app/operationlog.h"
#include "cli/clicommand.h"
#include "core/db/dbexception.h"
#include "core/db/invoiceplanrecord.h"
#include "core/invoice/invoicedelivery.h"

#include <QDir>
#include <QFileInfo>

namespace {

// The invoice number argument: a positive number, else 0.
qint32 invoiceNumber(const QString& text) {
    bool ok = false;
    const int n = text.toInt(&ok);
    return ok && n > 0 ? n : 0;
}

// Echoes every line the operation writes to the log on stderr, so the terminal sees why an
// e-mail or a print failed.
class CLogEcho : public ILogListener {
public:
    CLogEcho() { theLog().addListener(this); }
    ~CLogEcho() override { theLog().removeListener(this); }
    void lineAdded(const QString& line) override { CCliUserInterface::note(line); }
    void cleared() override {}
};

} // namespace

std::optional<InvoiceArguments> ParseInvoiceArguments(const QStringList& args,
                                                      const QStringList& valueOptions,
                                                      const QStringList& flagOptions) {
    InvoiceArguments parsed;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (valueOptions.contains(a)) {
            if (i + 1 >= args.size() || parsed.values.contains(a))
                return std::nullopt;
            parsed.values.insert(a, args[++i]);
        } else if (flagOptions.contains(a)) {
            parsed.flags.append(a);
        } else if (parsed.number == 0 && invoiceNumber(a) > 0) {
            parsed.number = invoiceNumber(a);
        } else {
            return std::nullopt;
        }
    }
    if (parsed.number == 0)
        return std::nullopt;
    return parsed;
}

int RunInvoicePrint(CCliContext& c, const QStringList& args) {
    const QString usage = QStringLiteral("Usage: invoice print N --pdf FILE");
    const auto parsed = ParseInvoiceArguments(args, {QStringLiteral("--pdf")});
    if (!parsed || parsed->values.value(QStringLiteral("--pdf")).isEmpty())
        return c.usageError(usage);
    const qint32 number = parsed->number;
    const QString file =
        QFileInfo(parsed->values.value(QStringLiteral("--pdf"))).absoluteFilePath();

    CDatabaseSession* session = c.openDatabase();
    if (!session)
        return c.openFailureExit();
    CLogEcho echo;
    auto inv = LoadInvoiceForDelivery(*session->database(), number);
    if (!inv) {
        c.terminal().showMessage(QStringLiteral("Invoice %1 could not be loaded.").arg(number),
                                 MessageIcon::Stop);
        return ExitFailure;
    }
    CPdfInvoicePrinter printer(file);
    QString error;
    if (PrintInvoice(*inv, inv->doc.InvoicePlan(), &printer, &error)) {
        c.terminal().showMessage(QStringLiteral("Error printing. %1").arg(error),
                                 MessageIcon::Stop);
        return ExitFailure;
    }
    c.out(QDir::toNativeSeparators(file));
    return ExitOk;
}

int RunInvoiceSend(CCliContext& c, const QStringList& args) {
    const QString usage = QStringLiteral("Usage: invoice send N [--plan NAME]");
    const auto parsed = ParseInvoiceArguments(args, {QStringLiteral("--plan")});
    if (!parsed)
        return c.usageError(usage);
    const qint32 number = parsed->number;
    const bool planGiven = parsed->values.contains(QStringLiteral("--plan"));
    const QString planName = parsed->values.value(QStringLiteral("--plan"));

    CDatabaseSession* session = c.openDatabase();
    if (!session)
        return c.openFailureExit();
    Database& db = *session->database();

    qint32 planId = 0;
    if (planGiven) {
        bool found = false;
        try {
            CInvoicePlanRecord plan(db);
            found = plan.findLiveByName(planName);
            planId = plan.Id;
        } catch (const DbException&) {
            found = false;
        }
        if (!found || planId == 0) {
            c.terminal().showMessage(
                QString::fromLatin1(SendOptionsText::OverridePlanUnreadable) +
                    QStringLiteral(" No invoicing plan is named \"%1\".").arg(planName),
                MessageIcon::Stop);
            return ExitFailure;
        }
    }

    CLogEcho echo;
    CPdfInvoicePrinter printer;
    SendResult result = SendResult::Failed;
    {
        // The terminal reports the outcome itself instead of the end-of-operation question.
        CProcessScope busy(QString(), PROC_DEFAULT);
        (void)SendInvoice(db, number, planId, &printer, &result); // the outcome is in result
    }
    theLog().setProblem(false);
    for (const QString& path : printer.writtenFiles())
        c.out(QStringLiteral("Printed to %1").arg(QDir::toNativeSeparators(path)));
    switch (result) {
    case SendResult::Done:
        return ExitOk;
    case SendResult::Refused:
        return ExitDeclined;
    case SendResult::Failed:
    case SendResult::Aborted:
        break;
    }
    return ExitFailure;
}
