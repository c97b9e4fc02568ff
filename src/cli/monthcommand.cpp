// month [--sample] [--import FILE]... [--server NAME] [--date YYYY-MM-DD] [--out DIR]
// [--no-pdf] [--again]: the monthly job (import, invoices of every customer and group, their
// pages).
#include "cli/clicommand.h"

#include "cli/runsupport.h"
#include "core/app/dbsession.h"
#include "core/db/datetimeutil.h"
#include "core/jobs/monthlyjob.h"
#include "core/jobs/samplemonth.h"
#include "core/sample/sampledata.h"

#include <QDir>
#include <QFileInfo>

namespace {

QString native(const QString& path) {
    return QDir::toNativeSeparators(path);
}

void printSummary(CCliContext& c, const MonthlyJobResult& r, const QString& database) {
    const int decimals = CurrencyDecimals();
    for (const MonthlyJobInvoice& inv : r.invoices)
        c.out(QStringLiteral("%1\t%2\t%3\t%4")
                  .arg(inv.number)
                  .arg(inv.logonName, inv.newCharges.format(decimals),
                       inv.totalDue.format(decimals)));
    c.out(QString());
    c.out(QStringLiteral("Database:          %1").arg(native(database)));
    if (r.filesImported > 0)
        c.out(QStringLiteral("Sessions imported: %1 (of %2 records)")
                  .arg(r.sessionsImported)
                  .arg(r.recordsRead));
    c.out(QStringLiteral("Customers billed:  %1").arg(r.customersBilled));
    c.out(QStringLiteral("Invoices:          %1 in %2")
              .arg(r.invoices.size())
              .arg(native(r.invoiceFolder)));
    c.out(QStringLiteral("New charges:       %1").arg(r.newCharges.format(decimals)));
    c.out(QStringLiteral("Total due:         %1").arg(r.totalDue.format(decimals)));
    c.out(QStringLiteral("Warnings:          %1").arg(r.warnings));
    c.out(QStringLiteral("Errors:            %1").arg(r.errors));
    c.out(QStringLiteral("Operation log:     %1").arg(native(r.logCopy)));
    c.out(QStringLiteral("Time taken:        %1 s").arg(double(r.elapsedMs) / 1000.0, 0, 'f', 1));
}

int runMonth(CCliContext& c) {
    const CliArgs& a = c.args();
    const bool sample = a.isSet(QStringLiteral("sample"));
    const bool pdf = !a.isSet(QStringLiteral("no-pdf"));
    const QStringList imports = a.values(QStringLiteral("import"));
    const QString server = a.value(QStringLiteral("server"));
    const QString date = a.value(QStringLiteral("date"));
    QString out = a.value(QStringLiteral("out"));
    // The sample is always a fresh copy in the output folder: never over the user's database.
    if (sample && !c.options().db.isEmpty())
        return c.usageError(QStringLiteral("month --sample makes its own database in the output "
                                           "folder; --db cannot be given with it."));
    if (sample && !date.isNull())
        return c.usageError(QStringLiteral("month --sample bills the sample month; --date "
                                           "cannot be given with it."));
    if (out.isNull())
        out = QStringLiteral("out");
    out = QDir::cleanPath(QDir::current().absoluteFilePath(out));

    MonthlyJobOptions options;
    options.outputFolder = out;
    options.pdf = pdf;
    options.again = a.isSet(QStringLiteral("again"));
    if (!server.isNull())
        options.serverName = server;
    for (const QString& file : std::as_const(imports))
        options.importFiles.append(QFileInfo(file).absoluteFilePath());

    std::unique_ptr<CDatabaseSession> own;
    CDatabaseSession* session = nullptr;
    if (sample) {
        const SampleMonthFiles files = PrepareSampleMonth(out);
        if (!files.ok)
            return c.fail(
                QStringLiteral("Unable to create the sample database: %1").arg(files.error));
        options.importFiles.prepend(files.detailPath);
        if (server.isNull())
            options.serverName = QLatin1String(kSampleServerName);
        options.invoiceDate = DbFromLocal(SampleBillingDate());
        own = std::make_unique<CDatabaseSession>();
        own->setShutdownHandler([] { std::exit(ExitFailure); });
        CDatabaseSession::StartupOptions startup;
        startup.confirmPath = false;
        startup.rememberPath = false;
        startup.createDefault = false;
        if (!own->openAtStartup(files.databasePath, startup)) {
            if (!own->lastError().isEmpty())
                CCliUserInterface::note(own->lastError());
            return ExitFailure;
        }
        session = own.get();
    } else {
        const std::optional<DbDateTime> when = ParseInvoiceDate(date);
        if (!when)
            return ExitUsage;
        options.invoiceDate = *when;
        session = c.openDatabase();
        if (!session)
            return c.openFailureExit();
    }

    const MonthlyJobResult r = RunMonthlyJob(*session->database(), options);
    printSummary(c, r, session->path());
    for (const QString& failure : r.failures)
        CCliUserInterface::note(failure);
    if (r.interrupted)
        return ExitDeclined;
    return r.ok ? ExitOk : ExitFailure;
}

const CliRegistration reg{{
    .name = QStringLiteral("month"),
    .synopsis = QStringLiteral("[--sample] [--import FILE]... [--server NAME] [--date YYYY-MM-DD] "
                               "[--out DIR] [--no-pdf] [--again]"),
    .summary = QStringLiteral("The monthly job: import, invoice everyone, write the pages."),
    .details = QStringLiteral("Imports the files, invoices every customer and group and keeps "
                              "the invoices, writes each one's HTML, text and PDF into "
                              "DIR/invoices with the job's log, and prints a summary. Customers "
                              "who already have an invoice of that date are skipped with a "
                              "warning unless --again is given."),
    .options = {{QStringLiteral("sample"), QString(), QString(),
                 QStringLiteral("on a fresh copy of the sample database in DIR, importing its "
                                "month")},
                {QStringLiteral("import"), QString(), QStringLiteral("FILE"),
                 QStringLiteral("a RADIUS detail file to import first (may be repeated)"), true},
                {QStringLiteral("server"), QString(), QStringLiteral("NAME"),
                 QStringLiteral("the server the files come from")},
                {QStringLiteral("date"), QString(), QStringLiteral("YYYY-MM-DD"),
                 QStringLiteral("the invoice date (default: today)")},
                {QStringLiteral("out"), QString(), QStringLiteral("DIR"),
                 QStringLiteral("the output folder (default: out)")},
                {QStringLiteral("no-pdf"), QString(), QString(),
                 QStringLiteral("write no PDF files")},
                {QStringLiteral("again"), QString(), QString(),
                 QStringLiteral("also bill customers who already have an invoice of that date")}},
    .usesFonts = true,
    .run = &runMonth,
}};

} // namespace
