// purge: removes old sessions and fully paid invoices, then compacts the database.
#include "cli/clicommand.h"
#include "cli/runsupport.h"

#include "core/app/dbsession.h"
#include "core/db/datetimeutil.h"
#include "core/jobs/purge.h"

namespace {

int runPurge(CCliContext& c) {
    const CliArgs& a = c.args();
    int kinds = 0;
    if (a.isSet(QStringLiteral("sessions")) || a.isSet(QStringLiteral("both")))
        kinds |= PurgeKind::Sessions;
    if (a.isSet(QStringLiteral("invoices")) || a.isSet(QStringLiteral("both")))
        kinds |= PurgeKind::Invoices;
    const QString dateText = a.value(QStringLiteral("before"));
    if (kinds == 0 || dateText.isEmpty())
        return c.usageError();
    const std::optional<DbDateTime> day = ParseInvoiceDate(dateText);
    if (!day)
        return ExitUsage;

    CDatabaseSession* session = c.openDatabase();
    if (!session)
        return c.openFailureExit();
    PurgeOutcome outcome;
    const int rc = RunPurge(*session, DbToDate(*day), kinds, &outcome);
    if (rc == SystemResult::Failed && !session->lastError().isEmpty())
        CCliUserInterface::note(session->lastError());
    if (rc == SystemResult::Ok) {
        if (kinds & PurgeKind::Sessions)
            c.out(QStringLiteral("Sessions removed: %1").arg(outcome.sessions));
        if (kinds & PurgeKind::Invoices)
            c.out(QStringLiteral("Paid invoices removed: %1").arg(outcome.invoices.size()));
    }
    return c.exitFor(rc);
}

const CliRegistration reg{{
    .name = QStringLiteral("purge"),
    .synopsis = QStringLiteral("--before YYYY-MM-DD (--sessions|--invoices|--both)"),
    .summary = QStringLiteral("Remove old sessions and paid invoices, then compact (asks first)."),
    .details = QStringLiteral(
        "Removes the sessions that ended by the start of the day (those that ended later that "
        "day stay) and the invoices closed up to and including the day whose amount paid equals "
        "their total due. The plan and charge copies of removed invoices stay."),
    .options = {{QStringLiteral("before"), QString(), QStringLiteral("YYYY-MM-DD"),
                 QStringLiteral("the day up to which records go")},
                {QStringLiteral("sessions"), QString(), QString(), QStringLiteral("sessions")},
                {QStringLiteral("invoices"), QString(), QString(),
                 QStringLiteral("fully paid invoices")},
                {QStringLiteral("both"), QString(), QString(), QStringLiteral("both")}},
    .run = &runPurge,
}};

} // namespace
