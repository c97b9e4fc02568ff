#include "common/cliprocess.h"

#include <QFileInfo>
#include <QProcess>

using namespace Qt::StringLiterals;

QString CliBinary() {
    return QStringLiteral(TK_BINARY_DIR "/src/cli/tollkeeper-cli");
}

QString CliMissing() {
    if (QFileInfo(CliBinary()).isExecutable())
        return {};
    return u"build tollkeeper-cli first: "_s + CliBinary();
}

CliResult RunCli(const QString& workDir, const QStringList& args, int timeoutMs) {
    return RunCliWith(workDir, args, timeoutMs, {});
}

CliResult RunCliWith(const QString& workDir, const QStringList& args, int timeoutMs,
                     const std::function<void()>& childSetup) {
    QProcess p;
    p.setWorkingDirectory(workDir);
    p.setStandardInputFile(QProcess::nullDevice()); // no terminal to ask
    if (childSetup)
        p.setChildProcessModifier(childSetup);
    p.start(CliBinary(), args);
    CliResult r;
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
        r.err = u"timed out"_s;
        return r;
    }
    r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.outBytes = p.readAllStandardOutput();
    r.out = QString::fromLocal8Bit(r.outBytes);
    r.err = QString::fromLocal8Bit(p.readAllStandardError());
    return r;
}

CliResult RunCliOn(const QString& workDir, const QString& database, const QStringList& args,
                   int timeoutMs) {
    return RunCli(workDir, QStringList{u"--db"_s, database} + args, timeoutMs);
}
