#pragma once
#include "core/customers/customergroups.h"

#include <QDialog>

class QLabel;
class QListWidget;

// "Customer groups": the members of one row (a group, or a customer about to become one). The
// members are listed on the left, everything else that may join on the right (groups with the
// prefix "(+)"); a group that contains the edited row is refused. OK saves the member list
// (a row left without members becomes a customer again).
class CGroupMembersDlg : public QDialog {
    Q_OBJECT
public:
    CGroupMembersDlg(Database& db, qint32 id, QWidget* parent = nullptr);

    // False when the row was not found (the dialog then ends at once with -1).
    bool isValid() const { return !m_name.isEmpty(); }
    int exec() override;
    // How saving changed the row.
    GroupTurn turn() const { return m_turn; }
    const QString& groupName() const { return m_name; }

    QListWidget* members() const { return m_members; }
    QListWidget* nonMembers() const { return m_nonMembers; }
    QLabel* countLabel() const { return m_count; }
    void addSelected();
    void removeSelected();
    void accept() override;

private:
    void updateCount();

    Database& m_db;
    qint32 m_id;
    QString m_name;
    GroupTurn m_turn = GroupTurn::None;
    QListWidget* m_members;
    QListWidget* m_nonMembers;
    QLabel* m_count;
};
