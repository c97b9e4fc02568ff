#include "ui/invoice/invoicebrowser.h"

#include "core/app/appservices.h"
#include "core/app/busystate.h"
#include "core/app/dbsession.h"
#include "core/app/oplog.h"
#include "core/app/settingsvalues.h"
#include "core/app/userinterface.h"
#include "core/billing/invoicedoc.h"
#include "core/db/datetimeutil.h"
#include "core/invoice/invoicedelivery.h"
#include "ui/app/windowplacement.h"
#include "ui/invoice/customercombo.h"
#include "ui/invoice/invoiceframe.h"
#include "ui/invoice/invoicelistmodel.h"
#include "ui/invoice/senddlg.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>
#include <optional>

namespace {

// A date field of the filter: empty for no bound; nullopt when the entry is refused (the
// message was shown and the field has the focus).
std::optional<DbDateTime> readBound(QLineEdit* edit) {
    const DateEntryResult r = CheckDateEntry(edit->text(), true);
    if (r.status == DateEntryResult::Empty)
        return DbDateTime::null();
    if (!r.accepted() || !r.hasDate) {
        ui().showMessage(r.message.isEmpty() ? DateFormatHelpMessage() : r.message,
                         MessageIcon::Exclamation);
        edit->setFocus();
        edit->selectAll();
        return std::nullopt;
    }
    return DbFromLocal(r.date);
}

} // namespace

CInvoiceBrowserFrame::CInvoiceBrowserFrame(QMdiArea* area, Database& db) : m_area(area), m_db(db) {
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("InvoiceBrowserFrame"));
    setWindowTitle(QStringLiteral("Invoices Browser"));
    auto* body = new QWidget;

    m_customer = new CCustomerCombo(db, CCustomerCombo::Kind::All, true);
    m_customer->setObjectName(QStringLiteral("CustomerFilter"));
    m_customer->setMinimumContentsLength(12);
    m_from = new QLineEdit;
    m_from->setObjectName(QStringLiteral("FromEdit"));
    m_to = new QLineEdit;
    m_to->setObjectName(QStringLiteral("ToEdit"));
    m_unpaid = new QCheckBox(QStringLiteral("&Unpaid only"));
    m_unpaid->setObjectName(QStringLiteral("UnpaidOnly"));
    auto* apply = new QPushButton(QStringLiteral("&Apply"));
    apply->setObjectName(QStringLiteral("ApplyFilter"));
    auto* filters = new QHBoxLayout;
    auto addLabelled = [filters](const QString& text, QWidget* field) {
        auto* label = new QLabel(text);
        label->setBuddy(field);
        filters->addWidget(label);
        filters->addWidget(field, 1);
    };
    addLabelled(QStringLiteral("&Customer:"), m_customer);
    addLabelled(QStringLiteral("&From:"), m_from);
    addLabelled(QStringLiteral("&To:"), m_to);
    filters->addWidget(m_unpaid);
    filters->addWidget(apply);

    m_model = new CInvoiceListModel(db, this);
    m_table = new QTableView;
    m_table->setObjectName(QStringLiteral("InvoiceTable"));
    m_table->setModel(m_model);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setWordWrap(false);
    m_table->verticalHeader()->hide();
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_count = new QLabel;
    m_count->setObjectName(QStringLiteral("CountLabel"));

    auto* menu = new QMenuBar(body);
    menu->setNativeMenuBar(false);
    auto* layout = new QVBoxLayout(body);
    layout->setMenuBar(menu);
    layout->addLayout(filters);
    layout->addWidget(m_table, 1);
    layout->addWidget(m_count);
    setWidget(body);
    createCommands(menu);

    connect(apply, &QPushButton::clicked, this, [this] { (void)applyFilter(); });
    for (QLineEdit* edit : {m_from, m_to})
        connect(edit, &QLineEdit::returnPressed, this, [this] { (void)applyFilter(); });
    connect(m_unpaid, &QCheckBox::toggled, this, [this] { (void)applyFilter(); });
    connect(m_customer, &QComboBox::activated, this, [this] { (void)applyFilter(); });
    connect(m_customer->lineEdit(), &QLineEdit::returnPressed, this,
            [this] { (void)applyFilter(); });
    // Enter on the list, or a double click, opens the selected invoices.
    connect(m_table, &QTableView::activated, this, [this] { openSelected(); });
    connect(
        m_model, &CInvoiceListModel::loadFailed, this,
        [](const QString& message) {
            ui().showMessage(QStringLiteral("Error opening invoice table.") + QLatin1Char(' ') +
                                 message,
                             MessageIcon::Exclamation);
        },
        Qt::QueuedConnection);
    connect(m_model, &CInvoiceListModel::modelReset, this, &CInvoiceBrowserFrame::updateCount);
    connect(m_model, &CInvoiceListModel::rowsInserted, this, &CInvoiceBrowserFrame::updateCount);
    // Invoices kept, deleted or paid elsewhere show at once.
    m_refreshId = AddRefreshHandler([this](const void*, int, void*) { m_model->reload(); });

    // Newest first; enabling the sort reads the first page.
    m_table->horizontalHeader()->setSortIndicator(InvoiceListColumn::Number, Qt::DescendingOrder);
    m_table->setSortingEnabled(true);
}

