#include "core/customers/appoptions.h"

#include "core/app/settingsvalues.h"
#include "core/db/dbexception.h"
#include "core/db/dbinfo.h"
#include "core/db/transaction.h"

namespace {

const QString kOptionsError = QStringLiteral("Error updating application options.");

bool templatePlanExists(Database& db, const char* table, qint32 id) {
    if (id == 0)
        return true;
    return db
        .scalar(QStringLiteral("SELECT Id FROM %1 WHERE Id = ? AND IdInvoice = 0")
                    .arg(QLatin1String(table)),
                {id})
        .isValid();
}

} // namespace

bool IsTemplateBillingPlan(Database& db, qint32 id) {
    return templatePlanExists(db, "BillingPlans", id);
}

bool IsTemplateInvoicePlan(Database& db, qint32 id) {
    return templatePlanExists(db, "InvoicePlans", id);
}

EditResult ReadAppOptions(Database& db, AppOptions* options) {
    try {
        CDBInfo info(db);
        if (!info.read())
            return EditResult::failed(kOptionsError, QStringLiteral("DBInfo has no row."));
        options->companyName = info.CompanyName;
        options->logoPath = info.LogoURL;
    } catch (const DbException& e) {
        return EditResult::failed(kOptionsError, e.message());
    }
    return {};
}

EditResult WriteAppOptions(Database& db, const AppOptions& options) {
    if (options.companyName.size() > kMaxCompanyNameLength)
        return EditResult::failed(QStringLiteral("The company name holds at most %1 characters.")
                                      .arg(kMaxCompanyNameLength));
    if (options.logoPath.size() > kMaxLogoPathLength)
        return EditResult::failed(
            QStringLiteral("The logo path holds at most %1 characters.").arg(kMaxLogoPathLength));
    try {
        Transaction transaction(db);
        CDBInfo info(db);
        if (!info.read())
            return EditResult::failed(kOptionsError, QStringLiteral("DBInfo has no row."));
        info.edit();
        info.CompanyName = options.companyName;
        info.LogoURL = options.logoPath;
        info.update();
        transaction.commit();
    } catch (const DbException& e) {
        return EditResult::failed(kOptionsError, e.message());
    }
    return {};
}

CustomerDefaults CustomerDefaults::read() {
    CustomerDefaults d;
    d.billingPlan = RegNumber(Reg::DefBillingPlan);
    d.invoicePlan = RegNumber(Reg::DefInvoicePlan);
    d.anniversaryDay = RegNumber(Reg::DefAnniversaryDate);
    d.emailDomain = RegText(Reg::DefaultEmailDomain);
    return d;
}

EditResult CustomerDefaults::write() const {
    const bool ok = RegWriteNumber(Reg::DefBillingPlan, billingPlan) &&
                    RegWriteNumber(Reg::DefInvoicePlan, invoicePlan) &&
                    RegWriteNumber(Reg::DefAnniversaryDate, anniversaryDay) &&
                    RegWriteText(Reg::DefaultEmailDomain, emailDomain);
    if (!ok)
        return EditResult::failed(QStringLiteral("The customer defaults could not be stored in "
                                                 "the settings."));
    return {};
}

QString CustomerDefaultsProblem(Database& db, const CustomerDefaults& d) {
    if (d.anniversaryDay < 0 || d.anniversaryDay > 31)
        return QStringLiteral("Please enter an anniversary day between 0 and 31.");
    if (!IsTemplateBillingPlan(db, d.billingPlan))
        return QStringLiteral("Billing plan %1 does not exist.").arg(d.billingPlan);
    if (!IsTemplateInvoicePlan(db, d.invoicePlan))
        return QStringLiteral("Invoicing plan %1 does not exist.").arg(d.invoicePlan);
    return {};
}
