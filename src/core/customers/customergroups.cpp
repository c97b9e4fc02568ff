#include "core/customers/customergroups.h"

#include "core/db/dbexception.h"
#include "core/db/insertrecord.h"
#include "core/db/transaction.h"
#include "core/db/usergroupjoin.h"
#include "core/db/userrecord.h"

#include <QSet>

namespace {

QList<MemberEntry> query(Database& db, const QString& sql, const QVariantList& params = {}) {
    QList<MemberEntry> rows;
    Statement st = db.prepare(sql);
    st.bindAll(params);
    while (st.next())
        rows.append({st.value(0).toInt(), st.value(1).toString(), st.value(2).toBool(), {}});
    return rows;
}

QList<MemberEntry> memberRows(Database& db, qint32 group, bool groups) {
    return query(db,
                 QStringLiteral("SELECT DISTINCT Users.Id, Users.Username, Users.IsGroup FROM "
                                "Users INNER JOIN UserGroupJoin ON Users.Id = "
                                "UserGroupJoin.UserLinkId WHERE UserGroupJoin.GroupId = ? AND "
                                "Users.IsGroup %1 0 ORDER BY Users.Username, Users.Id")
                     .arg(groups ? QStringLiteral("<>") : QStringLiteral("=")),
                 {group});
}

QList<MemberEntry> allRows(Database& db, bool groups) {
    return query(db, QStringLiteral("SELECT Id, Username, IsGroup FROM Users WHERE IsGroup %1 0 "
                                    "ORDER BY Username, Id")
                         .arg(groups ? QStringLiteral("<>") : QStringLiteral("=")));
}

bool isDirectMember(Database& db, qint32 group, qint32 target) {
    return db
        .scalar(QStringLiteral("SELECT UserGroupJoin.Id FROM UserGroupJoin INNER JOIN Users ON "
                               "UserGroupJoin.UserLinkId = Users.Id WHERE "
                               "UserGroupJoin.GroupId = ? AND UserGroupJoin.UserLinkId = ?"),
                {group, target})
        .isValid();
}

bool containsWalk(Database& db, qint32 group, qint32 target, QSet<qint32>& seen) {
    if (seen.contains(group))
        return false; // a stored cycle: this group was searched already
    seen.insert(group);
    QList<MemberEntry> groups;
    try {
        if (isDirectMember(db, group, target))
            return true;
        groups = memberRows(db, group, true);
    } catch (const DbException&) {
        return false;
    }
    for (const MemberEntry& g : groups)
        if (containsWalk(db, g.id, target, seen))
            return true;
    return false;
}

QString nameOf(Database& db, qint32 id) {
    return db.scalar(QStringLiteral("SELECT Username FROM Users WHERE Id = ?"), {id}).toString();
}

void addMembers(Database& db, CustomerTreeNode& node, QList<qint32>& path, QStringList& warnings) {
    path.append(node.entry.id);
    for (const MemberEntry& g : memberRows(db, node.entry.id, true)) {
        CustomerTreeNode child{g, {}};
        if (path.contains(g.id))
            warnings.append(QStringLiteral("Customer group '%1' contains itself through '%2'; "
                                           "it is listed there once, without its members.")
                                .arg(g.name, node.entry.name));
        else
            addMembers(db, child, path, warnings);
        node.children.append(child);
    }
    for (const MemberEntry& c : memberRows(db, node.entry.id, false))
        node.children.append({c, {}});
    path.removeLast();
}

} // namespace

bool ContainsGroup(Database& db, qint32 group, qint32 target) {
    QSet<qint32> seen;
    return containsWalk(db, group, target, seen);
}

QList<MemberEntry> GroupMembers(Database& db, qint32 group) {
    return memberRows(db, group, true) + memberRows(db, group, false);
}

QList<MemberEntry> GroupNonMembers(Database& db, qint32 group) {
    QSet<qint32> members;
    for (const MemberEntry& m : GroupMembers(db, group))
        members.insert(m.id);
    QList<MemberEntry> rows;
    for (const MemberEntry& e : allRows(db, true) + allRows(db, false))
        if (e.id != group && !members.contains(e.id))
            rows.append(e);
    return rows;
}

QString MemberProblem(Database& db, qint32 group, const MemberEntry& candidate) {
    if (candidate.id != group && (!candidate.isGroup || !ContainsGroup(db, candidate.id, group)))
        return {};
    const QString groupName = nameOf(db, group);
    return QStringLiteral("Group '%1' contains group '%2'.  '%3' cannot be added to '%4'.")
        .arg(candidate.name, groupName, candidate.name, groupName);
}

QString GroupEmptiedMessage(const QString& name) {
    return QStringLiteral(
               "Customer group '%1' has no members and will now moved to the Customers list.")
        .arg(name);
}

EditResult SaveGroupMembers(Database& db, qint32 group, const QList<qint32>& members,
                            GroupTurn* turn) {
    const QString saveError = QStringLiteral("Error making requested customer group changes.");
    if (turn)
        *turn = GroupTurn::None;
    try {
        CUserRecord rec(db);
        if (!rec.findById(group))
            return EditResult::failed(QStringLiteral("User not found."));
        QList<qint32> unique;
        for (qint32 id : members) {
            if (unique.contains(id))
                continue;
            CUserRecord member(db);
            if (!member.findById(id))
                return EditResult::failed(QStringLiteral("User not found."));
            const QString problem =
                MemberProblem(db, group, {id, member.Username, member.IsGroup, {}});
            if (!problem.isEmpty())
                return EditResult::failed(problem);
            unique.append(id);
        }
        const bool wasGroup = rec.IsGroup;
        const bool isGroup = !unique.isEmpty();
        Transaction transaction(db);
        db.execute(QStringLiteral("DELETE FROM UserGroupJoin WHERE GroupId = ?"), {group});
        rec.edit();
        rec.IsGroup = isGroup;
        if (!isGroup)
            rec.GroupOptions = 0;
        rec.update();
        for (qint32 id : unique)
            insertRecord<CUserGroupJoin>(db, UserGroupJoinRow{group, id, 0});
        transaction.commit();
        if (turn && wasGroup != isGroup)
            *turn = isGroup ? GroupTurn::BecameGroup : GroupTurn::BecameCustomer;
    } catch (const DbException& e) {
        return EditResult::failed(saveError, e.message());
    }
    return {};
}

CustomerTree BuildCustomerTree(Database& db) {
    CustomerTree tree;
    for (const MemberEntry& g : allRows(db, true)) {
        CustomerTreeNode node{g, {}};
        QList<qint32> path;
        addMembers(db, node, path, tree.warnings);
        tree.groups.append(node);
    }
    for (const MemberEntry& c : allRows(db, false))
        tree.customers.append({c, {}});
    tree.warnings.removeDuplicates();
    return tree;
}

QList<MemberEntry> TreeSectionRows(Database& db, bool groups) {
    QList<MemberEntry> rows;
    Statement st = db.prepare(QStringLiteral("SELECT Id, Username, FullName FROM Users WHERE "
                                             "IsGroup %1 0 ORDER BY Username, Id")
                                  .arg(groups ? QStringLiteral("<>") : QStringLiteral("=")));
    while (st.next())
        rows.append({st.value(0).toInt(), st.value(1).toString(), groups, st.value(2).toString()});
    return rows;
}

bool MatchesCustomerSearch(const MemberEntry& entry, const QString& text) {
    return text.isEmpty() || entry.name.contains(text, Qt::CaseInsensitive) ||
           entry.fullName.contains(text, Qt::CaseInsensitive);
}
