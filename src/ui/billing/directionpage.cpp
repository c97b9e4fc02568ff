#include "ui/billing/directionpage.h"

#include "ui/billing/pagewidgets.h"

#include <QCheckBox>
#include <QVBoxLayout>

CDirectionPage::CDirectionPage(qint32 chargeId, const ChargeRow& row, QWidget* parent)
    : CPropPage(QStringLiteral("Direction"), parent), m_chargeId(chargeId) {
    const DirectionPage v = DirectionPage::fromRow(row);
    m_sent = MakeCheckBox(this, "Sent", QStringLiteral("&Sent"), v.sent);
    m_received = MakeCheckBox(this, "Received", QStringLiteral("&Received"), v.received);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_sent);
    layout->addWidget(m_received);
    layout->addStretch();
}

DirectionPage CDirectionPage::values() const {
    DirectionPage v;
    v.sent = m_sent->isChecked();
    v.received = m_received->isChecked();
    return v;
}

QString CDirectionPage::check(QWidget** focus) {
    *focus = m_sent;
    return values().validate();
}

EditResult CDirectionPage::save(Database& db) {
    return SaveChargePage(db, m_chargeId, values());
}
