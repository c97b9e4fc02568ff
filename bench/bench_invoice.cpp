// Invoice benchmark: many customers with many sessions each over one billing plan (a monthly
// fee, an evening connect-time charge with a band, byte traffic and a tax), one invoice per
// customer, each in its own transaction as an invoice run makes them. Prints sessions rated
// per second end to end (all database reads and writes included) and the memory in use after
// a tenth, half and all of the customers.
//
// By default the invoices' own transactions nest inside an outer one committed every 1000
// invoices (each invoice can still be rolled back alone); --durable commits every invoice to
// the disk on its own.
//
// --db (or TK_BENCH_DB) names the database to fill instead of a new file in the temporary
// folder: a "postgresql://" URL of an empty database on a server, whose statistics are gathered
// after the set-up unless --no-analyze is given.
//
//   bench_invoice [--customers N] [--sessions N] [--dir DIR] [--durable] [--db NAME]
//                 [--no-analyze]
#include "bench/benchsupport.h"
#include "common/billingfixture.h"
#include "core/billing/chargetypes.h"
#include "core/billing/invoicedoc.h"
#include "core/billing/plantemplates.h"
#include "core/db/database.h"
#include "core/db/datetimeutil.h"
#include "core/db/schema.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cstdio>

namespace {

// Resident memory of the process in KiB (Linux).
long residentKiB() {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return -1;
}

QString userName(int i) {
    return QStringLiteral("user%1").arg(i, 5, 10, QLatin1Char('0'));
}

struct Setup {
    qint32 plan = 0;
    qint32 invoicePlan = 0;
};

Setup buildPlan(Database& db) {
    using F = CBillingFixture;
    CBillingFixture fx(db);
    Setup s;
    s.plan = fx.addPlan(QStringLiteral("Standard"), QDate(2024, 4, 1), QDate(2024, 5, 1), "10");
    fx.attach(s.plan, fx.addCharge(F::fixed(QStringLiteral("Monthly fee"), "19.95")));
    ChargeRow evening = F::online(QStringLiteral("Evening overtime"), "1.50");
    evening.FilterType = PremiumFilter::Daily; // 18:00 - 08:00
    evening.FilterStart = 18 * 3600;
    evening.FilterEnd = 8 * 3600;
    evening.LimitStart = 20 * 3600; // beyond 20 accumulated hours
    fx.attach(s.plan, fx.addCharge(evening));
    fx.attach(s.plan, fx.addCharge(F::bytes(QStringLiteral("Traffic"), "0.05", 1000000)));
    fx.attach(s.plan, fx.addCharge(F::tax(QStringLiteral("VAT"), 19)));
    s.invoicePlan = fx.addInvoicePlan(QStringLiteral("Plain"));
    return s;
}

void buildCustomers(Database& db, int customers, int sessions) {
    db.beginTrans();
    Statement user = db.prepare(QStringLiteral("INSERT INTO Users (Username, ActiveStatus, "
                                               "StartDate, GotFirstInvoice) VALUES (?, 1, ?, 1)"));
    Statement event = db.prepare(QStringLiteral(
        "INSERT INTO Events (Username, ConnectDate, DisconnectDate, Hours, Minutes, Seconds, Sent, "
        "Received, Reason, Port, ServerId, SessionId) VALUES (?, ?, ?, ?, ?, ?, ?, ?, '', ?, 0, "
        "?)"));
    const QVariant start = QVariant::fromValue(DbFromDate(2023, 1, 1));
    const qint64 periodStart = CBillingFixture::at(2024, 4, 1);
    const qint64 span = CBillingFixture::at(2024, 5, 1) - periodStart;
    quint32 seed = 12345;
    auto next = [&seed](quint32 bound) {
        seed = seed * 1664525u + 1013904223u;
        return (seed >> 8) % bound;
    };
    for (int c = 0; c < customers; ++c) {
        const QString name = userName(c);
        user.bindAll({name, start});
        user.exec();
        for (int k = 0; k < sessions; ++k) {
            // Spread over the month, 1 minute to 3 hours each.
            const qint64 duration = 60 + next(3 * 3600);
            const qint64 end =
                periodStart + 3 * 3600 + qint64(k) * (span - 6 * 3600) / sessions + next(3 * 3600);
            event.bindAll({name, QVariant::fromValue(SecondsToDb(end - duration)),
                           QVariant::fromValue(SecondsToDb(end)), int(duration / 3600),
                           int(duration / 60 % 60), int(duration % 60), int(next(2000000)),
                           int(next(20000000)), QString::number(k % 32),
                           QString::number(c * sessions + k)});
            event.exec();
        }
    }
    db.commitTrans();
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QStandardPaths::setTestModeEnabled(true);
    int customers = 10000;
    int sessions = 100;
    QString dir;
    const QStringList args = app.arguments();
    const bool durable = args.contains(QStringLiteral("--durable"));
    for (int i = 1; i + 1 < args.size(); ++i) {
        if (args[i] == "--customers")
            customers = args[++i].toInt();
        else if (args[i] == "--sessions")
            sessions = args[++i].toInt();
        else if (args[i] == "--dir")
            dir = args[++i];
    }
    QTemporaryDir tmp(dir.isEmpty() ? QDir::tempPath() + "/bench_invoice-XXXXXX"
                                    : dir + "/bench_invoice-XXXXXX");
    if (!tmp.isValid()) {
        std::fprintf(stderr, "cannot create a temporary folder\n");
        return 1;
    }
    const QString path = benchDatabaseName(args, tmp.filePath(QStringLiteral("bench.db")));
    Database db;
    try {
        CreateNewDatabase(path);
        db.open(path);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "cannot create the database: %s\n", e.what());
        return 1;
    }
    std::printf("database: %s\n", qPrintable(db.displayName()));

