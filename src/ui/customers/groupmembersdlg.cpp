#include "ui/customers/groupmembersdlg.h"

#include "core/app/userinterface.h"
#include "core/db/database.h"
#include "core/db/dbexception.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

constexpr int kEntryRole = Qt::UserRole + 1;

void addEntry(QListWidget* list, const MemberEntry& e) {
    auto* item = new QListWidgetItem(e.display(), list);
    item->setData(Qt::UserRole, e.id);
    item->setData(kEntryRole, e.isGroup);
}

MemberEntry entryOf(const QListWidgetItem* item) {
    const QString text = item->text();
    const bool group = item->data(kEntryRole).toBool();
    return {item->data(Qt::UserRole).toInt(), group ? text.mid(3) : text, group, {}};
}

void moveItem(QListWidget* from, QListWidget* to, QListWidgetItem* item) {
    to->addItem(from->takeItem(from->row(item)));
}

} // namespace

CGroupMembersDlg::CGroupMembersDlg(Database& db, qint32 id, QWidget* parent)
    : QDialog(parent), m_db(db), m_id(id) {
    setObjectName(QStringLiteral("GroupMembersDlg"));
    m_members = new QListWidget;
    m_members->setObjectName(QStringLiteral("MembersList"));
    m_nonMembers = new QListWidget;
    m_nonMembers->setObjectName(QStringLiteral("NonMembersList"));
    for (QListWidget* l : {m_members, m_nonMembers})
        l->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_count = new QLabel;
    m_count->setObjectName(QStringLiteral("MemberCountLabel"));
    try {
        m_name =
            db.scalar(QStringLiteral("SELECT Username FROM Users WHERE Id = ?"), {id}).toString();
        if (!m_name.isEmpty()) {
            for (const MemberEntry& e : GroupMembers(db, id))
                addEntry(m_members, e);
            for (const MemberEntry& e : GroupNonMembers(db, id))
                addEntry(m_nonMembers, e);
        }
    } catch (const DbException& e) {
        ui().showMessage(QStringLiteral("The members could not be read: %1").arg(e.message()),
                         MessageIcon::Exclamation);
        m_name.clear();
    }
    setWindowTitle(QStringLiteral("Set members of \"%1\"").arg(m_name));

    auto* add = new QPushButton(QStringLiteral("<- &Add"));
    add->setObjectName(QStringLiteral("AddButton"));
    auto* remove = new QPushButton(QStringLiteral("&Remove ->"));
    remove->setObjectName(QStringLiteral("RemoveButton"));
    connect(add, &QPushButton::clicked, this, &CGroupMembersDlg::addSelected);
    connect(remove, &QPushButton::clicked, this, &CGroupMembersDlg::removeSelected);
    auto* middle = new QVBoxLayout;
    middle->addStretch();
    middle->addWidget(add);
    middle->addWidget(remove);
    middle->addStretch();
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel(QStringLiteral("&Customers in %1:").arg(m_name)), 0, 0);
    grid->addWidget(new QLabel(QStringLiteral("Customers &not in group:")), 0, 2);
    grid->addWidget(m_members, 1, 0);
    grid->addLayout(middle, 1, 1);
    grid->addWidget(m_nonMembers, 1, 2);
    grid->addWidget(m_count, 2, 0);
    grid->addWidget(buttons, 3, 0, 1, 3);
    updateCount();
}

int CGroupMembersDlg::exec() {
    return isValid() ? QDialog::exec() : -1;
}

void CGroupMembersDlg::updateCount() {
    m_count->setText(QStringLiteral("%1 members").arg(m_members->count()));
}

void CGroupMembersDlg::addSelected() {
    for (QListWidgetItem* item : m_nonMembers->selectedItems()) {
        const QString problem = MemberProblem(m_db, m_id, entryOf(item));
        if (!problem.isEmpty()) {
            ui().showMessage(problem, MessageIcon::Exclamation);
            item->setSelected(false);
            continue;
        }
        moveItem(m_nonMembers, m_members, item);
    }
    updateCount();
}

void CGroupMembersDlg::removeSelected() {
    for (QListWidgetItem* item : m_members->selectedItems())
        moveItem(m_members, m_nonMembers, item);
    updateCount();
}

void CGroupMembersDlg::accept() {
    QList<qint32> ids;
    for (int i = 0; i < m_members->count(); ++i)
        ids.append(m_members->item(i)->data(Qt::UserRole).toInt());
    const EditResult r = SaveGroupMembers(m_db, m_id, ids, &m_turn);
    if (!r.ok()) {
        ui().showMessage(r.text(), MessageIcon::Exclamation);
        return; // the dialog stays
    }
    QDialog::accept();
}
