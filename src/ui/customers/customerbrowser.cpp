#include "ui/customers/customerbrowser.h"

#include "core/app/appcontext.h"
#include "core/app/appservices.h"
#include "core/app/dbsession.h"
#include "core/app/settingsvalues.h"
#include "core/app/userinterface.h"
#include "core/customers/customerpages.h"
#include "core/db/dbexception.h"
#include "ui/app/windowplacement.h"
#include "ui/customers/customertreemodel.h"
#include "ui/customers/userprops.h"

#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QSplitter>
#include <QTreeView>
#include <QVBoxLayout>

namespace {
CCustomerBrowser* g_browser = nullptr;
QList<QPointer<QAction>> g_contextActions;
} // namespace

CCustomerBrowser::CCustomerBrowser(QWidget* parent) : QMdiSubWindow(parent) {
    setObjectName(QStringLiteral("CustomerBrowser"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Customers"));

    m_model = new CCustomerTreeModel(this);
    m_search = new QLineEdit;
    m_search->setObjectName(QStringLiteral("SearchEdit"));
    m_search->setPlaceholderText(QStringLiteral("Search logon or full names"));
    m_search->setClearButtonEnabled(true);
    m_tree = new QTreeView;
    m_tree->setObjectName(QStringLiteral("CustomerTree"));
    m_tree->setHeaderHidden(true);
    // Rows of one height let the view lay out a section of many customers without measuring
    // each.
    m_tree->setUniformRowHeights(true);
    m_tree->setModel(m_model);
    m_tree->setContextMenuPolicy(Qt::CustomContextMenu);
    m_count = new QLabel;
    m_count->setObjectName(QStringLiteral("CountLabel"));

    auto* pane = new QWidget;
    auto* layout = new QVBoxLayout(pane);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_search);
    layout->addWidget(m_tree);
    layout->addWidget(m_count);
    m_props = new CUserProps;
    m_splitter = new QSplitter(Qt::Horizontal);
    m_splitter->setObjectName(QStringLiteral("CustomerSplitter"));
    m_splitter->addWidget(pane);
    m_splitter->addWidget(m_props);
    m_splitter->setStretchFactor(1, 1);
    const int paneWidth = qMax(50, int(RegNumber(Reg::UserPaneWidth)));
    m_splitter->setSizes({paneWidth, qMax(paneWidth, 400)});
    setWidget(m_splitter);
    resize(paneWidth + 480, 460);

    connect(m_tree->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &CCustomerBrowser::currentChanged);
    connect(m_search, &QLineEdit::textChanged, this, &CCustomerBrowser::searchEdited);
    connect(m_tree, &QWidget::customContextMenuRequested, this, &CCustomerBrowser::showContextMenu);
    connect(
        m_model, &CCustomerTreeModel::readFailed, this,
        [](const QString& text) { ui().showMessage(text, MessageIcon::Exclamation); },
        Qt::QueuedConnection);
    connect(m_props, &CUserProps::applied, this, [this](qint32 id) {
        if (Database* db = theDatabase()) {
            try {
                if (const auto general = LoadGeneralPage(*db, id))
                    m_model->setFullName(id, general->fullName);
            } catch (const DbException& e) {
                ui().showMessage(
                    QStringLiteral("The customers could not be read: %1").arg(e.message()),
                    MessageIcon::Exclamation);
            }
        }
        RefreshViews(this);
    });
    m_refreshId = AddRefreshHandler([this](const void* sender, int, void*) {
        if (sender != this)
            (void)reload(); // a failure has been shown
    });
    g_browser = this;
}

CCustomerBrowser::~CCustomerBrowser() {
    RemoveRefreshHandler(m_refreshId);
    if (g_browser == this)
        g_browser = nullptr;
}

CCustomerBrowser* CCustomerBrowser::current() {
    return g_browser;
}

CCustomerBrowser* CCustomerBrowser::open(QMdiArea* area) {
    if (CCustomerBrowser* open = g_browser) {
        if (open->isMinimized())
            open->showNormal();
        area->setActiveSubWindow(open);
        return open;
    }
    auto* browser = new CCustomerBrowser;
    if (!browser->reload()) {
        delete browser;
        return nullptr;
    }
    area->addSubWindow(browser);
    browser->restorePlacement();
    browser->show();
    area->setActiveSubWindow(browser);
    return browser;
}

void CCustomerBrowser::setContextActions(const QList<QAction*>& actions) {
    g_contextActions.clear();
    for (QAction* a : actions)
        g_contextActions.append(a);
}

long CCustomerBrowser::SelectedCustomerId() const {
    return m_model->idAt(m_tree->currentIndex());
}

bool CCustomerBrowser::selectedIsGroup() const {
    return m_model->kindAt(m_tree->currentIndex()) == CCustomerTreeModel::Kind::Group;
}

QString CCustomerBrowser::selectedName() const {
    return m_model->nameAt(m_tree->currentIndex());
}

bool CCustomerBrowser::selectId(qint32 id) {
    const QModelIndex at = m_model->findRow(id);
    if (!at.isValid())
        return false;
    m_tree->setCurrentIndex(at);
    m_tree->scrollTo(at);
    return m_props->shownId() == id;
}

bool CCustomerBrowser::setCurrentQuietly(qint32 id) {
    const QScopedValueRollback quiet(m_quiet, true);
    const QModelIndex at = id ? m_model->findRow(id) : QModelIndex();
    m_tree->setCurrentIndex(at);
    if (at.isValid())
        m_tree->scrollTo(at);
    return at.isValid();
}

bool CCustomerBrowser::reload() {
    Database* db = theDatabase();
    const qint32 id = m_props->shownId();
    bool ok = true;
    {
        const QScopedValueRollback quiet(m_quiet, true);
        try {
            if (!db)
                throw DbException(QStringLiteral("No database is open."));
            CWaitCursor wait;
            m_model->load(*db);
        } catch (const DbException& e) {
            ui().showMessage(QStringLiteral("The customers could not be read: %1").arg(e.message()),
                             MessageIcon::Exclamation);
            ok = false;
        }
        m_tree->expand(m_model->groupsSection());
        m_tree->expand(m_model->customersSection());
    }
    if (!setCurrentQuietly(id))
        ok = m_props->select(db, 0) && ok; // the row is gone: nothing is left to edit
    else if (!m_props->isModified())
        ok = m_props->select(db, id) && m_props->reload() && ok;
    updateCount();
    return ok;
}

void CCustomerBrowser::updateCount() {
    m_count->setText(QStringLiteral("%1 customers.").arg(m_model->shownCustomers()));
}

bool CCustomerBrowser::mayLeaveSelection() {
    if (!m_props->isModified())
        return true;
    QMessageBox box(QMessageBox::Question, QStringLiteral("Tollkeeper"),
                    QStringLiteral("The properties of %1 have changed.  Apply the changes?")
                        .arg(m_model->nameAt(m_model->findRow(m_props->shownId()))),
                    QMessageBox::NoButton, this);
    QPushButton* apply = box.addButton(QStringLiteral("&Apply"), QMessageBox::AcceptRole);
    apply->setObjectName(QStringLiteral("ApplyChoice"));
    QPushButton* discard = box.addButton(QStringLiteral("&Discard"), QMessageBox::DestructiveRole);
    discard->setObjectName(QStringLiteral("DiscardChoice"));
    QPushButton* stay = box.addButton(QStringLiteral("&Stay"), QMessageBox::RejectRole);
    stay->setObjectName(QStringLiteral("StayChoice"));
    box.setDefaultButton(apply);
    box.setEscapeButton(stay);
    box.exec();
    if (box.clickedButton() == apply)
        return m_props->applyAll(); // a refusal has been shown and the edits stay
    if (box.clickedButton() == discard) {
        (void)m_props->reload(); // a read failure has been shown
        return true;
    }
    return false;
}

void CCustomerBrowser::currentChanged(const QModelIndex& now, const QModelIndex& before) {
    if (m_quiet)
        return;
    const qint32 id = m_model->idAt(now);
    if (id == m_props->shownId())
        return;
    if (!mayLeaveSelection()) {
        // Back to the row whose edits are pending.
        const QScopedValueRollback quiet(m_quiet, true);
        m_tree->setCurrentIndex(before);
        return;
    }
    (void)m_props->select(theDatabase(), id); // a read failure has been shown
}

void CCustomerBrowser::searchEdited(const QString& text) {
    const QString before = m_model->search();
    const qint32 id = m_props->shownId();
    {
        const QScopedValueRollback quiet(m_quiet, true);
        m_model->setSearch(text);
        m_tree->expand(m_model->groupsSection());
        m_tree->expand(m_model->customersSection());
    }
    updateCount();
    if (setCurrentQuietly(id) || id == 0)
        return;
    // The row being edited is no longer shown.
    if (mayLeaveSelection()) {
        (void)m_props->select(theDatabase(), 0);
        return;
    }
    const QSignalBlocker block(m_search);
    m_search->setText(before);
    {
        const QScopedValueRollback quiet(m_quiet, true);
        m_model->setSearch(before);
        m_tree->expand(m_model->groupsSection());
        m_tree->expand(m_model->customersSection());
    }
    updateCount();
    setCurrentQuietly(id);
}

void CCustomerBrowser::showContextMenu(const QPoint& at) {
    const QModelIndex index = m_tree->indexAt(at);
    if (index.isValid() && index != m_tree->currentIndex()) {
        m_tree->setCurrentIndex(index);
        if (m_tree->currentIndex() != index)
            return; // the user stayed with unsaved edits
    }
    QMenu menu(this);
    for (const QPointer<QAction>& a : g_contextActions)
        if (a)
            menu.addAction(a);
    if (!menu.isEmpty())
        menu.exec(m_tree->viewport()->mapToGlobal(at));
}

bool CCustomerBrowser::restorePlacement() {
    return RestoreChildPlacement(this, RegBinary(Reg::UGVWndPlacement));
}

void CCustomerBrowser::closeEvent(QCloseEvent* event) {
    if (!mayLeaveSelection()) {
        event->ignore();
        return;
    }
    if (!RegWriteBinary(Reg::UGVWndPlacement, SaveChildPlacement(this)) ||
        !RegWriteNumber(Reg::UserPaneWidth, m_splitter->sizes().value(0)))
        qWarning("Unable to store the customer browser's placement");
    QMdiSubWindow::closeEvent(event);
    // Closed is gone, also before the deferred deletion: a new browser may open at once.
    if (event->isAccepted() && g_browser == this)
        g_browser = nullptr;
}
