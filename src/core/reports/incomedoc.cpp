#include "core/reports/incomedoc.h"

#include "core/db/database.h"
#include "core/db/datetimeutil.h"
#include "core/invoice/invoiceformat.h"

#include <cmath>

namespace {

enum Column { Logon, FullName, NewCharges, Payments, Taxes, Time, Sent, Received };

Currency currencyOf(const QVariant& v) {
    return v.canConvert<Currency>() && !v.isNull() ? v.value<Currency>() : Currency::null();
}

QString money(const Currency& amount, int decimals, CReportDoc::Form form) {
    if (form == CReportDoc::Form::Exact)
        return amount.isValid() || amount.isNull() ? amount.format(decimals) : QString();
    InvoiceNumberFormat format;
    format.currencyDecimals = decimals;
    return FormatCurrencyNumber(amount, format);
}

} // namespace

CIncomeDoc::CIncomeDoc(const QDateTime& start, const QDateTime& end, const QString& startText,
                       const QString& endText)
    : m_start(start), m_end(end), m_startText(startText), m_endText(endText),
      m_decimals(CurrencyDecimals()) {}

void CIncomeDoc::load(Database& db) {
    m_rows.clear();
    m_newCharges = m_paid = m_taxes = Currency();
    m_seconds = 0;
    m_sent = m_received = 0;

    // The customer's row may be gone: the LEFT JOIN keeps the invoice with empty names, and
    // those sort first.
    Statement q = db.prepare(QStringLiteral(
        "SELECT DISTINCTROW Invoices.NewCharges, Invoices.TotalPaid, Invoices.Taxes, "
        "Invoices.TotalTimeHH, Invoices.TotalTimeMM, Invoices.TotalTimeSS, Invoices.Sent, "
        "Invoices.Received, Users.Username, Users.FullName FROM Invoices LEFT JOIN Users ON "
        "Invoices.IdUser = Users.Id WHERE Invoices.ClosingDate >= ? AND Invoices.ClosingDate "
        "< ? ORDER BY Users.Username, Invoices.ClosingDate"));
    q.bindDouble(1, DateTimeToDb(m_start).days());
    q.bindDouble(2, DateTimeToDb(m_end).days());
    while (q.next()) {
        Row r;
        r.newCharges = RoundCurrency(currencyOf(q.value(0)), m_decimals);
        r.paid = RoundCurrency(currencyOf(q.value(1)), m_decimals);
        r.taxes = RoundCurrency(currencyOf(q.value(2)), m_decimals);
        r.hours = q.value(3).toInt();
        r.minutes = qint16(q.value(4).toInt());
        r.seconds = qint16(q.value(5).toInt());
        r.sent = q.value(6).toLongLong();
        r.received = q.value(7).toLongLong();
        r.logonName = q.value(8).toString();
        r.fullName = r.logonName.isEmpty() ? QStringLiteral("*** User record missing ***")
                                           : q.value(9).toString();
        // A customer's invoices follow each other: their rows share one copy of the names
        // (a report may hold a million rows).
        if (!m_rows.isEmpty() && m_rows.last().logonName == r.logonName &&
            m_rows.last().fullName == r.fullName) {
            r.logonName = m_rows.last().logonName;
            r.fullName = m_rows.last().fullName;
        }
        m_newCharges += r.newCharges;
        m_paid += r.paid;
        m_taxes += r.taxes;
        m_seconds += qint64(r.hours) * 3600 + r.minutes * 60 + r.seconds;
        m_sent += double(r.sent);
        m_received += double(r.received);
        m_rows.append(std::move(r));
    }
    m_newCharges = RoundCurrency(m_newCharges, m_decimals);
    m_paid = RoundCurrency(m_paid, m_decimals);
    m_taxes = RoundCurrency(m_taxes, m_decimals);
}

qint64 CIncomeDoc::sentThousands() const {
    return qint64(std::trunc(m_sent * 0.001));
}

qint64 CIncomeDoc::receivedThousands() const {
    return qint64(std::trunc(m_received * 0.001));
}

QString CIncomeDoc::title() const {
    return QStringLiteral("Income Report");
}

QString CIncomeDoc::pageHeader() const {
    return QStringLiteral("Income Report for %1 - %2").arg(m_startText, m_endText);
}

QStringList CIncomeDoc::columnTitles() const {
    return {QStringLiteral("Logon ID"), QStringLiteral("Full Name"), QStringLiteral("New Charges"),
            QStringLiteral("Payments"), QStringLiteral("Taxes"),     QStringLiteral("Total Time"),
            QStringLiteral("Sent"),     QStringLiteral("Received")};
}

QString CIncomeDoc::cell(int row, int column, Form form) const {
    const Row& r = m_rows.at(row);
    switch (column) {
    case Logon:
        return r.logonName;
    case FullName:
        return r.fullName;
    case NewCharges:
        return money(r.newCharges, m_decimals, form);
    case Payments:
        return money(r.paid, m_decimals, form);
    case Taxes:
        return money(r.taxes, m_decimals, form);
    case Time:
        return form == Form::Exact
                   ? QString::number(qint64(r.hours) * 3600 + r.minutes * 60 + r.seconds)
                   : FormatHms(r.hours, r.minutes, r.seconds);
    case Sent:
        return QString::number(r.sent);
    case Received:
        return QString::number(r.received);
    default:
        return {};
    }
}

QString CIncomeDoc::totalsCell(int column, Form form) const {
    const bool exact = form == Form::Exact;
    switch (column) {
    case Logon:
        return QStringLiteral("Totals");
    case FullName:
        return {};
    case NewCharges:
        return money(m_newCharges, m_decimals, form);
    case Payments:
        return money(m_paid, m_decimals, form);
    case Taxes:
        return money(m_taxes, m_decimals, form);
    case Time:
        return exact ? QString::number(m_seconds) : FormatDaysHms(m_seconds);
    case Sent:
        return exact ? QString::number(qint64(m_sent)) : QStringLiteral("%1K").arg(sentThousands());
    case Received:
        return exact ? QString::number(qint64(m_received))
                     : QStringLiteral("%1K").arg(receivedThousands());
    default:
        return {};
    }
}
