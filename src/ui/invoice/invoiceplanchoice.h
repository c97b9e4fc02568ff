#pragma once
#include <QWidget>

class Database;
class QComboBox;
class QRadioButton;

// The choice of the invoicing plan whose send options are carried out: each invoice's own
// plan, or another plan from the templates ("None" stands for no plan). It starts on the
// choice remembered in "ExecuteSO_UseDefaultIP" and "ExecuteSO_OverrideIP"; remember() keeps
// the current one. Shared by the send dialog and "Send Group Invoices".
class CInvoicePlanChoice : public QWidget {
    Q_OBJECT
public:
    explicit CInvoicePlanChoice(Database& db, QWidget* parent = nullptr);

    // The override plan chosen: 0 for each invoice's own plan.
    qint32 overridePlanId() const;
    void remember() const;

    QComboBox* planList() const { return m_plans; }
    QRadioButton* ownPlanButton() const { return m_own; }
    QRadioButton* overrideButton() const { return m_other; }

private:
    QRadioButton* m_own;
    QRadioButton* m_other;
    QComboBox* m_plans;
};
