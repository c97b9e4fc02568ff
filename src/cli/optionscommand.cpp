// options show|set: the installation's company name and logo, and the customer defaults.
#include "cli/clicommand.h"
#include "cli/customerlookup.h"

#include "core/app/dbsession.h"
#include "core/customers/appoptions.h"

namespace {

int runShow(CCliContext& c) {
    CDatabaseSession* session = c.openDatabase();
    if (!session)
        return c.openFailureExit();
    Database& db = *session->database();
    AppOptions options;
    if (const EditResult r = ReadAppOptions(db, &options); !r.ok()) {
        c.terminal().showMessage(r.text(), MessageIcon::Stop);
        return ExitFailure;
    }
    const CustomerDefaults d = CustomerDefaults::read();
    c.out(QStringLiteral("CompanyName: %1").arg(options.companyName));
    c.out(QStringLiteral("LogoURL: %1").arg(options.logoPath));
    c.out(QStringLiteral("DefBillingPlan: %1").arg(BillingPlanName(db, d.billingPlan)));
    c.out(QStringLiteral("DefInvoicePlan: %1").arg(InvoicePlanName(db, d.invoicePlan)));
    c.out(QStringLiteral("DefAnniversaryDate: %1").arg(d.anniversaryDay));
    c.out(QStringLiteral("DefaultEmailDomain: %1").arg(d.emailDomain));
    return ExitOk;
}

int runSet(CCliContext& c) {
    CDatabaseSession* session = c.openDatabase();
    if (!session)
        return c.openFailureExit();
    Database& db = *session->database();
    AppOptions options;
    if (const EditResult r = ReadAppOptions(db, &options); !r.ok()) {
        c.terminal().showMessage(r.text(), MessageIcon::Stop);
        return ExitFailure;
    }
    CustomerDefaults d = CustomerDefaults::read();
    bool dbTouched = false, defaultsTouched = false;
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
        } else {
            c.terminal().showMessage(QStringLiteral("Unknown option '%1'.").arg(a.left(eq)),
                                     MessageIcon::Stop);
            return ExitFailure;
        }
    }
    // Every value is checked before anything is written.
    if (const QString problem = CustomerDefaultsProblem(db, d); !problem.isEmpty()) {
        c.terminal().showMessage(problem, MessageIcon::Stop);
        return ExitFailure;
    }
    if (options.companyName.size() > kMaxCompanyNameLength ||
        options.logoPath.size() > kMaxLogoPathLength) {
        c.terminal().showMessage(WriteAppOptions(db, options).text(), MessageIcon::Stop);
        return ExitFailure;
    }
    if (dbTouched) {
        if (const EditResult r = WriteAppOptions(db, options); !r.ok()) {
            c.terminal().showMessage(r.text(), MessageIcon::Stop);
            return ExitFailure;
        }
    }
    if (defaultsTouched) {
        if (const EditResult r = d.write(); !r.ok()) {
            c.terminal().showMessage(r.text(), MessageIcon::Stop);
            return ExitFailure;
        }
    }
    return ExitOk;
}

const CliRegistration reg{{
    .name = QStringLiteral("options"),
    .synopsis = QStringLiteral("show|set ..."),
    .summary = QStringLiteral("Show or change the company name, logo and customer defaults."),
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
              "31, 0 for the start day) and DefaultEmailDomain (kept in the user's settings)."),
          .minArgs = 1,
          .maxArgs = -1,
          .run = &runSet}},
}};

} // namespace
