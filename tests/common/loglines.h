#pragma once
#include "core/app/operationlog.h"
#include "core/app/oplog.h"

#include <QStringList>

// Records the lines written to the operation log while it exists, split into their fields.
struct CLogLines : ILogListener {
    QList<LogLineFields> lines;
    CLogLines() { theLog().addListener(this); }
    ~CLogLines() override { theLog().removeListener(this); }
    void lineAdded(const QString& line) override { lines.append(ParseLogLine(line)); }
    void cleared() override { lines.clear(); }
    // "name|severity|message" (or "name|message") per line.
    QStringList messages(bool withSeverity = true) const {
        QStringList out;
        for (const LogLineFields& f : lines)
            out.append(f.name + u'|' + (withSeverity ? f.severity + u'|' : QString()) + f.message);
        return out;
    }
};
