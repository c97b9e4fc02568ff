#include "ui/invoice/senddlg.h"

#include "ui/invoice/invoiceplanchoice.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QVBoxLayout>

CSendDlg::CSendDlg(Database& db, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("SendDlg"));
    setWindowTitle(QStringLiteral("Send Invoices"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(
        QStringLiteral("Carry out the send options (e-mail, print) of the invoicing plan:")));
    m_choice = new CInvoicePlanChoice(db);
    layout->addWidget(m_choice);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &CSendDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CSendDlg::reject);
    layout->addWidget(buttons);
}

qint32 CSendDlg::overridePlanId() const {
    return m_choice->overridePlanId();
}

QComboBox* CSendDlg::planList() const {
    return m_choice->planList();
}

QRadioButton* CSendDlg::ownPlanButton() const {
    return m_choice->ownPlanButton();
}

QRadioButton* CSendDlg::overrideButton() const {
    return m_choice->overrideButton();
}

void CSendDlg::accept() {
    m_choice->remember();
    QDialog::accept();
}

bool CSendDlg::choose(Database& db, QWidget* parent, qint32& overrideId) {
    CSendDlg dlg(db, parent);
    if (dlg.exec() != QDialog::Accepted)
        return false;
    overrideId = dlg.overridePlanId();
    return true;
}
