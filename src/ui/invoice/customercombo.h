#pragma once
#include <QComboBox>

class Database;

// An editable combo box of logon names (customers, groups, or both): the plain way to choose whom
// a command is for. A typed name counts when it matches a name exactly, ignoring case.
class CCustomerCombo : public QComboBox {
    Q_OBJECT
public:
    enum class Kind { Customers, Groups, All };

    // `allEntry`: a first, empty entry that stands for no choice (id 0).
    CCustomerCombo(Database& db, Kind kind, bool allEntry, QWidget* parent = nullptr);

    // Id of the chosen row: 0 for the empty entry or empty text, -1 when the text names no
    // row of the list.
    qint32 customerId() const;
    // False (the choice unchanged) when the id is not in the list.
    bool setCustomerId(qint32 id);
    // False when the names could not be read (the message was shown).
    bool loaded() const { return m_loaded; }

private:
    bool m_loaded = true;
};

// A small dialog with a CCustomerCombo ("Choose Customer" / "Choose Group"), on `id` when it
// is one of the listed kind; true with the chosen row's id on OK. A name that matches nothing
// keeps the dialog open.
bool PickCustomer(QWidget* parent, Database& db, CCustomerCombo::Kind kind, qint32& id);