    QElapsedTimer timer;
    timer.start();
    const Setup setup = buildPlan(db);
    buildCustomers(db, customers, sessions);
    std::printf("setup: %d customers x %d sessions written in %.1f s\n", customers, sessions,
                timer.elapsed() / 1000.0);
    if (db.engineKind() == DbEngineKind::Postgres &&
        !args.contains(QStringLiteral("--no-analyze"))) {
        // A server plans by the statistics its autovacuum gathers a while after a large change;
        // an office's database has them, the tables just filled not yet.
        timer.restart();
        db.execute(QStringLiteral("ANALYZE"));
        std::printf("statistics gathered in %.1f s\n", timer.elapsed() / 1000.0);
    }

    QList<qint32> ids;
    {
        Statement st = db.prepare(QStringLiteral("SELECT Id FROM Users ORDER BY Id"));
        while (st.next())
            ids.append(st.value(0).toInt());
    }

    int failures = 0;
    qint64 billedSessions = 0;
    const long rssBefore = residentKiB();
    long rssTenth = 0, rssHalf = 0;
    const DbDateTime billingDate = DbFromDate(2024, 5, 2);
    const double cpu0 = cpuSeconds();
    const double server0 = serverCpuSeconds(db);
    timer.restart();
    constexpr int kBatch = 1000;
    // The plans are read once for all invoices, as an invoice run reads them.
    const auto templates = std::make_shared<PlanTemplates>(db);
    for (qsizetype i = 0; i < ids.size(); ++i) {
        if (!durable && i % kBatch == 0)
            db.beginTrans();
        db.beginTrans();
        CInvoiceDoc doc(db);
        doc.SetTemplates(templates);
        int last = 0;
        doc.SetReporter([&last](const RatingReport& r) { last = r.code; });
        const int result =
            doc.Create(ids[i], setup.plan, setup.invoicePlan, billingDate, true, false);
        if (result == ResultCode::CreationSucceeded) {
            db.commitTrans();
        } else {
            db.rollback();
            ++failures;
            if (failures <= 3)
                std::fprintf(stderr, "customer %d: result %d %s\n", ids[i], result,
                             qPrintable(doc.LastError()));
        }
        const InvoiceRow& inv = doc.Invoice();
        billedSessions += sessions; // every session of the customer lies in the period
        (void)inv;
        (void)last;
        if (!durable && (i % kBatch == kBatch - 1 || i + 1 == ids.size()))
            db.commitTrans();
        if (i + 1 == ids.size() / 10)
            rssTenth = residentKiB();
        if (i + 1 == ids.size() / 2)
            rssHalf = residentKiB();
    }
    const double seconds = timer.elapsed() / 1000.0;
    const double cpu = cpuSeconds() - cpu0;
    const double serverCpu = server0 < 0 ? -1 : serverCpuSeconds(db) - server0;
    const long rssEnd = residentKiB();

    const qint64 invoices = db.scalar(QStringLiteral("SELECT COUNT(*) FROM Invoices")).toLongLong();
    const qint64 copies =
        db.scalar(QStringLiteral("SELECT COUNT(*) FROM Charges WHERE IdInvoice <> 0")).toLongLong();
    std::printf("mode: %s\n", durable ? "durable (one commit per invoice)"
                                      : "nested (outer commit every 1000 invoices)");
    std::printf("invoices: %lld written (%lld charge copies), %d failed, in %.1f s\n",
                (long long)invoices, (long long)copies, failures, seconds);
    std::printf("rate: %.0f sessions/s, %.0f invoices/s\n", billedSessions / seconds,
                ids.size() / seconds);
    std::printf("CPU: %.2f s this process", cpu);
    if (serverCpu >= 0)
        std::printf(", %.2f s server process", serverCpu);
    std::printf("\n");
    std::printf("memory (RSS KiB): before %ld, after 10%% %ld, after 50%% %ld, at end %ld\n",
                rssBefore, rssTenth, rssHalf, rssEnd);
    return failures == 0 ? 0 : 1;
}
