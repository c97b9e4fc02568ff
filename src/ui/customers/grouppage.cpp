#include "ui/customers/grouppage.h"

#include "core/customers/customerpages.h"
#include "ui/customers/planchoicecombo.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>

CGroupPage::CGroupPage(QWidget* parent) : CUserPage(QStringLiteral("Group"), parent) {
    m_overrideBp = new QCheckBox(QStringLiteral("Override members' &billing plans with:"));
    m_overrideBp->setObjectName(QStringLiteral("OverrideBillingPlanCheck"));
    m_bp = new QComboBox;
    m_bp->setObjectName(QStringLiteral("OverrideBillingPlanBox"));
    m_overrideIp = new QCheckBox(QStringLiteral("Override members' &invoicing plans with:"));
    m_overrideIp->setObjectName(QStringLiteral("OverrideInvoicePlanCheck"));
    m_ip = new QComboBox;
    m_ip->setObjectName(QStringLiteral("OverrideInvoicePlanBox"));
    m_summary = new QCheckBox(QStringLiteral("Generate a &summary invoice"));
    m_summary->setObjectName(QStringLiteral("SummaryCheck"));
    m_sendToMembers = new QCheckBox(QStringLiteral("Send the summary to the &members"));
    m_sendToMembers->setObjectName(QStringLiteral("SendSummaryCheck"));
    auto* form = new QFormLayout(this);
    form->addRow(m_overrideBp, m_bp);
    form->addRow(m_overrideIp, m_ip);
    form->addRow(m_summary);
    form->addRow(m_sendToMembers);
    for (QCheckBox* box : {m_overrideBp, m_overrideIp, m_summary, m_sendToMembers})
        watch(box);
    watch(m_bp);
    watch(m_ip);
    // Clearing an override leaves no override plan.
    const auto follow = [](QCheckBox* check, QComboBox* plan) {
        QObject::connect(check, &QCheckBox::toggled, plan, [plan](bool on) {
            plan->setEnabled(on);
            if (!on)
                SelectPlan(plan, 0);
        });
    };
    follow(m_overrideBp, m_bp);
    follow(m_overrideIp, m_ip);
}

void CGroupPage::loadFields(Database& db, qint32 id) {
    const GroupPage page = LoadGroupPage(db, id).value_or(GroupPage{});
    FillBillingPlanCombo(m_bp, db, page.billingPlan);
    FillInvoicePlanCombo(m_ip, db, page.invoicePlan);
    m_overrideBp->setChecked(page.overrideBillingPlan);
    m_overrideIp->setChecked(page.overrideInvoicePlan);
    m_bp->setEnabled(page.overrideBillingPlan);
    m_ip->setEnabled(page.overrideInvoicePlan);
    m_summary->setChecked(page.summaryInvoice);
    m_sendToMembers->setChecked(page.sendSummaryToMembers);
}

EditResult CGroupPage::saveFields(Database& db, qint32 id) {
    return SaveGroupPage(db, id,
                         {m_overrideBp->isChecked(), SelectedPlan(m_bp), m_overrideIp->isChecked(),
                          SelectedPlan(m_ip), m_summary->isChecked(),
                          m_sendToMembers->isChecked()});
}
