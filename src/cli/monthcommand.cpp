// month [--sample] [--import FILE]... [--server NAME] [--date YYYY-MM-DD] [--out DIR]
// [--no-pdf]: the monthly job (import, invoices of every customer and group, their pages).
#include "cli/clicommand.h"

#include "core/app/dbsession.h"
#include "core/sample/sampledata.h"
#include "core/jobs/samplemonth.h"
#include "core/db/datetimeutil.h"
#include "core/jobs/monthlyjob.h"
#include "cli/runsupport.h"

#include <QDir>
#include <QFileInfo>

namespace {

const QString kUsage =
    QStringLiteral("Usage: month [--sample] [--import FILE]... [--server NAME] [--date YYYY-MM-DD] "
                   "[--out DIR] [--no-pdf]");

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
    bool sample = false, pdf = true;
    QStringList imports;
    QString server, date, out;
    const QStringList& a = c.args();
    for (qsizetype i = 0; i < a.size(); ++i) {
        const QString& arg = a[i];
        auto value = [&](QString& into) {
            if (i + 1 >= a.size() || !into.isNull() || a[i + 1].isEmpty())
                return false;
            into = a[++i];
            return true;
        };
        bool ok = true;
        if (arg == QLatin1String("--sample")) {
            sample = true;
        } else if (arg == QLatin1String("--import")) {
            QString file;
            ok = value(file);
            imports.append(file);
        } else if (arg == QLatin1String("--server")) {
            ok = value(server);
        } else if (arg == QLatin1String("--date")) {
            ok = value(date);
        } else if (arg == QLatin1String("--out")) {
            ok = value(out);
        } else if (arg == QLatin1String("--no-pdf")) {
            pdf = false;
        } else {
            ok = false;
        }
        if (!ok)
            return c.usageError(kUsage);
    }
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
    if (!server.isNull())
        options.serverName = server;
    for (const QString& file : std::as_const(imports))
        options.importFiles.append(QFileInfo(file).absoluteFilePath());

    std::unique_ptr<CDatabaseSession> own;
    CDatabaseSession* session = nullptr;
    if (sample) {
        const SampleMonthFiles files = PrepareSampleMonth(out);
        if (!files.ok) {
            c.terminal().showMessage(
                QStringLiteral("Unable to create the sample database: %1").arg(files.error),
                MessageIcon::Stop);
            return ExitFailure;
        }
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

const CliRegistration reg{
    {QStringLiteral("month"),
     QStringLiteral("month [--sample] [--import FILE]... [--server NAME] [--date YYYY-MM-DD] "
                    "[--out DIR] [--no-pdf]"),
     QStringLiteral("The monthly job: import the files, invoice every customer and group and "
                    "keep the invoices, write each one's HTML, text and PDF into DIR/invoices "
                    "(default out) with the job's log, print a summary. --sample: on a fresh "
                    "copy of the sample database in DIR, importing its month."),
     &runMonth}};

} // namespace
