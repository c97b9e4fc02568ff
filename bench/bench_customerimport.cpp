// Customer CSV import benchmark: a file of N customers, each with a full name, a plan and a
// Billing address, imported into a new database in one transaction. Prints customers per
// second and the peak memory of the run; with two sizes the memory shows whether it grows
// with the file.
//
//   bench_customerimport [--customers N] [--dir DIR]
#include "bench/benchmemory.h"
#include "common/billingfixture.h"
#include "core/customers/customerimport.h"
#include "core/db/database.h"
#include "core/db/schema.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>

namespace {

bool writeCsv(const QString& path, int customers) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    QByteArray chunk = "Username,FullName,BillingPlan,StartDate,Billing.EMail,Billing.Address1,"
                       "Billing.City,Billing.PostalCode,Phone.Home\r\n";
    for (int i = 0; i < customers; ++i) {
        chunk += QStringLiteral("user%1,\"Customer %1, Jr.\",Basic,2026-0%2-1%3,user%1@example.net,"
                                "%1 Harbour Road,Kestrel Bay,%4,+49 431 %1\r\n")
                     .arg(i)
                     .arg(1 + i % 9)
                     .arg(i % 10)
                     .arg(24000 + i % 1000)
                     .toUtf8();
        if (chunk.size() > (1 << 20)) {
            if (f.write(chunk) != chunk.size())
                return false;
            chunk.clear();
        }
    }
    return f.write(chunk) == chunk.size();
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    int customers = 100000;
    QString dir;
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); ++i) {
        if (args[i] == QLatin1String("--customers"))
            customers = args[i + 1].toInt();
        else if (args[i] == QLatin1String("--dir"))
            dir = args[i + 1];
    }
    QTemporaryDir tmp(dir.isEmpty() ? QDir::tempPath() + QStringLiteral("/bench-XXXXXX")
                                    : dir + QStringLiteral("/bench-XXXXXX"));
    if (!tmp.isValid())
        return 1;
    const QString csv = tmp.filePath(QStringLiteral("customers.csv"));
    const QString dbPath = tmp.filePath(QStringLiteral("bench.db"));
    if (!writeCsv(csv, customers))
        return 1;
    CreateNewDatabase(dbPath);
    Database db;
    db.open(dbPath);
    CBillingFixture(db).addPlan(QStringLiteral("Basic"), QDate(2026, 1, 1), QDate(2027, 1, 1));

    QElapsedTimer timer;
    timer.start();
    const CsvImportResult r = ImportCustomersCsvFile(
        db, csv, {0, 0, 0, QStringLiteral("example.net")}, QDate(2026, 12, 6));
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    if (!r.ok()) {
        std::fprintf(stderr, "import failed: %s\n",
                     qPrintable(r.failure + r.problems.value(0).reason));
        return 1;
    }
    std::printf("%lld customers in %.2f s (%.0f/s), file %.1f MB, peak RSS %.1f MB\n",
                qint64(r.stored), seconds, double(r.stored) / seconds,
                double(QFileInfo(csv).size()) / 1e6, double(peakKiB()) / 1024.0);
    return 0;
}