CInvoiceBrowserFrame::~CInvoiceBrowserFrame() {
    RemoveRefreshHandler(m_refreshId);
}

CInvoiceBrowserFrame* CInvoiceBrowserFrame::find(QMdiArea* area) {
    if (!area)
        return nullptr;
    for (QMdiSubWindow* w : area->subWindowList())
        if (auto* f = qobject_cast<CInvoiceBrowserFrame*>(w))
            return f;
    return nullptr;
}

CInvoiceBrowserFrame* CInvoiceBrowserFrame::open(QMdiArea* area, Database& db, qint32 idCust) {
    CInvoiceBrowserFrame* frame = find(area);
    const bool created = !frame;
    if (created) {
        frame = new CInvoiceBrowserFrame(area, db);
        area->addSubWindow(frame);
        if (!RestoreChildPlacement(frame, RegBinary(Reg::InvBrowserWndPlace)))
            frame->resize(qMin(820, qMax(area->width(), 400)),
                          qMin(480, qMax(area->height(), 300)));
    } else if (frame->isMinimized()) {
        frame->showNormal();
    }
    if (created || idCust != 0 || frame->m_model->filter().idUser != 0) {
        // A customer created since the list was read is not in it: all customers then.
        if (idCust == 0 || !frame->m_customer->setCustomerId(idCust))
            frame->m_customer->setCurrentIndex(0);
        (void)frame->applyFilter(); // the other fields were accepted before
    }
    frame->show();
    area->setActiveSubWindow(frame);
    frame->m_table->setFocus();
    return frame;
}

QAction* CInvoiceBrowserFrame::action(const QString& objectName) const {
    return findChild<QAction*>(objectName);
}

void CInvoiceBrowserFrame::createCommands(QWidget* menuBar) {
    auto* bar = static_cast<QMenuBar*>(menuBar);
    QMenu* menu = bar->addMenu(QStringLiteral("&Invoice"));
    m_table->setContextMenuPolicy(Qt::ActionsContextMenu);
    auto add = [this, menu](const char* name, const QString& text, const QString& tip,
                            QKeySequence key, auto slot) {
        auto* a = new QAction(text, this);
        a->setObjectName(QString::fromLatin1(name));
        a->setStatusTip(tip);
        a->setShortcut(key);
        a->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        connect(a, &QAction::triggered, this, slot);
        menu->addAction(a);
        m_table->addAction(a);
        return a;
    };
    add("actionOpenInvoices", QStringLiteral("&Open"),
        QStringLiteral("Open an invoice window for each selected invoice"), QKeySequence(),
        &CInvoiceBrowserFrame::openSelected);
    add("actionSendInvoices", QStringLiteral("&Send..."),
        QStringLiteral("Carry out the send options for the selected invoices"), QKeySequence(),
        &CInvoiceBrowserFrame::sendSelected);
    add("actionDeleteInvoices", QStringLiteral("&Delete"),
        QStringLiteral("Delete the selected invoices"), QKeySequence(QKeySequence::Delete),
        &CInvoiceBrowserFrame::deleteSelected);
    add("actionRefreshInvoices", QStringLiteral("&Refresh"), QStringLiteral("Read the list again"),
        QKeySequence(QKeySequence::Refresh), [this] { m_model->reload(); });
}

