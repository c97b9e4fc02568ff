// options show|set: the installation's company name and logo, and the customer defaults.
#include "cli/clicommand.h"
#include "cli/customerlookup.h"

#include "core/app/dbsession.h"
#include "core/customers/appoptions.h"
#include "core/mail/smtpsettings.h"
#include "core/mail/testmessage.h"

#include <QTextStream>
#include <cstdio>

namespace {

int runShow(CCliContext& c) {
    CDatabaseSession* session = c.openDatabase();
    if (!session)
        return c.openFailureExit();
    Database& db = *session->database();
    AppOptions options;
    if (const EditResult r = ReadAppOptions(db, &options); !r.ok())
        return c.fail(r.text());
    const CustomerDefaults d = CustomerDefaults::read();
    c.out(QStringLiteral("CompanyName: %1").arg(options.companyName));
    c.out(QStringLiteral("LogoURL: %1").arg(options.logoPath));
    c.out(QStringLiteral("DefBillingPlan: %1").arg(BillingPlanName(db, d.billingPlan)));
    c.out(QStringLiteral("DefInvoicePlan: %1").arg(InvoicePlanName(db, d.invoicePlan)));
    c.out(QStringLiteral("DefAnniversaryDate: %1").arg(d.anniversaryDay));
    c.out(QStringLiteral("DefaultEmailDomain: %1").arg(d.emailDomain));
    // The password itself is never printed.
    const SmtpSettings smtp = ReadSmtpSettings();
    c.out(QStringLiteral("SmtpSecurity: %1").arg(SmtpSecurityName(smtp.security)));
    c.out(QStringLiteral("SmtpUser: %1").arg(smtp.user));
    c.out(
        QStringLiteral("SmtpPassword: %1")
            .arg(smtp.password.isEmpty() ? QStringLiteral("(not set)") : QStringLiteral("(set)")));
    c.out(QStringLiteral("SmtpCAFile: %1").arg(smtp.caFile));
    return ExitOk;
}

int runSet(CCliContext& c) {
    CDatabaseSession* session = c.openDatabase();
    if (!session)
        return c.openFailureExit();
    Database& db = *session->database();
    AppOptions options;
    if (const EditResult r = ReadAppOptions(db, &options); !r.ok())
        return c.fail(r.text());
    CustomerDefaults d = CustomerDefaults::read();
    SmtpSettings smtp = ReadSmtpSettings();
    bool dbTouched = false, defaultsTouched = false, smtpTouched = false, passwordTouched = false;
    for (const QString& a : c.args().positional()) {
        const qsizetype eq = a.indexOf(QLatin1Char('='));
        if (eq <= 0)
            return c.usageError(QStringLiteral("'%1' is not KEY=VALUE.").arg(a));
        const QString key = a.left(eq).toLower();
        const QString value = a.mid(eq + 1);
        if (key == QLatin1String("companyname")) {
            options.companyName = value;
            dbTouched = true;
        } else if (key == QLatin1String("logourl")) {
            options.logoPath = value;
            dbTouched = true;
        } else if (key == QLatin1String("defbillingplan") ||
                   key == QLatin1String("definvoiceplan")) {
            const bool bp = key == QLatin1String("defbillingplan");
            const auto plan =
                bp ? LookUpBillingPlan(c, db, value) : LookUpInvoicePlan(c, db, value);
            if (!plan)
                return ExitFailure;
            (bp ? d.billingPlan : d.invoicePlan) = *plan;
            defaultsTouched = true;
        } else if (key == QLatin1String("defanniversarydate")) {
            bool ok = false;
            d.anniversaryDay = value.trimmed().toInt(&ok);
            if (!ok)
                d.anniversaryDay = -1; // refused below with the range message
            defaultsTouched = true;
        } else if (key == QLatin1String("defaultemaildomain")) {
            d.emailDomain = value;
            defaultsTouched = true;
        } else if (key == QLatin1String("smtpsecurity")) {
            if (!ParseSmtpSecurity(value, &smtp.security))
                return c.usageError(
                    QStringLiteral("SmtpSecurity is none, starttls or tls, not '%1'.").arg(value));
            smtpTouched = true;
        } else if (key == QLatin1String("smtpuser")) {
            smtp.user = value;
            smtpTouched = true;
        } else if (key == QLatin1String("smtppassword")) {
            // "-" reads the password from the first line of standard input, so that it
            // appears neither in the process list nor in the shell's history.
            smtp.password = value;
            if (value == QLatin1String("-")) {
                QTextStream in(stdin);
                smtp.password = in.readLine();
            }
            smtpTouched = passwordTouched = true;
        } else if (key == QLatin1String("smtpcafile")) {
            smtp.caFile = value;
            smtpTouched = true;
        } else {
            return c.fail(QStringLiteral("Unknown option '%1'.").arg(a.left(eq)));
        }
    }
    // Every value is checked before anything is written.
    if (const QString problem = CustomerDefaultsProblem(db, d); !problem.isEmpty())
        return c.fail(problem);
    if (smtpTouched) {
        if (const QString problem = SmtpSettingsProblem(smtp); !problem.isEmpty())
            return c.fail(problem);
    }
    if (options.companyName.size() > kMaxCompanyNameLength ||
        options.logoPath.size() > kMaxLogoPathLength)
        return c.fail(WriteAppOptions(db, options).text());
    if (dbTouched) {
        if (const EditResult r = WriteAppOptions(db, options); !r.ok())
            return c.fail(r.text());
    }
    if (defaultsTouched) {
        if (const EditResult r = d.write(); !r.ok())
            return c.fail(r.text());
    }
    if (smtpTouched) {
        QString problem, where;
        if (!WriteSmtpSettings(smtp, &problem, &where))
            return c.fail(problem);
        if (passwordTouched)
            c.out(QStringLiteral("The mail server password is kept in %1.").arg(where));
    }
    return ExitOk;
}

int runTestMail(CCliContext& c) {
    SmtpTestMessage message;
    message.server = c.args().value(QStringLiteral("server"));
    message.sender = c.args().value(QStringLiteral("from"));
    message.recipient = c.args().value(QStringLiteral("to"));
    if (message.server.isEmpty() || message.sender.isEmpty() || message.recipient.isEmpty())
        return c.usageError(QStringLiteral("--server, --from and --to are all needed."));
    if (SendTestMessage(message, ReadSmtpSettings()))
        return ExitFailure; // the reason has been shown and logged
    c.out(QStringLiteral("The test message was accepted by %1.").arg(message.server));
    return ExitOk;
}

const CliRegistration reg{{
    .name = QStringLiteral("options"),
    .synopsis = QStringLiteral("show|set ..."),
    .summary = QStringLiteral(
        "Show or change the company name, logo, customer defaults and mail server settings."),
    .subcommands =
        {{.name = QStringLiteral("show"),
          .synopsis = QString(),
          .summary = QStringLiteral("Show the options and the customer defaults."),
          .run = &runShow},
         {.name = QStringLiteral("set"),
          .synopsis = QStringLiteral("KEY=VALUE..."),
          .summary = QStringLiteral("Change options, all checked before any is written."),
          .details = QStringLiteral(
              "Keys: CompanyName (at most 50 characters) and LogoURL (kept in the database); "
              "DefBillingPlan, DefInvoicePlan (a plan name or None), DefAnniversaryDate (0 to "
              "31, 0 for the start day) and DefaultEmailDomain (kept in the user's settings); "
              "SmtpSecurity (none, starttls or tls), SmtpUser, SmtpPassword (- reads it from "
              "standard input; kept in the desktop's secret store when there is one) and "
              "SmtpCAFile (the mail server connection)."),
          .minArgs = 1,
          .maxArgs = -1,
          .run = &runSet},
         {.name = QStringLiteral("test-mail"),
          .synopsis = QStringLiteral("--server HOST[:PORT] --from ADDRESS --to ADDRESS"),
          .summary = QStringLiteral("Send a test message with the mail server settings."),
          .options = {{QStringLiteral("server"), QString(), QStringLiteral("HOST"),
                       QStringLiteral("the mail server, as an invoicing plan names it")},
                      {QStringLiteral("from"), QString(), QStringLiteral("ADDRESS"),
                       QStringLiteral("the sender")},
                      {QStringLiteral("to"), QString(), QStringLiteral("ADDRESS"),
                       QStringLiteral("the recipient")}},
          .run = &runTestMail}},
}};

} // namespace
