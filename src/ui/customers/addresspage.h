#pragma once
#include "core/customers/customerpages.h"
#include "ui/customers/userpage.h"

#include <QMap>

class QComboBox;
class QLineEdit;

// "Addresses": one address per type (Billing, Shipping, Home, Work), chosen in the type list.
// Edits of several types are kept until the page is applied, when each edited type is saved
// (an address whose fields are all empty is deleted).
class CAddressPage : public CUserPage {
    Q_OBJECT
public:
    explicit CAddressPage(QWidget* parent = nullptr);

protected:
    void loadFields(Database& db, qint32 id) override;
    EditResult saveFields(Database& db, qint32 id) override;

private:
    AddressPage shown() const;
    void show(const AddressPage& page);
    void typeChosen(int type);

    Database* m_db = nullptr;
    qint32 m_id = 0;
    int m_type = 0;
    QMap<int, AddressPage> m_edits; // edited types not yet saved
    QComboBox* m_typeBox;
    QLineEdit* m_email;
    QLineEdit* m_address1;
    QLineEdit* m_address2;
    QLineEdit* m_city;
    QLineEdit* m_province;
    QLineEdit* m_postalCode;
};
