#pragma once
#include "core/db/currency.h"
#include "core/reports/reportdoc.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <array>

class Database;

// Who owes how much for how long: one line per customer with the open amounts of the
// customer's invoices split by age into six buckets, and a totals line. Customers whose open
// amounts net to zero get no line.
class COverdueDoc : public CReportDoc {
public:
    enum Bucket { Current, Days10To30, Days30To60, Days60To90, Days90To120, Over120, Buckets };

    struct Row {
        QString logonName;
        QString fullName;
        std::array<Currency, Buckets> buckets{};
        Currency total;
    };

    // now: the moment the ages are measured from; invalid means the current local time.
    explicit COverdueDoc(const QDateTime& now = {});

    // Reads the open invoices. Throws DbException when the database fails.
    void load(Database& db);

    // The bucket of an invoice aged `days` whole days (negative: dated in the future).
    static Bucket bucketForAge(qint64 days);

    QDateTime now() const { return m_now; }
    const QList<Row>& rows() const { return m_rows; }
    const Row& totals() const { return m_totals; }

    QString title() const override;
    QString pageHeader() const override;
    QStringList columnTitles() const override;
    bool isNumberColumn(int column) const override { return column >= 2; }
    int rowCount() const override { return int(m_rows.size()); }
    QString cell(int row, int column, Form form) const override;
    QString totalsCell(int column, Form form) const override;

private:
    QString cellOf(const Row& r, int column, Form form) const;

    QDateTime m_now;
    int m_decimals;
    QList<Row> m_rows;
    Row m_totals;
};
