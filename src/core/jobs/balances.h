#pragma once
// Money received against a customer's invoices: the balance lines, payments spread over a
// selection of invoices, payments taken back, invoices deleted. Each change is one transaction
// and, once committed, one line of the operation log naming the customer, the invoices and the
// amount, so the office can always tell who paid what and when.
#include "core/db/currency.h"
#include "core/db/dbdatetime.h"

#include <QDate>
#include <QList>
#include <QString>

class Database;

// Invoices.Version of a payment row: the highest bit and the value 1.
inline constexpr qint32 kPaymentRowVersion = qint32(0x80000001u);

// One line of a customer's balances: a copy of its invoice's money fields.
struct BalanceLine {
    qint32 invoiceNum = 0;
    DbDateTime closingDate;
    Currency totalDue;
    Currency totalPaid;
    Currency newCharges;
    qint32 version = 0;

    // What is still to be paid on the invoice (zero or negative when nothing is).
    Currency outstanding() const { return newCharges - totalPaid; }
    bool isPaymentRow() const { return version == kPaymentRowVersion; }
};

// The customer's invoices (payment rows included) by invoice number. Throws DbException.
QList<BalanceLine> LoadBalanceLines(Database& db, qint32 customerId);
// The lines of these invoice numbers, in invoice-number order. Throws DbException.
QList<BalanceLine> LoadBalanceLines(Database& db, const QList<qint32>& invoiceNums);
// The sum of NewCharges minus the sum of TotalPaid.
Currency UnpaidBalance(const QList<BalanceLine>& lines);
// The sum of the outstanding amounts of the lines that have something outstanding.
Currency OutstandingSum(const QList<BalanceLine>& lines);

// The outcome of a change: empty error on success.
struct BalanceChange {
    QString error;         // what the user is told; empty on success
    QString detail;        // the engine's words, when it failed
    Currency applied;      // the part of a payment credited to invoices
    Currency excess;       // the part recorded as a payment row (zero when none)
    qint32 paymentRow = 0; // InvoiceNum of the payment row added, 0 when none
    bool failed() const { return !error.isEmpty(); }
    // The error and the engine's words in one text.
    QString message() const { return detail.isEmpty() ? error : error + u' ' + detail; }
};

// Pays `amount` over the selected invoices of customer `customerId`, taken in invoice-number
// order: each invoice with something outstanding receives its outstanding amount, or what is
// left of the amount when that is smaller, until nothing is left; what is left after the last
// one becomes a payment row dated `today`. The amount must be greater than zero ("Enter an
// amount paid."); every invoice must be the customer's.
BalanceChange PayInvoices(Database& db, qint32 customerId, const QList<qint32>& invoiceNums,
                          const Currency& amount, const QDate& today = QDate::currentDate());
// Sets TotalPaid to 0 on the invoices (of any customers).
BalanceChange UnpayInvoices(Database& db, const QList<qint32>& invoiceNums);
// Deletes the invoices, each with its plan and charge copies (CInvoiceDoc::DeleteInvoice), all
// or none. An invoice that does not exist fails the whole deletion.
BalanceChange DeleteInvoices(Database& db, const QList<qint32>& invoiceNums);

// The questions asked before taking payments back and before deleting invoices.
QString UnpayQuestion();
QString DeleteInvoicesQuestion();
