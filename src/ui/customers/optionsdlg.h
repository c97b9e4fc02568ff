#pragma once
#include <QDialog>

class QLineEdit;

// "Options": the company name and the logo image that invoices carry, kept in the database's
// DBInfo row so they travel with the data.
class COptionsDlg : public QDialog {
    Q_OBJECT
public:
    explicit COptionsDlg(QWidget* parent = nullptr);

    QLineEdit* companyEdit() const { return m_company; }
    QLineEdit* logoEdit() const { return m_logo; }
    // "...": an existing file chosen in "Logo Image File" replaces the logo field.
    void browseLogo();
    void accept() override;

private:
    QLineEdit* m_company;
    QLineEdit* m_logo;
};
