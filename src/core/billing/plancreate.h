#pragma once
// New template rows: billing plans, invoicing plans and charges with their defaults.
#include "core/app/editresult.h"
#include "core/db/bprecord.h"
#include "core/db/chargerecord.h"
#include "core/db/invoiceplanrecord.h"

#include <QDate>

class Database;

// The rows a create writes, before the name check.
// A billing plan runs from `today` 00:00 to the same day one month later (a day past the end of
// the month rolls into the next one), no minimum.
BPRow NewBillingPlanRow(const QString& name, const QDate& today);
InvoicePlanRow NewInvoicingPlanRow(const QString& name);
// `type` is one of ChargeType Tax, Online, Fixed, Surcharge, ByteTraffic.
ChargeRow NewChargeRow(const QString& name, qint32 type);

// Create the template under the name without surrounding blanks, checking the name first ("Please
// enter a name for the charge.", "A charge with the name of '%s' already exists."); a database
// failure is "Error adding new charge." (billing plan, invoicing plan alike) with the engine's
// words. `id` gets the new Id.
EditResult CreateBillingPlan(Database& db, const QString& name, const QDate& today,
                             qint32* id = nullptr);
EditResult CreateInvoicingPlan(Database& db, const QString& name, qint32* id = nullptr);
EditResult CreateCharge(Database& db, const QString& name, qint32 type, qint32* id = nullptr);
