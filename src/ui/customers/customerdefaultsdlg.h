#pragma once
#include <QDialog>

class QComboBox;
class QLineEdit;

// "Customer Defaults": what a newly created customer receives (billing and invoicing plan,
// anniversary day, e-mail domain), kept in the settings of the machine's user. Cancel writes
// nothing.
class CCustomerDefaultsDlg : public QDialog {
    Q_OBJECT
public:
    explicit CCustomerDefaultsDlg(QWidget* parent = nullptr);

    QComboBox* billingPlanBox() const { return m_billingPlan; }
    QComboBox* invoicePlanBox() const { return m_invoicePlan; }
    QLineEdit* anniversaryEdit() const { return m_anniversary; }
    QLineEdit* domainEdit() const { return m_domain; }
    void accept() override;

private:
    QComboBox* m_billingPlan;
    QComboBox* m_invoicePlan;
    QLineEdit* m_anniversary;
    QLineEdit* m_domain;
};
