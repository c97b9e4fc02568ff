#pragma once
#include <QDialog>

class Database;
class QComboBox;
class QRadioButton;
class CInvoicePlanChoice;

// The send dialog: carries out the send options with each invoice's own invoicing plan, or
// with another plan chosen from the templates ("None" stands for no plan). The choice is
// remembered in "ExecuteSO_UseDefaultIP" and "ExecuteSO_OverrideIP".
class CSendDlg : public QDialog {
    Q_OBJECT
public:
    CSendDlg(Database& db, QWidget* parent = nullptr);

    // The override plan chosen: 0 for each invoice's own plan.
    qint32 overridePlanId() const;
    // Shows the dialog; false on Cancel, otherwise the choice in overrideId.
    static bool choose(Database& db, QWidget* parent, qint32& overrideId);

    QComboBox* planList() const;
    QRadioButton* ownPlanButton() const;
    QRadioButton* overrideButton() const;

    void accept() override;

private:
    CInvoicePlanChoice* m_choice;
};
