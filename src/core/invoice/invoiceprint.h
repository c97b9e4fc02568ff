#pragma once
#include <QByteArray>
#include <QPageLayout>
#include <QString>
#include <QStringList>

class QIODevice;
class QPagedPaintDevice;

// Printing of rendered invoices: the page to print, the printer interface with its PDF
// implementation, and the page layout the user chose in Page Setup.

// One page to print: the chosen page of a rendered invoice.
struct InvoicePrintJob {
    qint32 invoiceNum = 0;
    QString logonName;
    QString title;    // the window title of the invoice
    QByteArray page;  // the HTML page or the text page as rendered (Windows-1252)
    bool html = true; // page is the formatted HTML page (false: the text page)
};

// Where unattended printing goes: the default printer in the desktop program, a PDF file on
// the command line and in tests.
class IInvoicePrinter {
public:
    virtual ~IInvoicePrinter() = default;
    // Prints one page without asking; true on failure with the reason in `error`.
    [[nodiscard]] virtual bool printPage(const InvoicePrintJob& job, QString* error) = 0;
};

// The page layout of printed invoices from "PageOrientation" (1 portrait, 2 landscape, the
// printer driver's numbering; anything else portrait) and "PageMargins" (16 bytes: left,
// top, right and bottom margin as 32-bit little-endian integers in hundredths of a
// millimetre; missing or malformed: 19.05 mm each). The paper is A4, or Letter where the
// locale measures in inches.
QPageLayout InvoicePageLayout();
// Stores orientation and margins of a layout in those two values. False when the settings
// store refused a value.
[[nodiscard]] bool StoreInvoicePageLayout(const QPageLayout& layout);
// The 16 bytes of "PageMargins" for margins in millimetres, and back (nullopt-like: false
// when the bytes are not 16).
QByteArray EncodePageMargins(const QMarginsF& millimetres);
[[nodiscard]] bool DecodePageMargins(const QByteArray& bytes, QMarginsF& millimetres);

// The page as HTML for Qt's rich-text engine, which the window and the printer use. The page
// bytes stay as rendered; only text that follows a closing PRE block (the footer) is given a
// paragraph of its own, because the engine would otherwise run it on at the end of the
// block's last line.
QString InvoicePageForTextDocument(const QByteArray& page);

// Lays the page out for the device's paint area and paints it, page after page. The device
// keeps its own page layout. True on failure, with the reason in `error`.
[[nodiscard]] bool PaintInvoicePage(const InvoicePrintJob& job, QPagedPaintDevice& device,
                                    QString* error);

// Writes the page as a PDF document (the printed page, title and layout) to `out`. True on
// failure, with the reason in `error`.
bool RenderInvoicePdf(const InvoicePrintJob& job, QIODevice& out, QString* error);

// Prints to PDF files: either always to one given file (the command line's --pdf FILE), or
// to "Invoice <number>.pdf" in a folder (the user's data folder by default). Existing files
// are replaced.
class CPdfInvoicePrinter : public IInvoicePrinter {
public:
    // fixedFile empty: write "Invoice %d.pdf" into `folder` (empty: the user's data folder).
    explicit CPdfInvoicePrinter(const QString& fixedFile = {}, const QString& folder = {});
    [[nodiscard]] bool printPage(const InvoicePrintJob& job, QString* error) override;

    // The file the job goes to.
    QString fileFor(const InvoicePrintJob& job) const;
    // Every file written so far, in order.
    const QStringList& writtenFiles() const { return m_written; }

private:
    QString m_fixedFile;
    QString m_folder;
    QStringList m_written;
};

// The printer used when a caller passes none: the one installed by the application (the
// desktop program's default printer), else a CPdfInvoicePrinter into the user's data folder.
IInvoicePrinter& DefaultInvoicePrinter();
// nullptr restores the PDF printer. The caller keeps ownership.
void SetDefaultInvoicePrinter(IInvoicePrinter* printer);
