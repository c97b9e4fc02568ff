#include "ui/invoice/invoiceplanchoice.h"

#include "core/app/settingsvalues.h"
#include "ui/invoice/plancombo.h"

#include <QComboBox>
#include <QRadioButton>
#include <QVBoxLayout>

CInvoicePlanChoice::CInvoicePlanChoice(Database& db, QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_own = new QRadioButton(QStringLiteral("Use each invoice's &own invoicing plan"));
    m_own->setObjectName(QStringLiteral("ownPlan"));
    m_other = new QRadioButton(QStringLiteral("Use &this invoicing plan instead:"));
    m_other->setObjectName(QStringLiteral("overridePlan"));
    m_plans = new QComboBox;
    m_plans->setObjectName(QStringLiteral("planList"));
    layout->addWidget(m_own);
    layout->addWidget(m_other);
    layout->addWidget(m_plans);

    // A plan that no longer exists falls back to "None"; a failure to read was shown.
    (void)FillInvoicePlanCombo(m_plans, db, RegNumber(Reg::ExecuteSO_OverrideIP));
    const bool useOwn = RegYesNo(Reg::ExecuteSO_UseDefaultIP);
    (useOwn ? m_own : m_other)->setChecked(true);
    m_plans->setEnabled(!useOwn);
    connect(m_other, &QRadioButton::toggled, m_plans, &QWidget::setEnabled);
}

qint32 CInvoicePlanChoice::overridePlanId() const {
    return m_other->isChecked() ? m_plans->currentData().toInt() : 0;
}

void CInvoicePlanChoice::remember() const {
    if (!RegWriteYesNo(Reg::ExecuteSO_UseDefaultIP, m_own->isChecked()) ||
        !RegWriteNumber(Reg::ExecuteSO_OverrideIP, m_plans->currentData().toInt()))
        qWarning("Unable to store the invoicing plan choice");
}
