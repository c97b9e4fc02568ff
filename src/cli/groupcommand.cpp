// group members|add-member|remove-member: the members of a group from the command line.
#include "cli/clicommand.h"
#include "cli/customerlookup.h"

#include "core/app/dbsession.h"
#include "core/customers/customergroups.h"
#include "core/db/database.h"

namespace {

int runMembers(CCliContext& c) {
    CDatabaseSession* session = c.openDatabase();
    if (!session)
        return c.openFailureExit();
    Database& db = *session->database();
    const auto id = LookUpCustomer(c, db, c.args().positional().at(0));
    if (!id)
        return ExitFailure;
    for (const MemberEntry& m : GroupMembers(db, *id))
        c.out(m.display());
    return ExitOk;
}

// Adds (or removes) the named rows to the group's member list and saves it as a whole.
int changeMembers(CCliContext& c, bool add) {
    CDatabaseSession* session = c.openDatabase();
    if (!session)
        return c.openFailureExit();
    Database& db = *session->database();
    const QStringList args = c.args().positional();
    const auto group = LookUpCustomer(c, db, args.at(0));
    if (!group)
        return ExitFailure;
    const QString groupName =
        db.scalar(QStringLiteral("SELECT Username FROM Users WHERE Id = ?"), {*group}).toString();
    QList<qint32> members;
    for (const MemberEntry& m : GroupMembers(db, *group))
        members.append(m.id);
    for (const QString& name : args.mid(1)) {
        const auto id = LookUpCustomer(c, db, name);
        if (!id)
            return ExitFailure;
        if (add && members.contains(*id))
            return c.fail(QStringLiteral("'%1' is already a member of '%2'.").arg(name, groupName));
        if (!add && !members.contains(*id))
            return c.fail(QStringLiteral("'%1' is not a member of '%2'.").arg(name, groupName));
        if (add)
            members.append(*id);
        else
            members.removeAll(*id);
    }
    GroupTurn turn = GroupTurn::None;
    const EditResult r = SaveGroupMembers(db, *group, members, &turn);
    if (!r.ok())
        return c.fail(r.text());
    if (turn == GroupTurn::BecameCustomer)
        c.terminal().showMessage(GroupEmptiedMessage(groupName), MessageIcon::Information);
    else if (turn == GroupTurn::BecameGroup)
        c.out(QStringLiteral("'%1' is now a group.").arg(groupName));
    return ExitOk;
}

int runAddMember(CCliContext& c) {
    return changeMembers(c, true);
}

int runRemoveMember(CCliContext& c) {
    return changeMembers(c, false);
}

const CliRegistration reg{{
    .name = QStringLiteral("group"),
    .synopsis = QStringLiteral("members|add-member|remove-member ..."),
    .summary = QStringLiteral("Show or change the members of a group."),
    .subcommands =
        {{.name = QStringLiteral("members"),
          .synopsis = QStringLiteral("NAME"),
          .summary = QStringLiteral("List the members of a group: its member groups (shown "
                                    "(+)NAME), then its customers."),
          .minArgs = 1,
          .maxArgs = 1,
          .run = &runMembers},
         {.name = QStringLiteral("add-member"),
          .synopsis = QStringLiteral("GROUP NAME..."),
          .summary = QStringLiteral("Add customers or groups to GROUP (a customer given members "
                                    "becomes a group); a group that would contain itself is "
                                    "refused and nothing changes."),
          .minArgs = 2,
          .maxArgs = -1,
          .run = &runAddMember},
         {.name = QStringLiteral("remove-member"),
          .synopsis = QStringLiteral("GROUP NAME..."),
          .summary = QStringLiteral("Remove members from GROUP (a group left empty becomes a "
                                    "customer again)."),
          .minArgs = 2,
          .maxArgs = -1,
          .run = &runRemoveMember}},
}};

} // namespace
