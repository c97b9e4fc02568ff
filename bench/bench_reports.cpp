// Report benchmark: a database of many invoices of many customers, then the income report
// over every invoice and the overdue report, each timed with the peak memory of its phase.
//
//   bench_reports [--invoices N] [--customers N] [--dir DIR] [--keep]
#include "bench/benchmemory.h"
#include "bench/benchsupport.h"
#include "core/db/database.h"
#include "core/db/datetimeutil.h"
#include "core/db/schema.h"
#include "core/db/transaction.h"
#include "core/reports/incomedoc.h"
#include "core/reports/overduedoc.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>

namespace {

// Customers "user000001"...; invoices spread over 2025 and 2026, a third of them unpaid.
void fill(Database& db, int customers, int invoices) {
    Transaction t(db);
    Statement user = db.prepare(
        QStringLiteral("INSERT INTO Users (Username, FullName, CreditCard, ExpiryDate) VALUES "
                       "(?, ?, '4111111111111111', '12/30')"));
    for (int i = 0; i < customers; ++i) {
        user.bindText(1, QStringLiteral("user%1").arg(i, 6, 10, QLatin1Char('0')));
        user.bindText(2, QStringLiteral("Customer %1").arg(i));
        user.exec();
    }
    Statement inv = db.prepare(QStringLiteral(
        "INSERT INTO Invoices (IdUser, ClosingDate, NewCharges, TotalPaid, Taxes, TotalTimeHH, "
        "TotalTimeMM, TotalTimeSS, Sent, Received) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    const double first = DbFromDate(2025, 1, 1).days();
    for (int i = 0; i < invoices; ++i) {
        const qint64 charges = 100000 + (i % 997) * 100; // ten-thousandths
        inv.bindInt64(1, i % customers + 1);
        inv.bindDouble(2, first + (i % 700) + 0.5);
        inv.bindInt64(3, charges);
        inv.bindInt64(4, i % 3 == 0 ? 0 : charges);
        inv.bindInt64(5, charges / 5);
        inv.bindInt64(6, i % 40);
        inv.bindInt64(7, i % 60);
        inv.bindInt64(8, i % 59);
        inv.bindInt64(9, 1000000 + i);
        inv.bindInt64(10, 5000000 + i);
        inv.exec();
    }
    t.commit();
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int invoices = argValue(args, QStringLiteral("--invoices"), 1000000);
    const int customers = argValue(args, QStringLiteral("--customers"), 100000);
    QTemporaryDir tmp(benchDirTemplate(args, QStringLiteral("bench-reports-XXXXXX")));
    tmp.setAutoRemove(!args.contains(QStringLiteral("--keep")));
    const QString path = tmp.filePath(QStringLiteral("reports.db"));
    try {
        CreateNewDatabase(path);
        Database db;
        db.open(path);
        QElapsedTimer timer;
        double cpu = 0;
        timer.start();
        fill(db, customers, invoices);
        std::printf("filled %d invoices of %d customers in %.1f s\n", invoices, customers,
                    timer.elapsed() / 1000.0);

        resetPeak();
        timer.restart();
        cpu = cpuSeconds();
        CIncomeDoc income(SecondsToDateTime(LocalToSeconds(QDate(2024, 1, 1), QTime(0, 0))),
                          SecondsToDateTime(LocalToSeconds(QDate(2027, 1, 1), QTime(0, 0))),
                          QStringLiteral("from"), QStringLiteral("to"));
        income.load(db);
        std::printf("income:  %d rows in %.2f s (CPU %.2f s), peak %.0f MB\n", income.rowCount(),
                    timer.elapsed() / 1000.0, cpuSeconds() - cpu, peakKiB() / 1024.0);

        resetPeak();
        timer.restart();
        cpu = cpuSeconds();
        COverdueDoc overdue(SecondsToDateTime(LocalToSeconds(QDate(2026, 12, 6), QTime(12, 0))));
        overdue.load(db);
        std::printf("overdue: %d rows in %.2f s (CPU %.2f s), peak %.0f MB\n", overdue.rowCount(),
                    timer.elapsed() / 1000.0, cpuSeconds() - cpu, peakKiB() / 1024.0);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
