// Invoices browser benchmark: a database of many invoices, then the browser's list model
// opened on it in a table view (offscreen), sorted by each column, filtered, and scrolled,
// each step timed with the peak memory of the run.
//
//   QT_QPA_PLATFORM=offscreen bench_invoicebrowser [--invoices N] [--customers N] [--dir DIR]
#include "bench/benchmemory.h"
#include "bench/benchsupport.h"
#include "core/db/database.h"
#include "core/db/datetimeutil.h"
#include "core/db/schema.h"
#include "core/db/transaction.h"
#include "ui/invoice/invoicelistmodel.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QTableView>
#include <QTemporaryDir>

#include <cstdio>

namespace {

// Customers "user000001"...; invoices dated over two years, a third of them unpaid.
void fill(Database& db, int customers, int invoices) {
    Transaction t(db);
    Statement user = db.prepare(QStringLiteral("INSERT INTO Users (Username) VALUES (?)"));
    for (int i = 0; i < customers; ++i) {
        user.bindText(1, QStringLiteral("user%1").arg(i, 6, 10, QLatin1Char('0')));
        user.exec();
    }
    Statement inv = db.prepare(QStringLiteral(
        "INSERT INTO Invoices (IdUser, BillingDate, OpeningDate, ClosingDate, "
        "NewCharges, TotalDue, TotalPaid, Version) VALUES (?, ?, ?, ?, ?, ?, ?, 1)"));
    const double first = DbFromDate(2025, 1, 1).days();
    for (int i = 0; i < invoices; ++i) {
        const qint64 charges = 100000 + (i % 997) * 100;
        const double day = first + (i % 700);
        inv.bindInt64(1, i % customers + 1);
        inv.bindDouble(2, day);
        inv.bindDouble(3, day - 30);
        inv.bindDouble(4, day - 1);
        inv.bindInt64(5, charges);
        inv.bindInt64(6, charges * 2);
        inv.bindInt64(7, i % 3 == 0 ? 0 : charges);
        inv.exec();
    }
    t.commit();
}

// Runs `step`, lets the view settle and prints its time.
template <class Step> void timed(const char* what, QTableView& view, Step step) {
    QElapsedTimer timer;
    timer.start();
    const double cpu = cpuSeconds();
    step();
    QApplication::processEvents();
    std::printf("%-38s %7.3f s (CPU %.3f s), %d rows loaded\n", what, timer.elapsed() / 1000.0,
                cpuSeconds() - cpu, view.model()->rowCount());
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int invoices = argValue(args, QStringLiteral("--invoices"), 500000);
    const int customers = argValue(args, QStringLiteral("--customers"), 50000);
    QTemporaryDir tmp(benchDirTemplate(args, QStringLiteral("bench-browser-XXXXXX")));
    const QString path = tmp.filePath(QStringLiteral("browser.db"));
    try {
        CreateNewDatabase(path);
        Database db;
        db.open(path);
        QElapsedTimer timer;
        timer.start();
        fill(db, customers, invoices);
        std::printf("filled %d invoices of %d customers in %.1f s\n", invoices, customers,
                    timer.elapsed() / 1000.0);

        resetPeak();
        CInvoiceListModel model(db);
        QTableView view;
        view.resize(900, 600);
        timed("open (newest first)", view, [&] {
            view.setModel(&model);
            view.horizontalHeader()->setSortIndicator(InvoiceListColumn::Number,
                                                      Qt::DescendingOrder);
            view.setSortingEnabled(true);
            view.show();
        });
        const char* names[] = {"sort by number", "sort by customer",    "sort by invoice date",
                               "sort by period", "sort by new charges", "sort by total due",
                               "sort by paid"};
        for (int c = 0; c < InvoiceListColumn::Count; ++c)
            timed(names[c], view, [&] { view.sortByColumn(c, Qt::AscendingOrder); });
        // Scrolling on to the 10,000th row: the pages the view would ask for on the way.
        auto scrollOn = [&] {
            while (model.rowCount() < 10000 && model.canFetchMore({}))
                model.fetchMore({});
        };
        view.sortByColumn(InvoiceListColumn::Customer, Qt::AscendingOrder);
        timed("scroll to row 10,000 (customer order)", view, scrollOn);
        view.sortByColumn(InvoiceListColumn::Number, Qt::DescendingOrder);
        timed("scroll to row 10,000 (number order)", view, scrollOn);
        timed("filter: unpaid only", view, [&] {
            InvoiceListFilter f;
            f.unpaidOnly = true;
            model.setFilter(f);
        });
        timed("filter: one customer", view, [&] {
            InvoiceListFilter f;
            f.idUser = customers / 2;
            model.setFilter(f);
        });
        timed("filter: one month of invoice dates", view, [&] {
            InvoiceListFilter f;
            f.from = DbFromDate(2025, 6, 1);
            f.before = DbFromDate(2025, 7, 1);
            model.setFilter(f);
        });
        std::printf("peak memory of the browser steps: %.0f MB\n", peakKiB() / 1024.0);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
