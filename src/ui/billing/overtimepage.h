#pragma once
#include "core/billing/chargepages.h"
#include "ui/billing/propsheet.h"

class CAnchorChoice;
class QButtonGroup;
class QCheckBox;
class QSpinBox;

// Online charge, Overtime page: the band of accumulated time inside which time is charged,
// the window it accumulates over and whether only premium hours count.
class COvertimePage : public CPropPage {
    Q_OBJECT
public:
    COvertimePage(qint32 chargeId, const ChargeRow& row, QWidget* parent = nullptr);
    OvertimePage values() const;
    QString check(QWidget** focus) override;
    EditResult save(Database& db) override;

private:
    qint32 m_chargeId;
    QCheckBox *m_startSet, *m_stopSet, *m_premiumOnly;
    QSpinBox *m_startHours, *m_startMinutes, *m_stopHours, *m_stopMinutes, *m_count;
    QButtonGroup* m_window;
    CAnchorChoice* m_anchor;
};
