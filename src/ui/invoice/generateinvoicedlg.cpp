#include "ui/invoice/generateinvoicedlg.h"

#include "core/app/dbsession.h"
#include "core/app/userinterface.h"
#include "core/db/database.h"
#include "core/db/datetimeutil.h"
#include "core/db/dbexception.h"
#include "ui/app/datefield.h"
#include "ui/invoice/guiinvoiceruns.h"
#include "ui/invoice/plancombo.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>

namespace {

// The row of `id` as stored now; nullopt when it is gone or cannot be read (message shown).
std::optional<UserRow> readCustomer(Database& db, qint32 id) {
    try {
        CUserRecord rec(db);
        if (rec.findById(id))
            return rec.row();
    } catch (const DbException&) {
        // told below, as for a row that is gone
    }
    ui().showMessage(QStringLiteral("Customer record not found."), MessageIcon::Exclamation);
    return std::nullopt;
}

} // namespace

CGenerateInvoiceDlg::CGenerateInvoiceDlg(Database& db, const UserRow& customer, QWidget* parent)
    : QDialog(parent), m_db(db), m_customer(customer) {
    setObjectName(QStringLiteral("GenerateInvoiceDlg"));
    setWindowTitle(QStringLiteral("Generate Invoice"));
    m_dateEdit = new QLineEdit(FormatLocalDateTime(QDateTime(QDate::currentDate(), QTime(0, 0))));
    m_dateEdit->setObjectName(QStringLiteral("DateEdit"));
    m_billing = new QComboBox;
    m_billing->setObjectName(QStringLiteral("BillingPlan"));
    m_invoicing = new QComboBox;
    m_invoicing->setObjectName(QStringLiteral("InvoicePlan"));
    // A failure to read the plans was shown; only "None" is offered then.
    (void)FillBillingPlanCombo(m_billing, db, customer.IdBillingPlan);
    (void)FillInvoicePlanCombo(m_invoicing, db, customer.IdInvoicePlan);
    m_send = new QCheckBox(QStringLiteral("&Send upon completion"));
    m_send->setObjectName(QStringLiteral("SendUponCompletion"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &CGenerateInvoiceDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* form = new QFormLayout(this);
    form->addRow(QStringLiteral("Customer:"), new QLabel(customer.Username));
    form->addRow(QStringLiteral("Invoice &date:"), m_dateEdit);
    form->addRow(QStringLiteral("&Billing plan:"), m_billing);
    form->addRow(QStringLiteral("&Invoicing plan:"), m_invoicing);
    form->addRow(m_send);
    form->addRow(buttons);
}

qint32 CGenerateInvoiceDlg::billingPlanId() const {
    return m_billing->currentData().toInt();
}

qint32 CGenerateInvoiceDlg::invoicePlanId() const {
    return m_invoicing->currentData().toInt();
}

bool CGenerateInvoiceDlg::sendUponCompletion() const {
    return m_send->isChecked();
}

void CGenerateInvoiceDlg::accept() {
    if (m_billing->currentData().toInt() == 0) {
        ui().showMessage(QStringLiteral("Please choose a billing plan to use."),
                         MessageIcon::Exclamation);
        m_billing->setFocus();
        return;
    }
    if (m_invoicing->currentData().toInt() == 0) {
        ui().showMessage(QStringLiteral("Please choose an invoicing plan to use, even if you "
                                        "choose not to execute the send options."),
                         MessageIcon::Exclamation);
        m_invoicing->setFocus();
        return;
    }
    const QDateTime when = ReadDateField(m_dateEdit);
    if (!when.isValid())
        return;
    const std::optional<UserRow> now = readCustomer(m_db, m_customer.Id);
    if (!now)
        return;
    m_customer = *now;
    m_date = DateTimeToDb(when);
    QDialog::accept();
}

void GenerateInvoiceDialog(QWidget* parent, long idCust) {
    Database* db = theDatabase();
    if (!db) {
        ui().showMessage(QStringLiteral("No database is open."), MessageIcon::Exclamation);
        return;
    }
    const std::optional<UserRow> customer = readCustomer(*db, qint32(idCust));
    if (!customer)
        return;
    CGenerateInvoiceDlg dlg(*db, *customer, parent);
    if (dlg.exec() != QDialog::Accepted)
        return;
    // The run has logged and shown its outcome.
    (void)RunCustomerInvoice(*db, dlg.customer(), dlg.invoiceDate(), dlg.sendUponCompletion(),
                             dlg.billingPlanId(), dlg.invoicePlanId());
}
