#include "ui/billing/bpgeneralpage.h"

#include "core/db/currency.h"
#include "ui/billing/pagewidgets.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>

namespace {
// Month, day and year side by side.
QWidget* dateRow(QWidget* parent, QSpinBox* month, QSpinBox* day, QSpinBox* year) {
    auto* row = new QWidget(parent);
    auto* h = new QHBoxLayout(row);
    h->setContentsMargins(0, 0, 0, 0);
    h->addWidget(new QLabel(QStringLiteral("Month"), row));
    h->addWidget(month);
    h->addWidget(new QLabel(QStringLiteral("Day"), row));
    h->addWidget(day);
    h->addWidget(new QLabel(QStringLiteral("Year"), row));
    h->addWidget(year);
    return row;
}
} // namespace

CBPGeneralPage::CBPGeneralPage(qint32 planId, const BPRow& row, QWidget* parent)
    : CPropPage(QStringLiteral("General"), parent), m_planId(planId) {
    const BillingPlanGeneralPage v = BillingPlanGeneralPage::fromRow(row, CurrencyDecimals());
    m_name = MakeLineEdit(this, "NameEdit", v.name);
    // The ranges are wide on purpose: the page's own check names a date that does not exist.
    m_startMonth = MakeSpinBox(this, "StartMonth", 1, 12, v.startMonth);
    m_startDay = MakeSpinBox(this, "StartDay", 1, 31, v.startDay);
    m_startYear = MakeSpinBox(this, "StartYear", 1900, 9999, v.startYear);
    m_endMonth = MakeSpinBox(this, "EndMonth", 1, 12, v.endMonth);
    m_endDay = MakeSpinBox(this, "EndDay", 1, 31, v.endDay);
    m_endYear = MakeSpinBox(this, "EndYear", 1900, 9999, v.endYear);
    m_anniversary = MakeCheckBox(this, "UseAnniversary",
                                 QStringLiteral("Use customer &anniversary"), v.useAnniversary);
    m_minimum = MakeLineEdit(this, "MinimumEdit", v.minimum);
    m_prepay = MakeCheckBox(this, "PrepayMinimum",
                            QStringLiteral("Prepaid (charge now, credit in following invoice)"),
                            v.prepayMinimum);
    m_skipFirst = MakeCheckBox(this, "SkipFirstInvoice", QStringLiteral("&Skip first invoice"),
                               v.skipFirstInvoice);

    auto* form = new QFormLayout(this);
    form->addRow(QStringLiteral("&Name:"), m_name);
    form->addRow(QStringLiteral("Billing period start:"),
                 dateRow(this, m_startMonth, m_startDay, m_startYear));
    form->addRow(QStringLiteral("Billing period end:"),
                 dateRow(this, m_endMonth, m_endDay, m_endYear));
    form->addRow(m_anniversary);
    form->addRow(QStringLiteral("&Minimum amount:"), m_minimum);
    form->addRow(m_prepay);
    form->addRow(m_skipFirst);
}

BillingPlanGeneralPage CBPGeneralPage::values() const {
    BillingPlanGeneralPage v;
    v.name = m_name->text();
    v.startMonth = m_startMonth->value();
    v.startDay = m_startDay->value();
    v.startYear = m_startYear->value();
    v.endMonth = m_endMonth->value();
    v.endDay = m_endDay->value();
    v.endYear = m_endYear->value();
    v.useAnniversary = m_anniversary->isChecked();
    v.minimum = m_minimum->text();
    v.prepayMinimum = m_prepay->isChecked();
    v.skipFirstInvoice = m_skipFirst->isChecked();
    return v;
}

QString CBPGeneralPage::check(QWidget** focus) {
    auto field = BillingPlanGeneralPage::NameField;
    const QString message = values().validate(&field);
    switch (field) {
    case BillingPlanGeneralPage::NameField:
        *focus = m_name;
        break;
    case BillingPlanGeneralPage::StartField:
        *focus = m_startMonth;
        break;
    case BillingPlanGeneralPage::EndField:
        *focus = m_endMonth;
        break;
    case BillingPlanGeneralPage::MinimumField:
        *focus = m_minimum;
        break;
    }
    return message;
}

EditResult CBPGeneralPage::save(Database& db) {
    return values().save(db, m_planId);
}
