#pragma once
// Deleting template rows. Each delete runs in one transaction: when any step fails nothing is
// deleted and the failure message carries the engine's words. Frozen copies of issued invoices
// are never touched, so every invoice keeps its plan and charges.
#include "core/app/editresult.h"

#include <QString>

class Database;

// The questions asked first.
QString DeletePlanChargeQuestion();  // "Delete the selected charge from the billing plan?"
QString DeleteChargeQuestion();      // "Deleting this charge will also delete ..."
QString DeleteBillingPlanQuestion(); // "Delete the selected billing plan?"
QString DeleteInvoicingPlanQuestion();

// Removes a charge from a billing plan (the charge itself stays).
EditResult DeletePlanCharge(Database& db, qint32 planId, qint32 chargeId);
// Deletes a template charge with its plan links, its links to and from taxes and surcharges,
// and customers' unit counts of it. "Error deleting charge records".
EditResult DeleteCharge(Database& db, qint32 chargeId);
// Deletes a template billing plan with its charge links; customers on it get none, groups that
// override with it no longer do. When it was the customer default billing plan the default
// becomes none and `note` gets "Note:  You have just deleted the customer default billing plan.
// It has been set to 'None'." (else it is cleared). "Error deleting billingPlan records".
EditResult DeleteBillingPlan(Database& db, qint32 planId, QString* note = nullptr);
// The same for an invoicing plan. "Error deleting invoicePlan records".
EditResult DeleteInvoicingPlan(Database& db, qint32 planId, QString* note = nullptr);
