#pragma once
#include <QList>
#include <QString>
#include <functional>

class Database;

// Copies a whole database into an empty one of either engine, so an office can move its file
// to a database server and back: every table with its fields (kinds, sizes, required,
// zero-length, defaults), indexes and rows, AutoNumber values as they are and each table's
// next AutoNumber (so a deleted invoice's number is not handed out again after the move).

struct TableCopyCount {
    QString table;
    qint64 rows = 0;
};

struct DatabaseCopyProgress {
    QString table;
    int tableIndex = 0; // 0-based, of tableCount
    int tableCount = 0;
    qint64 rows = 0; // rows of this table copied so far
};

// Called as each table starts and every few hundred rows; answering false interrupts the copy.
using DatabaseCopyProgressFn = std::function<bool(const DatabaseCopyProgress&)>;

// Copies every table of `from` into `to`, which must have no tables. The target's part is one
// transaction: the tables are made, the rows copied, and the copy checked (row counts, and the
// sum of every numeric field: whole numbers and Currency exactly, floating ones within a
// relative 1e-9) before it commits. Any failure, a difference found by the check or an
// interruption throws DbException and leaves the target as it was. Answers the rows copied
// per table, in the order of the source's table names.
QList<TableCopyCount> CopyDatabase(Database& from, Database& to,
                                   const DatabaseCopyProgressFn& progress = {});

// A database name fit to show: a file path as it is, a URL without its password.
QString DatabaseDisplayName(const QString& name);
