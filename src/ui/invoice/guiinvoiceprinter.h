#pragma once
#include "core/invoice/invoiceprint.h"

// Unattended printing in the desktop program: the system's default printer, without a
// dialog, with the page layout of Page Setup. Without any printer the invoice is written as
// "Invoice <number>.pdf" into the user's data folder and the status bar says where.
class CGuiInvoicePrinter : public IInvoicePrinter {
public:
    bool printPage(const InvoicePrintJob& job, QString* error) override;
};
