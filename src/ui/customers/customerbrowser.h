#pragma once
#include <QList>
#include <QMdiSubWindow>

class CCustomerTreeModel;
class CUserProps;
class Database;
class QAction;
class QLabel;
class QLineEdit;
class QMdiArea;
class QModelIndex;
class QSplitter;
class QTreeView;

// The customer browser: a document window of the main window with the customer tree, a
// search field, the count of customers shown and, beside them in a splitter whose left width
// is kept in "UserPaneWidth", the property sheet of the selected row. There is at most one.
// Its placement is kept in "UGVWndPlacement".
class CCustomerBrowser : public QMdiSubWindow {
    Q_OBJECT
public:
    explicit CCustomerBrowser(QWidget* parent = nullptr);
    ~CCustomerBrowser() override;

    // The open browser, or null.
    static CCustomerBrowser* current();
    // Activates the open browser, or opens one in `area` on the open database; null (after
    // the message) when it could not be read.
    static CCustomerBrowser* open(QMdiArea* area);
    // The commands offered by the tree's context menu.
    static void setContextActions(const QList<QAction*>& actions);

    // The Users.Id of the selected customer or group; 0 when none (or a section heading).
    long SelectedCustomerId() const;
    bool selectedIsGroup() const;
    QString selectedName() const;
    // Selects the row of `id` under its section (after asking about unsaved edits); false
    // when it is not shown or the user stayed.
    bool selectId(qint32 id);
    // Reads the tree again from the database; the selection stays on the same row when it
    // is still there. False (after the message) when it could not be read.
    bool reload();
    // Unsaved edits of the property sheet: asks to apply, discard or stay. True when the
    // selection may move (nothing pending, applied, or discarded).
    bool mayLeaveSelection();

    CCustomerTreeModel* model() const { return m_model; }
    QTreeView* tree() const { return m_tree; }
    CUserProps* props() const { return m_props; }
    QLineEdit* searchField() const { return m_search; }
    QLabel* countLabel() const { return m_count; }
    QSplitter* splitter() const { return m_splitter; }

    bool restorePlacement();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void currentChanged(const QModelIndex& now, const QModelIndex& before);
    void searchEdited(const QString& text);
    void showContextMenu(const QPoint& at);
    void updateCount();
    // Makes `id` current in the tree without asking and without moving the sheet.
    bool setCurrentQuietly(qint32 id);

    CCustomerTreeModel* m_model;
    QTreeView* m_tree;
    QLineEdit* m_search;
    QLabel* m_count;
    CUserProps* m_props;
    QSplitter* m_splitter;
    bool m_quiet = false; // selection changes made by the browser itself
    int m_refreshId = 0;
};
