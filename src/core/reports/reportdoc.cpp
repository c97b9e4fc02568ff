#include "core/reports/reportdoc.h"

QStringList CReportDoc::rowCells(int row, Form form) const {
    QStringList cells;
    const int n = columnCount();
    cells.reserve(n);
    for (int c = 0; c < n; ++c)
        cells.append(cell(row, c, form));
    return cells;
}

QStringList CReportDoc::totalsCells(Form form) const {
    QStringList cells;
    const int n = columnCount();
    cells.reserve(n);
    for (int c = 0; c < n; ++c)
        cells.append(totalsCell(c, form));
    return cells;
}

QString FormatDaysHms(qint64 seconds) {
    const qint64 days = seconds / 86400;
    const qint64 rest = seconds % 86400;
    return QStringLiteral("%1:%2:%3:%4")
        .arg(days)
        .arg(rest / 3600, 2, 10, QLatin1Char('0'))
        .arg(rest % 3600 / 60, 2, 10, QLatin1Char('0'))
        .arg(rest % 60, 2, 10, QLatin1Char('0'));
}

QDateTime ReportNow(const QDateTime& given) {
    return given.isValid() ? given.toLocalTime() : QDateTime::currentDateTime();
}
