#include "common/limitedcli.h"

#include <QProcess>

#include <csignal>
#include <sys/resource.h>

CliResult RunCliLimited(const QString& workDir, const QStringList& args, qint64 maxFileBytes,
                        int timeoutMs) {
    QProcess p;
    p.setWorkingDirectory(workDir);
    p.setStandardInputFile(QProcess::nullDevice());
    const rlim_t limit = rlim_t(maxFileBytes);
    // Runs in the child between fork and exec: only async-signal-safe calls.
    p.setChildProcessModifier([limit] {
        std::signal(SIGXFSZ, SIG_IGN);
        const struct rlimit rl = {limit, limit};
        setrlimit(RLIMIT_FSIZE, &rl);
    });
    p.start(CliBinary(), args);
    CliResult r;
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
        r.err = QStringLiteral("timed out");
        return r;
    }
    r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.outBytes = p.readAllStandardOutput();
    r.out = QString::fromLocal8Bit(r.outBytes);
    r.err = QString::fromLocal8Bit(p.readAllStandardError());
    return r;
}
