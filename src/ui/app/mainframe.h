#pragma once
#include <QMainWindow>

class QAction;
class QMdiArea;
class QMenu;
class CGuiUserInterface;
class CLogFrame;

// The main window: document windows inside a multiple-document area, the status bar and the
// application menus. Its placement is kept in "MainWndPlacement".
class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    explicit CMainFrame(CGuiUserInterface* gui, QWidget* parent = nullptr);
    ~CMainFrame() override;

    QMdiArea* mdiArea() const { return m_mdi; }
    // Applies the stored placement; false when none was stored.
    bool restorePlacement();

    // File menu commands.
    void compactDatabase();
    void repairDatabase();
    void backupDatabase();
    void locateDatabase();
    // Locate for a database on a server: its URL typed in, as the file chooser cannot name one.
    void locateServerDatabase();
    // Opens the log window, or activates the one already open. Null when the log file cannot
    // be opened.
    CLogFrame* viewLogfile();
    void clearLogfile();
    void toggleLogging();
    void locateLogfile();

    QAction* action(const QString& objectName) const;
    // Closes every document window; false when one stayed open.
    bool closeAllDocumentWindows() { return closeAllDocuments(); }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void createMenus();
    void updateFileMenu();
    void savePlacement();
    bool anyDocumentOpen() const;
    bool closeAllDocuments();

    CGuiUserInterface* m_gui;
    QMdiArea* m_mdi;
    QMenu* m_fileMenu = nullptr;
    QAction* m_loggingAction = nullptr;
    int m_refreshId = 0;
};
