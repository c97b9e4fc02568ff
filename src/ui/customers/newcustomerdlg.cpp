#include "ui/customers/newcustomerdlg.h"

#include "core/app/appcontext.h"
#include "core/app/dbsession.h"
#include "core/app/userinterface.h"
#include "core/customers/customercreate.h"
#include "core/customers/customernames.h"

#include <QDate>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>

CNewCustomerDlg::CNewCustomerDlg(bool group, QWidget* parent) : QDialog(parent), m_group(group) {
    setObjectName(QStringLiteral("NewCustomerDlg"));
    setWindowTitle(group ? QStringLiteral("Create New Group")
                         : QStringLiteral("Create New Customer"));
    m_name = new QLineEdit;
    m_name->setObjectName(QStringLiteral("LogonNameEdit"));
    m_name->setMaxLength(kMaxCustomerNameLength);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* form = new QFormLayout(this);
    form->addRow(QStringLiteral("&Logon name:"), m_name);
    form->addRow(buttons);
}

void CNewCustomerDlg::accept() {
    Database* db = theDatabase();
    if (!db) {
        ui().showMessage(QStringLiteral("No database is open."), MessageIcon::Exclamation);
        reject();
        return;
    }
    const QString name = m_name->text().trimmed();
    if (name.isEmpty()) {
        ui().showMessage(QStringLiteral("Please enter a logon name."), MessageIcon::Exclamation);
        m_name->setFocus();
        return;
    }
    const EditResult r = CreateCustomer(*db, name, m_group, CustomerDefaults::read(),
                                        QDate::currentDate(), &m_newId);
    if (r.ok()) {
        QDialog::accept();
        return;
    }
    ui().showMessage(r.text(), MessageIcon::Exclamation);
    if (!r.detail.isEmpty()) {
        reject(); // the database refused: nothing was created
        return;
    }
    m_name->setFocus();
    m_name->selectAll();
}
