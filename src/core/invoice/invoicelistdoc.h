#pragma once
#include "core/db/currency.h"
#include "core/db/dbdatetime.h"

#include <QList>
#include <QString>
#include <QVariant>

class Database;

// Which stored invoices the invoices browser lists.
struct InvoiceListFilter {
    qint32 idUser = 0;       // 0: every customer
    DbDateTime from;         // invoice date on or after (null: no lower bound)
    DbDateTime before;       // invoice date before (null: no upper bound)
    bool unpaidOnly = false; // only invoices with something outstanding

    bool operator==(const InvoiceListFilter&) const = default;
};

// One line of the list.
struct InvoiceListRow {
    qint32 invoiceNum = 0;
    qint32 idUser = 0;
    QString username; // empty when the customer row is gone
    DbDateTime billingDate;
    DbDateTime openingDate;
    DbDateTime closingDate;
    Currency newCharges;
    Currency totalDue;
    Currency totalPaid;
};

// The columns of the list, each also a sort order.
namespace InvoiceListColumn {
enum : int { Number, Customer, InvoiceDate, Period, NewCharges, TotalDue, Paid, Count };
}

// The stored invoices (payment rows left out) in pages, for a list that may hold hundreds of
// thousands of them. Each page continues after the last row handed out (keyset paging on the
// sort key and the invoice number), so a page costs the same wherever it lies and no query
// ever reads all rows into memory. The list is a snapshot only as far as the pages go: rows
// written meanwhile appear when their place comes or after restart().
class CInvoiceListDoc {
public:
    explicit CInvoiceListDoc(Database& db) : m_db(db) {}

    // Each change starts the list again from its first row.
    void setFilter(const InvoiceListFilter& filter);
    void setSort(int column, bool descending);
    void restart();

    const InvoiceListFilter& filter() const { return m_filter; }
    int sortColumn() const { return m_column; }
    bool descending() const { return m_descending; }

    // The next at most `count` rows; fewer (and atEnd()) when the list is exhausted. Throws
    // DbException when the engine fails (the position is then unchanged).
    QList<InvoiceListRow> fetch(int count);
    bool atEnd() const { return m_atEnd; }

    // An invoice's outstanding amount (new charges less what was paid on it).
    static Currency Outstanding(const InvoiceListRow& row) {
        return row.newCharges - row.totalPaid;
    }

private:
    Database& m_db;
    InvoiceListFilter m_filter;
    int m_column = InvoiceListColumn::Number;
    bool m_descending = true;
    bool m_started = false;
    bool m_atEnd = false;
    QVariant m_lastKey; // sort key of the last row handed out
    qint32 m_lastNum = 0;
};
