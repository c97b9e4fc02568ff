#include "core/reports/overduedoc.h"

#include "core/db/database.h"
#include "core/db/datetimeutil.h"
#include "core/invoice/invoiceformat.h"

#include <QLocale>

namespace {

Currency currencyOf(const QVariant& v) {
    return v.canConvert<Currency>() && !v.isNull() ? v.value<Currency>() : Currency::null();
}

} // namespace

COverdueDoc::COverdueDoc(const QDateTime& now)
    : m_now(ReportNow(now)), m_decimals(CurrencyDecimals()) {
    m_totals.logonName = QStringLiteral("Totals");
}

COverdueDoc::Bucket COverdueDoc::bucketForAge(qint64 days) {
    if (days > 120)
        return Over120;
    if (days > 90)
        return Days90To120;
    if (days > 60)
        return Days60To90;
    if (days > 30)
        return Days30To60;
    if (days > 10)
        return Days10To30;
    return Current;
}

void COverdueDoc::load(Database& db) {
    m_rows.clear();
    m_totals = Row();
    m_totals.logonName = QStringLiteral("Totals");

    // Two equal invoices of one customer are two rows here: DISTINCTROW drops only rows that
    // come from the same invoice.
    Statement q = db.prepare(QStringLiteral(
        "SELECT DISTINCTROW Invoices.NewCharges, Invoices.TotalPaid, Invoices.ClosingDate, "
        "Users.Username, Users.FullName, Invoices.IdUser FROM Invoices INNER JOIN Users ON "
        "Invoices.IdUser = Users.Id WHERE (([NewCharges]-[TotalPaid])<>0) ORDER BY "
        "Users.Username"));
    const qint64 now = m_now.toSecsSinceEpoch();
    Row current;
    bool started = false;
    qint64 currentId = 0;
    auto close = [&] {
        if (started && current.total != Currency()) {
            for (int b = 0; b < Buckets; ++b)
                m_totals.buckets[size_t(b)] += current.buckets[size_t(b)];
            m_totals.total += current.total;
            m_rows.append(current);
        }
        current = Row();
    };
    while (q.next()) {
        const qint64 id = q.value(5).toLongLong();
        if (!started || id != currentId) {
            close();
            started = true;
            currentId = id;
            current.logonName = q.value(3).toString();
            current.fullName = q.value(4).toString();
        }
        const Currency open =
            RoundCurrency(currencyOf(q.value(0)) - currencyOf(q.value(1)), m_decimals);
        const QVariant closing = q.value(2);
        const qint64 closed =
            closing.canConvert<DbDateTime>() ? DbToSecondsOr0(closing.value<DbDateTime>()) : 0;
        // Seconds divided by a day's length, truncated toward zero (C++ division does that).
        const Bucket b = bucketForAge((now - closed) / 86400);
        current.buckets[size_t(b)] += open;
        current.total += open;
    }
    close();
}

QString COverdueDoc::title() const {
    return QStringLiteral("Overdue Report");
}

QString COverdueDoc::pageHeader() const {
    return QStringLiteral("Overdue Report as of %1")
        .arg(QLocale::system().toString(m_now, QLocale::LongFormat));
}

QStringList COverdueDoc::columnTitles() const {
    return {
        QStringLiteral("Logon ID"),    QStringLiteral("Full Name"),  QStringLiteral("Current"),
        QStringLiteral("10-30 days"),  QStringLiteral("30-60 days"), QStringLiteral("60-90 days"),
        QStringLiteral("90-120 days"), QStringLiteral(">120 days"),  QStringLiteral("Total Due")};
}

QString COverdueDoc::cellOf(const Row& r, int column, Form form) const {
    if (column == 0)
        return r.logonName;
    if (column == 1)
        return r.fullName;
    const int b = column - 2;
    if (b < 0 || b > Buckets)
        return {};
    const Currency& amount = b == Buckets ? r.total : r.buckets[size_t(b)];
    if (form == Form::Exact)
        return amount.isValid() || amount.isNull() ? amount.format(m_decimals) : QString();
    InvoiceNumberFormat format;
    format.currencyDecimals = m_decimals;
    return FormatCurrencyNumber(amount, format);
}

QString COverdueDoc::cell(int row, int column, Form form) const {
    return cellOf(m_rows.at(row), column, form);
}

QString COverdueDoc::totalsCell(int column, Form form) const {
    return cellOf(m_totals, column, form);
}
