#include "ui/customers/billingpage.h"

#include "core/customers/customerpages.h"
#include "ui/customers/planchoicecombo.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QSpinBox>

CBillingPage::CBillingPage(QWidget* parent) : CUserPage(QStringLiteral("Billing"), parent) {
    m_billingPlan = new QComboBox;
    m_billingPlan->setObjectName(QStringLiteral("BillingPlanBox"));
    m_invoicePlan = new QComboBox;
    m_invoicePlan->setObjectName(QStringLiteral("InvoicePlanBox"));
    m_overrideHtml = new QCheckBox(QStringLiteral("&Override the invoicing plan's HTML setting"));
    m_overrideHtml->setObjectName(QStringLiteral("OverrideHtmlCheck"));
    m_sendHtml = new QCheckBox(QStringLiteral("Send &HTML when printing or e-mailing"));
    m_sendHtml->setObjectName(QStringLiteral("SendHtmlCheck"));
    m_anniversary = new QSpinBox;
    m_anniversary->setObjectName(QStringLiteral("AnniversarySpin"));
    m_anniversary->setRange(0, 31);
    m_gotFirst = new QCheckBox(QStringLiteral("Has received its &first invoice"));
    m_gotFirst->setObjectName(QStringLiteral("GotFirstInvoiceCheck"));
    auto* form = new QFormLayout(this);
    form->addRow(QStringLiteral("&Billing plan:"), m_billingPlan);
    form->addRow(QStringLiteral("&Invoicing plan:"), m_invoicePlan);
    form->addRow(m_overrideHtml);
    form->addRow(m_sendHtml);
    form->addRow(QStringLiteral("&Anniversary billing day ('0' means use start day):"),
                 m_anniversary);
    form->addRow(m_gotFirst);
    watch(m_billingPlan);
    watch(m_invoicePlan);
    watch(m_overrideHtml);
    watch(m_sendHtml);
    watch(m_anniversary);
    watch(m_gotFirst);
    // The customer's own HTML choice counts only while it overrides the plan's.
    connect(m_overrideHtml, &QCheckBox::toggled, m_sendHtml, &QWidget::setEnabled);
}

void CBillingPage::loadFields(Database& db, qint32 id) {
    const BillingPage page = LoadBillingPage(db, id).value_or(BillingPage{});
    FillBillingPlanCombo(m_billingPlan, db, page.billingPlan);
    FillInvoicePlanCombo(m_invoicePlan, db, page.invoicePlan);
    m_overrideHtml->setChecked(page.overrideHtml);
    m_sendHtml->setChecked(page.sendHtml);
    m_sendHtml->setEnabled(page.overrideHtml);
    m_anniversary->setValue(page.anniversaryDay);
    m_gotFirst->setChecked(page.gotFirstInvoice);
}

EditResult CBillingPage::saveFields(Database& db, qint32 id) {
    return SaveBillingPage(db, id,
                           {SelectedPlan(m_billingPlan), SelectedPlan(m_invoicePlan),
                            m_overrideHtml->isChecked(), m_sendHtml->isChecked(),
                            m_anniversary->value(), m_gotFirst->isChecked()});
}
