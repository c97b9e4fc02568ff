#pragma once
#include "ui/customers/userpage.h"

class QCheckBox;
class QComboBox;

// "Group" (groups only): the plans that override the members' own, and the summary invoice.
class CGroupPage : public CUserPage {
    Q_OBJECT
public:
    explicit CGroupPage(QWidget* parent = nullptr);

protected:
    void loadFields(Database& db, qint32 id) override;
    EditResult saveFields(Database& db, qint32 id) override;

private:
    QCheckBox* m_overrideBp;
    QComboBox* m_bp;
    QCheckBox* m_overrideIp;
    QComboBox* m_ip;
    QCheckBox* m_summary;
    QCheckBox* m_sendToMembers;
};
