#include "ui/app/mainframe.h"

#include "core/app/appservices.h"
#include "core/app/busystate.h"
#include "core/app/dbsession.h"
#include "core/app/operationlog.h"
#include "core/app/settingsvalues.h"
#include "core/app/userinterface.h"
#include "core/db/database.h"
#include "ui/app/guiuserinterface.h"
#include "ui/app/logdoc.h"
#include "ui/app/logframe.h"
#include "ui/billing/billingcommands.h"
#include "ui/customers/customerbrowser.h"
#include "ui/customers/customercommands.h"
#include "ui/import/importcommands.h"
#include "ui/invoice/invoicecommands.h"
#include "ui/invoice/invoicingcommands.h"
#include "ui/jobs/maintenancecommands.h"
#include "ui/mail/mailcommands.h"
#include "ui/reports/reportcommands.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>

CMainFrame::CMainFrame(CGuiUserInterface* gui, QWidget* parent) : QMainWindow(parent), m_gui(gui) {
    setObjectName(QStringLiteral("MainFrame"));
    setWindowTitle(QStringLiteral("Tollkeeper"));
    m_mdi = new QMdiArea(this);
    m_mdi->setObjectName(QStringLiteral("MdiArea"));
    m_mdi->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_mdi->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setCentralWidget(m_mdi);
    statusBar()->showMessage(QStringLiteral("Ready"));
    resize(800, 600);
    createMenus();

    if (m_gui)
        m_gui->setMainWindow(this);
    theLog().setViewLogHook([this] { viewLogfile(); });
    SetOpenDocumentsProbe([this] { return anyDocumentOpen(); });
    SetCloseAllDocumentsHook([this] { return closeAllDocuments(); });
    // Document windows refresh themselves; registering marks that a main window exists.
    m_refreshId = AddRefreshHandler([](const void*, int, void*) {});
}

CMainFrame::~CMainFrame() {
    RemoveRefreshHandler(m_refreshId);
    SetCloseAllDocumentsHook({});
    SetOpenDocumentsProbe({});
    theLog().setViewLogHook({});
    if (m_gui && m_gui->mainWindow() == this)
        m_gui->setMainWindow(nullptr);
}

void CMainFrame::createMenus() {
    m_fileMenu = menuBar()->addMenu(QStringLiteral("&File"));
    m_fileMenu->setObjectName(QStringLiteral("FileMenu"));
    auto add = [this](QMenu* menu, const char* name, const QString& text, const QString& tip,
                      auto slot) {
        QAction* a = menu->addAction(text);
        a->setObjectName(QString::fromLatin1(name));
        a->setStatusTip(tip);
        connect(a, &QAction::triggered, this, slot);
        return a;
    };

    add(m_fileMenu, "actionCompact", QStringLiteral("&Compact Database"),
        QStringLiteral("Compact the database"), &CMainFrame::compactDatabase);
    add(m_fileMenu, "actionRepair", QStringLiteral("&Repair Database"),
        QStringLiteral("Repair the database"), &CMainFrame::repairDatabase);
    add(m_fileMenu, "actionBackup", QStringLiteral("&Backup Database..."),
        QStringLiteral("Copy the database to a backup file"), &CMainFrame::backupDatabase);
    add(m_fileMenu, "actionLocate", QStringLiteral("Set the &location of the database..."),
        QStringLiteral("Set the location of the database"), &CMainFrame::locateDatabase);
    add(m_fileMenu, "actionLocateServer", QStringLiteral("Open database on &server..."),
        QStringLiteral("Open a database on a PostgreSQL server"),
        &CMainFrame::locateServerDatabase);
    m_fileMenu->addSeparator();
    add(m_fileMenu, "actionViewLog", QStringLiteral("&View Logfile"),
        QStringLiteral("View the operation log"), [this] { viewLogfile(); });
    add(m_fileMenu, "actionClearLog", QStringLiteral("C&lear logfile"),
        QStringLiteral("Clear the operation log"), &CMainFrame::clearLogfile);
    m_loggingAction = add(m_fileMenu, "actionEnableLogging", QStringLiteral("&Enable logging"),
                          QStringLiteral("Log successful operations as well as errors"),
                          &CMainFrame::toggleLogging);
    m_loggingAction->setCheckable(true);
    add(m_fileMenu, "actionLocateLog", QStringLiteral("Locate log&file..."),
        QStringLiteral("Choose the file the operation log is written to"),
        &CMainFrame::locateLogfile);
    m_fileMenu->addSeparator();
    AddInvoiceWindowCommands(this, m_mdi, m_fileMenu);
    m_fileMenu->addSeparator();
    QAction* exit = add(m_fileMenu, "actionExit", QStringLiteral("E&xit"),
                        QStringLiteral("Quit the application"), &QWidget::close);
    exit->setShortcut(QKeySequence::Quit);
    connect(m_fileMenu, &QMenu::aboutToShow, this, &CMainFrame::updateFileMenu);
    updateFileMenu();
    AddCustomerCommands(this, m_mdi, menuBar());
    AddImportCommands(this, m_fileMenu, menuBar());
    AddInvoicingCommands(this, m_mdi, menuBar());
    AddBillingPlanCommands(this, m_mdi, menuBar());
    AddReportCommands(this, m_mdi, menuBar());
    AddMailCommands(this, menuBar());
    AddMaintenanceCommands(this, menuBar(), m_fileMenu, [] {
        const CCustomerBrowser* browser = CCustomerBrowser::current();
        return browser ? qint32(browser->SelectedCustomerId()) : 0;
    });

    QMenu* window = menuBar()->addMenu(QStringLiteral("&Window"));
    window->setObjectName(QStringLiteral("WindowMenu"));
    add(window, "actionCascade", QStringLiteral("&Cascade"),
        QStringLiteral("Arrange windows so they overlap"), [this] { m_mdi->cascadeSubWindows(); });
    add(window, "actionTile", QStringLiteral("&Tile"),
        QStringLiteral("Arrange windows as non-overlapping tiles"),
        [this] { m_mdi->tileSubWindows(); });
}

