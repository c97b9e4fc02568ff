#include "common/loggedentries.h"

#include "core/app/cp1252.h"
#include "core/app/operationlog.h"
#include "core/app/settingsvalues.h"

#include <QFile>

QList<LoggedEntry> LoggedEntries() {
    QList<LoggedEntry> out;
    QFile file(LogFilePath());
    if (!file.open(QIODevice::ReadOnly))
        return out;
    for (const QByteArray& line : file.readAll().split('\n')) {
        if (line.trimmed().isEmpty())
            continue;
        const LogLineFields f = ParseLogLine(DecodeCp1252(line.trimmed()));
        out.append({f.name, f.severity, f.message});
    }
    return out;
}
