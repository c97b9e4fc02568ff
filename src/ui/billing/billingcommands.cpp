#include "ui/billing/billingcommands.h"

#include "core/app/appservices.h"
#include "core/app/dbsession.h"
#include "core/app/settingsvalues.h"
#include "core/app/userinterface.h"
#include "core/billing/planassign.h"
#include "core/billing/plandelete.h"
#include "core/db/dbexception.h"
#include "ui/billing/billingtreedoc.h"
#include "ui/billing/billingtreeframe.h"
#include "ui/billing/bpchargesdlg.h"
#include "ui/billing/newitemdlg.h"
#include "ui/billing/planprops.h"

#include <QAction>
#include <QEvent>
#include <QMainWindow>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QTreeView>

CBillingCommands::CBillingCommands(QMainWindow* mainWindow, QMdiArea* area, QMenuBar* menuBar)
    : QObject(mainWindow), m_main(mainWindow), m_area(area) {
    setObjectName(QStringLiteral("BillingCommands"));
    QMenu* menu = menuBar->addMenu(QStringLiteral("&Plans"));
    menu->setObjectName(QStringLiteral("PlansMenu"));
    connect(addAction(menu, "actionBillingPlansBrowser", QStringLiteral("Billing Plans &Browser"),
                      QStringLiteral("Show the billing plans, charges and invoicing plans")),
            &QAction::triggered, this, [this] { (void)openBrowser(); }); // failure shown
    menu->addSeparator();
    const struct {
        const char* name;
        const char* text;
        const char* tip;
        int kind;
    } creates[] = {
        {"actionCreateBillingPlan", "Create &Billing Plan...", "Create a new billing plan",
         CNewItemDlg::BillingPlan},
        {"actionCreateInvoicingPlan", "Create &Invoicing Plan...", "Create a new invoicing plan",
         CNewItemDlg::InvoicingPlan},
        {"actionCreateCharge", "Create New &Charge...", "Create a new charge", CNewItemDlg::Charge},
    };
    for (const auto& c : creates) {
        QAction* a =
            addAction(menu, c.name, QString::fromLatin1(c.text), QString::fromLatin1(c.tip));
        connect(a, &QAction::triggered, this, [this, kind = c.kind] { create(kind); });
        m_itemActions.append(a);
    }
    menu->addSeparator();
    QAction* assign =
        addAction(menu, "actionBillingPlanCharges", QStringLiteral("Billing Plan C&harges..."),
                  QStringLiteral("Assign charges to the selected billing plan"));
    connect(assign, &QAction::triggered, this, &CBillingCommands::assignCharges);
    QAction* props = addAction(menu, "actionPlanProperties", QStringLiteral("P&roperties..."),
                               QStringLiteral("Edit the selected plan or charge"));
    connect(props, &QAction::triggered, this, &CBillingCommands::properties);
    QAction* del = addAction(menu, "actionPlanDelete", QStringLiteral("&Delete"),
                             QStringLiteral("Delete the selected item"));
    connect(del, &QAction::triggered, this, &CBillingCommands::deleteSelected);
    m_itemActions << assign << props << del;
    connect(menu, &QMenu::aboutToShow, this, &CBillingCommands::updateActions);
    updateActions();
    mainWindow->installEventFilter(this);
}

QAction* CBillingCommands::addAction(QMenu* menu, const char* name, const QString& text,
                                     const QString& tip) {
    QAction* a = menu->addAction(text);
    a->setObjectName(QLatin1String(name));
    a->setStatusTip(tip);
    return a;
}

QAction* CBillingCommands::action(const char* name) const {
    return m_main->findChild<QAction*>(QLatin1String(name));
}

bool CBillingCommands::eventFilter(QObject* watched, QEvent* event) {
    // The browser is shown at the next start when it is open as the program ends, that is
    // before the main window closes its document windows.
    if (watched == m_main && event->type() == QEvent::Close &&
        !RegWriteYesNo(Reg::ShowBPBrowser, CBillingTreeFrame::current() != nullptr))
        qWarning("Unable to store whether the billing plans window is shown");
    return QObject::eventFilter(watched, event);
}

CBillingTreeFrame* CBillingCommands::openBrowser() {
    if (CBillingTreeFrame* open = CBillingTreeFrame::current()) {
        if (open->isMinimized())
            open->showNormal();
        m_area->setActiveSubWindow(open);
        return open;
    }
    auto* frame = new CBillingTreeFrame;
    if (!frame->reload()) {
        delete frame;
        return nullptr;
    }
    frame->view()->addActions(m_itemActions);
    connect(frame, &CBillingTreeFrame::itemActivated, this, &CBillingCommands::properties);
    connect(frame->view()->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &CBillingCommands::updateActions);
    connect(frame, &QObject::destroyed, this, &CBillingCommands::updateActions,
            Qt::QueuedConnection);
    m_area->addSubWindow(frame);
    frame->restorePlacement();
    frame->show();
    m_area->setActiveSubWindow(frame);
    updateActions();
    return frame;
}

