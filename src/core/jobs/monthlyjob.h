#pragma once
#include "core/db/currency.h"
#include "core/db/dbdatetime.h"
#include "core/import/importcodes.h"

#include <QList>
#include <QString>
#include <QStringList>

class Database;

// The monthly job of an ISP office in one call: import the month's accounting files, run the
// invoices of every customer and group for one invoice date and keep them, and write each new
// invoice's pages (HTML, plain text, PDF) and the operation log lines of the job into an
// output folder.
//
// Every top-level row of Users is run once, in Username order: a group that is no member of
// another group through a group run (which bills its members, nested groups included, and
// makes the summary invoice of a summary group), a customer in no group through a customer
// run. Members are thus billed through their group and never twice. Inactive customers and
// groups are not run. The invoices are kept and not sent: delivery is the office's next step.

struct MonthlyJobOptions {
    // Accounting files imported before the run, in order (may be empty).
    QStringList importFiles;
    int authSystem = AUTH_RADIUS;
    // The server the sessions are stored for (added to Servers when new).
    QString serverName = QStringLiteral("radius1");
    DbDateTime invoiceDate;
    // Invoices go to "<folder>/invoices/<number>-<logon>.html|.txt|.pdf", the job's log lines
    // to "<folder>/Tollk.log" (both replaced). The folder is made when missing.
    QString outputFolder;
    // Write a PDF of each invoice (the page its plan chooses). Needs a QGuiApplication.
    bool pdf = true;
    // Bill again customers who already have an invoice closing on the invoice date (else
    // they are skipped with a warning, so that a job run twice, or run again after a crash,
    // bills each customer once).
    bool again = false;
    // Log successes too while the job runs (in memory only; the stored setting is kept).
    bool logSuccesses = true;
};

// One invoice made by the job.
struct MonthlyJobInvoice {
    qint32 number = 0;
    QString logonName; // the customer of record (the group of a summary invoice)
    bool summary = false;
    Currency newCharges;
    Currency totalDue;
    QStringList files; // written, in the order html, txt, pdf
};

struct MonthlyJobResult {
    // Every step done and every file written. Warnings and errors of single invoices in the
    // log do not make it false; they are counted below.
    bool ok = false;
    QStringList failures; // what went wrong in the job's own steps (import, files, ...)
    bool interrupted = false;

    int filesImported = 0;
    qint32 sessionsImported = 0; // Events rows added
    qint32 recordsRead = 0;      // records cut from the files

    int runs = 0;            // customer and group runs started
    int customersBilled = 0; // customers on a new invoice (summary members counted one each)
    QList<MonthlyJobInvoice> invoices;
    Currency newCharges; // sum of the new invoices' new charges
    Currency totalDue;

    int warnings = 0; // log lines of the job by severity
    int errors = 0;
    QStringList logLines; // every log line the job wrote
    QString logCopy;      // "<folder>/Tollk.log"
    QString invoiceFolder;
    qint64 elapsedMs = 0;
};

// Runs the job on an open database. Shows its progress through ui() as the single steps do;
// the end-of-step offers to view the log are answered No (the result counts the lines).
MonthlyJobResult RunMonthlyJob(Database& db, const MonthlyJobOptions& options);

// "<number>-<logon>" with every character other than letters, digits, '.', '_' and '-'
// replaced by '_': the base name of an invoice's files.
QString MonthlyJobFileBase(qint32 number, const QString& logonName);
