#pragma once
// Finding customers, groups and plans named on the command line (names ignore case).
#include "core/db/userrecord.h"

#include <QString>
#include <optional>

class CCliContext;
class Database;

// The Id of the customer or group `name`; nullopt (after one line saying so) when there is
// none.
std::optional<qint32> LookUpCustomer(CCliContext& c, Database& db, const QString& name);
// The same with the customer's row; nullopt also (after "User not found.") when the row
// cannot be read.
std::optional<UserRow> LookUpCustomerRow(CCliContext& c, Database& db, const QString& name);
// The Id of a live billing or invoicing plan by name ("None" or an empty text is 0); nullopt
// (after one line saying so) for an unknown name.
std::optional<qint32> LookUpBillingPlan(CCliContext& c, Database& db, const QString& name);
std::optional<qint32> LookUpInvoicePlan(CCliContext& c, Database& db, const QString& name);
// The name of a plan id for display ("None" for 0, "#id" for a plan that is gone).
QString BillingPlanName(Database& db, qint32 id);
QString InvoicePlanName(Database& db, qint32 id);
