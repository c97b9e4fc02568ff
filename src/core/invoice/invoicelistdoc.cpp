#include "core/invoice/invoicelistdoc.h"

#include "core/db/database.h"

namespace {

// The sort key of a column as an SQL expression. Nulls take a value below every real one, so
// that the key compares in the row-value test of the next page; names compare ignoring case
// like every text of the database.
QString sortKey(int column) {
    switch (column) {
    case InvoiceListColumn::Customer:
        return QStringLiteral("(COALESCE(Users.Username, '') COLLATE NOCASE)");
    case InvoiceListColumn::InvoiceDate:
        return QStringLiteral("COALESCE(Invoices.BillingDate, -1e9)");
    case InvoiceListColumn::Period:
        return QStringLiteral("COALESCE(Invoices.OpeningDate, -1e9)");
    case InvoiceListColumn::NewCharges:
        return QStringLiteral("COALESCE(Invoices.NewCharges, 0)");
    case InvoiceListColumn::TotalDue:
        return QStringLiteral("COALESCE(Invoices.TotalDue, 0)");
    case InvoiceListColumn::Paid:
        return QStringLiteral("COALESCE(Invoices.TotalPaid, 0)");
    default:
        return QStringLiteral("Invoices.InvoiceNum");
    }
}

} // namespace

void CInvoiceListDoc::setFilter(const InvoiceListFilter& filter) {
    m_filter = filter;
    restart();
}

void CInvoiceListDoc::setSort(int column, bool descending) {
    m_column =
        (column >= 0 && column < InvoiceListColumn::Count) ? column : InvoiceListColumn::Number;
    m_descending = descending;
    restart();
}

void CInvoiceListDoc::restart() {
    m_started = false;
    m_atEnd = false;
    m_lastKey = QVariant();
    m_lastNum = 0;
}

QList<InvoiceListRow> CInvoiceListDoc::fetch(int count) {
    QList<InvoiceListRow> rows;
    if (m_atEnd || count <= 0)
        return rows;

    const QString key = sortKey(m_column);
    const bool byNumber = m_column == InvoiceListColumn::Number;
    const QString cmp = m_descending ? QStringLiteral("<") : QStringLiteral(">");
    const QString dir = m_descending ? QStringLiteral(" DESC") : QString();

    // Payment rows (a negative Version) record money only; they are no invoices to open.
    QStringList where{QStringLiteral("COALESCE(Invoices.Version, 0) >= 0")};
    QVariantList params;
    if (m_filter.idUser != 0) {
        where << QStringLiteral("Invoices.IdUser = ?");
        params << m_filter.idUser;
    }
    if (!m_filter.from.isNull()) {
        where << QStringLiteral("Invoices.BillingDate >= ?");
        params << m_filter.from.days();
    }
    if (!m_filter.before.isNull()) {
        where << QStringLiteral("Invoices.BillingDate < ?");
        params << m_filter.before.days();
    }
    if (m_filter.unpaidOnly)
        where << QStringLiteral(
            "COALESCE(Invoices.NewCharges, 0) - COALESCE(Invoices.TotalPaid, 0) > 0");
    if (m_started) {
        if (byNumber) {
            where << QStringLiteral("Invoices.InvoiceNum %1 ?").arg(cmp);
            params << m_lastNum;
        } else {
            where << QStringLiteral("(%1, Invoices.InvoiceNum) %2 (?, ?)").arg(key, cmp);
            params << m_lastKey << m_lastNum;
        }
    }
    QString order = key + dir;
    if (!byNumber)
        order += QStringLiteral(", Invoices.InvoiceNum") + dir;
    const QString sql =
        QStringLiteral("SELECT Invoices.InvoiceNum, Invoices.IdUser, Users.Username, "
                       "Invoices.BillingDate, Invoices.OpeningDate, Invoices.ClosingDate, "
                       "Invoices.NewCharges, Invoices.TotalDue, Invoices.TotalPaid, %1 "
                       "FROM Invoices LEFT JOIN Users ON Users.Id = Invoices.IdUser "
                       "WHERE %2 ORDER BY %3 LIMIT ?")
            .arg(key, where.join(QStringLiteral(" AND ")), order);
    params << count;

    Statement st = m_db.prepare(sql);
    st.bindAll(params);
    QVariant lastKey;
    while (st.next()) {
        InvoiceListRow r;
        r.invoiceNum = st.value(0).toInt();
        r.idUser = st.value(1).toInt();
        r.username = st.value(2).toString();
        r.billingDate = st.value(3).value<DbDateTime>();
        r.openingDate = st.value(4).value<DbDateTime>();
        r.closingDate = st.value(5).value<DbDateTime>();
        r.newCharges = st.value(6).value<Currency>();
        r.totalDue = st.value(7).value<Currency>();
        r.totalPaid = st.value(8).value<Currency>();
        lastKey = st.value(9);
        rows.append(r);
    }
    m_started = m_started || !rows.isEmpty();
    if (!rows.isEmpty()) {
        m_lastKey = lastKey;
        m_lastNum = rows.constLast().invoiceNum;
    }
    m_atEnd = rows.size() < count;
    return rows;
}
