#pragma once
#include "core/billing/planassign.h"

#include <QDialog>

class QListWidget;

// "Billing Plan Charges": the charges not in a billing plan and the plan's charges in
// priority order, with add, remove, up and down. OK stores the order; a failure is shown and
// the dialog stays open.
class CBPChargesDlg : public QDialog {
    Q_OBJECT
public:
    CBPChargesDlg(const PlanChargeAssignment& assignment, QWidget* parent = nullptr);
    const PlanChargeAssignment& assignment() const { return m_assign; }

    void addSelected();
    void removeSelected();
    void moveUp();
    void moveDown();
    void accept() override;

private:
    // Fills both lists, selecting the charge `current` where it now is.
    void fill(qint32 current);
    qint32 selectedId(QListWidget* list) const;

    PlanChargeAssignment m_assign;
    QListWidget* m_available;
    QListWidget* m_assigned;
};
