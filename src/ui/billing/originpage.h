#pragma once
#include "core/billing/chargepages.h"
#include "ui/billing/propsheet.h"

class QCheckBox;
class QComboBox;
class QLineEdit;

// Online and byte-traffic charge, Origin page: only sessions of one port and/or one server.
class COriginPage : public CPropPage {
    Q_OBJECT
public:
    // `servers` is the register of servers to choose from.
    COriginPage(qint32 chargeId, const ChargeRow& row, const QList<ServerChoice>& servers,
                QWidget* parent = nullptr);
    OriginPage values() const;
    QString check(QWidget** focus) override;
    EditResult save(Database& db) override;

private:
    qint32 m_chargeId;
    QCheckBox *m_portSet, *m_serverSet;
    QLineEdit* m_port;
    QComboBox* m_server;
};
