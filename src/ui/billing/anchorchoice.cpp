#include "ui/billing/anchorchoice.h"

#include "core/db/chargeoptions.h"
#include "ui/billing/pagewidgets.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QGridLayout>
#include <QLineEdit>
#include <QRadioButton>

CAnchorChoice::CAnchorChoice(int anchor, const QString& otherDate, QWidget* parent)
    : QGroupBox(QStringLiteral("Starting at"), parent) {
    m_group = new QButtonGroup(this);
    auto* grid = new QGridLayout(this);
    const struct {
        const char* name;
        const char* label;
        int anchor;
    } choices[] = {
        {"AnchorPeriodStart", "Billing start date", LimitAnchor::PeriodStart},
        {"AnchorAnniversary", "Customer anniversary day", LimitAnchor::AnniversaryDay},
        {"AnchorStartDate", "Customer start date", LimitAnchor::StartDate},
        {"AnchorOtherDate", "Other date:", LimitAnchor::FixedDate},
    };
    int row = 0;
    for (const auto& c : choices) {
        QRadioButton* radio =
            MakeRadio(this, c.name, QString::fromLatin1(c.label), c.anchor == anchor);
        m_group->addButton(radio, c.anchor);
        grid->addWidget(radio, row++, 0);
    }
    m_other = MakeLineEdit(this, "OtherDateEdit", otherDate);
    grid->addWidget(m_other, row - 1, 1);
    connect(m_group, &QButtonGroup::idToggled, this, [this] { updateOther(); });
    updateOther();
}

int CAnchorChoice::anchor() const {
    return m_group->checkedId() < 0 ? int(LimitAnchor::PeriodStart) : m_group->checkedId();
}

QString CAnchorChoice::otherDate() const {
    return m_other->text();
}

void CAnchorChoice::allowChoice(bool allow) {
    if (!allow)
        m_group->button(LimitAnchor::PeriodStart)->setChecked(true);
    for (QAbstractButton* b : m_group->buttons())
        b->setEnabled(allow);
    updateOther();
}

void CAnchorChoice::updateOther() {
    m_other->setEnabled(m_group->checkedId() == LimitAnchor::FixedDate &&
                        m_group->button(LimitAnchor::FixedDate)->isEnabled());
}
