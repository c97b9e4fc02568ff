#include "ui/import/createfromaccountsdlg.h"

#include "core/app/dbsession.h"
#include "core/app/userinterface.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

CCreateFromAccountsDlg::CCreateFromAccountsDlg(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("CreateFromAccountsDlg"));
    setWindowTitle(QStringLiteral("Create Customer Records"));
    const AccountScanChoice stored = AccountScanChoice::read();
    auto* layout = new QVBoxLayout(this);
    auto* label = new QLabel(QStringLiteral("\\\\&Servername (leave blank for local):"));
    m_serverEdit = new QLineEdit(stored.server);
    m_serverEdit->setObjectName(QStringLiteral("ServerEdit"));
    label->setBuddy(m_serverEdit);
    m_local = new QCheckBox(QStringLiteral("&Local users"));
    m_local->setObjectName(QStringLiteral("LocalCheck"));
    m_local->setChecked(stored.local);
    m_global = new QCheckBox(QStringLiteral("&Global users"));
    m_global->setObjectName(QStringLiteral("GlobalCheck"));
    m_global->setChecked(stored.global);
    auto* explanation = new QLabel(QStringLiteral(
        "This will scan the system user database for customers who have no current record in "
        "the Tollkeeper database.  It will initialize new records for each new customer using "
        "the customer default settings."));
    explanation->setWordWrap(true);
    auto* question = new QLabel(QStringLiteral("Do you wish to create new customer records now?"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Yes | QDialogButtonBox::No);
    connect(buttons->button(QDialogButtonBox::Yes), &QPushButton::clicked, this, &QDialog::accept);
    connect(buttons->button(QDialogButtonBox::No), &QPushButton::clicked, this, &QDialog::reject);
    for (QWidget* w : {static_cast<QWidget*>(label), static_cast<QWidget*>(m_serverEdit),
                       static_cast<QWidget*>(m_local), static_cast<QWidget*>(m_global),
                       static_cast<QWidget*>(explanation), static_cast<QWidget*>(question),
                       static_cast<QWidget*>(buttons)})
        layout->addWidget(w);
}

AccountScanChoice CCreateFromAccountsDlg::choice() const {
    AccountScanChoice c;
    c.server = m_serverEdit->text().trimmed();
    c.local = m_local->isChecked();
    c.global = m_global->isChecked();
    return c;
}

void CCreateFromAccountsDlg::accept() {
    const AccountScanChoice c = choice();
    if (!c.local && !c.global) {
        ui().showMessage(c.problem(), MessageIcon::Exclamation);
        return;
    }
    // The choice is kept once a kind is chosen, even when the server is then refused.
    if (!c.write())
        ui().showMessage(QStringLiteral("The choice could not be stored in the settings."),
                         MessageIcon::Exclamation);
    const QString problem = c.problem();
    if (!problem.isEmpty()) {
        ui().showMessage(problem, MessageIcon::Exclamation);
        m_serverEdit->setFocus();
        return;
    }
    QDialog::accept();
}

void RunCreateFromAccounts(QWidget* parent) {
    Database* db = theDatabase();
    if (!db) {
        ui().showMessage(QStringLiteral("No database is open."), MessageIcon::Exclamation);
        return;
    }
    CCreateFromAccountsDlg dlg(parent);
    if (dlg.exec() != QDialog::Accepted)
        return;
    AccountSources sources;
    sources.local = dlg.choice().local;
    sources.global = dlg.choice().global;
    (void)CreateCustomersFromAccounts(*db, sources); // the outcome was shown and logged
}
