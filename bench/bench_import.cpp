// Import benchmark: a FreeRADIUS 3 detail file of many sessions imported into a new database,
// then imported again (every session a duplicate). Prints records per second and the peak
// memory of each phase.
//
//   bench_import [--sessions N] [--users N] [--dir DIR] [--keep] [--db NAME]
//
// --db (or TK_BENCH_DB) names the database to fill instead of a new file in the temporary
// folder: a "postgresql://" URL of an empty database on a server.
#include "bench/benchmemory.h"
#include "bench/benchsupport.h"
#include "common/radiusdetail.h"
#include "core/db/database.h"
#include "core/db/schema.h"
#include "core/import/importcodes.h"
#include "core/import/textlogimport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cstdio>

namespace {

bool writeDetail(const QString& path, int sessions, int users) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    QRandomGenerator rng(20240601);
    const QDateTime base(QDate(2023, 1, 1), QTime(0, 0, 0));
    QByteArray chunk;
    RadiusDetailSession s;
    for (int i = 0; i < sessions; ++i) {
        s.user = QStringLiteral("user%1").arg(i % users, 5, 10, QLatin1Char('0'));
        s.written = base.addSecs(qint64(i) * 17);
        s.sessionTime = 60 + rng.bounded(7200);
        s.sessionId = QStringLiteral("%1").arg(i, 8, 16, QLatin1Char('0')).toUpper();
        s.nasPort = QString::number(i % 96);
        s.inputOctets = QString::number(rng.bounded(10000000));
        s.outputOctets = QString::number(rng.bounded(50000000));
        chunk += RadiusDetailRecord(s);
        if (chunk.size() > (1 << 20)) {
            if (f.write(chunk) != chunk.size())
                return false;
            chunk.clear();
        }
    }
    return f.write(chunk) == chunk.size();
}

struct Phase {
    double seconds;
    double cpu;
    double serverCpu; // -1 for a file
    TextLogImportOutcome out;
    long peak;
};

Phase importOnce(Database& db, const QString& path) {
    resetPeak();
    QElapsedTimer t;
    t.start();
    const double cpu0 = cpuSeconds();
    const double server0 = serverCpuSeconds(db);
    Phase p;
    p.out = ImportTextLogInto(db, path, AUTH_RADIUS, 1, false);
    p.seconds = double(t.nsecsElapsed()) / 1e9;
    p.cpu = cpuSeconds() - cpu0;
    p.serverCpu = server0 < 0 ? -1 : serverCpuSeconds(db) - server0;
    p.peak = peakKiB();
    return p;
}

void report(const char* name, const Phase& p) {
    std::printf("%-10s result %d, %d records, %d stored, %.2f s wall (%.0f records/s), "
                "%.2f s CPU (%.0f records/s), peak %.1f MB\n",
                name, p.out.result, p.out.total, p.out.found, p.seconds, p.out.total / p.seconds,
                p.cpu, p.out.total / p.cpu, p.peak / 1024.0);
    if (!p.out.error.isEmpty())
        std::printf("%-10s error: %s\n", "", qPrintable(p.out.error));
    if (p.serverCpu >= 0)
        std::printf("%-10s server process %.2f s CPU\n", "", p.serverCpu);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QStandardPaths::setTestModeEnabled(true);
    int sessions = 1000000;
    int users = 10000;
    QString dir;
    bool keep = false;
    const QStringList args = app.arguments();
    for (qsizetype i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--sessions") && i + 1 < args.size())
            sessions = args[++i].toInt();
        else if (args[i] == QLatin1String("--users") && i + 1 < args.size())
            users = args[++i].toInt();
        else if (args[i] == QLatin1String("--dir") && i + 1 < args.size())
            dir = args[++i];
        else if (args[i] == QLatin1String("--keep"))
            keep = true;
        else if (args[i] == QLatin1String("--db") && i + 1 < args.size())
            ++i; // read by benchDatabaseName
        else {
            std::fprintf(stderr, "usage: bench_import [--sessions N] [--users N] [--dir DIR] "
                                 "[--keep] [--db NAME]\n");
            return 2;
        }
    }
    QTemporaryDir tmp(dir.isEmpty() ? QDir::tempPath() + QStringLiteral("/bench_import-XXXXXX")
                                    : dir + QStringLiteral("/bench_import-XXXXXX"));
    tmp.setAutoRemove(!keep);
    if (!tmp.isValid() || sessions <= 0 || users <= 0)
        return 1;
    const QString log = tmp.filePath(QStringLiteral("detail"));
    const QString dbPath = benchDatabaseName(args, tmp.filePath(QStringLiteral("bench.db")));

    QElapsedTimer t;
    t.start();
    if (!writeDetail(log, sessions, users)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(log));
        return 1;
    }
    std::printf("generated %d sessions for %d users (%.0f MB) in %.1f s\n", sessions, users,
                QFileInfo(log).size() / 1048576.0, t.elapsed() / 1000.0);

    Database db;
    try {
        CreateNewDatabase(dbPath);
        db.open(dbPath);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "cannot create the database: %s\n", e.what());
        return 1;
    }
    std::printf("database   %s\n", qPrintable(db.displayName()));
    std::printf("baseline   peak %.1f MB\n", (resetPeak(), peakKiB()) / 1024.0);
    const Phase first = importOnce(db, log);
    report("first", first);
    const Phase again = importOnce(db, log);
    report("re-import", again);
    const double bytes =
        db.engineKind() == DbEngineKind::Postgres
            ? db.scalar(QStringLiteral("SELECT pg_database_size(current_database())")).toDouble()
            : double(QFileInfo(dbPath).size());
    db.close();
    std::printf("database   %.0f MB\n", bytes / 1048576.0);
    return first.out.result == IMPORT_OK && again.out.result == IMPORT_OK &&
                   first.out.found == sessions && again.out.found == 0
               ? 0
               : 1;
}
