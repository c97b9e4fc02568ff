#pragma once
#include <QDateTime>
#include <QString>
#include <QStringList>

// A column report built once from the database and read-only afterwards: a title, a page
// header, column titles, one line per row and a totals line. The report view, the printer and
// the command line all read it through this interface, so they show the same lines.
//
// Each cell exists in two forms: the display form (locale currency numbers, times as
// "%02d:%02d:%02d", traffic as "%uK") and the exact form for files read by programs (amounts
// as plain decimals with "." and no grouping, times in seconds, traffic in bytes).
class CReportDoc {
public:
    enum class Form { Display, Exact };

    virtual ~CReportDoc() = default;

    virtual QString title() const = 0;
    // The text at the left of every page header.
    virtual QString pageHeader() const = 0;
    virtual QStringList columnTitles() const = 0;
    // Number columns are aligned to the right and written as numbers in JSON.
    virtual bool isNumberColumn(int column) const = 0;
    virtual int rowCount() const = 0;
    virtual QString cell(int row, int column, Form form) const = 0;
    // The totals line: its first cell is "Totals".
    virtual QString totalsCell(int column, Form form) const = 0;

    int columnCount() const { return int(columnTitles().size()); }
    QStringList rowCells(int row, Form form) const;
    QStringList totalsCells(Form form) const;
};

// "%D:%H:%M:%S" of a number of seconds: days without leading zeros, the rest two digits.
QString FormatDaysHms(qint64 seconds);
// The report's "now": the given instant, or the current local time when it is invalid.
QDateTime ReportNow(const QDateTime& given);
