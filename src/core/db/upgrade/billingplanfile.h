#pragma once
#include <QString>

class UpgradeContext;

// The name of the billing-plan summary, written into the upgrade's plan-file folder.
inline constexpr const char* kBillingPlanFileName = "BillingPlans.txt";

// Writes the per-customer rates of the first billing model and the settings that went with
// them to "BillingPlans.txt", tells the user where, and deletes the rate fields from Users.
// When the file cannot be written the user is told so and the fields stay, so the next
// opening tries again. Engine failures propagate as DbException.
void WriteBillingPlansAndDropRates(UpgradeContext& ctx);
