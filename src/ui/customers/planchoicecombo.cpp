#include "ui/customers/planchoicecombo.h"

#include "core/customers/customerpages.h"

#include <QComboBox>

namespace {
void fill(QComboBox* box, const QList<PlanChoice>& plans, qint32 selected) {
    box->clear();
    box->addItem(QStringLiteral("None"), 0);
    for (const PlanChoice& p : plans)
        box->addItem(p.name, p.id);
    SelectPlan(box, selected);
}
} // namespace

void FillBillingPlanCombo(QComboBox* box, Database& db, qint32 selected) {
    fill(box, BillingPlanChoices(db), selected);
}

void FillInvoicePlanCombo(QComboBox* box, Database& db, qint32 selected) {
    fill(box, InvoicePlanChoices(db), selected);
}

void SelectPlan(QComboBox* box, qint32 id) {
    box->setCurrentIndex(qMax(0, box->findData(id)));
}

qint32 SelectedPlan(const QComboBox* box) {
    return box->currentData().toInt();
}
