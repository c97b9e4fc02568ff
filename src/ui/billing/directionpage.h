#pragma once
#include "core/billing/chargepages.h"
#include "ui/billing/propsheet.h"

class QCheckBox;

// Byte-traffic charge, Direction page: bytes sent, received or both.
class CDirectionPage : public CPropPage {
    Q_OBJECT
public:
    CDirectionPage(qint32 chargeId, const ChargeRow& row, QWidget* parent = nullptr);
    DirectionPage values() const;
    QString check(QWidget** focus) override;
    EditResult save(Database& db) override;

private:
    qint32 m_chargeId;
    QCheckBox *m_sent, *m_received;
};
