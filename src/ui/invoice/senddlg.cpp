#include "ui/invoice/senddlg.h"

#include "core/app/settingsvalues.h"
#include "core/app/userinterface.h"
#include "core/db/dbexception.h"
#include "core/db/invoiceplanrecord.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QRadioButton>
#include <QVBoxLayout>

CSendDlg::CSendDlg(Database& db, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("SendDlg"));
    setWindowTitle(QStringLiteral("Send Invoices"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(
        QStringLiteral("Carry out the send options (e-mail, print) of the invoicing plan:")));
    m_own = new QRadioButton(QStringLiteral("Use each invoice's &own invoicing plan"));
    m_own->setObjectName(QStringLiteral("ownPlan"));
    m_other = new QRadioButton(QStringLiteral("Use &this invoicing plan instead:"));
    m_other->setObjectName(QStringLiteral("overridePlan"));
    m_plans = new QComboBox;
    m_plans->setObjectName(QStringLiteral("planList"));
    layout->addWidget(m_own);
    layout->addWidget(m_other);
    layout->addWidget(m_plans);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &CSendDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CSendDlg::reject);
    layout->addWidget(buttons);

    // Templates only; "None" stands for no plan.
    m_plans->addItem(QStringLiteral("None"), 0);
    try {
        CInvoicePlanRecord plan(db);
        plan.openWhere(QStringLiteral("[IdInvoice] = ? ORDER BY [Name]"), {0});
        for (; !plan.isEOF(); plan.moveNext())
            m_plans->addItem(plan.Name, plan.Id);
    } catch (const DbException& e) {
        ui().showMessage(QStringLiteral("Unable to read the invoicing plans. %1").arg(e.message()),
                         MessageIcon::Exclamation);
    }

    const bool useOwn = RegYesNo(Reg::ExecuteSO_UseDefaultIP);
    const int remembered = m_plans->findData(RegNumber(Reg::ExecuteSO_OverrideIP));
    m_plans->setCurrentIndex(remembered >= 0 ? remembered : 0);
    (useOwn ? m_own : m_other)->setChecked(true);
    m_plans->setEnabled(!useOwn);
    connect(m_other, &QRadioButton::toggled, m_plans, &QWidget::setEnabled);
}

qint32 CSendDlg::overridePlanId() const {
    return m_other->isChecked() ? m_plans->currentData().toInt() : 0;
}

void CSendDlg::accept() {
    bool stored = RegWriteYesNo(Reg::ExecuteSO_UseDefaultIP, m_own->isChecked());
    stored = RegWriteNumber(Reg::ExecuteSO_OverrideIP, m_plans->currentData().toInt()) && stored;
    if (!stored)
        qWarning("Unable to store the send dialog's choice of invoicing plan");
    QDialog::accept();
}

bool CSendDlg::choose(Database& db, QWidget* parent, qint32& overrideId) {
    CSendDlg dlg(db, parent);
    if (dlg.exec() != QDialog::Accepted)
        return false;
    overrideId = dlg.overridePlanId();
    return true;
}
