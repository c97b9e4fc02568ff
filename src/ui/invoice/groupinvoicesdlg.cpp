#include "ui/invoice/groupinvoicesdlg.h"

#include "core/app/dbsession.h"
#include "core/app/userinterface.h"
#include "core/db/database.h"
#include "core/db/datetimeutil.h"
#include "core/db/dbexception.h"
#include "ui/app/datefield.h"
#include "ui/invoice/guiinvoiceruns.h"
#include "ui/invoice/invoiceplanchoice.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>

namespace {

// The group row of `id` as stored now; nullopt when it is gone (message shown).
std::optional<UserRow> readGroup(Database& db, qint32 id) {
    try {
        CUserRecord rec(db);
        if (rec.findById(id) && rec.IsGroup)
            return rec.row();
    } catch (const DbException&) {
        // told below, as for a row that is gone
    }
    ui().showMessage(QStringLiteral("Customer group record not found."), MessageIcon::Exclamation);
    return std::nullopt;
}

} // namespace

CGroupInvoicesDlg::CGroupInvoicesDlg(Database& db, const UserRow& group, Mode mode, QWidget* parent)
    : QDialog(parent), m_db(db), m_group(group), m_mode(mode) {
    const bool send = mode == Mode::Send;
    setObjectName(send ? QStringLiteral("SendGroupInvoicesDlg")
                       : QStringLiteral("GenerateGroupInvoicesDlg"));
    setWindowTitle(send ? QStringLiteral("Send Group Invoices")
                        : QStringLiteral("Generate Group Invoices"));
    m_dateEdit = new QLineEdit(FormatLocalDateTime(QDateTime(QDate::currentDate(), QTime(0, 0))));
    m_dateEdit->setObjectName(QStringLiteral("DateEdit"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &CGroupInvoicesDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* form = new QFormLayout(this);
    form->addRow(QStringLiteral("Group:"), new QLabel(group.Username));
    form->addRow(QStringLiteral("Invoice &date:"), m_dateEdit);
    if (send) {
        m_plans = new CInvoicePlanChoice(db);
        form->addRow(m_plans);
    }
    form->addRow(buttons);
}

qint32 CGroupInvoicesDlg::invoicePlanId() const {
    return m_plans ? m_plans->overridePlanId() : 0;
}

void CGroupInvoicesDlg::accept() {
    const QDateTime when = ReadDateField(m_dateEdit);
    if (!when.isValid())
        return;
    const bool send = m_mode == Mode::Send;
    if (!ui().askYesNo(send ? QStringLiteral("Are you sure you wish to send invoices?")
                            : QStringLiteral("Are you sure you wish to generate new invoices?"),
                       MessageIcon::Question))
        return;
    const std::optional<UserRow> now = readGroup(m_db, m_group.Id);
    if (!now)
        return;
    m_group = *now;
    m_date = DateTimeToDb(when);
    if (m_plans)
        m_plans->remember();
    QDialog::accept();
}

namespace {

void runGroupDialog(QWidget* parent, long idGroup, CGroupInvoicesDlg::Mode mode) {
    Database* db = theDatabase();
    if (!db) {
        ui().showMessage(QStringLiteral("No database is open."), MessageIcon::Exclamation);
        return;
    }
    const std::optional<UserRow> group = readGroup(*db, qint32(idGroup));
    if (!group)
        return;
    CGroupInvoicesDlg dlg(*db, *group, mode, parent);
    if (dlg.exec() != QDialog::Accepted)
        return;
    // The run has logged and shown its outcome.
    if (mode == CGroupInvoicesDlg::Mode::Send)
        (void)RunSendGroupInvoices(*db, dlg.group(), dlg.invoiceDate(), dlg.invoicePlanId());
    else
        (void)RunGroupInvoices(*db, parent, dlg.group(), dlg.invoiceDate());
}

} // namespace

void GenerateGroupInvoicesDialog(QWidget* parent, long idGroup) {
    runGroupDialog(parent, idGroup, CGroupInvoicesDlg::Mode::Generate);
}

void SendGroupInvoicesDialog(QWidget* parent, long idGroup) {
    runGroupDialog(parent, idGroup, CGroupInvoicesDlg::Mode::Send);
}
