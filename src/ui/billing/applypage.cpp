#include "ui/billing/applypage.h"

#include <QLabel>
#include <QListWidget>
#include <QVBoxLayout>

CApplyPage::CApplyPage(Owner owner, qint32 id, const ApplyPage& page, QWidget* parent)
    : CPropPage(QStringLiteral("Apply"), parent), m_owner(owner), m_id(id), m_page(page) {
    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("ApplyList"));
    for (const AppliedChoice& choice : m_page.choices) {
        auto* item = new QListWidgetItem(choice.name, m_list);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable | Qt::ItemIsSelectable);
        item->setCheckState(choice.checked ? Qt::Checked : Qt::Unchecked);
        item->setData(Qt::UserRole, choice.chargeId);
    }
    auto* label = new QLabel(QStringLiteral("&Apply tax/surcharge/discount:"), this);
    label->setBuddy(m_list);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(m_list);
}

ApplyPage CApplyPage::values() const {
    ApplyPage v = m_page;
    for (int row = 0; row < m_list->count(); ++row) {
        const QListWidgetItem* item = m_list->item(row);
        // Every item came from the page, so each is found.
        (void)v.setChecked(item->data(Qt::UserRole).toInt(), item->checkState() == Qt::Checked);
    }
    return v;
}

QString CApplyPage::check(QWidget**) {
    return {};
}

EditResult CApplyPage::save(Database& db) {
    const ApplyPage v = values();
    return m_owner == Plan ? v.saveForPlan(db, m_id) : v.saveForCharge(db, m_id);
}
