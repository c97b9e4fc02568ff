#pragma once
// Membership of customers and groups in groups. The membership is kept a tree: no group may
// contain itself, directly or through member groups. A row is a group while its member list,
// as last saved, is not empty.
#include "core/customers/editresult.h"

#include <QList>
#include <QString>
#include <QStringList>

class Database;

// One row in a membership list or the customer tree.
struct MemberEntry {
    qint32 id = 0;
    QString name;
    bool isGroup = false;
    QString fullName; // filled only where a search needs it (TreeSectionRows)
    // The list text: a group's name with the prefix "(+)", a customer's name alone.
    QString display() const { return isGroup ? QStringLiteral("(+)") + name : name; }
};

// True when `target` is a direct member of `group` or a member of any group reachable from it
// through member groups. A database error counts as false for the step it happens in. A cycle
// already stored ends the walk where it closes.
bool ContainsGroup(Database& db, qint32 group, qint32 target);

// The members of a row: its member groups, then its member customers, each by name.
QList<MemberEntry> GroupMembers(Database& db, qint32 group);
// Every group except `group` itself and its members, then every customer not a member.
QList<MemberEntry> GroupNonMembers(Database& db, qint32 group);

// Why `candidate` cannot become a member of `group` (it is the group, or a group that
// contains it); empty when it can.
QString MemberProblem(Database& db, qint32 group, const MemberEntry& candidate);

// How saving a member list changed the row.
enum class GroupTurn { None, BecameGroup, BecameCustomer };

// Replaces the members of row `group` by `members` (ids of customers and groups), all or
// nothing, after checking every member group against cycles. A row left without members
// becomes a customer again (IsGroup and GroupOptions cleared); a customer given members
// becomes a group. `turn` tells which happened.
EditResult SaveGroupMembers(Database& db, qint32 group, const QList<qint32>& members,
                            GroupTurn* turn = nullptr);
// The message shown when a group was turned back into a customer.
QString GroupEmptiedMessage(const QString& name);

// The customer browser's tree: "Customer Groups" (every group, with its member groups
// recursively and then its member customers) and "Customers" (every customer).
struct CustomerTreeNode {
    MemberEntry entry;
    QList<CustomerTreeNode> children;
};
struct CustomerTree {
    QList<CustomerTreeNode> groups;
    QList<CustomerTreeNode> customers;
    // One line per membership that closes a cycle stored in the database: the group there is
    // listed once, without its members again.
    QStringList warnings;
};
CustomerTree BuildCustomerTree(Database& db);

// The rows directly under one section of the customer tree (every group, or every customer),
// by name, with their full names: what a browser that fills group nodes only when they are
// opened reads at start. A group's own members are GroupMembers.
QList<MemberEntry> TreeSectionRows(Database& db, bool groups);
// The browser's search: the logon name or the full name contains `text`, ignoring case. An
// empty text matches every row.
bool MatchesCustomerSearch(const MemberEntry& entry, const QString& text);
