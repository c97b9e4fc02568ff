#pragma once
#include "core/billing/chargepages.h"
#include "ui/billing/propsheet.h"

class QButtonGroup;
class QComboBox;
class QSpinBox;

// Online charge, Premium page: all hours, a daily range of the 24-hour clock or a day of the
// week.
class CPremiumPage : public CPropPage {
    Q_OBJECT
public:
    CPremiumPage(qint32 chargeId, const ChargeRow& row, QWidget* parent = nullptr);
    PremiumPage values() const;
    QString check(QWidget** focus) override;
    EditResult save(Database& db) override;

private:
    qint32 m_chargeId;
    QButtonGroup* m_mode;
    QSpinBox *m_fromHour, *m_fromMinute, *m_toHour, *m_toMinute;
    QComboBox* m_day;
};
