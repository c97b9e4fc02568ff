#pragma once
#include "core/db/currency.h"

#include <QtGlobal>

class Database;

// What a new invoice carries over from the customer's earlier invoices.
struct BalanceCarry {
    Currency PrevBalance; // balance brought forward
    Currency Payments;    // paid since the previous invoice
    Currency Prepaid;     // credit for a minimum paid in advance (negative or 0)
};

// Layout marks of Invoices.Version.
namespace InvoiceVersion {
enum : qint32 {
    OldLayout = 0, // converted from an earlier layout; cannot be shown again
    Current = 1,   // every computed invoice
    // Negative values mark balance adjustments (payment rows).
};
}

// The balance chain of a new invoice of customer `customerId` (the customer of record), from
// that customer's existing Invoices rows in number order:
// - with a current-layout invoice among them, PrevBalance is the TotalDue of the latest such
//   invoice and Payments that balance minus what is still unpaid over all earlier rows
//   (NewCharges - TotalPaid, payment rows included);
// - otherwise PrevBalance is what is unpaid over all of them and Payments 0.
// Prepaid is minus the Prepaying of the latest current-layout invoice; without one, and when
// the customer has had a first invoice, an older-layout invoice exists and the database-wide
// option says the minimum is prepaid, minus DBInfo.MinimumPayment; else 0 (also when DBInfo
// cannot be read). Throws DbException when the invoices cannot be read.
BalanceCarry ComputeBalanceCarry(Database& db, qint32 customerId, bool gotFirstInvoice);