void CBillingCommands::updateActions() {
    CBillingTreeFrame* frame = CBillingTreeFrame::current();
    const QModelIndex index = frame ? frame->selected() : QModelIndex();
    const BillingNode node = CBillingTreeDoc::nodeOf(index);
    const bool item = index.isValid() && index.parent().isValid();
    action("actionBillingPlanCharges")
        ->setEnabled(item && (node == BillingNode::BillingPlan || node == BillingNode::PlanCharge));
    action("actionPlanProperties")->setEnabled(item);
    action("actionPlanDelete")->setEnabled(item);
}

void CBillingCommands::create(int kind) {
    CNewItemDlg dlg(CNewItemDlg::Kind(kind), m_main);
    if (dlg.exec() != QDialog::Accepted)
        return;
    RefreshViews();
    if (CBillingTreeFrame* frame = CBillingTreeFrame::current()) {
        const BillingNode node = kind == CNewItemDlg::BillingPlan     ? BillingNode::BillingPlan
                                 : kind == CNewItemDlg::InvoicingPlan ? BillingNode::InvoicePlan
                                                                      : BillingNode::Charge;
        frame->select(frame->document()->find(node, dlg.createdId()));
    }
}

void CBillingCommands::assignCharges() {
    CBillingTreeFrame* frame = CBillingTreeFrame::current();
    if (!frame)
        return;
    const QModelIndex index = frame->selected();
    const qint32 planId = CBillingTreeDoc::nodeOf(index) == BillingNode::PlanCharge
                              ? CBillingTreeDoc::planIdOf(index)
                              : CBillingTreeDoc::idOf(index);
    if (CBillingTreeDoc::nodeOf(index) != BillingNode::PlanCharge &&
        CBillingTreeDoc::nodeOf(index) != BillingNode::BillingPlan)
        return;
    Database* db = theDatabase();
    if (!db)
        return;
    PlanChargeAssignment assignment;
    try {
        assignment = PlanChargeAssignment::load(*db, planId);
    } catch (const DbException& e) {
        ui().showMessage(
            QStringLiteral("Error reading the charges of the billing plan: %1").arg(e.message()),
            MessageIcon::Exclamation);
        return;
    }
    CBPChargesDlg dlg(assignment, m_main);
    if (dlg.exec() == QDialog::Accepted)
        RefreshViews();
}

void CBillingCommands::properties() {
    CBillingTreeFrame* frame = CBillingTreeFrame::current();
    if (!frame)
        return;
    const QModelIndex index = frame->selected();
    switch (CBillingTreeDoc::nodeOf(index)) {
    case BillingNode::BillingPlan:
        (void)ShowBillingPlanProps(CBillingTreeDoc::idOf(index), m_main); // failures shown
        break;
    case BillingNode::Charge:
    case BillingNode::PlanCharge:
        (void)ShowChargeProps(CBillingTreeDoc::idOf(index), m_main); // failures shown
        break;
    case BillingNode::InvoicePlan:
        (void)ShowInvoicingPlanProps(CBillingTreeDoc::idOf(index), m_main); // failures shown
        break;
    default:
        break;
    }
}

void CBillingCommands::deleteSelected() {
    CBillingTreeFrame* frame = CBillingTreeFrame::current();
    Database* db = theDatabase();
    if (!frame || !db)
        return;
    const QModelIndex index = frame->selected();
    const qint32 id = CBillingTreeDoc::idOf(index);
    QString note;
    EditResult r;
    switch (CBillingTreeDoc::nodeOf(index)) {
    case BillingNode::PlanCharge:
        if (!ui().askYesNo(DeletePlanChargeQuestion(), MessageIcon::Question))
            return;
        r = DeletePlanCharge(*db, CBillingTreeDoc::planIdOf(index), id);
        break;
    case BillingNode::Charge:
        if (!ui().askYesNo(DeleteChargeQuestion(), MessageIcon::Question))
            return;
        r = DeleteCharge(*db, id);
        break;
    case BillingNode::BillingPlan:
        if (!ui().askYesNo(DeleteBillingPlanQuestion(), MessageIcon::Question))
            return;
        r = DeleteBillingPlan(*db, id, &note);
        break;
    case BillingNode::InvoicePlan:
        if (!ui().askYesNo(DeleteInvoicingPlanQuestion(), MessageIcon::Question))
            return;
        r = DeleteInvoicingPlan(*db, id, &note);
        break;
    default:
        return;
    }
    if (!r.ok()) {
        ui().showMessage(r.text(), MessageIcon::Exclamation);
        return;
    }
    RefreshViews();
    if (!note.isEmpty())
        ui().showMessage(note, MessageIcon::Information);
}

void AddBillingPlanCommands(QMainWindow* mainWindow, QMdiArea* area, QMenuBar* menuBar) {
    new CBillingCommands(mainWindow, area, menuBar);
}

void ReopenBillingPlansBrowser(QMainWindow* mainWindow) {
    if (!RegYesNo(Reg::ShowBPBrowser))
        return;
    if (auto* commands = mainWindow->findChild<CBillingCommands*>())
        (void)commands->openBrowser(); // a tree that cannot be read has been reported
}
