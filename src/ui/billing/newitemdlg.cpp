#include "ui/billing/newitemdlg.h"

#include "core/app/dbsession.h"
#include "core/app/userinterface.h"
#include "core/billing/plancatalog.h"
#include "core/billing/plancreate.h"
#include "core/db/chargeoptions.h"
#include "ui/billing/pagewidgets.h"

#include <QButtonGroup>
#include <QDate>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QVBoxLayout>

CNewItemDlg::CNewItemDlg(Kind kind, QWidget* parent) : QDialog(parent), m_kind(kind) {
    setObjectName(QStringLiteral("NewItemDlg"));
    const char* titles[] = {"Create Billing Plan", "Create Invoicing Plan", "Create New Charge"};
    setWindowTitle(QString::fromLatin1(titles[kind]));
    m_name = MakeLineEdit(this, "NameEdit", {});
    m_name->setMaxLength(255);
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("&Name:"), m_name);
    layout->addLayout(form);
    if (kind == Charge) {
        auto* box = new QGroupBox(QStringLiteral("Type of charge"), this);
        auto* v = new QVBoxLayout(box);
        m_type = new QButtonGroup(this);
        for (qint32 type : {ChargeType::Fixed, ChargeType::Online, ChargeType::Surcharge,
                            ChargeType::ByteTraffic, ChargeType::Tax}) {
            QRadioButton* radio =
                MakeRadio(box, "ChargeKind", ChargeKindName(type), type == ChargeType::Fixed);
            m_type->addButton(radio, type);
            v->addWidget(radio);
        }
        // Kinds offered by name only; no charge of theirs can be made.
        for (const char* label : {"Disk space (N/A)", "Other (N/A)"}) {
            QRadioButton* radio = MakeRadio(box, "ChargeKindNA", QString::fromLatin1(label), false);
            radio->setEnabled(false);
            v->addWidget(radio);
        }
        layout->addWidget(box);
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

qint32 CNewItemDlg::chargeType() const {
    return m_type ? m_type->checkedId() : 0;
}

void CNewItemDlg::accept() {
    Database* db = theDatabase();
    if (!db) {
        ui().showMessage(QStringLiteral("No database is open."), MessageIcon::Exclamation);
        return;
    }
    const QString name = m_name->text();
    EditResult r;
    switch (m_kind) {
    case BillingPlan:
        r = CreateBillingPlan(*db, name, QDate::currentDate(), &m_id);
        break;
    case InvoicingPlan:
        r = CreateInvoicingPlan(*db, name, &m_id);
        break;
    case Charge:
        r = CreateCharge(*db, name, chargeType(), &m_id);
        break;
    }
    if (!r.ok()) {
        ui().showMessage(r.text(), MessageIcon::Exclamation);
        m_name->setFocus();
        m_name->selectAll();
        return;
    }
    QDialog::accept();
}
