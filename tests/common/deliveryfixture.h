#pragma once
#include "core/db/invoiceplanrecord.h"

#include <QString>

class Database;
class CBillingFixture;

// Stored invoices for the delivery tests: one customer with a billing address, billed for
// April 2024 on a plan with one fixed charge.
struct DeliveryInvoiceSpec {
    QString username = QStringLiteral("joe");
    QString fullName = QStringLiteral("Joe Miller");
    QString email = QStringLiteral("joe@example.com"); // billing address; empty: no address row
    const char* amount = "25.00";                      // the fixed charge (the amount due)
    qint32 customerOptions = 0;                        // Users.Options (HTML override bits)
};

// Writes a billing address (Type 0) for customer `owner`.
void AddBillingAddress(Database& db, qint32 owner, const QString& email,
                       const QString& city = QStringLiteral("Springfield"));
// Creates the customer with `plan` as its invoicing plan (a new template) and computes its
// invoice. Returns the invoice number (0 on failure); the customer's id in `customerId`.
qint32 MakeDeliveryInvoice(Database& db, CBillingFixture& fx, const InvoicePlanRow& plan,
                           const DeliveryInvoiceSpec& spec = {}, qint32* customerId = nullptr);
