#include "ui/billing/chargegeneralpage.h"

#include "core/db/currency.h"
#include "ui/billing/pagewidgets.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>

CChargeGeneralPage::CChargeGeneralPage(qint32 chargeId, const ChargeRow& row, QWidget* parent)
    : CPropPage(QStringLiteral("General"), parent), m_chargeId(chargeId),
      m_page(ChargeGeneralPage::fromRow(row, CurrencyDecimals())) {
    const ChargeGeneralPage& v = m_page;
    m_name = MakeLineEdit(this, "NameEdit", v.name);
    m_amount = MakeLineEdit(this, "AmountEdit", v.amount);
    m_units = MakeLineEdit(this, "UnitsEdit", v.units);
    m_unitName = MakeLineEdit(this, "UnitNameEdit", v.unitName);
    m_expiry = MakeLineEdit(this, "ExpiryEdit", v.expiryDate);
    m_firstOnly = MakeCheckBox(this, "FirstInvoiceOnly", QStringLiteral("&First invoice only"),
                               v.firstInvoiceOnly);
    m_skipFirst = MakeCheckBox(this, "SkipFirstInvoice", QStringLiteral("&Skip first invoice"),
                               v.skipFirstInvoice);
    m_credit = MakeCheckBox(this, "CreditNextInvoice", QStringLiteral("Credit in next &invoice"),
                            v.creditNextInvoice);
    m_skipLast = MakeCheckBox(this, "SkipLastInvoice", QStringLiteral("Skip &last invoice"),
                              v.skipLastInvoice);
    m_block = MakeCheckBox(this, "Block", QStringLiteral("Charge by the &block"), v.block);
    m_prepaid =
        MakeCheckBox(this, "Prepaid", QStringLiteral("&Prepaid (billing in advance)"), v.prepaid);
    m_prorate = MakeCheckBox(
        this, "Prorate", QStringLiteral("P&rorate from customer start and end dates"), v.prorate);
    m_prorate->setEnabled(v.prorateEnabled());
    m_defUnits = MakeLineEdit(this, "DefaultUnitsEdit", v.defaultUnits);
    m_defUnits->setEnabled(v.defaultUnitsEnabled());

    // Price "number" "of" "unit": so many units (hours for connect time) for the amount.
    auto* per = new QWidget(this);
    auto* h = new QHBoxLayout(per);
    h->setContentsMargins(0, 0, 0, 0);
    h->addWidget(m_amount);
    h->addWidget(new QLabel(QStringLiteral("per"), per));
    h->addWidget(m_units);
    if (v.unitsInHours())
        h->addWidget(new QLabel(QStringLiteral("hour(s) of"), per));
    else
        h->addWidget(new QLabel(QStringLiteral("of"), per));
    h->addWidget(m_unitName);

    auto* form = new QFormLayout(this);
    form->addRow(QStringLiteral("&Name:"), m_name);
    form->addRow(QStringLiteral("&Charge:"), per);
    form->addRow(QStringLiteral("&Expires:"), m_expiry);
    for (QCheckBox* box :
         {m_firstOnly, m_skipFirst, m_credit, m_skipLast, m_block, m_prepaid, m_prorate})
        form->addRow(box);
    form->addRow(QStringLiteral("Default number of units:"), m_defUnits);
}

ChargeGeneralPage CChargeGeneralPage::values() const {
    ChargeGeneralPage v = m_page;
    v.name = m_name->text();
    v.amount = m_amount->text();
    v.units = m_units->text();
    v.unitName = m_unitName->text();
    v.expiryDate = m_expiry->text();
    v.firstInvoiceOnly = m_firstOnly->isChecked();
    v.skipFirstInvoice = m_skipFirst->isChecked();
    v.creditNextInvoice = m_credit->isChecked();
    v.skipLastInvoice = m_skipLast->isChecked();
    v.block = m_block->isChecked();
    v.prepaid = m_prepaid->isChecked();
    v.prorate = m_prorate->isChecked();
    v.defaultUnits = m_defUnits->text();
    return v;
}

QString CChargeGeneralPage::check(QWidget** focus) {
    auto field = ChargeGeneralPage::NameField;
    const QString message = values().validate(&field);
    QLineEdit* edits[] = {m_name, m_amount, m_units, m_unitName, m_expiry, m_defUnits};
    *focus = edits[field];
    return message;
}

EditResult CChargeGeneralPage::save(Database& db) {
    return SaveChargePage(db, m_chargeId, values());
}
