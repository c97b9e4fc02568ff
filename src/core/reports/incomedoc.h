#pragma once
#include "core/db/currency.h"
#include "core/reports/reportdoc.h"

#include <QDateTime>
#include <QList>
#include <QString>

class Database;

// What the office earned in a period: every invoice whose closing date lies in
// [start, end), one line each, ordered by logon name and closing date, and a totals line.
class CIncomeDoc : public CReportDoc {
public:
    struct Row {
        QString logonName; // empty when the customer no longer exists
        QString fullName;  // "*** User record missing ***" then
        Currency newCharges;
        Currency paid;
        Currency taxes;
        qint32 hours = 0;
        qint16 minutes = 0;
        qint16 seconds = 0;
        qint64 sent = 0;
        qint64 received = 0;
    };

    // The two texts are shown in the page header as the user entered them.
    CIncomeDoc(const QDateTime& start, const QDateTime& end, const QString& startText,
               const QString& endText);

    // Reads the invoices of the period. Throws DbException when the database fails.
    void load(Database& db);

    const QList<Row>& rows() const { return m_rows; }
    Currency totalNewCharges() const { return m_newCharges; }
    Currency totalPaid() const { return m_paid; }
    Currency totalTaxes() const { return m_taxes; }
    qint64 totalSeconds() const { return m_seconds; }
    // Traffic totals in whole thousands of bytes.
    qint64 sentThousands() const;
    qint64 receivedThousands() const;

    QString title() const override;
    QString pageHeader() const override;
    QStringList columnTitles() const override;
    bool isNumberColumn(int column) const override { return column >= 2; }
    int rowCount() const override { return int(m_rows.size()); }
    QString cell(int row, int column, Form form) const override;
    QString totalsCell(int column, Form form) const override;

private:
    QDateTime m_start;
    QDateTime m_end;
    QString m_startText;
    QString m_endText;
    int m_decimals;
    QList<Row> m_rows;
    Currency m_newCharges;
    Currency m_paid;
    Currency m_taxes;
    qint64 m_seconds = 0;
    // Byte totals are summed as floating-point numbers: they may pass the range of a Long.
    double m_sent = 0;
    double m_received = 0;
};
