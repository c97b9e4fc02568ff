#pragma once
#include <QMdiSubWindow>
#include <QModelIndex>

class CBillingTreeDoc;
class QTreeView;

// The billing plans browser: a document window inside the main window showing the billing
// tree. It owns its document, reads it again on every view refresh (keeping the selection
// when the item is still there) and keeps its placement in "BpWndPlacement". Only one is
// open at a time.
class CBillingTreeFrame : public QMdiSubWindow {
    Q_OBJECT
public:
    explicit CBillingTreeFrame(QWidget* parent = nullptr);
    ~CBillingTreeFrame() override;

    // The open browser, or null.
    static CBillingTreeFrame* current();

    CBillingTreeDoc* document() const { return m_doc; }
    QTreeView* view() const { return m_view; }
    QModelIndex selected() const;
    void select(const QModelIndex& index);

    // Reads the tree again; false after the message when the database could not be read.
    bool reload();
    bool restorePlacement();

signals:
    // An item was opened (double click or Enter).
    void itemActivated(const QModelIndex& index);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    CBillingTreeDoc* m_doc;
    QTreeView* m_view;
    int m_refreshId = 0;
};
