#include "common/limitedcli.h"

#include <csignal>
#include <sys/resource.h>

CliResult RunCliLimited(const QString& workDir, const QStringList& args, qint64 maxFileBytes,
                        int timeoutMs) {
    const rlim_t limit = rlim_t(maxFileBytes);
    return RunCliWith(workDir, args, timeoutMs, [limit] {
        std::signal(SIGXFSZ, SIG_IGN);
        const struct rlimit rl = {limit, limit};
        setrlimit(RLIMIT_FSIZE, &rl);
    });
}
