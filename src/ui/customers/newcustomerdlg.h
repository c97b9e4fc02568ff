#pragma once
#include <QDialog>

class QLineEdit;

// "Create New Customer" ("Create New Group" for a group): asks a logon name and creates the
// row with the customer defaults. A name that cannot be used keeps the dialog open; a database
// failure closes it as cancelled after "Error adding new customer.".
class CNewCustomerDlg : public QDialog {
    Q_OBJECT
public:
    explicit CNewCustomerDlg(bool group, QWidget* parent = nullptr);

    // The new row's Users.Id after the dialog was accepted.
    qint32 newId() const { return m_newId; }
    QLineEdit* nameEdit() const { return m_name; }

    void accept() override;

private:
    bool m_group;
    qint32 m_newId = 0;
    QLineEdit* m_name;
};
