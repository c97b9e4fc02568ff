#pragma once
#include <QMdiSubWindow>

class CLogDoc;
class CLogView;

// The document window of the operation log inside the main window. It owns the log document
// (which lives exactly as long as the window) and keeps its placement in "LogWindowPlacement".
class CLogFrame : public QMdiSubWindow {
    Q_OBJECT
public:
    // Creates the document and its view and fills the view from the file.
    explicit CLogFrame(QWidget* parent = nullptr);
    ~CLogFrame() override;

    CLogDoc* document() const { return m_doc; }
    CLogView* view() const { return m_view; }
    // The window of the open log document, or null.
    static CLogFrame* current();

    // Applies the stored placement; false when none was stored.
    bool restorePlacement();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void savePlacement();

    CLogDoc* m_doc;
    CLogView* m_view;
};
