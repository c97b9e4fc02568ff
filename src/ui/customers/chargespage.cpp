#include "ui/customers/chargespage.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QSpinBox>
#include <limits>

CChargesPage::CChargesPage(QWidget* parent) : CUserPage(QStringLiteral("Charges"), parent) {
    m_chargeBox = new QComboBox;
    m_chargeBox->setObjectName(QStringLiteral("ChargeBox"));
    m_units = new QSpinBox;
    m_units->setObjectName(QStringLiteral("UnitsSpin"));
    m_units->setRange(std::numeric_limits<int>::min(), std::numeric_limits<int>::max());
    m_unitName = new QLabel;
    m_noPlan = new QLabel(QStringLiteral("Customer has no billing plan.  Select one for the "
                                         "customer in the billing tab section of this property "
                                         "window."));
    m_noPlan->setObjectName(QStringLiteral("NoPlanLabel"));
    m_noPlan->setWordWrap(true);
    auto* units = new QHBoxLayout;
    units->addWidget(m_units);
    units->addWidget(m_unitName, 1);
    auto* form = new QFormLayout(this);
    form->addRow(QStringLiteral("C&harge:"), m_chargeBox);
    form->addRow(QStringLiteral("Number of &units:"), units);
    form->addRow(m_noPlan);
    watch(m_units);
    connect(m_chargeBox, &QComboBox::activated, this, &CChargesPage::chargeChosen);
}

void CChargesPage::loadFields(Database& db, qint32 id) {
    m_counts = LoadUnitCounts(db, id);
    m_edits.clear();
    m_shown = -1;
    m_chargeBox->clear();
    for (const UnitCount& c : m_counts)
        m_chargeBox->addItem(c.chargeName, c.chargeId);
    const bool hasPlan = LoadBillingPage(db, id).value_or(BillingPage{}).billingPlan != 0;
    m_noPlan->setVisible(!hasPlan);
    m_chargeBox->setEnabled(hasPlan);
    m_units->setEnabled(hasPlan && !m_counts.isEmpty());
    chargeChosen(m_counts.isEmpty() ? -1 : 0);
}

void CChargesPage::chargeChosen(int index) {
    if (m_shown >= 0 && isModified())
        m_edits.insert(m_counts.at(m_shown).chargeId, m_units->value());
    m_shown = index;
    // Showing a count is no edit.
    const QSignalBlocker block(m_units);
    if (index < 0) {
        m_units->setValue(0);
        m_unitName->clear();
        return;
    }
    const UnitCount& c = m_counts.at(index);
    m_chargeBox->setCurrentIndex(index);
    m_unitName->setText(c.unitName);
    m_units->setValue(m_edits.value(c.chargeId, c.units));
}

EditResult CChargesPage::saveFields(Database& db, qint32 id) {
    if (m_shown >= 0)
        m_edits.insert(m_counts.at(m_shown).chargeId, m_units->value());
    return savePending(m_edits,
                       [&](qint32 key, int value) { return SaveUnitCount(db, id, key, value); });
}
