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

qint32 InvoiceNumberArgument(const CCliContext& c) {
    return invoiceNumber(c.args().positional().value(0));
}

int RunInvoicePrint(CCliContext& c) {
    const qint32 number = InvoiceNumberArgument(c);
    const QString pdf = c.args().value(QStringLiteral("pdf"));
    if (number == 0 || pdf.isEmpty())
        return c.usageError();
    const QString file = QFileInfo(pdf).absoluteFilePath();

    CDatabaseSession* session = c.openDatabase();
    if (!session)
        return c.openFailureExit();
    CLogEcho echo;
    auto inv = LoadInvoiceForDelivery(*session->database(), number);
    if (!inv)
        return c.fail(QStringLiteral("Invoice %1 could not be loaded.").arg(number));
    CPdfInvoicePrinter printer(file);
    QString error;
    if (PrintInvoice(*inv, inv->doc.InvoicePlan(), &printer, &error))
        return c.fail(QStringLiteral("Error printing. %1").arg(error));
    c.out(QDir::toNativeSeparators(file));
    return ExitOk;
}

int RunInvoiceSend(CCliContext& c) {
    const qint32 number = InvoiceNumberArgument(c);
    if (number == 0)
        return c.usageError();
    const bool planGiven = c.args().isSet(QStringLiteral("plan"));
    const QString planName = c.args().value(QStringLiteral("plan"));

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
        if (!found || planId == 0)
            return c.fail(QString::fromLatin1(SendOptionsText::OverridePlanUnreadable) +
                          QStringLiteral(" No invoicing plan is named \"%1\".").arg(planName));
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
