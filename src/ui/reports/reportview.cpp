#include "ui/reports/reportview.h"

#include "core/app/appcontext.h"
#include "core/app/userinterface.h"

#include <QContextMenuEvent>
#include <QFileDialog>
#include <QMenu>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QScrollBar>

namespace {
constexpr int kMargin = 8; // pixels around the text on screen
}

CReportView::CReportView(std::unique_ptr<CReportDoc> doc, QWidget* parent)
    : QAbstractScrollArea(parent), m_doc(std::move(doc)),
      m_layout(*m_doc, CReportLayout::defaultFont()) {
    setObjectName(QStringLiteral("ReportView"));
    setWindowTitle(m_doc->title());
    viewport()->setFont(m_layout.font());
    m_layout.measure(QFontMetricsF(m_layout.font(), viewport()));
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
    updateScrollBars();
}

void CReportView::updateScrollBars() {
    const int lines = m_layout.bodyLineCount() + 2;
    const qreal h = m_layout.lineHeight();
    const int contentH = int(lines * h) + 2 * kMargin;
    const int contentW = int(m_layout.totalWidth()) + 2 * kMargin;
    verticalScrollBar()->setPageStep(viewport()->height());
    verticalScrollBar()->setSingleStep(qMax(1, int(h)));
    verticalScrollBar()->setRange(0, qMax(0, contentH - viewport()->height()));
    horizontalScrollBar()->setPageStep(viewport()->width());
    horizontalScrollBar()->setRange(0, qMax(0, contentW - viewport()->width()));
}

void CReportView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBars();
}

void CReportView::paintEvent(QPaintEvent*) {
    QPainter p(viewport());
    p.setFont(m_layout.font());
    const qreal h = m_layout.lineHeight();
    if (h <= 0)
        return;
    const qreal x = kMargin - horizontalScrollBar()->value();
    const qreal top = kMargin - verticalScrollBar()->value();
    p.drawText(QPointF(x, top + QFontMetricsF(p.font()).ascent()), m_doc->pageHeader());
    // Only the lines in sight are drawn: a report may have a million of them.
    const qreal bodyTop = top + 2 * h;
    const int first = qMax(0, int((0 - bodyTop) / h));
    const int last = qMin(m_layout.bodyLineCount(), int((viewport()->height() - bodyTop) / h) + 1);
    for (int line = first; line < last; ++line)
        m_layout.drawBodyLine(p, line, x, bodyTop + line * h);
}

void CReportView::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    menu.addAction(QStringLiteral("&Print..."), this, [this] { (void)printWithDialog(); });
    menu.addAction(QStringLiteral("Save as P&DF..."), this, [this] { (void)saveAsPdf(); });
    menu.exec(event->globalPos());
}

bool CReportView::printWithDialog() {
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(m_doc->title());
    printer.setPageOrientation(QPageLayout::Landscape);
    QPrintDialog dialog(&printer, this);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    QString error;
    if (CReportLayout(*m_doc, m_layout.font()).print(printer, &error)) {
        ui().showMessage(error, MessageIcon::Exclamation);
        return false;
    }
    return true;
}

bool CReportView::saveAsPdf() {
    const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Save as PDF"),
                                                      m_doc->title() + QStringLiteral(".pdf"),
                                                      QStringLiteral("PDF files (*.pdf)"));
    if (path.isEmpty())
        return false;
    QString error;
    if (WriteReportPdf(*m_doc, path, &error)) {
        ui().showMessage(error, MessageIcon::Exclamation);
        return false;
    }
    return true;
}
