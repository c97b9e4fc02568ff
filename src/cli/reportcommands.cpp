// report income|overdue: the income and overdue reports as a list or a PDF file.
#include "cli/clicommand.h"
#include "cli/clitable.h"
#include "cli/reportsupport.h"

#include "core/app/dbsession.h"
#include "core/db/dbexception.h"
#include "core/reports/incomedoc.h"
#include "core/reports/overduedoc.h"
#include "core/reports/reportlayout.h"

#include <QDir>
#include <QFileInfo>
#include <cstdio>

namespace {

// Prints the report in the chosen format, or writes it as a PDF with --pdf FILE.
int writeReport(CCliContext& c, const CReportDoc& doc, CliTableFormat format) {
    const QString pdf = c.args().value(QStringLiteral("pdf"));
    if (!pdf.isNull()) {
        const QString path = QFileInfo(pdf).absoluteFilePath();
        QString error;
        if (WriteReportPdf(doc, path, &error))
            return c.fail(error);
        c.out(QDir::toNativeSeparators(path));
        return ExitOk;
    }
    // A table for reading shows the amounts as the report does; CSV and JSON carry them exact.
    const CReportDoc::Form form =
        format == CliTableFormat::Table ? CReportDoc::Form::Display : CReportDoc::Form::Exact;
    CCliTable table;
    const QStringList titles = doc.columnTitles();
    for (int col = 0; col < titles.size(); ++col)
        table.addColumn(titles[col], doc.isNumberColumn(col) && form == CReportDoc::Form::Exact
                                         ? CCliTable::Kind::Number
                                         : CCliTable::Kind::Text);
    for (int row = 0; row < doc.rowCount(); ++row)
        table.addRow(doc.rowCells(row, form));
    table.addRow(doc.totalsCells(form));
    const QByteArray bytes = table.render(format).toUtf8();
    if (std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout) != size_t(bytes.size()) ||
        std::fflush(stdout) != 0)
        return c.fail(QStringLiteral("Unable to write the report to standard output."));
    return ExitOk;
}

// Loads the document; false after showing why it could not be read.
bool loadDoc(CCliContext& c, Database& db, auto& doc) {
    try {
        doc.load(db);
        return true;
    } catch (const DbException& e) {
        c.terminal().showMessage(
            QStringLiteral("The %1 could not be read: %2").arg(doc.title(), e.message()),
            MessageIcon::Stop);
        return false;
    }
}

int runIncome(CCliContext& c) {
    const QString fromText = c.args().value(QStringLiteral("from"));
    const QString toText = c.args().value(QStringLiteral("to"));
    const std::optional<QDateTime> from = ParseCliDateTime(fromText);
    const std::optional<QDateTime> to = ParseCliDateTime(toText);
    const std::optional<CliTableFormat> format =
        ParseCliTableFormat(c.args().value(QStringLiteral("format")));
    if (!from || !to || !format)
        return c.usageError();
    if (*to <= *from) {
        c.terminal().showMessage(QStringLiteral("The end time must proceed the start time."),
                                 MessageIcon::Exclamation);
        return ExitUsage;
    }
    CDatabaseSession* session = c.openDatabase();
    if (!session)
        return c.openFailureExit();
    CIncomeDoc doc(*from, *to, fromText, toText);
    if (!loadDoc(c, *session->database(), doc))
        return ExitFailure;
    return writeReport(c, doc, *format);
}

int runOverdue(CCliContext& c) {
    const QString asOf = c.args().value(QStringLiteral("as-of"));
    std::optional<QDateTime> now = QDateTime();
    if (!asOf.isNull())
        now = ParseCliDateTime(asOf);
    const std::optional<CliTableFormat> format =
        ParseCliTableFormat(c.args().value(QStringLiteral("format")));
    if (!now || !format)
        return c.usageError();
    CDatabaseSession* session = c.openDatabase();
    if (!session)
        return c.openFailureExit();
    COverdueDoc doc(*now);
    if (!loadDoc(c, *session->database(), doc))
        return ExitFailure;
    return writeReport(c, doc, *format);
}

CliOption pdfOption() {
    return {QStringLiteral("pdf"), QString(), QStringLiteral("FILE"),
            QStringLiteral("write the printed report to FILE (replaced as a whole)")};
}

const CliRegistration reg{{
    .name = QStringLiteral("report"),
    .synopsis = QStringLiteral("income|overdue ..."),
    .summary = QStringLiteral("Print the income or the overdue report."),
    .usesFonts = true,
    .subcommands =
        {{.name = QStringLiteral("income"),
          .synopsis = QStringLiteral("--from YYYY-MM-DD[THH:MM] --to YYYY-MM-DD[THH:MM] "
                                     "[--format table|csv|json] [--pdf FILE]"),
          .summary = QStringLiteral("Every invoice closed on or after --from and before --to, "
                                    "with a totals line."),
          .options = {{QStringLiteral("from"), QString(), QStringLiteral("YYYY-MM-DD[THH:MM]"),
                       QStringLiteral("the start of the period (included)")},
                      {QStringLiteral("to"), QString(), QStringLiteral("YYYY-MM-DD[THH:MM]"),
                       QStringLiteral("the end of the period (excluded)")},
                      FormatCliOption(),
                      pdfOption()},
          .run = &runIncome},
         {.name = QStringLiteral("overdue"),
          .synopsis = QStringLiteral("[--as-of YYYY-MM-DD[THH:MM]] [--format table|csv|json] "
                                     "[--pdf FILE]"),
          .summary = QStringLiteral("The open amounts of each customer by the age of the "
                                    "invoices."),
          .options = {{QStringLiteral("as-of"), QString(), QStringLiteral("YYYY-MM-DD[THH:MM]"),
                       QStringLiteral("measure the ages from this time (default: now)")},
                      FormatCliOption(),
                      pdfOption()},
          .run = &runOverdue}},
}};

} // namespace
