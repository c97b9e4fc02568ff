#pragma once
#include "common/cliprocess.h"


// tollkeeper-cli run in a child that may write no file beyond `maxFileBytes` (RLIMIT_FSIZE,
// SIGXFSZ ignored): every write past the limit fails with EFBIG the way a full disk fails
// with ENOSPC, deterministically and without filling a real disk.
CliResult RunCliLimited(const QString& workDir, const QStringList& args, qint64 maxFileBytes,
                        int timeoutMs = 60000);