void CInvoiceBrowserFrame::updateCount() {
    const int n = m_model->rowCount();
    m_count->setText(m_model->canFetchMore({})
                         ? QStringLiteral("%1 invoices listed, more as the list scrolls").arg(n)
                         : QStringLiteral("%1 invoices").arg(n));
}

bool CInvoiceBrowserFrame::applyFilter() {
    InvoiceListFilter filter;
    filter.idUser = m_customer->customerId();
    if (filter.idUser < 0) {
        ui().showMessage(QStringLiteral("Customer record not found."), MessageIcon::Exclamation);
        m_customer->setFocus();
        return false;
    }
    const std::optional<DbDateTime> from = readBound(m_from);
    if (!from)
        return false;
    const std::optional<DbDateTime> to = readBound(m_to);
    if (!to)
        return false;
    filter.from = *from;
    // The last day counts whole.
    filter.before = to->isNull() ? *to : DbDateTime(to->days() + 1);
    filter.unpaidOnly = m_unpaid->isChecked();
    CWaitCursor wait;
    m_model->setFilter(filter);
    return true;
}

QList<qint32> CInvoiceBrowserFrame::selectedInvoices() const {
    QList<int> rows;
    for (const QModelIndex& index : m_table->selectionModel()->selectedRows())
        rows.append(index.row());
    std::sort(rows.begin(), rows.end());
    QList<qint32> numbers;
    for (const int row : std::as_const(rows))
        numbers.append(m_model->rowAt(row).invoiceNum);
    return numbers;
}

void CInvoiceBrowserFrame::openSelected() {
    const QList<qint32> numbers = selectedInvoices();
    CProcessScope busy(QString(), PROC_DEFAULT);
    for (const qint32 num : numbers) {
        if (CheckInterrupt()) {
            LogResult(ResultCode::Aborted);
            break;
        }
        // A window that cannot be made has shown why; the others still open.
        (void)CInvoiceFrame::open(m_area, m_db, num);
    }
}

void CInvoiceBrowserFrame::sendSelected() {
    const QList<qint32> numbers = selectedInvoices();
    if (numbers.isEmpty())
        return;
    qint32 overrideId = 0;
    if (!CSendDlg::choose(m_db, this, overrideId))
        return;
    {
        CProcessScope busy(QString(), PROC_DEFAULT);
        for (const qint32 num : numbers) {
            if (CheckInterrupt()) {
                LogResult(ResultCode::Aborted);
                break;
            }
            (void)SendInvoice(m_db, num, overrideId); // logs (or shows) its own outcome
        }
    }
    ReportLogOutcome(true, -1, false);
}

void CInvoiceBrowserFrame::deleteSelected() {
    const QList<qint32> numbers = selectedInvoices();
    if (numbers.isEmpty())
        return;
    if (!ui().askYesNo(QStringLiteral("Are you sure you want to permanently delete the selected "
                                      "invoices?\n\r\n\rThe operation is irreversible."),
                       MessageIcon::Exclamation))
        return;
    bool failed = false;
    {
        CWaitCursor wait;
        for (const qint32 num : numbers) {
            const int row = m_model->rowOf(num);
            const QString name =
                row >= 0 ? m_model->rowAt(row).username : QStringLiteral("Unknown customer");
            QString error;
            if (CInvoiceDoc::DeleteInvoice(m_db, num, &error)) {
                LogText(name.isEmpty() ? QStringLiteral("Unknown customer") : name,
                        ResultText(ResultCode::DeletingInvoice) + QLatin1Char(' ') + error,
                        ResultCode::DeletingInvoice);
                failed = true;
            }
        }
    }
    // Invoice windows of deleted invoices close; this list reads its rows again.
    RefreshViews();
    if (failed)
        ReportLogOutcome(true, 1, false);
}

void CInvoiceBrowserFrame::closeEvent(QCloseEvent* event) {
    if (!RegWriteBinary(Reg::InvBrowserWndPlace, SaveChildPlacement(this)))
        qWarning("Unable to store the invoices browser placement");
    QMdiSubWindow::closeEvent(event);
}

void OpenInvoiceBrowser(QMdiArea* mdi, long idCust) {
    Database* db = theDatabase();
    if (!db) {
        ui().showMessage(QStringLiteral("No database is open."), MessageIcon::Exclamation);
        return;
    }
    CInvoiceBrowserFrame::open(mdi, *db, qint32(idCust));
}
