#pragma once
#include <QObject>

class CBillingTreeFrame;
class QAction;
class QMainWindow;
class QMdiArea;
class QMenu;
class QMenuBar;

// The "&Plans" menu of the main window and the commands of the billing plans browser: open
// the browser, create billing plans, invoicing plans and charges, the "Billing Plan Charges"
// dialog, the properties of the selected item and its deletion. The same commands make the
// browser's context menu.
class CBillingCommands : public QObject {
    Q_OBJECT
public:
    CBillingCommands(QMainWindow* mainWindow, QMdiArea* area, QMenuBar* menuBar);

    // Opens the browser, or brings the open one forward. Null when the tree could not be read.
    CBillingTreeFrame* openBrowser();

    // Each command works on the browser's selection; the create commands also without it.
    void create(int kind); // CNewItemDlg::Kind
    void assignCharges();
    void properties();
    void deleteSelected();

    QAction* action(const char* name) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void updateActions();
    QAction* addAction(QMenu* menu, const char* name, const QString& text, const QString& tip);

    QMainWindow* m_main;
    QMdiArea* m_area;
    QList<QAction*> m_itemActions; // shown in the browser's context menu
};

// Adds the billing plan commands to the main window.
void AddBillingPlanCommands(QMainWindow* mainWindow, QMdiArea* area, QMenuBar* menuBar);
// At start: reopens the billing plans browser when "ShowBPBrowser" says it was open as the
// program last ended (it is, by default, on the first run).
void ReopenBillingPlansBrowser(QMainWindow* mainWindow);
