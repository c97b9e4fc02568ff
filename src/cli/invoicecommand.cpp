// invoice SUBCOMMAND ...: work on stored invoices.
//   invoice show N [--text|--html] [-o FILE]   writes invoice N's page
//   invoice print N --pdf FILE / invoice send N [--plan NAME]   see invoicesendcommands.h
#include "cli/clicommand.h"
#include "cli/invoicesendcommands.h"

#include "core/app/dbsession.h"
#include "core/app/oplog.h"
#include "core/billing/invoicedoc.h"
#include "core/invoice/invoicerep.h"
#include "core/invoice/invoicerepdata.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <cstdio>

namespace {

struct InvoiceSubcommand {
    const char* name;
    const char* usage;
    int (*run)(CCliContext& c, const QStringList& args);
};

// Writes bytes to FILE (replaced as a whole) or, without a file, to stdout.
bool writeOutput(CCliContext& c, const QString& file, const QByteArray& bytes) {
    if (file.isEmpty()) {
        const bool ok = std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout) ==
                            size_t(bytes.size()) &&
                        std::fflush(stdout) == 0;
        if (!ok)
            c.terminal().showMessage(
                QStringLiteral("Unable to write the invoice to standard output."),
                MessageIcon::Stop);
        return ok;
    }
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size() || !out.commit()) {
        c.terminal().showMessage(QStringLiteral("Unable to write %1: %2")
                                     .arg(QDir::toNativeSeparators(file), out.errorString()),
                                 MessageIcon::Stop);
        return false;
    }
    return true;
}

int runShow(CCliContext& c, const QStringList& args) {
    const QString usage = QStringLiteral("Usage: invoice show N [--text|--html] [-o FILE]");
    const auto parsed = ParseInvoiceArguments(args, {QStringLiteral("-o")},
                                              {QStringLiteral("--text"), QStringLiteral("--html")});
    // --text and --html may be repeated, not mixed; -o needs a file name.
    if (!parsed || (parsed->flags.contains(QStringLiteral("--text")) &&
                    parsed->flags.contains(QStringLiteral("--html"))))
        return c.usageError(usage);
    const auto output = parsed->values.constFind(QStringLiteral("-o"));
    if (output != parsed->values.cend() && output->isEmpty())
        return c.usageError(usage);
    const qint32 number = parsed->number;
    enum class Page { Decided, Text, Html } page = Page::Decided;
    if (!parsed->flags.isEmpty())
        page = parsed->flags.first() == QLatin1String("--text") ? Page::Text : Page::Html;
    const QString file =
        output == parsed->values.cend() ? QString() : QFileInfo(*output).absoluteFilePath();

    CDatabaseSession* session = c.openDatabase();
    if (!session)
        return c.openFailureExit();
    Database& db = *session->database();
    CInvoiceDoc doc(db);
    const int rc = doc.Load(number);
    if (rc != 0) {
        QString reason = ResultText(rc);
        if (!doc.LastError().isEmpty())
            reason += QLatin1Char(' ') + doc.LastError();
        c.terminal().showMessage(
            QStringLiteral("Invoice %1 could not be loaded: %2").arg(number).arg(reason.trimmed()),
            MessageIcon::Stop);
        return ExitFailure;
    }
    const InvoiceRepData data = InvoiceRepDataFromDoc(doc, db);
    CInvoiceRep rep;
    rep.Render(data);
    const bool html = page == Page::Decided ? data.usesHtml() : page == Page::Html;
    return writeOutput(c, file, html ? rep.Html() : rep.PlainText()) ? ExitOk : ExitFailure;
}

// Subcommands of "invoice", in the order help lists them.
const InvoiceSubcommand kSubcommands[] = {
    {"show", "invoice show N [--text|--html] [-o FILE]", &runShow},
    {"print", "invoice print N --pdf FILE", &RunInvoicePrint},
    {"send", "invoice send N [--plan NAME]", &RunInvoiceSend},
};

int runInvoice(CCliContext& c) {
    QStringList args = c.args();
    const QString name = args.isEmpty() ? QString() : args.takeFirst();
    for (const InvoiceSubcommand& sub : kSubcommands) {
        if (name == QLatin1String(sub.name))
            return sub.run(c, args);
    }
    QStringList usages;
    for (const InvoiceSubcommand& sub : kSubcommands)
        usages << QString::fromLatin1(sub.usage);
    return c.usageError(QStringLiteral("Usage: ") + usages.join(QStringLiteral("\n       ")));
}

const CliRegistration reg{
    {QStringLiteral("invoice"), QStringLiteral("invoice show N [--text|--html] [-o FILE]"),
     QStringLiteral("Write a stored invoice's page: the plain text (--text), the HTML page "
                    "(--html), or the one the customer receives; to FILE or standard output. "
                    "Also: invoice print N --pdf FILE (print to a PDF file), invoice send N "
                    "[--plan NAME] (carry out the send options; exit 3 when the plan says not "
                    "to send)."),
     &runInvoice}};

} // namespace
