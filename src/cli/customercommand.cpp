// customer list|show|add|set|delete: customers and groups kept from the command line.
#include "cli/clicommand.h"
#include "cli/clitable.h"
#include "cli/customerautocommands.h"
#include "cli/customerlookup.h"

#include "core/app/dbsession.h"
#include "core/customers/appoptions.h"
#include "core/customers/cardmask.h"
#include "core/customers/customercreate.h"
#include "core/customers/customerdelete.h"
#include "core/customers/customergroups.h"
#include "core/customers/customerimport.h"
#include "core/customers/customerpages.h"
#include "core/db/transaction.h"
#include "core/db/userrecord.h"

#include <QDate>
#include <functional>

namespace {

// --- list ---

int runList(CCliContext& c) {
    const auto format = c.tableFormat();
    if (!format)
        return ExitUsage;
    Database* db = c.database();
    if (!db)
        return c.openFailureExit();
    QList<qint32> ids;
    const QString group = c.args().value(QStringLiteral("group"));
    if (!group.isNull()) {
        const auto groupId = LookUpCustomer(c, *db, group);
        if (!groupId)
            return ExitFailure;
        for (const MemberEntry& m : GroupMembers(*db, *groupId))
            ids.append(m.id);
    } else {
        const CustomerTree tree = BuildCustomerTree(*db);
        for (const auto* section : {&tree.groups, &tree.customers})
            for (const CustomerTreeNode& n : *section)
                ids.append(n.entry.id);
    }
    CCliTable table;
    table.addColumn(QStringLiteral("Name"));
    table.addColumn(QStringLiteral("Kind"));
    table.addColumn(QStringLiteral("FullName"));
    table.addColumn(QStringLiteral("Active"));
    table.addColumn(QStringLiteral("BillingPlan"));
    table.addColumn(QStringLiteral("InvoicePlan"));
    table.addColumn(QStringLiteral("EMail"));
    // Plan names looked up once per plan, not once per row.
    QHash<qint32, QString> billingPlans, invoicePlans;
    const auto planName = [&](QHash<qint32, QString>& cache, qint32 id,
                              QString (*name)(Database&, qint32)) {
        auto it = cache.find(id);
        if (it == cache.end())
            it = cache.insert(id, name(*db, id));
        return *it;
    };
    for (qint32 id : ids) {
        CUserRecord u(*db);
        if (!u.findById(id))
            continue;
        table.addRow({u.Username, u.IsGroup ? QStringLiteral("group") : QStringLiteral("customer"),
                      u.FullName, CliYesNo(u.ActiveStatus & UserStatus::Active),
                      planName(billingPlans, u.IdBillingPlan, &BillingPlanName),
                      planName(invoicePlans, u.IdInvoicePlan, &InvoicePlanName),
                      LoadAddressPage(*db, id, AddressType::Billing).email});
    }
    c.out(table, *format);
    return ExitOk;
}

// --- show ---

int runShow(CCliContext& c) {
    Database* db = c.database();
    if (!db)
        return c.openFailureExit();
    const auto found = LookUpCustomerRow(c, *db, c.args().positional().at(0));
    if (!found)
        return ExitFailure;
    const UserRow& u = *found;
    const qint32 id = u.Id;
    const auto line = [&](const QString& label, const QString& value) {
        c.out(QStringLiteral("%1: %2").arg(label, value));
    };
    const GeneralPage general = LoadGeneralPage(*db, id).value_or(GeneralPage{});
    line(QStringLiteral("Name"), u.Username);
    line(QStringLiteral("Kind"), u.IsGroup ? QStringLiteral("group") : QStringLiteral("customer"));
    line(QStringLiteral("FullName"), general.fullName);
    line(QStringLiteral("Active"), CliYesNo(general.active));
    line(QStringLiteral("StartDate"), general.startDate);
    line(QStringLiteral("EndDate"), general.endDate);
    line(QStringLiteral("Comment"), general.comment);
    const CardPage card = LoadCardPage(*db, id).value_or(CardPage{});
    line(QStringLiteral("CCNameOnCard"), card.nameOnCard);
    line(QStringLiteral("CreditCard"), MaskCardNumber(card.number));
    line(QStringLiteral("CCCompany"), card.company);
    line(QStringLiteral("ExpiryDate"), card.month.isEmpty() && card.year.isEmpty()
                                           ? QString()
                                           : card.month + QLatin1Char('/') + card.year);
    const BillingPage billing = LoadBillingPage(*db, id).value_or(BillingPage{});
    line(QStringLiteral("BillingPlan"), BillingPlanName(*db, billing.billingPlan));
    line(QStringLiteral("InvoicePlan"), InvoicePlanName(*db, billing.invoicePlan));
    line(QStringLiteral("HtmlOverride"), CliYesNo(billing.overrideHtml));
    line(QStringLiteral("Html"), CliYesNo(billing.sendHtml));
    line(QStringLiteral("AnniversaryDay"), QString::number(billing.anniversaryDay));
    line(QStringLiteral("GotFirstInvoice"), CliYesNo(billing.gotFirstInvoice));
    if (u.IsGroup) {
        const GroupPage g = LoadGroupPage(*db, id).value_or(GroupPage{});
        line(QStringLiteral("BPOverride"),
             g.overrideBillingPlan ? BillingPlanName(*db, g.billingPlan) : QStringLiteral("None"));
        line(QStringLiteral("IPOverride"),
             g.overrideInvoicePlan ? InvoicePlanName(*db, g.invoicePlan) : QStringLiteral("None"));
        line(QStringLiteral("SummaryInvoice"), CliYesNo(g.summaryInvoice));
        line(QStringLiteral("SendSummaryToMembers"), CliYesNo(g.sendSummaryToMembers));
        QStringList members;
        for (const MemberEntry& m : GroupMembers(*db, id))
            members.append(m.display());
        line(QStringLiteral("Members"), members.join(QStringLiteral(", ")));
    }
    const QStringList& addressTypes = AddressTypeNames();
    for (qint32 t = 0; t < addressTypes.size(); ++t) {
        const AddressPage a = LoadAddressPage(*db, id, t);
        if (a.isEmpty())
            continue;
        const QString p = addressTypes.at(t) + QLatin1Char('.');
        line(p + QStringLiteral("EMail"), a.email);
        line(p + QStringLiteral("Address1"), a.address1);
        line(p + QStringLiteral("Address2"), a.address2);
        line(p + QStringLiteral("City"), a.city);
        line(p + QStringLiteral("Province"), a.province);
        line(p + QStringLiteral("PostalCode"), a.postalCode);
    }
    const QStringList& phoneTypes = PhoneTypeNames();
    for (qint32 t = 0; t < phoneTypes.size(); ++t) {
        const QString number = LoadPhonePage(*db, id, t);
        if (!number.isEmpty())
            line(QStringLiteral("Phone.") + phoneTypes.at(t), number);
    }
    for (const UnitCount& uc : LoadUnitCounts(*db, id))
        line(QStringLiteral("Units.") + uc.chargeName,
             QStringLiteral("%1 %2").arg(uc.units).arg(uc.unitName).trimmed());
    return ExitOk;
}

// --- set ---

// The pages of one customer as loaded, the assignments made to them, and which were touched.
struct Pages {
    qint32 id = 0;
    bool isGroup = false;
    GeneralPage general;
    CardPage card;
    BillingPage billing;
    GroupPage group;
    QHash<qint32, AddressPage> addresses; // by type, loaded on first use
    QHash<qint32, QString> phones;
    QHash<qint32, qint32> units; // by charge
    bool touchedGeneral = false, touchedCard = false, touchedBilling = false, touchedGroup = false;
};

// Applies FIELD=VALUE to the pages; the reason it cannot, "-" when that was shown already
// (an unknown plan), or empty.
QString assign(CCliContext& c, Database& db, Pages& p, const QString& field, const QString& value) {
    const QString f = field.toLower();
    // A yes/no field of a page: marks the page changed.
    const auto flag = [&](bool& touched, bool& target) -> QString {
        touched = true;
        const auto v = ParseYesNoField(value);
        if (!v)
            return QStringLiteral("%1 takes yes or no, not '%2'.").arg(field, value);
        target = *v;
        return {};
    };
    // A text field of a page: marks the page changed.
    const auto text = [&](bool& touched, QString& target) -> QString {
        touched = true;
        target = value;
        return {};
    };
    const auto groupOnly = [&]() -> QString {
        return p.isGroup ? QString() : QStringLiteral("%1 applies to groups only.").arg(field);
    };
    // General
    if (f == QLatin1String("fullname"))
        return text(p.touchedGeneral, p.general.fullName);
    if (f == QLatin1String("active"))
        return flag(p.touchedGeneral, p.general.active);
    if (f == QLatin1String("startdate"))
        return text(p.touchedGeneral, p.general.startDate);
    if (f == QLatin1String("enddate"))
        return text(p.touchedGeneral, p.general.endDate);
    if (f == QLatin1String("comment"))
        return text(p.touchedGeneral, p.general.comment);
    // Credit card
    if (f == QLatin1String("creditcard"))
        return text(p.touchedCard, p.card.number);
    if (f == QLatin1String("cccompany"))
        return text(p.touchedCard, p.card.company);
    if (f == QLatin1String("ccnameoncard"))
        return text(p.touchedCard, p.card.nameOnCard);
    if (f == QLatin1String("expirydate")) {
        p.touchedCard = true;
        const qsizetype slash = value.indexOf(QLatin1Char('/'));
        if (value.isEmpty() || value == QLatin1String("/")) {
            p.card.month.clear();
            p.card.year.clear();
            return {};
        }
        if (slash < 0)
            return QStringLiteral("ExpiryDate is MM/YYYY, not '%1'.").arg(value);
        p.card.month = value.left(slash);
        p.card.year = value.mid(slash + 1);
        return {};
    }
    // Billing
    if (f == QLatin1String("billingplan") || f == QLatin1String("invoiceplan")) {
        const bool bp = f == QLatin1String("billingplan");
        const auto plan = bp ? LookUpBillingPlan(c, db, value) : LookUpInvoicePlan(c, db, value);
        if (!plan)
            return QStringLiteral("-"); // already said
        (bp ? p.billing.billingPlan : p.billing.invoicePlan) = *plan;
        p.touchedBilling = true;
        return {};
    }
    if (f == QLatin1String("htmloverride"))
        return flag(p.touchedBilling, p.billing.overrideHtml);
    if (f == QLatin1String("html"))
        return flag(p.touchedBilling, p.billing.sendHtml);
    if (f == QLatin1String("gotfirstinvoice"))
        return flag(p.touchedBilling, p.billing.gotFirstInvoice);
    if (f == QLatin1String("anniversaryday")) {
        bool ok = false;
        p.billing.anniversaryDay = value.trimmed().toInt(&ok);
        p.touchedBilling = true;
        return ok ? QString() : QStringLiteral("Please enter an anniversary day between 0 and 31.");
    }
    // Group
    if (f == QLatin1String("bpoverride") || f == QLatin1String("ipoverride")) {
        if (const QString problem = groupOnly(); !problem.isEmpty())
            return problem;
        const bool bp = f == QLatin1String("bpoverride");
        const auto plan = bp ? LookUpBillingPlan(c, db, value) : LookUpInvoicePlan(c, db, value);
        if (!plan)
            return QStringLiteral("-");
        (bp ? p.group.billingPlan : p.group.invoicePlan) = *plan;
        (bp ? p.group.overrideBillingPlan : p.group.overrideInvoicePlan) = *plan != 0;
        p.touchedGroup = true;
        return {};
    }
    if (f == QLatin1String("summaryinvoice") || f == QLatin1String("sendsummarytomembers")) {
        if (const QString problem = groupOnly(); !problem.isEmpty())
            return problem;
        return flag(p.touchedGroup, f == QLatin1String("summaryinvoice")
                                        ? p.group.summaryInvoice
                                        : p.group.sendSummaryToMembers);
    }
    // Addresses, phones and unit counts: TYPE.FIELD, Phone.TYPE, Units.CHARGE
    const qsizetype dot = field.indexOf(QLatin1Char('.'));
    if (dot > 0) {
        const QString head = field.left(dot);
        const QString tail = field.mid(dot + 1);
        if (head.compare(QLatin1String("phone"), Qt::CaseInsensitive) == 0) {
            const auto type = PhoneTypeOf(tail);
            if (!type)
                return QStringLiteral("Unknown phone type '%1' (one of %2).")
                    .arg(tail, PhoneTypeNames().join(QStringLiteral(", ")));
            p.phones.insert(*type, value);
            return {};
        }
        if (head.compare(QLatin1String("units"), Qt::CaseInsensitive) == 0) {
            for (const UnitCount& uc : LoadUnitCounts(db, p.id)) {
                if (uc.chargeName.compare(tail, Qt::CaseInsensitive) != 0)
                    continue;
                bool ok = false;
                const qint32 n = value.trimmed().toInt(&ok);
                if (!ok || n < 0)
                    return QStringLiteral("Units of '%1' must be a whole number, not '%2'.")
                        .arg(tail, value);
                p.units.insert(uc.chargeId, n);
                return {};
            }
            return QStringLiteral("The billing plan has no per-customer charge named '%1'.")
                .arg(tail);
        }
        if (const auto type = AddressTypeOf(head)) {
            if (!p.addresses.contains(*type))
                p.addresses.insert(*type, LoadAddressPage(db, p.id, *type));
            AddressPage& a = p.addresses[*type];
            const QString t = tail.toLower();
            QString* target = t == QLatin1String("email")        ? &a.email
                              : t == QLatin1String("address1")   ? &a.address1
                              : t == QLatin1String("address2")   ? &a.address2
                              : t == QLatin1String("city")       ? &a.city
                              : t == QLatin1String("province")   ? &a.province
                              : t == QLatin1String("postalcode") ? &a.postalCode
                                                                 : nullptr;
            if (!target)
                return QStringLiteral("Unknown address field '%1' (EMail, Address1, Address2, "
                                      "City, Province, PostalCode).")
                    .arg(tail);
            *target = value;
            return {};
        }
    }
    return QStringLiteral("Unknown field '%1'.").arg(field);
}

// Saves every touched page inside the caller's transaction; the first failure, or ok.
EditResult savePages(Database& db, const Pages& p) {
    QList<std::function<EditResult()>> saves;
    if (p.touchedGeneral)
        saves.append([&] { return SaveGeneralPage(db, p.id, p.general); });
    if (p.touchedCard)
        saves.append([&] { return SaveCardPage(db, p.id, p.card); });
    if (p.touchedBilling)
        saves.append([&] { return SaveBillingPage(db, p.id, p.billing); });
    if (p.touchedGroup)
        saves.append([&] { return SaveGroupPage(db, p.id, p.group); });
    for (auto it = p.addresses.cbegin(); it != p.addresses.cend(); ++it)
        saves.append([&db, &p, type = it.key(), page = it.value()] {
            return SaveAddressPage(db, p.id, type, page);
        });
    for (auto it = p.phones.cbegin(); it != p.phones.cend(); ++it)
        saves.append([&db, &p, type = it.key(), number = it.value()] {
            return SavePhonePage(db, p.id, type, number);
        });
    for (auto it = p.units.cbegin(); it != p.units.cend(); ++it)
        saves.append([&db, &p, charge = it.key(), n = it.value()] {
            return SaveUnitCount(db, p.id, charge, n);
        });
    for (const auto& save : saves)
        if (EditResult r = save(); !r.ok())
            return r;
    return {};
}

Pages loadPages(Database& db, qint32 id) {
    Pages p;
    p.id = id;
    CUserRecord u(db);
    if (u.findById(id))
        p.isGroup = u.IsGroup;
    p.general = LoadGeneralPage(db, id).value_or(GeneralPage{});
    p.card = LoadCardPage(db, id).value_or(CardPage{});
    p.billing = LoadBillingPage(db, id).value_or(BillingPage{});
    p.group = LoadGroupPage(db, id).value_or(GroupPage{});
    return p;
}

// Applies the assignments and saves them all, or nothing.
int applyAssignments(CCliContext& c, Database& db, Pages& p, const QStringList& assignments) {
    for (const QString& a : assignments) {
        const qsizetype eq = a.indexOf(QLatin1Char('='));
        if (eq <= 0)
            return c.usageError(QStringLiteral("'%1' is not FIELD=VALUE.").arg(a));
        const QString problem = assign(c, db, p, a.left(eq), a.mid(eq + 1));
        if (problem == QLatin1String("-"))
            return ExitFailure;
        if (!problem.isEmpty())
            return c.fail(problem);
    }
    return ExitOk;
}

int runSet(CCliContext& c) {
    Database* db = c.database();
    if (!db)
        return c.openFailureExit();
    const QStringList args = c.args().positional();
    const auto id = LookUpCustomer(c, *db, args.at(0));
    if (!id)
        return ExitFailure;
    Pages p = loadPages(*db, *id);
    if (const int rc = applyAssignments(c, *db, p, args.mid(1)); rc != ExitOk)
        return rc;
    Transaction transaction(*db);
    if (const EditResult r = savePages(*db, p); !r.ok())
        return c.fail(r.text());
    transaction.commit();
    return ExitOk;
}

// --- add ---

int runAdd(CCliContext& c) {
    Database* db = c.database();
    if (!db)
        return c.openFailureExit();
    const QString name = c.args().positional().at(0);
    const bool group = c.args().isSet(QStringLiteral("group-row"));
    CustomerDefaults defaults = CustomerDefaults::read();
    QStringList assignments;
    const auto option = [&](const char* opt, const char* field) {
        const QString v = c.args().value(QLatin1String(opt));
        if (!v.isNull())
            assignments.append(QLatin1String(field) + QLatin1Char('=') + v);
    };
    option("full-name", "FullName");
    option("email", "Billing.EMail");
    option("billing-plan", "BillingPlan");
    option("invoice-plan", "InvoicePlan");
    option("start", "StartDate");
    const QString start = c.args().value(QStringLiteral("start"));
    if (!start.isNull() && !QDate::fromString(start, Qt::ISODate).isValid())
        return c.fail(QStringLiteral("--start is a date YYYY-MM-DD, not '%1'.").arg(start));

    Transaction transaction(*db);
    qint32 id = 0;
    if (const EditResult r = CreateCustomer(*db, name, group, defaults, QDate::currentDate(), &id);
        !r.ok())
        return c.fail(r.text());
    Pages p = loadPages(*db, id);
    if (const int rc = applyAssignments(c, *db, p, assignments); rc != ExitOk)
        return rc;
    if (const EditResult r = savePages(*db, p); !r.ok())
        return c.fail(r.text());
    transaction.commit();
    c.out(QStringLiteral("Created %1 '%2'.")
              .arg(group ? QStringLiteral("group") : QStringLiteral("customer"), name));
    return ExitOk;
}

// --- delete ---

int runDelete(CCliContext& c) {
    Database* db = c.database();
    if (!db)
        return c.openFailureExit();
    const auto u = LookUpCustomerRow(c, *db, c.args().positional().at(0));
    if (!u)
        return ExitFailure;
    if (!c.terminal().askYesNo(DeleteCustomerQuestion(*u), MessageIcon::Exclamation))
        return ExitDeclined;
    if (const EditResult r = DeleteCustomer(*db, u->Id); !r.ok())
        return c.fail(r.text());
    return ExitOk;
}

// --- import ---

int runImport(CCliContext& c) {
    Database* db = c.database();
    if (!db)
        return c.openFailureExit();
    const QString path = c.args().positional().at(0);
    const CsvImportResult r =
        ImportCustomersCsvFile(*db, path, CustomerDefaults::read(), QDate::currentDate());
    for (const CsvImportProblem& p : r.problems)
        CCliUserInterface::note(QStringLiteral("%1:%2: %3").arg(path).arg(p.line).arg(p.reason));
    if (!r.failure.isEmpty())
        return c.fail(
            QStringLiteral("Import of %1 failed, nothing was stored: %2").arg(path, r.failure));
    if (!r.problems.isEmpty())
        return c.fail(QStringLiteral("%1 of %2 rows are bad; nothing was stored.")
                          .arg(r.problems.size())
                          .arg(r.rows));
    c.out(QStringLiteral("Stored %1 customers.").arg(r.stored));
    return ExitOk;
}

const CliRegistration reg{{
    .name = QStringLiteral("customer"),
    .synopsis = QStringLiteral("list|show|add|set|delete|import|create-from-sessions|"
                               "create-from-accounts ..."),
    .summary = QStringLiteral("List, show, create, change or delete customers and groups."),
    .subcommands =
        {{.name = QStringLiteral("list"),
          .synopsis = QStringLiteral("[--group NAME] [--format table|csv|json]"),
          .summary = QStringLiteral("List the groups and then the customers, or the members of "
                                    "one group."),
          .options = {{QStringLiteral("group"), QString(), QStringLiteral("NAME"),
                       QStringLiteral("only the members of this group")},
                      FormatCliOption()},
          .run = &runList},
         {.name = QStringLiteral("show"),
          .synopsis = QStringLiteral("NAME"),
          .summary = QStringLiteral("Show every field of a customer or group (the card number "
                                    "masked)."),
          .minArgs = 1,
          .maxArgs = 1,
          .run = &runShow},
         {.name = QStringLiteral("add"),
          .synopsis = QStringLiteral("NAME [--group-row] [--full-name T] [--email ADDR] "
                                     "[--billing-plan NAME] [--invoice-plan NAME] "
                                     "[--start YYYY-MM-DD]"),
          .summary = QStringLiteral("Create a customer (or group) with the customer defaults."),
          .options = {{QStringLiteral("group-row"), QString(), QString(),
                       QStringLiteral("create a group")},
                      {QStringLiteral("full-name"), QString(), QStringLiteral("T"),
                       QStringLiteral("the full name")},
                      {QStringLiteral("email"), QString(), QStringLiteral("ADDR"),
                       QStringLiteral("the Billing address's e-mail (default: NAME@ the default "
                                      "domain)")},
                      {QStringLiteral("billing-plan"), QString(), QStringLiteral("NAME"),
                       QStringLiteral("the billing plan instead of the default")},
                      {QStringLiteral("invoice-plan"), QString(), QStringLiteral("NAME"),
                       QStringLiteral("the invoicing plan instead of the default")},
                      {QStringLiteral("start"), QString(), QStringLiteral("YYYY-MM-DD"),
                       QStringLiteral("the start of service instead of today")}},
          .minArgs = 1,
          .maxArgs = 1,
          .run = &runAdd},
         {.name = QStringLiteral("set"),
          .synopsis = QStringLiteral("NAME FIELD=VALUE..."),
          .summary = QStringLiteral("Change fields of a customer or group, all or nothing."),
          .details = QStringLiteral(
              "Fields: FullName, Active, StartDate, EndDate, Comment; CreditCard, CCCompany, "
              "CCNameOnCard, ExpiryDate (MM/YYYY); BillingPlan, InvoicePlan (a plan name or "
              "None), HtmlOverride, Html, AnniversaryDay, GotFirstInvoice; of a group "
              "BPOverride, IPOverride (a plan name, None clears the override), SummaryInvoice, "
              "SendSummaryToMembers. Addresses as TYPE.FIELD (TYPE Billing, Shipping, Home or "
              "Work; FIELD EMail, Address1, Address2, City, Province or PostalCode; an address "
              "left with every field empty is deleted), phones as Phone.TYPE (Home, Business, "
              "Fax, Pager, Cellular; empty deletes), unit counts as Units.CHARGE. Yes/no fields "
              "take yes or no. Field names ignore case."),
          .minArgs = 2,
          .maxArgs = -1,
          .run = &runSet},
         {.name = QStringLiteral("delete"),
          .synopsis = QStringLiteral("NAME"),
          .summary = QStringLiteral("Delete a customer or group with its sessions, invoices, "
                                    "memberships, addresses and unit counts (asks first)."),
          .minArgs = 1,
          .maxArgs = 1,
          .run = &runDelete},
         {.name = QStringLiteral("import"),
          .synopsis = QStringLiteral("FILE.csv"),
          .summary = QStringLiteral("Create customers from a CSV file with a header row of field "
                                    "names; when any row is bad nothing is stored."),
          .details = QStringLiteral("The fields are those of customer set (see docs/"
                                    "customers-csv.md); plans by name, dates YYYY-MM-DD, UTF-8 "
                                    "or Windows-1252 text."),
          .minArgs = 1,
          .maxArgs = 1,
          .run = &runImport},
         CreateFromSessionsCommand(),
         CreateFromAccountsCommand()},
}};

} // namespace
