#include "core/reports/reportlayout.h"

#include <QCoreApplication>
#include <QDir>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>

namespace {
// Body lines leave one blank line between the page header and the column titles.
constexpr int kHeaderLines = 2;
} // namespace

CReportLayout::CReportLayout(const CReportDoc& doc, const QFont& font) : m_doc(doc), m_font(font) {}

QFont CReportLayout::defaultFont() {
    QFont font(QStringLiteral("Times New Roman"));
    font.setPointSizeF(10);
    return font;
}

void CReportLayout::measure(const QFontMetricsF& fm) {
    const int columns = m_doc.columnCount();
    m_widths = QList<qreal>(columns, 0);
    const QStringList titles = m_doc.columnTitles();
    const QStringList totals = m_doc.totalsCells(CReportDoc::Form::Display);
    for (int c = 0; c < columns; ++c)
        m_widths[c] =
            qMax(fm.horizontalAdvance(titles.value(c)), fm.horizontalAdvance(totals.value(c)));
    const int rows = m_doc.rowCount();
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < columns; ++c)
            m_widths[c] = qMax(m_widths[c],
                               fm.horizontalAdvance(m_doc.cell(r, c, CReportDoc::Form::Display)));
    const qreal blanks = fm.horizontalAdvance(QStringLiteral("   "));
    for (qreal& w : m_widths)
        w += blanks;
    m_lineHeight = fm.lineSpacing();
}

qreal CReportLayout::totalWidth() const {
    qreal sum = 0;
    for (qreal w : m_widths)
        sum += w;
    return sum;
}

QStringList CReportLayout::bodyLineCells(int line) const {
    if (line == 0)
        return m_doc.columnTitles();
    if (line <= m_doc.rowCount())
        return m_doc.rowCells(line - 1, CReportDoc::Form::Display);
    return m_doc.totalsCells(CReportDoc::Form::Display);
}

void CReportLayout::drawBodyLine(QPainter& painter, int line, qreal x, qreal y) const {
    const QStringList cells = bodyLineCells(line);
    const qreal blanks =
        m_widths.isEmpty() ? 0
                           : QFontMetricsF(painter.font()).horizontalAdvance(QStringLiteral("   "));
    for (int c = 0; c < m_widths.size(); ++c) {
        const qreal w = m_widths[c];
        // Number columns end three blanks before the next column starts.
        const QRectF box(x, y, w - blanks, m_lineHeight);
        const Qt::Alignment align =
            (m_doc.isNumberColumn(c) ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter;
        painter.drawText(box, int(align) | Qt::TextSingleLine, cells.value(c));
        x += w;
    }
}

int CReportLayout::linesPerPage(qreal pageHeight) const {
    if (m_lineHeight <= 0)
        return 1;
    return qMax(1, int(pageHeight / m_lineHeight) - kHeaderLines);
}

int CReportLayout::pageCount(qreal pageHeight) const {
    const int per = linesPerPage(pageHeight);
    return (bodyLineCount() + per - 1) / per;
}

bool CReportLayout::print(QPagedPaintDevice& device, QString* error) const {
    const auto failed = [error](const QString& why) {
        if (error)
            *error = why;
        return true;
    };
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return failed(QStringLiteral("Printing is not available in this program."));
    const QRectF area = device.pageLayout().paintRectPixels(device.logicalDpiX());
    if (area.width() <= 0 || area.height() <= 0)
        return failed(QStringLiteral("The page leaves no room to print on."));

    QPainter painter;
    if (!painter.begin(&device))
        return failed(QStringLiteral("The printer could not be started."));
    painter.setFont(QFont(m_font, &device));
    CReportLayout layout(m_doc, painter.font());
    layout.measure(QFontMetricsF(painter.font(), &device));

    const int per = layout.linesPerPage(area.height());
    const int pages = layout.pageCount(area.height());
    const qreal h = layout.m_lineHeight;
    for (int page = 0; page < pages; ++page) {
        if (page > 0 && !device.newPage()) {
            painter.end();
            return failed(QStringLiteral("The printer refused a new page."));
        }
        const QRectF headerBox(0, 0, area.width(), h);
        painter.drawText(headerBox, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                         m_doc.pageHeader());
        painter.drawText(headerBox, Qt::AlignRight | Qt::AlignVCenter | Qt::TextSingleLine,
                         QStringLiteral("Page %1 of %2").arg(page + 1).arg(pages));
        const int first = page * per;
        const int last = qMin(layout.bodyLineCount(), first + per);
        qreal y = kHeaderLines * h;
        for (int line = first; line < last; ++line, y += h)
            layout.drawBodyLine(painter, line, 0, y);
    }
    if (!painter.end())
        return failed(QStringLiteral("The printer could not finish the document."));
    return false;
}

bool WriteReportPdf(const CReportDoc& doc, const QString& path, QString* error) {
    QSaveFile file(path);
    const auto cannot = [&] {
        if (error)
            *error = QStringLiteral("Cannot write %1: %2")
                         .arg(QDir::toNativeSeparators(path), file.errorString());
        return true;
    };
    if (!file.open(QIODevice::WriteOnly))
        return cannot();
    bool failed = false;
    {
        QPdfWriter writer(&file);
        writer.setTitle(doc.title());
        writer.setCreator(QStringLiteral("Tollkeeper"));
        // Reports are wide: landscape leaves room for every column.
        writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape,
                                         QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter));
        failed = CReportLayout(doc, CReportLayout::defaultFont()).print(writer, error);
    }
    if (failed) {
        file.cancelWriting();
        return true;
    }
    if (!file.commit())
        return cannot();
    return false;
}
