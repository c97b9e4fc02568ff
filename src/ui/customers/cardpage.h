#pragma once
#include "ui/customers/userpage.h"

class QLineEdit;

// "Credit Card": name on the card, number, company and expiry month and year.
class CCardPage : public CUserPage {
    Q_OBJECT
public:
    explicit CCardPage(QWidget* parent = nullptr);

protected:
    void loadFields(Database& db, qint32 id) override;
    EditResult saveFields(Database& db, qint32 id) override;
    QWidget* fieldAtFault(const EditResult& result) override;

private:
    QLineEdit* m_name;
    QLineEdit* m_number;
    QLineEdit* m_company;
    QLineEdit* m_month;
    QLineEdit* m_year;
};
