#pragma once
#include "core/invoice/invoiceprint.h"

#include <QList>
#include <stdexcept>

// Records the pages it is given; can fail ("paper jam") or throw on demand.
struct CRecordingPrinter : IInvoicePrinter {
    QList<InvoicePrintJob> jobs;
    bool fail = false;
    bool throwError = false;
    bool printPage(const InvoicePrintJob& job, QString* error) override {
        if (throwError)
            throw std::runtime_error("printer driver crashed");
        if (fail) {
            *error = QStringLiteral("paper jam");
            return true;
        }
        jobs.append(job);
        return false;
    }
};
