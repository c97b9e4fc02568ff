#include "ui/invoice/commitinvoicesdlg.h"

#include "core/app/userinterface.h"
#include "core/db/currency.h"
#include "core/db/dbexception.h"
#include "core/db/invoicerecord.h"
#include "core/db/userrecord.h"
#include "core/invoice/invoicedelivery.h"
#include "core/invoice/invoiceprint.h"
#include "ui/invoice/runlogreporter.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QSplitter>
#include <QTextBrowser>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

QTreeWidget* newList(const QString& name, const QStringList& headers) {
    auto* list = new QTreeWidget;
    list->setObjectName(name);
    list->setRootIsDecorated(false);
    list->setAllColumnsShowFocus(true);
    list->setHeaderLabels(headers);
    return list;
}

QWidget* titled(const QString& title, QWidget* body) {
    auto* box = new QWidget;
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* label = new QLabel(title);
    label->setBuddy(body);
    layout->addWidget(label);
    layout->addWidget(body);
    return box;
}

} // namespace

CCommitInvoicesDlg::CCommitInvoicesDlg(Database& db, const QList<qint32>& invoiceNums,
                                       const QStringList& logLines, QWidget* parent)
    : QDialog(parent), m_db(db) {
    setObjectName(QStringLiteral("CommitInvoicesDlg"));
    setWindowTitle(QStringLiteral("Commit Invoices"));

    m_invoices = newList(QStringLiteral("NewInvoices"),
                         {QStringLiteral("Number"), QStringLiteral("Customer"),
                          QStringLiteral("New Charges"), QStringLiteral("Total Due")});
    m_log = newList(QStringLiteral("RunLog"),
                    {QStringLiteral("Name"), QStringLiteral("Type"), QStringLiteral("Message")});
    m_view = new QTextBrowser;
    m_view->setObjectName(QStringLiteral("InvoiceView"));
    m_view->setOpenLinks(false);
    m_plain = new QCheckBox(QStringLiteral("View &Plain Text"));
    m_plain->setObjectName(QStringLiteral("PlainText"));
    m_keep = new QCheckBox(QStringLiteral("&Keep the new invoices"));
    m_keep->setObjectName(QStringLiteral("Keep"));
    m_keep->setChecked(true);
    m_send = new QCheckBox(QStringLiteral("&Send the new invoices"));
    m_send->setObjectName(QStringLiteral("Send"));
    connect(m_keep, &QCheckBox::toggled, m_send, [this](bool on) {
        m_send->setEnabled(on);
        if (!on)
            m_send->setChecked(false);
    });

    auto* lists = new QSplitter(Qt::Horizontal);
    lists->addWidget(titled(QStringLiteral("&New invoices:"), m_invoices));
    lists->addWidget(titled(QStringLiteral("&Log of this run:"), m_log));
    auto* panes = new QSplitter(Qt::Vertical);
    panes->addWidget(lists);
    panes->addWidget(m_view);
    panes->setStretchFactor(1, 2);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &CCommitInvoicesDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CCommitInvoicesDlg::reject);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(m_plain);
    bottom->addStretch();
    bottom->addWidget(m_keep);
    bottom->addWidget(m_send);
    bottom->addWidget(buttons);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(panes);
    layout->addLayout(bottom);
    resize(860, 640);

    const int decimals = CurrencyDecimals();
    for (const qint32 num : invoiceNums) {
        QStringList cells{QString::number(num)};
        try {
            CInvoiceRecord inv(db);
            if (inv.findByNumber(num)) {
                CUserRecord user(db);
                cells << (user.findById(inv.IdUser) ? user.Username
                                                    : QStringLiteral("Unknown customer"))
                      << inv.NewCharges.format(decimals) << inv.TotalDue.format(decimals);
            }
        } catch (const DbException& e) {
            cells << QString() << e.message();
        }
        auto* item = new QTreeWidgetItem(m_invoices, cells);
        item->setData(0, Qt::UserRole, num);
        for (int c : {0, 2, 3})
            item->setTextAlignment(c, Qt::AlignRight | Qt::AlignVCenter);
    }
    for (const QString& line : logLines)
        new QTreeWidgetItem(m_log, line.split(QLatin1Char('\t')));
    for (QTreeWidget* list : {m_invoices, m_log})
        for (int c = 0; c < list->columnCount(); ++c)
            list->resizeColumnToContents(c);

    connect(m_invoices, &QTreeWidget::currentItemChanged, this, [this] { showSelected(); });
    connect(m_plain, &QCheckBox::toggled, this, [this] { showSelected(); });
    if (m_invoices->topLevelItemCount() > 0)
        m_invoices->setCurrentItem(m_invoices->topLevelItem(0));
}

CCommitInvoicesDlg::~CCommitInvoicesDlg() = default;

int CCommitInvoicesDlg::boxes() const {
    int choice = CommitChoice::Discard;
    if (m_keep->isChecked()) {
        choice |= CommitChoice::Keep;
        if (m_send->isChecked())
            choice |= CommitChoice::Send;
    }
    return choice;
}

void CCommitInvoicesDlg::showSelected() {
    QTreeWidgetItem* item = m_invoices->currentItem();
    if (!item) {
        m_view->clear();
        return;
    }
    const qint32 num = item->data(0, Qt::UserRole).toInt();
    if (!m_shown || m_shown->doc.InvoiceNum() != num) {
        m_shown.reset();
        CWaitCursor wait;
        m_shown = LoadInvoiceForDelivery(m_db, num); // a failed load logged its code
    }
    if (!m_shown) {
        m_view->setPlainText(QStringLiteral("Unable to load invoice %1.").arg(num));
        return;
    }
    const QByteArray& page = m_plain->isChecked() ? m_shown->rep.TextPage() : m_shown->rep.Html();
    m_view->setHtml(InvoicePageForTextDocument(page));
}

void CCommitInvoicesDlg::accept() {
    const int choice = boxes();
    if (!ui().askYesNo(CommitConfirmQuestion(choice), MessageIcon::Question))
        return;
    m_choice = choice;
    QDialog::accept();
}

void CCommitInvoicesDlg::reject() {
    if (!ui().askYesNo(CommitConfirmQuestion(CommitChoice::Discard), MessageIcon::Question))
        return;
    m_choice = CommitChoice::Discard;
    QDialog::reject();
}

CommitDecider CommitInvoicesDecider(Database& db, QWidget* parent, const CRunLogReporter& log) {
    return [&db, parent, &log](const QList<qint32>& invoiceNums) {
        CCommitInvoicesDlg dlg(db, invoiceNums, log.lines(), parent);
        dlg.exec();
        return dlg.choice();
    };
}
