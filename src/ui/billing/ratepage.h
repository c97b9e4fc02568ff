#pragma once
#include "core/billing/chargepages.h"
#include "ui/billing/propsheet.h"

class QCheckBox;
class QLineEdit;
class QRadioButton;

// Tax and surcharge/discount page: name, rate in percent, surcharge or discount (not for a
// tax) and rounding to whole currency units.
class CRatePage : public CPropPage {
    Q_OBJECT
public:
    CRatePage(qint32 chargeId, const ChargeRow& row, QWidget* parent = nullptr);
    RatePage values() const;
    QString check(QWidget** focus) override;
    EditResult save(Database& db) override;

private:
    qint32 m_chargeId;
    RatePage m_page;
    QLineEdit *m_name, *m_rate;
    QRadioButton *m_surcharge, *m_discount;
    QCheckBox* m_round;
};
