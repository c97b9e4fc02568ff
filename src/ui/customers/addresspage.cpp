#include "ui/customers/addresspage.h"

#include "core/app/userinterface.h"
#include "core/db/dbexception.h"

#include <QComboBox>
#include <QFormLayout>
#include <QLineEdit>

CAddressPage::CAddressPage(QWidget* parent) : CUserPage(QStringLiteral("Addresses"), parent) {
    m_typeBox = new QComboBox;
    m_typeBox->setObjectName(QStringLiteral("AddressTypeBox"));
    m_typeBox->addItems(AddressTypeNames());
    auto edit = [this](const char* name) {
        auto* e = new QLineEdit;
        e->setObjectName(QString::fromLatin1(name));
        watch(e);
        return e;
    };
    m_email = edit("EmailEdit");
    m_address1 = edit("Address1Edit");
    m_address2 = edit("Address2Edit");
    m_city = edit("CityEdit");
    m_province = edit("ProvinceEdit");
    m_postalCode = edit("PostalCodeEdit");
    auto* form = new QFormLayout(this);
    form->addRow(QStringLiteral("Address &type:"), m_typeBox);
    form->addRow(QStringLiteral("&E-mail:"), m_email);
    form->addRow(QStringLiteral("Address line &1:"), m_address1);
    form->addRow(QStringLiteral("Address line &2:"), m_address2);
    form->addRow(QStringLiteral("&City:"), m_city);
    form->addRow(QStringLiteral("State/&Province:"), m_province);
    form->addRow(QStringLiteral("&Zip/Postal code:"), m_postalCode);
    connect(m_typeBox, &QComboBox::activated, this, &CAddressPage::typeChosen);
}

AddressPage CAddressPage::shown() const {
    return {m_email->text(), m_address1->text(), m_address2->text(),
            m_city->text(),  m_province->text(), m_postalCode->text()};
}

void CAddressPage::show(const AddressPage& page) {
    m_email->setText(page.email);
    m_address1->setText(page.address1);
    m_address2->setText(page.address2);
    m_city->setText(page.city);
    m_province->setText(page.province);
    m_postalCode->setText(page.postalCode);
}

void CAddressPage::loadFields(Database& db, qint32 id) {
    m_db = &db;
    m_id = id;
    m_edits.clear();
    m_type = m_typeBox->currentIndex();
    show(id ? LoadAddressPage(db, id, m_type) : AddressPage{});
}

void CAddressPage::typeChosen(int type) {
    if (type == m_type)
        return;
    // The edits of the type left stay pending until the page is applied.
    if (isModified())
        m_edits.insert(m_type, shown());
    m_type = type;
    if (m_edits.contains(type)) {
        show(m_edits.value(type));
        return;
    }
    try {
        show(m_db && m_id ? LoadAddressPage(*m_db, m_id, type) : AddressPage{});
    } catch (const DbException& e) {
        show({});
        ui().showMessage(QStringLiteral("The address could not be read: %1").arg(e.message()),
                         MessageIcon::Exclamation);
    }
}

EditResult CAddressPage::saveFields(Database& db, qint32 id) {
    m_edits.insert(m_type, shown());
    return savePending(m_edits, [&](int key, const AddressPage& value) {
        return SaveAddressPage(db, id, key, value);
    });
}
