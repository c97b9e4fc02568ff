#pragma once
#include "core/billing/chargepages.h"
#include "ui/billing/propsheet.h"

class QCheckBox;
class QLineEdit;

// Charge, General page (fixed, online and byte-traffic charges): name, price and units
// (hours for connect time), expiry and the billing options.
class CChargeGeneralPage : public CPropPage {
    Q_OBJECT
public:
    CChargeGeneralPage(qint32 chargeId, const ChargeRow& row, QWidget* parent = nullptr);
    ChargeGeneralPage values() const;
    QString check(QWidget** focus) override;
    EditResult save(Database& db) override;

private:
    qint32 m_chargeId;
    ChargeGeneralPage m_page;
    QLineEdit *m_name, *m_amount, *m_units, *m_unitName, *m_expiry, *m_defUnits;
    QCheckBox *m_firstOnly, *m_skipFirst, *m_credit, *m_skipLast, *m_block, *m_prepaid, *m_prorate;
};
