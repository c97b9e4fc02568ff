#pragma once
#include "core/reports/reportdoc.h"

#include <QFont>
#include <QList>
#include <QString>

class QFontMetricsF;
class QPagedPaintDevice;
class QPainter;

// The text layout of a column report, shared by the report window, the printer and PDF
// files: each column as wide as its widest text (title, cells, totals) plus three blanks,
// numbers aligned right, a page header with "Page %d of %d" at the right on every page.
class CReportLayout {
public:
    CReportLayout(const CReportDoc& doc, const QFont& font);

    // The report's font: "Times New Roman", 10 points.
    static QFont defaultFont();

    // Measures the columns with the metrics of the device the report is drawn on.
    void measure(const QFontMetricsF& metrics);
    const QList<qreal>& columnWidths() const { return m_widths; }
    qreal totalWidth() const;
    qreal lineHeight() const { return m_lineHeight; }

    // Lines of the body: the column titles, the rows, the totals.
    int bodyLineCount() const { return m_doc.rowCount() + 2; }
    // Draws body line `line` with its top at y, starting at x.
    void drawBodyLine(QPainter& painter, int line, qreal x, qreal y) const;
    QStringList bodyLineCells(int line) const;

    // Lines of body that fit below the page header on a page of the given height.
    int linesPerPage(qreal pageHeight) const;
    int pageCount(qreal pageHeight) const;

    // Lays the report out on the device's paint area and paints every page. True on failure
    // with the reason in `error`.
    [[nodiscard]] bool print(QPagedPaintDevice& device, QString* error) const;

    const QFont& font() const { return m_font; }

private:
    const CReportDoc& m_doc;
    QFont m_font;
    QList<qreal> m_widths;
    qreal m_lineHeight = 0;
};

// Writes the report as a PDF file (replaced only when complete). True on failure with the
// reason in `error`. Needs a QGuiApplication for the fonts.
[[nodiscard]] bool WriteReportPdf(const CReportDoc& doc, const QString& path, QString* error);
