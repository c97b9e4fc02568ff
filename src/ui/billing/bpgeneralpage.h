#pragma once
#include "core/billing/planpages.h"
#include "ui/billing/propsheet.h"

class QCheckBox;
class QLineEdit;
class QSpinBox;

// Billing plan, General page: name, billing period, anniversary, minimum and its options.
class CBPGeneralPage : public CPropPage {
    Q_OBJECT
public:
    CBPGeneralPage(qint32 planId, const BPRow& row, QWidget* parent = nullptr);
    BillingPlanGeneralPage values() const;
    QString check(QWidget** focus) override;
    EditResult save(Database& db) override;

private:
    qint32 m_planId;
    QLineEdit* m_name;
    QSpinBox *m_startMonth, *m_startDay, *m_startYear;
    QSpinBox *m_endMonth, *m_endDay, *m_endYear;
    QCheckBox* m_anniversary;
    QLineEdit* m_minimum;
    QCheckBox* m_prepay;
    QCheckBox* m_skipFirst;
};
