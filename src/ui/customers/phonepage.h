#pragma once
#include "ui/customers/userpage.h"

#include <QMap>

class QComboBox;
class QLineEdit;

// "Phones": one number per type (Home, Business, Fax, Pager, Cellular), chosen in the type
// list. Edits of several types are kept until the page is applied; an empty number deletes
// the stored one.
class CPhonePage : public CUserPage {
    Q_OBJECT
public:
    explicit CPhonePage(QWidget* parent = nullptr);

protected:
    void loadFields(Database& db, qint32 id) override;
    EditResult saveFields(Database& db, qint32 id) override;

private:
    void typeChosen(int type);

    Database* m_db = nullptr;
    qint32 m_id = 0;
    int m_type = 0;
    QMap<int, QString> m_edits; // edited types not yet saved
    QComboBox* m_typeBox;
    QLineEdit* m_number;
};
