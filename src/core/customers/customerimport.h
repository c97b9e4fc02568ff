#pragma once
// Bulk creation of customers from a CSV file (RFC 4180, a header row naming the fields, UTF-8
// or Windows-1252). The file is checked as a whole: every bad row is reported with its line
// and reason, and when any row is bad nothing is stored; otherwise every row is stored in one
// transaction. Each customer gets the customer defaults for what its row leaves out.
#include "core/customers/appoptions.h"

#include <QDate>
#include <QList>
#include <QString>

#include <optional>

class Database;
class QIODevice;

struct CsvImportProblem {
    qint64 line = 0; // the line the record begins on (the header is line 1)
    QString reason;
};

struct CsvImportResult {
    qint64 rows = 0;                  // data rows read
    qint64 stored = 0;                // customers stored (all rows, or 0)
    QList<CsvImportProblem> problems; // bad rows (and header), in file order
    QString failure;                  // the file could not be read or the database refused
    bool ok() const { return problems.isEmpty() && failure.isEmpty(); }
};

// The field names a header may use, in the order the documentation lists them.
const QStringList& CsvImportFields();

// A yes/no field as a file or a command line writes it: yes/no, 1/0 or true/false, in any
// case; nothing for other text.
std::optional<bool> ParseYesNoField(const QString& text);

CsvImportResult ImportCustomersCsv(Database& db, QIODevice& file, const CustomerDefaults& defaults,
                                   const QDate& today);
CsvImportResult ImportCustomersCsvFile(Database& db, const QString& path,
                                       const CustomerDefaults& defaults, const QDate& today);
