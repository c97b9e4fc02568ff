#include "ui/billing/ratepage.h"

#include "core/db/chargeoptions.h"
#include "ui/billing/pagewidgets.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QRadioButton>

CRatePage::CRatePage(qint32 chargeId, const ChargeRow& row, QWidget* parent)
    : CPropPage(RatePage::fromRow(row).tabTitle(), parent), m_chargeId(chargeId),
      m_page(RatePage::fromRow(row)) {
    m_name = MakeLineEdit(this, "NameEdit", m_page.name);
    m_rate = MakeLineEdit(this, "RateEdit", m_page.rate);
    m_surcharge = MakeRadio(this, "Surcharge", QStringLiteral("S&urcharge"), !m_page.discount);
    m_discount = MakeRadio(this, "Discount", QStringLiteral("&Discount"), m_page.discount);
    m_round = MakeCheckBox(this, "Round",
                           QStringLiteral("&Round to nearest non-fractional currency value"),
                           m_page.round);
    auto* form = new QFormLayout(this);
    form->addRow(QStringLiteral("&Name:"), m_name);
    form->addRow(QStringLiteral("R&ate (percent):"), m_rate);
    form->addRow(m_surcharge);
    form->addRow(m_discount);
    form->addRow(m_round);
    // A tax is never a discount.
    const bool choice = m_page.type == ChargeType::Surcharge;
    m_surcharge->setVisible(choice);
    m_discount->setVisible(choice);
}

RatePage CRatePage::values() const {
    RatePage v = m_page;
    v.name = m_name->text();
    v.rate = m_rate->text();
    v.discount = m_discount->isChecked();
    v.round = m_round->isChecked();
    return v;
}

QString CRatePage::check(QWidget** focus) {
    auto field = RatePage::NameField;
    const QString message = values().validate(&field);
    *focus = field == RatePage::NameField ? m_name : m_rate;
    return message;
}

EditResult CRatePage::save(Database& db) {
    return SaveChargePage(db, m_chargeId, values());
}
