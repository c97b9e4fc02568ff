#pragma once
#include "core/customers/autocreate.h"

#include <QDialog>

class QCheckBox;
class QLineEdit;

// "Create Customer Records" for the system's user database: the server (blank for this
// computer, the only one readable) and the kinds of accounts, kept in the settings once a kind
// is chosen.
class CCreateFromAccountsDlg : public QDialog {
    Q_OBJECT
public:
    explicit CCreateFromAccountsDlg(QWidget* parent = nullptr);
    AccountScanChoice choice() const;
    void accept() override;

private:
    QLineEdit* m_serverEdit;
    QCheckBox* m_local;
    QCheckBox* m_global;
};

// Opens the dialog and, on Yes, creates the customers on the open database.
void RunCreateFromAccounts(QWidget* parent);
