#include "ui/customers/optionsdlg.h"

#include "core/app/appcontext.h"
#include "core/app/dbsession.h"
#include "core/app/userinterface.h"
#include "core/customers/appoptions.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

COptionsDlg::COptionsDlg(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("OptionsDlg"));
    setWindowTitle(QStringLiteral("Options"));
    m_company = new QLineEdit;
    m_company->setObjectName(QStringLiteral("CompanyEdit"));
    m_company->setMaxLength(kMaxCompanyNameLength);
    m_logo = new QLineEdit;
    m_logo->setObjectName(QStringLiteral("LogoEdit"));
    m_logo->setMaxLength(kMaxLogoPathLength);
    auto* browse = new QPushButton(QStringLiteral("..."));
    browse->setObjectName(QStringLiteral("BrowseLogoButton"));
    connect(browse, &QPushButton::clicked, this, &COptionsDlg::browseLogo);
    auto* logo = new QHBoxLayout;
    logo->addWidget(m_logo);
    logo->addWidget(browse);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* form = new QFormLayout(this);
    form->addRow(new QLabel(QStringLiteral("Web page components")));
    form->addRow(QStringLiteral("&Company name:"), m_company);
    form->addRow(QStringLiteral("&Logo bitmap:"), logo);
    form->addRow(buttons);

    AppOptions options;
    Database* db = theDatabase();
    const EditResult r =
        db ? ReadAppOptions(*db, &options)
           : EditResult::failed(QStringLiteral("Error updating application options."));
    if (!r.ok()) {
        ui().showMessage(r.text(), MessageIcon::Exclamation);
        return;
    }
    m_company->setText(options.companyName);
    m_logo->setText(options.logoPath);
}

void COptionsDlg::browseLogo() {
    const QString path = ui().chooseOpenFile(QStringLiteral("Logo Image File"),
                                             QStringLiteral("Image Files (*)"), m_logo->text());
    if (!path.isEmpty())
        m_logo->setText(path);
}

void COptionsDlg::accept() {
    Database* db = theDatabase();
    const EditResult r =
        db ? WriteAppOptions(*db, {m_company->text(), m_logo->text()})
           : EditResult::failed(QStringLiteral("Error updating application options."));
    if (!r.ok())
        ui().showMessage(r.text(), MessageIcon::Exclamation);
    // The dialog closes either way; a refused write left the stored values as they were.
    QDialog::accept();
}
