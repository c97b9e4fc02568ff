#include "ui/billing/billingtreeframe.h"

#include "core/app/appservices.h"
#include "core/app/dbsession.h"
#include "core/app/settingsvalues.h"
#include "core/app/userinterface.h"
#include "core/db/dbexception.h"
#include "ui/app/windowplacement.h"
#include "ui/billing/billingtreedoc.h"

#include <QCloseEvent>
#include <QHeaderView>
#include <QTreeView>

namespace {
CBillingTreeFrame* g_frame = nullptr;
} // namespace

CBillingTreeFrame::CBillingTreeFrame(QWidget* parent) : QMdiSubWindow(parent) {
    setObjectName(QStringLiteral("BillingTreeFrame"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Billing Plans"));
    m_doc = new CBillingTreeDoc(this);
    m_view = new QTreeView(this);
    m_view->setObjectName(QStringLiteral("BillingTree"));
    m_view->setModel(m_doc);
    m_view->setHeaderHidden(true);
    m_view->setSelectionMode(QAbstractItemView::SingleSelection);
    m_view->setContextMenuPolicy(Qt::ActionsContextMenu);
    m_view->setExpandsOnDoubleClick(false);
    connect(m_view, &QTreeView::activated, this, &CBillingTreeFrame::itemActivated);
    setWidget(m_view);
    resize(320, 420);
    g_frame = this;
    m_refreshId = AddRefreshHandler([this](const void* sender, int, void*) {
        if (sender != this)
            (void)reload(); // a failure has been shown
    });
}

CBillingTreeFrame::~CBillingTreeFrame() {
    RemoveRefreshHandler(m_refreshId);
    if (g_frame == this)
        g_frame = nullptr;
}

CBillingTreeFrame* CBillingTreeFrame::current() {
    return g_frame;
}

QModelIndex CBillingTreeFrame::selected() const {
    return m_view->currentIndex();
}

void CBillingTreeFrame::select(const QModelIndex& index) {
    if (!index.isValid())
        return;
    m_view->scrollTo(index);
    m_view->setCurrentIndex(index);
}

bool CBillingTreeFrame::reload() {
    const QModelIndex was = selected();
    const BillingNode node = CBillingTreeDoc::nodeOf(was);
    const qint32 id = CBillingTreeDoc::idOf(was);
    const qint32 planId = CBillingTreeDoc::planIdOf(was);
    const bool wasSelected = was.isValid();
    bool ok = true;
    try {
        Database* db = theDatabase();
        if (!db)
            throw DbException(QStringLiteral("No database is open."));
        m_doc->reload(*db);
    } catch (const DbException& e) {
        ui().showMessage(QStringLiteral("Error reading billing plans: %1").arg(e.message()),
                         MessageIcon::Exclamation);
        ok = false;
    }
    for (BillingNode root :
         {BillingNode::BillingPlansRoot, BillingNode::ChargesRoot, BillingNode::InvoicePlansRoot})
        m_view->expand(m_doc->root(root));
    if (wasSelected) {
        QModelIndex again = m_doc->find(node, id, planId);
        // A plan's charge that went away leaves its plan selected.
        if (!again.isValid() && planId != 0)
            again = m_doc->find(BillingNode::BillingPlan, planId);
        select(again);
    }
    return ok;
}

bool CBillingTreeFrame::restorePlacement() {
    return RestoreChildPlacement(this, RegBinary(Reg::BpWndPlacement));
}

void CBillingTreeFrame::closeEvent(QCloseEvent* event) {
    if (!RegWriteBinary(Reg::BpWndPlacement, SaveChildPlacement(this)))
        qWarning("Unable to store the billing plans window placement");
    QMdiSubWindow::closeEvent(event);
    // The window is deleted later: from now on it reads nothing more (the database may be
    // closed by then) and another may be opened.
    if (event->isAccepted()) {
        RemoveRefreshHandler(m_refreshId);
        if (g_frame == this)
            g_frame = nullptr;
    }
}
