#pragma once
// What the benchmarks share besides memory: processor time and their options.
#include "core/db/database.h"

#include <QFile>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <ctime>
#include <unistd.h>

// Processor time of the process: the machine is shared, so wall time alone says little.
inline double cpuSeconds() {
    return double(std::clock()) / CLOCKS_PER_SEC;
}

// Processor time so far of the server process that serves `db` (PostgreSQL on this machine),
// -1 for a file or a server elsewhere: on a server, the client's own time leaves out the work
// of the engine.
inline double serverCpuSeconds(Database& db) {
    if (db.engineKind() != DbEngineKind::Postgres)
        return -1;
    const qint64 pid = db.scalar(QStringLiteral("SELECT pg_backend_pid()")).toLongLong();
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (pid <= 0 || !f.open(QIODevice::ReadOnly))
        return -1;
    // After the name in parentheses: state is field 3, utime and stime fields 14 and 15.
    const QByteArray stat = f.readAll();
    if (!stat.contains("(postgres)"))
        return -1; // a server on another machine: the pid is not one of this machine's
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return -1;
    return double(fields[11].toLongLong() + fields[12].toLongLong()) / sysconf(_SC_CLK_TCK);
}

// The number after `name` on the command line, `def` when it is not given.
inline int argValue(const QStringList& args, const QString& name, int def) {
    const int i = args.indexOf(name);
    return i >= 0 && i + 1 < args.size() ? args[i + 1].toInt() : def;
}

// The template of a temporary folder `pattern` (ending in XXXXXX) in the folder given with
// --dir; empty (the system's temporary folder) without one.
inline QString benchDirTemplate(const QStringList& args, const QString& pattern) {
    const int i = args.indexOf(QStringLiteral("--dir"));
    return i >= 0 && i + 1 < args.size() ? args[i + 1] + QLatin1Char('/') + pattern : QString();
}

// The database a benchmark fills: the name given with --db (a "postgresql://" URL of an empty
// database on a server), else the environment's TK_BENCH_DB, else `filePath` (a new SQLite
// file).
inline QString benchDatabaseName(const QStringList& args, const QString& filePath) {
    const int i = args.indexOf(QStringLiteral("--db"));
    if (i >= 0 && i + 1 < args.size())
        return args[i + 1];
    const QString env = qEnvironmentVariable("TK_BENCH_DB");
    return env.isEmpty() ? filePath : env;
}
