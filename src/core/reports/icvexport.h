#pragma once
#include <QDateTime>
#include <QString>
#include <QStringList>

class Database;

// The batch file of card charges read by the ICVerify payment program: one sale line per
// invoice closed in [start, end) with new charges above zero whose customer has a card number
// and an expiry date on record.
struct IcvExportOptions {
    QDateTime start;               // included
    QDateTime end;                 // excluded
    bool commentUsesLogon = false; // the customer's logon name instead of `comment`
    QString comment;
    QString clerk;
    QString postalCode;
    QString address;
};

struct IcvExportResult {
    bool failed = false;
    QString path;         // the file written (absolute)
    int transactions = 0; // lines written
    // Invoices left out because a stored value would break the line: "invoice N (logon)".
    QStringList skipped;
    QString error; // why it failed
};

// The file name the payment program looks for.
inline constexpr const char* kIcvFileName = "ICVERIFY.TXT";

// Limits of the values the clerk types.
inline constexpr int kIcvCommentMax = 20;
inline constexpr int kIcvClerkMax = 20;
inline constexpr int kIcvPostalCodeMax = 9;
inline constexpr int kIcvAddressMax = 20;

// Writes the batch to `path` (replaced only once the new file is complete; readable by its
// owner only). An invoice skipped for a value that would break the line is logged under the
// customer's logon name. Database and file failures end the export with `failed` set and the
// previous file left as it was.
IcvExportResult ExportIcverify(Database& db, const IcvExportOptions& options, const QString& path);

// True when a value would break the comma-delimited line: it holds a double quote, a carriage
// return or a line feed (the fields are written in quotes and never escaped).
bool IcvBreaksLine(const QString& value);
// The first option value that breaks the line, by its label ("Clerk" ...); empty when none.
QString IcvOptionBreakingLine(const IcvExportOptions& options);
// The expiry field "YYMM" of a stored "month/year" expiry; empty when it cannot be read.
// A year above 100 is taken modulo 100, so 7/1999 gives 9907 and 12/03 gives 0312.
QString IcvExpiryField(const QString& stored);
// The file in its place, whole or not at all: written to a temporary file in the same
// folder, flushed, checked, made readable by its owner only and renamed over `path`.
// True on failure with the reason in `error`.
[[nodiscard]] bool IcvReplaceFile(const QString& path, const QByteArray& bytes, QString* error);
