#pragma once
#include "ui/customers/userpage.h"

class QCheckBox;
class QLineEdit;
class QPlainTextEdit;

// "General": full name, active, start and end of service, comments.
class CGeneralPage : public CUserPage {
    Q_OBJECT
public:
    explicit CGeneralPage(QWidget* parent = nullptr);

protected:
    void loadFields(Database& db, qint32 id) override;
    EditResult saveFields(Database& db, qint32 id) override;
    QWidget* fieldAtFault(const EditResult& result) override;

private:
    QLineEdit* m_fullName;
    QCheckBox* m_active;
    QLineEdit* m_start;
    QLineEdit* m_end;
    QPlainTextEdit* m_comment;
};
