#pragma once
// Price lists copied between databases as JSON (docs/plans-json.md): billing plans with their
// charges in priority order and their taxes and surcharges, the charges' own taxes and
// surcharges, and invoicing plans.
#include "core/app/editresult.h"

#include <QByteArray>
#include <QStringList>

class Database;

// Writes the named templates (each name a billing plan or an invoicing plan; every template
// plan when `names` is empty) with every charge the billing plans hold and every tax or
// surcharge applied to those. A name that is no template plan is refused ("No billing or
// invoicing plan named '%s'.").
EditResult ExportPlans(Database& db, const QStringList& names, QByteArray* json);

struct PlanImportSummary {
    int billingPlans = 0, invoicingPlans = 0, charges = 0;
    int replaced = 0; // templates of the same name that were replaced
};

// Reads the whole document and checks every entry first (kinds, fields, references between
// entries, and that no template of the same name exists unless `replace`); then stores all of
// it in one transaction, or nothing. A replaced template is updated in place, so customers and
// groups keep pointing to it; frozen invoice copies are never touched.
EditResult ImportPlans(Database& db, const QByteArray& json, bool replace,
                       PlanImportSummary* summary = nullptr);
