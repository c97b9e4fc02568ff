#pragma once
#include <QDialog>

class QButtonGroup;
class QLineEdit;

// "Create Billing Plan", "Create Invoicing Plan" and "Create New Charge": a name (and for a
// charge its kind). OK creates the template with its defaults; a refused name or a database
// failure is shown and the dialog stays open with the focus on the name.
class CNewItemDlg : public QDialog {
    Q_OBJECT
public:
    enum Kind { BillingPlan, InvoicingPlan, Charge };
    explicit CNewItemDlg(Kind kind, QWidget* parent = nullptr);

    // The Id of the row created (after OK).
    qint32 createdId() const { return m_id; }
    // Charges.Type of the kind chosen (charges only).
    qint32 chargeType() const;

    void accept() override;

private:
    Kind m_kind;
    QLineEdit* m_name;
    QButtonGroup* m_type = nullptr;
    qint32 m_id = 0;
};
