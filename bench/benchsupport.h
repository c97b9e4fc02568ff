#pragma once
// What the benchmarks share besides memory: processor time and their numeric options.
#include <QString>
#include <QStringList>

#include <ctime>

// Processor time of the process: the machine is shared, so wall time alone says little.
inline double cpuSeconds() {
    return double(std::clock()) / CLOCKS_PER_SEC;
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
