#include "ui/invoice/guiinvoiceprinter.h"

#include "core/app/userinterface.h"

#include <QDir>
#include <QPrinter>
#include <QPrinterInfo>

bool CGuiInvoicePrinter::printPage(const InvoicePrintJob& job, QString* error) {
    const QPrinterInfo target = QPrinterInfo::defaultPrinter();
    if (target.isNull()) {
        CPdfInvoicePrinter pdf;
        if (pdf.printPage(job, error))
            return true;
        ui().setStatusText(QStringLiteral("No printer is set up: invoice %1 was saved as %2")
                               .arg(job.invoiceNum)
                               .arg(QDir::toNativeSeparators(pdf.fileFor(job))));
        return false;
    }
    QPrinter printer(target, QPrinter::HighResolution);
    if (!printer.isValid()) {
        if (error)
            *error = QStringLiteral("The printer %1 is not available.").arg(target.printerName());
        return true;
    }
    printer.setPageLayout(InvoicePageLayout());
    printer.setDocName(job.title);
    return PaintInvoicePage(job, printer, error);
}
