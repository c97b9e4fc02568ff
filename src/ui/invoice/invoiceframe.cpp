#include "ui/invoice/invoiceframe.h"

#include "core/app/appservices.h"
#include "core/app/cp1252.h"
#include "core/app/oplog.h"
#include "core/app/settingsvalues.h"
#include "core/app/userinterface.h"
#include "core/db/dbexception.h"
#include "core/db/invoicerecord.h"
#include "core/invoice/invoicedelivery.h"
#include "core/invoice/invoiceprint.h"
#include "ui/invoice/senddlg.h"

#include <QAction>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <QTextBrowser>
#include <QVBoxLayout>

CInvoiceFrame::CInvoiceFrame(Database& db, std::unique_ptr<DeliveryInvoice> inv)
    : m_db(db), m_inv(std::move(inv)) {
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("InvoiceFrame"));
    auto* body = new QWidget;
    auto* layout = new QVBoxLayout(body);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_menu = new QMenuBar(body);
    m_menu->setNativeMenuBar(false);
    m_browser = new QTextBrowser(body);
    m_browser->setObjectName(QStringLiteral("InvoiceBrowser"));
    m_browser->setOpenLinks(false);
    m_browser->setContextMenuPolicy(Qt::ActionsContextMenu);
    layout->setMenuBar(m_menu);
    layout->addWidget(m_browser);
    setWidget(body);
    setWindowTitle(m_inv->rep.Title());
    createCommands();
    showPage();
    // An invoice deleted elsewhere (a discarded run) closes its window.
    m_refreshId = AddRefreshHandler([this](const void* sender, int, void*) {
        if (sender != this)
            refresh();
    });
}

CInvoiceFrame::~CInvoiceFrame() {
    RemoveRefreshHandler(m_refreshId);
}

CInvoiceFrame* CInvoiceFrame::open(QMdiArea* area, Database& db, qint32 invoiceNum) {
    for (CInvoiceFrame* f : openFrames(area)) {
        if (f->invoiceNum() == invoiceNum) {
            if (f->isMinimized())
                f->showNormal();
            area->setActiveSubWindow(f);
            return f;
        }
    }
    std::unique_ptr<DeliveryInvoice> inv;
    {
        CWaitCursor wait;
        inv = LoadInvoiceForDelivery(db, invoiceNum); // a failure is logged with its code
    }
    if (!inv) {
        ui().showMessage(QStringLiteral("Unable to load invoice %1.").arg(invoiceNum),
                         MessageIcon::Exclamation);
        return nullptr;
    }
    QString error;
    if (!inv->rep.RenderToFiles(inv->data, &error)) {
        LogText(inv->data.customer.Username,
                ResultText(ResultCode::CreatingView) + QLatin1Char(' ') + error,
                ResultCode::CreatingView);
        ui().showMessage(QStringLiteral("Error creating view for invoice."),
                         MessageIcon::Exclamation);
        return nullptr;
    }
    ui().setStatusText(QString());
    auto* frame = new CInvoiceFrame(db, std::move(inv));
    area->addSubWindow(frame);
    frame->resize(680, 520);
    frame->show();
    area->setActiveSubWindow(frame);
    return frame;
}

QList<CInvoiceFrame*> CInvoiceFrame::openFrames(QMdiArea* area) {
    QList<CInvoiceFrame*> out;
    if (!area)
        return out;
    for (QMdiSubWindow* w : area->subWindowList(QMdiArea::CreationOrder))
        if (auto* f = qobject_cast<CInvoiceFrame*>(w))
            out.append(f);
    return out;
}

qint32 CInvoiceFrame::invoiceNum() const {
    return m_inv->doc.InvoiceNum();
}

QString CInvoiceFrame::documentName() const {
    return CInvoiceDoc::DocumentFileName(invoiceNum());
}

bool CInvoiceFrame::htmlView() const {
    return m_inv->rep.HtmlView();
}

QAction* CInvoiceFrame::action(const QString& objectName) const {
    return findChild<QAction*>(objectName);
}

