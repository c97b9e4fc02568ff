#include "core/invoice/invoiceprint.h"

#include "core/db/replacefile.h"

#include "core/app/cp1252.h"
#include "core/app/settingsvalues.h"

#include <QAbstractTextDocumentLayout>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLocale>
#include <QPageSize>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QRegularExpression>
#include <QTextDocument>
#include <QtEndian>

namespace {
constexpr int kPortrait = 1;
constexpr int kLandscape = 2;
constexpr double kDefaultMarginMm = 19.05; // three quarters of an inch

QPageSize defaultPaper() {
    return QLocale::system().measurementSystem() == QLocale::ImperialUSSystem
               ? QPageSize(QPageSize::Letter)
               : QPageSize(QPageSize::A4);
}

IInvoicePrinter* g_installed = nullptr;
} // namespace

QByteArray EncodePageMargins(const QMarginsF& mm) {
    QByteArray bytes(16, '\0');
    const double values[4] = {mm.left(), mm.top(), mm.right(), mm.bottom()};
    for (int i = 0; i < 4; ++i)
        qToLittleEndian<qint32>(qint32(qRound(values[i] * 100.0)), bytes.data() + 4 * i);
    return bytes;
}

bool DecodePageMargins(const QByteArray& bytes, QMarginsF& mm) {
    if (bytes.size() != 16)
        return false;
    double values[4];
    for (int i = 0; i < 4; ++i) {
        const qint32 v = qFromLittleEndian<qint32>(bytes.constData() + 4 * i);
        if (v < 0 || v > 100000) // a metre of margin is no margin the user chose
            return false;
        values[i] = v / 100.0;
    }
    mm = QMarginsF(values[0], values[1], values[2], values[3]);
    return true;
}

QPageLayout InvoicePageLayout() {
    const QPageLayout::Orientation orientation = RegNumber(Reg::PageOrientation) == kLandscape
                                                     ? QPageLayout::Landscape
                                                     : QPageLayout::Portrait;
    QMarginsF margins(kDefaultMarginMm, kDefaultMarginMm, kDefaultMarginMm, kDefaultMarginMm);
    QMarginsF stored;
    if (DecodePageMargins(RegBinary(Reg::PageMargins), stored))
        margins = stored;
    QPageLayout layout(defaultPaper(), orientation, QMarginsF(), QPageLayout::Millimeter);
    // Margins the paper cannot take are cut to what it allows.
    layout.setMode(QPageLayout::StandardMode);
    if (!layout.setMargins(margins))
        layout.setMargins(
            QMarginsF(kDefaultMarginMm, kDefaultMarginMm, kDefaultMarginMm, kDefaultMarginMm));
    return layout;
}

bool StoreInvoicePageLayout(const QPageLayout& layout) {
    const int orientation = layout.orientation() == QPageLayout::Landscape ? kLandscape : kPortrait;
    const bool a = RegWriteNumber(Reg::PageOrientation, orientation);
    const bool b = RegWriteBinary(Reg::PageMargins,
                                  EncodePageMargins(layout.margins(QPageLayout::Millimeter)));
    return a && b;
}

QString InvoicePageForTextDocument(const QByteArray& page) {
    static const QRegularExpression inlineAfterPre(
        QStringLiteral("(</PRE>\\s*)(?=[^<\\s]|<(?:B|I|U|FONT|SPAN|A)\\b)"),
        QRegularExpression::CaseInsensitiveOption);
    QString html = DecodeCp1252(page);
    html.replace(inlineAfterPre, QStringLiteral("\\1<P>"));
    return html;
}

bool PaintInvoicePage(const InvoicePrintJob& job, QPagedPaintDevice& device, QString* error) {
    // Text layout needs the font system, which only a QGuiApplication brings up.
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        if (error)
            *error = QStringLiteral("Printing is not available in this program.");
        return true;
    }
    QTextDocument doc;
    doc.documentLayout()->setPaintDevice(&device);
    doc.setDocumentMargin(0);
    doc.setHtml(InvoicePageForTextDocument(job.page));
    const QRect area = device.pageLayout().paintRectPixels(device.logicalDpiX());
    if (area.width() <= 0 || area.height() <= 0) {
        if (error)
            *error = QStringLiteral("The page leaves no room to print on.");
        return true;
    }
    doc.setPageSize(QSizeF(area.size()));

    QPainter painter;
    if (!painter.begin(&device)) {
        if (error)
            *error = QStringLiteral("The printer could not be started.");
        return true;
    }
    const int pages = qMax(1, doc.pageCount());
    const qreal h = area.height();
    for (int i = 0; i < pages; ++i) {
        if (i > 0 && !device.newPage()) {
            painter.end();
            if (error)
                *error = QStringLiteral("The printer refused a new page.");
            return true;
        }
        painter.save();
        painter.translate(0, -i * h);
        doc.drawContents(&painter, QRectF(0, i * h, area.width(), h));
        painter.restore();
    }
    if (!painter.end()) {
        if (error)
            *error = QStringLiteral("The printer could not finish the document.");
        return true;
    }
    return false;
}

CPdfInvoicePrinter::CPdfInvoicePrinter(const QString& fixedFile, const QString& folder)
    : m_fixedFile(fixedFile), m_folder(folder) {}

QString CPdfInvoicePrinter::fileFor(const InvoicePrintJob& job) const {
    if (!m_fixedFile.isEmpty())
        return QFileInfo(m_fixedFile).absoluteFilePath();
    const QString folder = m_folder.isEmpty() ? UserDataFolder() : m_folder;
    return QDir(folder).absoluteFilePath(QStringLiteral("Invoice %1.pdf").arg(job.invoiceNum));
}

bool RenderInvoicePdf(const InvoicePrintJob& job, QIODevice& out, QString* error) {
    QPdfWriter writer(&out);
    writer.setTitle(job.title);
    writer.setCreator(QStringLiteral("Tollkeeper"));
    writer.setPageLayout(InvoicePageLayout());
    return PaintInvoicePage(job, writer, error);
}

bool CPdfInvoicePrinter::printPage(const InvoicePrintJob& job, QString* error) {
    const QString path = fileFor(job);
    if (m_fixedFile.isEmpty())
        QDir().mkpath(QFileInfo(path).path());
    // Written through the one safe way: a failed print leaves the previous file as it was.
    QString failure;
    const bool ok = WriteFileSafely(
        path,
        [&job](QIODevice& out, QString* reason) { return !RenderInvoicePdf(job, out, reason); },
        &failure);
    if (!ok) {
        if (error)
            *error = failure;
        return true;
    }
    m_written.append(path);
    return false;
}

IInvoicePrinter& DefaultInvoicePrinter() {
    if (g_installed)
        return *g_installed;
    static CPdfInvoicePrinter pdf;
    return pdf;
}

void SetDefaultInvoicePrinter(IInvoicePrinter* printer) {
    g_installed = printer;
}
