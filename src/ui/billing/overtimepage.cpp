#include "ui/billing/overtimepage.h"

#include "core/db/chargeoptions.h"
#include "ui/billing/anchorchoice.h"
#include "ui/billing/pagewidgets.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSpinBox>

COvertimePage::COvertimePage(qint32 chargeId, const ChargeRow& row, QWidget* parent)
    : CPropPage(QStringLiteral("Overtime"), parent), m_chargeId(chargeId) {
    const OvertimePage v = OvertimePage::fromRow(row);
    m_startSet = MakeCheckBox(this, "StartSet", QStringLiteral("Start charging after"), v.startSet);
    m_startHours = MakeSpinBox(this, "StartHours", 0, 596523, v.startHours);
    m_startMinutes = MakeSpinBox(this, "StartMinutes", 0, 59, v.startMinutes);
    m_stopSet = MakeCheckBox(this, "StopSet", QStringLiteral("Stop charging after"), v.stopSet);
    m_stopHours = MakeSpinBox(this, "StopHours", 0, 596523, v.stopHours);
    m_stopMinutes = MakeSpinBox(this, "StopMinutes", 0, 59, v.stopMinutes);
    m_window = new QButtonGroup(this);
    const struct {
        const char* name;
        const char* label;
        int window;
    } windows[] = {
        {"WindowPeriod", "Accumulate over the billing period", LimitWindow::BillingPeriod},
        {"WindowDays", "Accumulate over N days", LimitWindow::EveryNDays},
        {"WindowMonths", "Accumulate over N months", LimitWindow::EveryNMonths},
        {"WindowForever", "Accumulate forever", LimitWindow::Forever},
    };
    for (const auto& w : windows)
        m_window->addButton(
            MakeRadio(this, w.name, QString::fromLatin1(w.label), w.window == v.window), w.window);
    m_count = MakeSpinBox(this, "CountSpin", 0, 9999, v.count);
    m_anchor = new CAnchorChoice(v.anchor, v.otherDate, this);
    m_premiumOnly = MakeCheckBox(this, "PremiumOnly",
                                 QStringLiteral("&Applies only to Premium hours"), v.premiumOnly);

    auto* grid = new QGridLayout(this);
    const auto timeRow = [&](int line, QCheckBox* set, QSpinBox* hours, QSpinBox* minutes) {
        grid->addWidget(set, line, 0);
        grid->addWidget(hours, line, 1);
        grid->addWidget(new QLabel(QStringLiteral("hours"), this), line, 2);
        grid->addWidget(minutes, line, 3);
        grid->addWidget(new QLabel(QStringLiteral("minutes"), this), line, 4);
    };
    timeRow(0, m_startSet, m_startHours, m_startMinutes);
    timeRow(1, m_stopSet, m_stopHours, m_stopMinutes);
    int line = 2;
    for (QAbstractButton* b : m_window->buttons())
        grid->addWidget(b, line++, 0, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("N:"), this), 3, 2);
    grid->addWidget(m_count, 3, 3);
    grid->addWidget(m_anchor, line++, 0, 1, 5);
    grid->addWidget(m_premiumOnly, line, 0, 1, 5);

    const auto update = [this] {
        m_startHours->setEnabled(m_startSet->isChecked());
        m_startMinutes->setEnabled(m_startSet->isChecked());
        m_stopHours->setEnabled(m_stopSet->isChecked());
        m_stopMinutes->setEnabled(m_stopSet->isChecked());
        const int window = m_window->checkedId();
        m_count->setEnabled(window == LimitWindow::EveryNDays ||
                            window == LimitWindow::EveryNMonths);
        // A window that is not the billing period runs from a starting point of its own.
        m_anchor->allowChoice(window != LimitWindow::BillingPeriod);
    };
    connect(m_startSet, &QCheckBox::toggled, this, update);
    connect(m_stopSet, &QCheckBox::toggled, this, update);
    connect(m_window, &QButtonGroup::idToggled, this, update);
    update();
}

OvertimePage COvertimePage::values() const {
    OvertimePage v;
    v.startSet = m_startSet->isChecked();
    v.startHours = m_startHours->value();
    v.startMinutes = m_startMinutes->value();
    v.stopSet = m_stopSet->isChecked();
    v.stopHours = m_stopHours->value();
    v.stopMinutes = m_stopMinutes->value();
    v.window = m_window->checkedId() < 0 ? 0 : m_window->checkedId();
    v.count = m_count->value();
    v.anchor = m_anchor->anchor();
    v.otherDate = m_anchor->otherDate();
    v.premiumOnly = m_premiumOnly->isChecked();
    return v;
}

QString COvertimePage::check(QWidget** focus) {
    auto field = OvertimePage::StartField;
    const QString message = values().validate(&field);
    switch (field) {
    case OvertimePage::StartField:
        *focus = m_startHours;
        break;
    case OvertimePage::StopField:
        *focus = m_stopHours;
        break;
    case OvertimePage::CountField:
        *focus = m_count;
        break;
    case OvertimePage::OtherDateField:
        *focus = m_anchor->otherDateEdit();
        break;
    }
    return message;
}

EditResult COvertimePage::save(Database& db) {
    return SaveChargePage(db, m_chargeId, values());
}
