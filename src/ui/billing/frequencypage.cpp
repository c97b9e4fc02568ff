#include "ui/billing/frequencypage.h"

#include "ui/billing/anchorchoice.h"
#include "ui/billing/pagewidgets.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QLineEdit>
#include <QRadioButton>
#include <QSpinBox>

CFrequencyPage::CFrequencyPage(qint32 chargeId, const ChargeRow& row, QWidget* parent)
    : CPropPage(QStringLiteral("Frequency"), parent), m_chargeId(chargeId) {
    const FrequencyPage v = FrequencyPage::fromRow(row);
    m_frequency = new QButtonGroup(this);
    m_frequency->addButton(MakeRadio(this, "EveryPeriod", QStringLiteral("Billing &period"),
                                     v.frequency == FrequencyPage::BillingPeriod),
                           FrequencyPage::BillingPeriod);
    m_frequency->addButton(MakeRadio(this, "EveryNDays", QStringLiteral("Every N &days"),
                                     v.frequency == FrequencyPage::EveryNDays),
                           FrequencyPage::EveryNDays);
    m_frequency->addButton(MakeRadio(this, "EveryNMonths", QStringLiteral("Every N &months"),
                                     v.frequency == FrequencyPage::EveryNMonths),
                           FrequencyPage::EveryNMonths);
    m_count = MakeSpinBox(this, "CountSpin", 0, 9999, v.count);
    m_anchor = new CAnchorChoice(v.anchor, v.otherDate, this);

    auto* grid = new QGridLayout(this);
    int line = 0;
    for (QAbstractButton* b : m_frequency->buttons())
        grid->addWidget(b, line++, 0);
    grid->addWidget(m_count, 1, 1, 2, 1);
    grid->addWidget(m_anchor, line, 0, 1, 2);
    // Once per billing period always starts with the period.
    const auto update = [this] {
        const bool periodic = m_frequency->checkedId() != FrequencyPage::BillingPeriod;
        m_count->setEnabled(periodic);
        m_anchor->allowChoice(periodic);
    };
    connect(m_frequency, &QButtonGroup::idToggled, this, update);
    update();
}

FrequencyPage CFrequencyPage::values() const {
    FrequencyPage v;
    v.frequency = m_frequency->checkedId() < 0 ? 0 : m_frequency->checkedId();
    v.count = m_count->value();
    v.anchor = m_anchor->anchor();
    v.otherDate = m_anchor->otherDate();
    return v;
}

QString CFrequencyPage::check(QWidget** focus) {
    auto field = FrequencyPage::CountField;
    const QString message = values().validate(&field);
    *focus = field == FrequencyPage::CountField ? static_cast<QWidget*>(m_count)
                                                : m_anchor->otherDateEdit();
    return message;
}

EditResult CFrequencyPage::save(Database& db) {
    return SaveChargePage(db, m_chargeId, values());
}
