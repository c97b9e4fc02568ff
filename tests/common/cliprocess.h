#pragma once
#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>

// The built tollkeeper-cli run as a separate process: no terminal to ask (standard input is
// the null device), working folder given by the test, exit status and both output channels
// kept for checking.
struct CliResult {
    int code = -1;       // the exit status; -1 when the program crashed or timed out
    QByteArray outBytes; // standard output as written
    QString out;         // the same, decoded
    QString err;         // standard error, decoded ("timed out" when it did not finish)
    // The non-empty lines of standard output.
    QStringList outLines() const { return out.split(QLatin1Char('\n'), Qt::SkipEmptyParts); }
};

// Where the build put tollkeeper-cli.
QString CliBinary();
// Empty when the program is there to run, otherwise a message for the test's failure.
QString CliMissing();
// Runs tollkeeper-cli with `args` in `workDir`, waiting up to `timeoutMs` (then kills it).
CliResult RunCli(const QString& workDir, const QStringList& args, int timeoutMs = 60000);
// The same, with `childSetup` run in the child between fork and exec (async-signal-safe
// calls only), for limits the test puts on the program.
CliResult RunCliWith(const QString& workDir, const QStringList& args, int timeoutMs,
                     const std::function<void()>& childSetup);
// The same on a database file: "--db FILE" goes before `args`.
CliResult RunCliOn(const QString& workDir, const QString& database, const QStringList& args,
                   int timeoutMs = 60000);