void CInvoiceFrame::createCommands() {
    auto add = [this](QMenu* menu, const char* name, const QString& text, const QString& tip,
                      auto slot) {
        auto* a = new QAction(text, this);
        a->setObjectName(QString::fromLatin1(name));
        a->setStatusTip(tip);
        connect(a, &QAction::triggered, this, slot);
        menu->addAction(a);
        m_browser->addAction(a);
        return a;
    };
    QMenu* file = m_menu->addMenu(QStringLiteral("&Invoice"));
    QAction* print = add(file, "actionPrint", QStringLiteral("&Print..."),
                         QStringLiteral("Print the invoice"), &CInvoiceFrame::print);
    print->setShortcut(QKeySequence::Print);
    add(file, "actionPrintDirect", QStringLiteral("Print &direct"),
        QStringLiteral("Print the invoice on the default printer"), [this] { printDirect(); });
    add(file, "actionPageSetup", QStringLiteral("Page Set&up..."),
        QStringLiteral("Change the margins, headers, footers and other page layout"),
        &CInvoiceFrame::pageSetup);
    add(file, "actionSendOptions", QStringLiteral("View/print/&send..."),
        QStringLiteral("Carry out the send options of an invoicing plan"),
        &CInvoiceFrame::sendOptions);

    QMenu* edit = m_menu->addMenu(QStringLiteral("&Edit"));
    QAction* copy = add(edit, "actionCopy", QStringLiteral("&Copy"),
                        QStringLiteral("Copy the selection"), &CInvoiceFrame::copy);
    copy->setShortcut(QKeySequence::Copy);
    QAction* all = add(edit, "actionSelectAll", QStringLiteral("Select &All"),
                       QStringLiteral("Select the whole invoice"), &CInvoiceFrame::selectAll);
    all->setShortcut(QKeySequence::SelectAll);

    QMenu* view = m_menu->addMenu(QStringLiteral("&View"));
    // Both commands flip the view; View Plain Text carries a check mark while the text shows.
    m_plainAction =
        add(view, "actionViewPlainText", QStringLiteral("View &Plain Text"),
            QStringLiteral("Show the invoice as plain text"), &CInvoiceFrame::toggleView);
    m_plainAction->setCheckable(true);
    m_htmlAction = add(view, "actionViewHtml", QStringLiteral("View &HTML Text"),
                       QStringLiteral("Show the invoice formatted"), &CInvoiceFrame::toggleView);
}

void CInvoiceFrame::showPage() {
    const QByteArray& page = htmlView() ? m_inv->rep.Html() : m_inv->rep.TextPage();
    m_browser->setHtml(InvoicePageForTextDocument(page));
    m_plainAction->setChecked(!htmlView());
    ui().setStatusText(QString());
}

void CInvoiceFrame::toggleView() {
    m_inv->rep.SetHtmlView(!htmlView());
    if (!RegWriteYesNo(Reg::ViewHTML, htmlView()))
        qWarning("Unable to store ViewHTML");
    showPage();
}

void CInvoiceFrame::copy() {
    if (!m_browser->textCursor().hasSelection()) {
        ui().showMessage(QStringLiteral("Error copying."), MessageIcon::Exclamation);
        return;
    }
    m_browser->copy();
}

void CInvoiceFrame::selectAll() {
    m_browser->selectAll();
    if (!m_browser->document()->isEmpty() && !m_browser->textCursor().hasSelection())
        ui().showMessage(QStringLiteral("Error selecting all."), MessageIcon::Exclamation);
}

void CInvoiceFrame::print() {
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageLayout(InvoicePageLayout());
    printer.setDocName(windowTitle());
    QPrintDialog dialog(&printer, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    InvoicePrintJob job = PrintJobFor(*m_inv, m_inv->doc.InvoicePlan());
    // The page shown is the page printed.
    job.html = htmlView();
    job.page = job.html ? m_inv->rep.Html() : m_inv->rep.TextPage();
    QString error;
    if (PaintInvoicePage(job, printer, &error))
        ui().showMessage(QStringLiteral("Error printing.") +
                             (error.isEmpty() ? QString() : QLatin1Char(' ') + error),
                         MessageIcon::Exclamation);
}

bool CInvoiceFrame::printDirect() {
    QString error;
    if (PrintInvoice(*m_inv, m_inv->doc.InvoicePlan(), nullptr, &error)) {
        ui().showMessage(QStringLiteral("Error printing.") +
                             (error.isEmpty() ? QString() : QLatin1Char(' ') + error),
                         MessageIcon::Exclamation);
        return true;
    }
    return false;
}

void CInvoiceFrame::pageSetup() {
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageLayout(InvoicePageLayout());
    QPageSetupDialog dialog(&printer, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    if (!StoreInvoicePageLayout(printer.pageLayout()))
        ui().showMessage(QStringLiteral("Unable to store the page layout."),
                         MessageIcon::Exclamation);
}

void CInvoiceFrame::sendOptions() {
    ExecuteSendOptions(m_db, invoiceNum(), [this](qint32& overrideId) {
        return CSendDlg::choose(m_db, this, overrideId);
    });
}

bool CInvoiceFrame::emailWithOwnPlan() {
    if (!EmailInvoice(m_db, *m_inv, m_inv->doc.InvoicePlan()))
        return false;
    LogResult(m_inv->data.customer.Username, ResultCode::Emailing);
    return true;
}

void CInvoiceFrame::refresh() {
    bool exists = true;
    try {
        CInvoiceRecord rec(m_db);
        exists = rec.findByNumber(invoiceNum());
    } catch (const DbException&) {
        // Kept open: the window still shows what was loaded.
    }
    if (!exists)
        close();
}
