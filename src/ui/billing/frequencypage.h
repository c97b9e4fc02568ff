#pragma once
#include "core/billing/chargepages.h"
#include "ui/billing/propsheet.h"

class CAnchorChoice;
class QButtonGroup;
class QSpinBox;

// Fixed charge, Frequency page: every billing period, every N days or every N months, from
// a chosen starting point.
class CFrequencyPage : public CPropPage {
    Q_OBJECT
public:
    CFrequencyPage(qint32 chargeId, const ChargeRow& row, QWidget* parent = nullptr);
    FrequencyPage values() const;
    QString check(QWidget** focus) override;
    EditResult save(Database& db) override;

private:
    qint32 m_chargeId;
    QButtonGroup* m_frequency;
    QSpinBox* m_count;
    CAnchorChoice* m_anchor;
};
