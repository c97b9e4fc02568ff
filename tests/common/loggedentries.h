#pragma once
#include <QList>
#include <QString>

// One line of the operation log file.
struct LoggedEntry {
    QString name;
    QString severity;
    QString message;
};

// The lines of the operation log file as it stands on disk (none when there is no file).
QList<LoggedEntry> LoggedEntries();
