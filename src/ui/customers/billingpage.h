#pragma once
#include "ui/customers/userpage.h"

class QCheckBox;
class QComboBox;
class QSpinBox;

// "Billing": the customer's billing and invoicing plans, its own choice of HTML invoices, the
// anniversary billing day and whether it has had its first invoice.
class CBillingPage : public CUserPage {
    Q_OBJECT
public:
    explicit CBillingPage(QWidget* parent = nullptr);

protected:
    void loadFields(Database& db, qint32 id) override;
    EditResult saveFields(Database& db, qint32 id) override;

private:
    QComboBox* m_billingPlan;
    QComboBox* m_invoicePlan;
    QCheckBox* m_overrideHtml;
    QCheckBox* m_sendHtml;
    QSpinBox* m_anniversary;
    QCheckBox* m_gotFirst;
};