QAction* CMainFrame::action(const QString& objectName) const {
    return findChild<QAction*>(objectName);
}

void CMainFrame::updateFileMenu() {
    // Logging can also be switched off by a failure to open the file.
    m_loggingAction->setChecked(theLog().loggingEnabled());
}

bool CMainFrame::restorePlacement() {
    const QByteArray bytes = RegBinary(Reg::MainWndPlacement);
    return !bytes.isEmpty() && restoreGeometry(bytes);
}

void CMainFrame::savePlacement() {
    if (!RegWriteBinary(Reg::MainWndPlacement, saveGeometry()))
        qWarning("Unable to store the main window placement");
}

bool CMainFrame::anyDocumentOpen() const {
    return !m_mdi->subWindowList().isEmpty();
}

bool CMainFrame::closeAllDocuments() {
    m_mdi->closeAllSubWindows();
    return m_mdi->subWindowList().isEmpty();
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    // An operation in progress keeps the window open; it may take the attempt as a request
    // to interrupt.
    if (IsProcessRunning() || (m_gui && m_gui->isBusy())) {
        if (m_gui)
            m_gui->mayCloseMainWindow();
        event->ignore();
        return;
    }
    if (!closeAllDocuments()) {
        event->ignore();
        return;
    }
    savePlacement();
    event->accept();
}

// --- database commands ---

namespace {
CDatabaseSession* session() {
    CDatabaseSession* s = CDatabaseSession::instance();
    if (!s)
        ui().showMessage(QStringLiteral("No Tollkeeper database is open."),
                         MessageIcon::Exclamation);
    return s;
}
} // namespace

void CMainFrame::compactDatabase() {
    if (CDatabaseSession* s = session())
        (void)s->compact(); // the session has told the user of a failure
}

void CMainFrame::repairDatabase() {
    if (CDatabaseSession* s = session())
        (void)s->repair(); // the session has told the user of a failure
}

void CMainFrame::backupDatabase() {
    if (CDatabaseSession* s = session())
        (void)s->backup(); // the session has told the user of a failure
}

void CMainFrame::locateDatabase() {
    if (CDatabaseSession* s = session()) {
        if (s->locateCommand() == 0)
            RefreshViews();
    }
}

void CMainFrame::locateServerDatabase() {
    CDatabaseSession* s = session();
    if (!s)
        return;
    const QString current = Database::isServerName(s->path()) ? s->path() : QString();
    bool ok = false;
    const QString name =
        QInputDialog::getText(
            this, QStringLiteral("Open Database on Server"),
            QStringLiteral("Database (postgresql://user@host/dbname; the password comes from the "
                           "password file):"),
            QLineEdit::Normal, Database::displayNameOf(current), &ok)
            .trimmed();
    if (!ok || name.isEmpty())
        return;
    if (!Database::isServerName(name)) {
        ui().showMessage(QStringLiteral("A database on a server is named by a URL that begins "
                                        "with postgresql://."),
                         MessageIcon::Exclamation);
        return;
    }
    if (s->locateCommand(name) == 0)
        RefreshViews();
}

// --- log commands ---

CLogFrame* CMainFrame::viewLogfile() {
    if (CLogFrame* open = CLogFrame::current()) {
        if (open->isMinimized())
            open->showNormal();
        m_mdi->setActiveSubWindow(open);
        return open;
    }
    if (!CLogDoc::canOpen())
        return nullptr;
    auto* frame = new CLogFrame;
    m_mdi->addSubWindow(frame);
    frame->restorePlacement();
    frame->show();
    m_mdi->setActiveSubWindow(frame);
    return frame;
}

void CMainFrame::clearLogfile() {
    theLog().clearWithQuestion();
}

void CMainFrame::toggleLogging() {
    theLog().toggleLogging();
    updateFileMenu();
}

void CMainFrame::locateLogfile() {
    QFileDialog dialog(this, QStringLiteral("Locate Tollkeeper Logfile"));
    dialog.setNameFilter(QStringLiteral("All Files (*)"));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    // A new name in an existing folder is allowed: the log is created there.
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.selectFile(theLog().filePath());
    // The name accepted is the one the dialog reports with fileSelected; selectedFiles() may
    // still hold the initial selection when the folder finished loading late.
    QString path;
    connect(&dialog, &QFileDialog::fileSelected, &dialog, [&path](const QString& f) { path = f; });
    if (dialog.exec() != QDialog::Accepted || path.isEmpty())
        return;
    if (!RegWriteText(Reg::LogFileName, path)) {
        ui().showMessage(QStringLiteral("Unable to store the logfile location."),
                         MessageIcon::Exclamation);
        return;
    }
    // A file that cannot be opened has been reported to the user by the log.
    (void)theLog().reload();
}
