// export icverify: the card batch for the ICVerify payment program.
#include "cli/clicommand.h"
#include "cli/reportsupport.h"

#include "core/app/dbsession.h"
#include "core/app/settingsvalues.h"
#include "core/reports/icvexport.h"

#include <QDir>
#include <QFileInfo>

namespace {

int runIcverify(CCliContext& c) {
    const CliArgs& a = c.args();
    const std::optional<QDateTime> from = ParseCliDateTime(a.value(QStringLiteral("from")));
    const std::optional<QDateTime> to = ParseCliDateTime(a.value(QStringLiteral("to")));
    const bool useLogon = a.isSet(QStringLiteral("comment-logon"));
    const QString commentArg = a.value(QStringLiteral("comment"));
    if (!from || !to || (useLogon && !commentArg.isNull()))
        return c.usageError();

    IcvExportOptions o;
    o.start = *from;
    o.end = *to;
    o.commentUsesLogon = useLogon;
    // What is not given is what the desktop program's dialog would offer.
    const auto pick = [&](const char* name, int reg) {
        const QString v = a.value(QString::fromLatin1(name));
        return v.isNull() ? RegText(reg) : v;
    };
    o.comment = pick("comment", Reg::ICVComment);
    o.clerk = pick("clerk", Reg::ICVClerkText);
    o.postalCode = pick("zip", Reg::ICVZipcode);
    o.address = pick("address", Reg::ICVAddress);
    struct Limit {
        const QString* value;
        int max;
        const char* option;
    };
    for (const Limit& l :
         {Limit{&o.comment, kIcvCommentMax, "--comment"}, Limit{&o.clerk, kIcvClerkMax, "--clerk"},
          Limit{&o.postalCode, kIcvPostalCodeMax, "--zip"},
          Limit{&o.address, kIcvAddressMax, "--address"}}) {
        if (l.value->size() > l.max)
            return c.usageError(QStringLiteral("%1 takes at most %2 characters.")
                                    .arg(QLatin1String(l.option))
                                    .arg(l.max));
    }
    const QString breaking = IcvOptionBreakingLine(o);
    if (!breaking.isEmpty())
        return c.usageError(
            QStringLiteral("%1 must not hold a double quote or a line break.").arg(breaking));

    const QString output = a.value(QStringLiteral("output"));
    const QString path =
        QFileInfo(output.isNull() ? QString::fromLatin1(kIcvFileName) : output).absoluteFilePath();
    CDatabaseSession* session = c.openDatabase();
    if (!session)
        return c.openFailureExit();
    const IcvExportResult r = ExportIcverify(*session->database(), o, path);
    for (const QString& s : r.skipped)
        c.terminal().showMessage(QStringLiteral("Skipped %1: a stored value would break the "
                                                "line (see the operation log).")
                                     .arg(s),
                                 MessageIcon::Exclamation);
    if (r.failed) {
        c.terminal().showMessage(
            QStringLiteral("The ICVerify export process was unable to complete\n%1").arg(r.error),
            MessageIcon::Exclamation);
        return ExitFailure;
    }
    c.out(QStringLiteral("%1\t%2").arg(QDir::toNativeSeparators(r.path)).arg(r.transactions));
    return ExitOk;
}

const CliRegistration reg{{
    .name = QStringLiteral("export"),
    .synopsis = QStringLiteral("icverify ..."),
    .summary = QStringLiteral("Write the card batch for the ICVerify payment program."),
    .subcommands =
        {{.name = QStringLiteral("icverify"),
          .synopsis = QStringLiteral("--from YYYY-MM-DD[THH:MM] --to YYYY-MM-DD[THH:MM] "
                                     "[--comment-logon | --comment TEXT] [--clerk TEXT] "
                                     "[--zip TEXT] [--address TEXT] [-o FILE]"),
          .summary = QStringLiteral("One sale per invoice closed in the period with new "
                                    "charges, of customers with a card on record; prints the "
                                    "file and the number of transactions."),
          .options = {{QStringLiteral("from"), QString(), QStringLiteral("YYYY-MM-DD[THH:MM]"),
                       QStringLiteral("invoices closed on or after this time")},
                      {QStringLiteral("to"), QString(), QStringLiteral("YYYY-MM-DD[THH:MM]"),
                       QStringLiteral("and before this time")},
                      {QStringLiteral("comment-logon"), QString(), QString(),
                       QStringLiteral("the customer's logon name as the comment")},
                      {QStringLiteral("comment"), QString(), QStringLiteral("TEXT"),
                       QStringLiteral("the comment of every line (at most 20 characters)")},
                      {QStringLiteral("clerk"), QString(), QStringLiteral("TEXT"),
                       QStringLiteral("the clerk (at most 20 characters)")},
                      {QStringLiteral("zip"), QString(), QStringLiteral("TEXT"),
                       QStringLiteral("the postal code (at most 9 characters)")},
                      {QStringLiteral("address"), QString(), QStringLiteral("TEXT"),
                       QStringLiteral("the address (at most 20 characters)")},
                      {QStringLiteral("output"), QStringLiteral("o"), QStringLiteral("FILE"),
                       QStringLiteral("the file to write (default ICVERIFY.TXT in the current "
                                      "directory)")}},
          .run = &runIcverify}},
}};

} // namespace
