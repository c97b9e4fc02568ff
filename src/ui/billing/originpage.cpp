#include "ui/billing/originpage.h"

#include "core/app/userinterface.h"
#include "ui/billing/pagewidgets.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QLineEdit>

COriginPage::COriginPage(qint32 chargeId, const ChargeRow& row, const QList<ServerChoice>& servers,
                         QWidget* parent)
    : CPropPage(QStringLiteral("Origin"), parent), m_chargeId(chargeId) {
    const OriginPage v = OriginPage::fromRow(row);
    m_portSet = MakeCheckBox(this, "PortSet", QStringLiteral("&Port:"), v.portSet);
    m_port = MakeLineEdit(this, "PortEdit", v.port);
    m_serverSet = MakeCheckBox(this, "ServerSet", QStringLiteral("&Server:"), v.serverSet);
    m_server = new QComboBox(this);
    m_server->setObjectName(QStringLiteral("ServerCombo"));
    for (const ServerChoice& s : servers)
        m_server->addItem(s.name, s.id);
    m_server->setCurrentIndex(m_server->findData(v.serverId));
    // A server taken out of the register since: said once, and the choice is left empty.
    if (const QString problem = v.serverProblem(servers); !problem.isEmpty())
        ui().showMessage(problem, MessageIcon::Exclamation);

    auto* grid = new QGridLayout(this);
    grid->addWidget(m_portSet, 0, 0);
    grid->addWidget(m_port, 0, 1);
    grid->addWidget(m_serverSet, 1, 0);
    grid->addWidget(m_server, 1, 1);
    grid->setRowStretch(2, 1);
    const auto update = [this] {
        m_port->setEnabled(m_portSet->isChecked());
        m_server->setEnabled(m_serverSet->isChecked());
    };
    connect(m_portSet, &QCheckBox::toggled, this, update);
    connect(m_serverSet, &QCheckBox::toggled, this, update);
    update();
}

OriginPage COriginPage::values() const {
    OriginPage v;
    v.portSet = m_portSet->isChecked();
    v.port = m_port->text();
    v.serverSet = m_serverSet->isChecked();
    v.serverId = m_server->currentIndex() < 0 ? 0 : m_server->currentData().toInt();
    return v;
}

QString COriginPage::check(QWidget** focus) {
    auto field = OriginPage::PortField;
    const QString message = values().validate(&field);
    *focus = field == OriginPage::PortField ? static_cast<QWidget*>(m_port) : m_server;
    return message;
}

EditResult COriginPage::save(Database& db) {
    return SaveChargePage(db, m_chargeId, values());
}
