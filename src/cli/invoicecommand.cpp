// invoice list|show|print|send|delete ...: work on stored invoices (print and send live in
// invoicesendcommands.cpp, list and delete in invoicelistcommands.cpp).
#include "cli/clicommand.h"
#include "cli/invoicelistcommands.h"
#include "cli/invoicesendcommands.h"

#include "core/app/dbsession.h"
#include "core/app/oplog.h"
#include "core/billing/invoicedoc.h"
#include "core/db/replacefile.h"
#include "core/invoice/invoicerep.h"
#include "core/invoice/invoicerepdata.h"

#include <QDir>
#include <QFileInfo>

namespace {

// Writes bytes to FILE (a regular file replaced as a whole, "-" or none: standard output).
bool writeOutput(CCliContext& c, const QString& file, const QByteArray& bytes) {
    QString error;
    if (WriteFileSafely(file.isEmpty() ? QStringLiteral("-") : file, bytes, &error))
        return true;
    c.terminal().showMessage(error, MessageIcon::Stop);
    return false;
}

int runShow(CCliContext& c) {
    const qint32 number = InvoiceNumberArgument(c);
    const bool text = c.args().isSet(QStringLiteral("text"));
    const bool htmlChosen = c.args().isSet(QStringLiteral("html"));
    // One page or the other, not both.
    if (number == 0 || (text && htmlChosen))
        return c.usageError();
    enum class Page { Decided, Text, Html } page = Page::Decided;
    if (text || htmlChosen)
        page = text ? Page::Text : Page::Html;
    const QString output = c.args().value(QStringLiteral("output"));
    const QString file = output.isNull() || output == QLatin1String("-")
                             ? QString()
                             : QFileInfo(output).absoluteFilePath();

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
        return c.fail(
            QStringLiteral("Invoice %1 could not be loaded: %2").arg(number).arg(reason.trimmed()));
    }
    const InvoiceRepData data = InvoiceRepDataFromDoc(doc, db);
    CInvoiceRep rep;
    rep.Render(data);
    const bool html = page == Page::Decided ? data.usesHtml() : page == Page::Html;
    return writeOutput(c, file, html ? rep.Html() : rep.PlainText()) ? ExitOk : ExitFailure;
}

const CliRegistration reg{{
    .name = QStringLiteral("invoice"),
    .synopsis = QStringLiteral("list|show|print|send|delete ..."),
    .summary = QStringLiteral("List, show, print, send or delete stored invoices."),
    .usesFonts = true,
    .subcommands =
        {{.name = QStringLiteral("list"),
          .synopsis = QStringLiteral("[--customer NAME] [--from YYYY-MM-DD] [--to YYYY-MM-DD] "
                                     "[--unpaid] [--format table|csv|json]"),
          .summary = QStringLiteral("List the stored invoices and payment rows by number."),
          .options = {{QStringLiteral("customer"), QString(), QStringLiteral("NAME"),
                       QStringLiteral("only this customer's or group's")},
                      {QStringLiteral("from"), QString(), QStringLiteral("YYYY-MM-DD"),
                       QStringLiteral("only those closed on or after this day")},
                      {QStringLiteral("to"), QString(), QStringLiteral("YYYY-MM-DD"),
                       QStringLiteral("only those closed on or before this day")},
                      {QStringLiteral("unpaid"), QString(), QString(),
                       QStringLiteral("only those with new charges still to be paid")},
                      FormatCliOption()},
          .run = &RunInvoiceList},
         {.name = QStringLiteral("show"),
          .synopsis = QStringLiteral("N [--text|--html] [-o FILE]"),
          .summary = QStringLiteral("Write invoice N's page (the one its customer receives, "
                                    "unless --text or --html) to FILE or standard output."),
          .options = {{QStringLiteral("text"), QString(), QString(),
                       QStringLiteral("the plain-text page")},
                      {QStringLiteral("html"), QString(), QString(),
                       QStringLiteral("the HTML page")},
                      {QStringLiteral("output"), QStringLiteral("o"), QStringLiteral("FILE"),
                       QStringLiteral("write to FILE (replaced as a whole)")}},
          .minArgs = 1,
          .maxArgs = 1,
          .run = &runShow},
         {.name = QStringLiteral("print"),
          .synopsis = QStringLiteral("N --pdf FILE"),
          .summary = QStringLiteral("Print invoice N to a PDF file."),
          .options = {{QStringLiteral("pdf"), QString(), QStringLiteral("FILE"),
                       QStringLiteral("the PDF file to write")}},
          .minArgs = 1,
          .maxArgs = 1,
          .run = &RunInvoicePrint},
         {.name = QStringLiteral("send"),
          .synopsis = QStringLiteral("N [--plan NAME]"),
          .summary = QStringLiteral("Carry out the send options of invoice N (exit 3 when the "
                                    "plan says not to send)."),
          .options = {{QStringLiteral("plan"), QString(), QStringLiteral("NAME"),
                       QStringLiteral("use this template plan's send options instead of the "
                                      "invoice's own")}},
          .minArgs = 1,
          .maxArgs = 1,
          .run = &RunInvoiceSend},
         {.name = QStringLiteral("delete"),
          .synopsis = QStringLiteral("N..."),
          .summary = QStringLiteral("Delete invoices with the plan and charge copies made for "
                                    "them (asks first; --yes does not)."),
          .minArgs = 1,
          .maxArgs = -1,
          .run = &RunInvoiceDelete}},
}};

} // namespace
