#include "ui/customers/phonepage.h"

#include "core/app/userinterface.h"
#include "core/customers/customerpages.h"
#include "core/db/dbexception.h"

#include <QComboBox>
#include <QFormLayout>
#include <QLineEdit>

CPhonePage::CPhonePage(QWidget* parent) : CUserPage(QStringLiteral("Phones"), parent) {
    m_typeBox = new QComboBox;
    m_typeBox->setObjectName(QStringLiteral("PhoneTypeBox"));
    m_typeBox->addItems(PhoneTypeNames());
    m_number = new QLineEdit;
    m_number->setObjectName(QStringLiteral("NumberEdit"));
    watch(m_number);
    auto* form = new QFormLayout(this);
    form->addRow(QStringLiteral("Phone &type:"), m_typeBox);
    form->addRow(QStringLiteral("&Number:"), m_number);
    connect(m_typeBox, &QComboBox::activated, this, &CPhonePage::typeChosen);
}

void CPhonePage::loadFields(Database& db, qint32 id) {
    m_db = &db;
    m_id = id;
    m_edits.clear();
    m_type = m_typeBox->currentIndex();
    m_number->setText(id ? LoadPhonePage(db, id, m_type) : QString());
}

void CPhonePage::typeChosen(int type) {
    if (type == m_type)
        return;
    if (isModified())
        m_edits.insert(m_type, m_number->text());
    m_type = type;
    if (m_edits.contains(type)) {
        m_number->setText(m_edits.value(type));
        return;
    }
    try {
        m_number->setText(m_db && m_id ? LoadPhonePage(*m_db, m_id, type) : QString());
    } catch (const DbException& e) {
        m_number->clear();
        ui().showMessage(QStringLiteral("The phone number could not be read: %1").arg(e.message()),
                         MessageIcon::Exclamation);
    }
}

EditResult CPhonePage::saveFields(Database& db, qint32 id) {
    m_edits.insert(m_type, m_number->text());
    return savePending(
        m_edits, [&](int key, const QString& value) { return SavePhonePage(db, id, key, value); });
}
