#pragma once
#include "core/db/invoicerecord.h"

#include <QString>

// Compares money fields of an invoice with "Field=amount" pairs, blank-separated
// ("TotalDue=48.09 Taxes=7.48"). Returns the mismatches ("TotalDue is 48.10, expected 48.09"),
// empty when every named field holds its amount.
QString InvoiceAmountMismatches(const InvoiceRow& invoice, const QString& expected);
