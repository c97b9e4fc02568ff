#pragma once
#include "core/reports/reportdoc.h"
#include "core/reports/reportlayout.h"

#include <QAbstractScrollArea>
#include <memory>

// The scrollable, printable column report of the income and overdue reports. The window
// shows the page header and the body lines in the report's font; printing goes through the
// print dialog, and "Save as PDF..." writes the same pages to a file.
class CReportView : public QAbstractScrollArea {
    Q_OBJECT
public:
    // The view owns the document.
    explicit CReportView(std::unique_ptr<CReportDoc> doc, QWidget* parent = nullptr);

    const CReportDoc& document() const { return *m_doc; }
    const CReportLayout& layout() const { return m_layout; }

    // Asks for a printer in the print dialog and prints; false when cancelled or failed.
    bool printWithDialog();
    // Asks for a file and writes the PDF; false when cancelled or failed.
    bool saveAsPdf();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void updateScrollBars();

    std::unique_ptr<CReportDoc> m_doc;
    CReportLayout m_layout;
};
