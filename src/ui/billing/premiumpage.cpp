#include "ui/billing/premiumpage.h"

#include "ui/billing/pagewidgets.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QRadioButton>
#include <QSpinBox>

CPremiumPage::CPremiumPage(qint32 chargeId, const ChargeRow& row, QWidget* parent)
    : CPropPage(QStringLiteral("Premium"), parent), m_chargeId(chargeId) {
    const PremiumPage v = PremiumPage::fromRow(row);
    m_mode = new QButtonGroup(this);
    QRadioButton* all =
        MakeRadio(this, "AllHours", QStringLiteral("&All hours"), v.mode == PremiumPage::AllHours);
    QRadioButton* daily =
        MakeRadio(this, "DailyRange", QStringLiteral("&Daily from"), v.mode == PremiumPage::Daily);
    QRadioButton* weekly = MakeRadio(this, "DayOfWeek", QStringLiteral("Day of the &week"),
                                     v.mode == PremiumPage::Weekly);
    m_mode->addButton(all, PremiumPage::AllHours);
    m_mode->addButton(daily, PremiumPage::Daily);
    m_mode->addButton(weekly, PremiumPage::Weekly);
    m_fromHour = MakeSpinBox(this, "FromHour", 0, 23, v.fromHour);
    m_fromMinute = MakeSpinBox(this, "FromMinute", 0, 59, v.fromMinute);
    m_toHour = MakeSpinBox(this, "ToHour", 0, 23, v.toHour);
    m_toMinute = MakeSpinBox(this, "ToMinute", 0, 59, v.toMinute);
    m_day = new QComboBox(this);
    m_day->setObjectName(QStringLiteral("DayCombo"));
    m_day->addItems(PremiumPage::dayChoices());
    m_day->setCurrentIndex(v.day);

    auto* grid = new QGridLayout(this);
    grid->addWidget(all, 0, 0);
    grid->addWidget(daily, 1, 0);
    grid->addWidget(m_fromHour, 1, 1);
    grid->addWidget(new QLabel(QStringLiteral(":"), this), 1, 2);
    grid->addWidget(m_fromMinute, 1, 3);
    grid->addWidget(new QLabel(QStringLiteral("to"), this), 1, 4);
    grid->addWidget(m_toHour, 1, 5);
    grid->addWidget(new QLabel(QStringLiteral(":"), this), 1, 6);
    grid->addWidget(m_toMinute, 1, 7);
    grid->addWidget(weekly, 2, 0);
    grid->addWidget(m_day, 2, 1, 1, 7);
    // Choices this release does not rate, shown as they were offered but never chosen.
    int line = 3;
    for (const char* label : {"&Month", "Day of m&onth", "S&pecific date"}) {
        QRadioButton* off = MakeRadio(this, "Unavailable", QString::fromLatin1(label), false);
        off->setEnabled(false);
        grid->addWidget(off, line++, 0);
    }
    const auto update = [this] {
        const int mode = m_mode->checkedId();
        for (QSpinBox* s : {m_fromHour, m_fromMinute, m_toHour, m_toMinute})
            s->setEnabled(mode == PremiumPage::Daily);
        m_day->setEnabled(mode == PremiumPage::Weekly);
    };
    connect(m_mode, &QButtonGroup::idToggled, this, update);
    update();
}

PremiumPage CPremiumPage::values() const {
    PremiumPage v;
    v.mode = m_mode->checkedId() < 0 ? 0 : m_mode->checkedId();
    v.fromHour = m_fromHour->value();
    v.fromMinute = m_fromMinute->value();
    v.toHour = m_toHour->value();
    v.toMinute = m_toMinute->value();
    v.day = m_day->currentIndex();
    return v;
}

QString CPremiumPage::check(QWidget** focus) {
    auto field = PremiumPage::FromField;
    const QString message = values().validate(&field);
    *focus = field == PremiumPage::FromField ? m_fromHour : m_toHour;
    return message;
}

EditResult CPremiumPage::save(Database& db) {
    return SaveChargePage(db, m_chargeId, values());
}
