#include "ui/customers/customerdefaultsdlg.h"

#include "core/app/appcontext.h"
#include "core/app/dbsession.h"
#include "core/app/userinterface.h"
#include "core/customers/appoptions.h"
#include "core/db/dbexception.h"
#include "ui/customers/planchoicecombo.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>

CCustomerDefaultsDlg::CCustomerDefaultsDlg(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("CustomerDefaultsDlg"));
    setWindowTitle(QStringLiteral("Customer Defaults"));
    m_billingPlan = new QComboBox;
    m_billingPlan->setObjectName(QStringLiteral("BillingPlanBox"));
    m_invoicePlan = new QComboBox;
    m_invoicePlan->setObjectName(QStringLiteral("InvoicePlanBox"));
    m_anniversary = new QLineEdit;
    m_anniversary->setObjectName(QStringLiteral("AnniversaryEdit"));
    m_domain = new QLineEdit;
    m_domain->setObjectName(QStringLiteral("EmailDomainEdit"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* form = new QFormLayout(this);
    form->addRow(QStringLiteral("&Billing plan:"), m_billingPlan);
    form->addRow(QStringLiteral("&Invoicing plan:"), m_invoicePlan);
    form->addRow(QStringLiteral("Anniversary day ('0' means use &start day):"), m_anniversary);
    form->addRow(QStringLiteral("&E-mail domain:"), m_domain);
    form->addRow(buttons);

    const CustomerDefaults d = CustomerDefaults::read();
    m_anniversary->setText(QString::number(d.anniversaryDay));
    m_domain->setText(d.emailDomain);
    try {
        if (Database* db = theDatabase()) {
            FillBillingPlanCombo(m_billingPlan, *db, d.billingPlan);
            FillInvoicePlanCombo(m_invoicePlan, *db, d.invoicePlan);
        }
    } catch (const DbException& e) {
        ui().showMessage(QStringLiteral("The plans could not be read: %1").arg(e.message()),
                         MessageIcon::Exclamation);
    }
}

void CCustomerDefaultsDlg::accept() {
    bool ok = false;
    const int day = m_anniversary->text().trimmed().toInt(&ok);
    if (!ok || day < 0 || day > 31) {
        ui().showMessage(QStringLiteral("Please enter an integer between 0 and 31."),
                         MessageIcon::Exclamation);
        m_anniversary->setFocus();
        m_anniversary->selectAll();
        return;
    }
    CustomerDefaults d;
    d.billingPlan = SelectedPlan(m_billingPlan);
    d.invoicePlan = SelectedPlan(m_invoicePlan);
    d.anniversaryDay = day;
    d.emailDomain = m_domain->text().trimmed();
    const EditResult r = d.write();
    if (!r.ok()) {
        ui().showMessage(r.text(), MessageIcon::Exclamation);
        return;
    }
    QDialog::accept();
}
