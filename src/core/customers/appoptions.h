#pragma once
#include "core/customers/editresult.h"

#include <QString>

class Database;

// Values of the whole installation. The company name and logo travel with the database (its
// DBInfo row); the customer defaults belong to the machine's user (the settings store).
struct AppOptions {
    QString companyName;
    QString logoPath;
};

inline constexpr int kMaxCompanyNameLength = 50;
inline constexpr int kMaxLogoPathLength = 255;

// Reads the DBInfo row; "Error updating application options." when it is missing or unreadable.
EditResult ReadAppOptions(Database& db, AppOptions* options);
// Checks the lengths, then writes both values to the DBInfo row (all or nothing).
EditResult WriteAppOptions(Database& db, const AppOptions& options);

// What a newly created customer receives.
struct CustomerDefaults {
    qint32 billingPlan = 0;    // BillingPlans.Id, 0 none
    qint32 invoicePlan = 0;    // InvoicePlans.Id, 0 none
    qint32 anniversaryDay = 0; // 0..31; 0: the day of the month of the start date
    QString emailDomain;

    // From the settings store, with the stored defaults where nothing is set.
    static CustomerDefaults read();
    // Writes all four values; false (with the reason) when the store refused one.
    EditResult write() const;
};

// Why the defaults cannot be kept: a plan that is not a live plan of this database, or a day
// outside 0..31; empty when they are fine.
QString CustomerDefaultsProblem(Database& db, const CustomerDefaults& defaults);

// The live (template) billing or invoicing plan of that id exists. Id 0 (none) always does.
bool IsTemplateBillingPlan(Database& db, qint32 id);
bool IsTemplateInvoicePlan(Database& db, qint32 id);
