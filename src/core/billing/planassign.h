#pragma once
// "Billing Plan Charges" ("Assign charges to %s billing plan"): the ordinary charges of a
// billing plan in priority order (the order in which rating offers them time and units), and
// the template charges not in it. Taxes, surcharges and discounts are not assigned here (the
// plan's Apply page keeps them).
#include "core/app/editresult.h"
#include "core/billing/plancatalog.h"

#include <QList>

class Database;

struct PlanChargeAssignment {
    qint32 planId = 0;
    QString planName;
    QList<TemplateEntry> available; // template charges not in the plan, by name
    QList<TemplateEntry> assigned;  // in priority order

    // The dialog's title: "Assign charges to %s billing plan".
    QString title() const;

    // Reads both lists (throws DbException).
    static PlanChargeAssignment load(Database& db, qint32 planId);
    // Moves an available charge to the end of the plan's list; false when it is not available.
    bool add(qint32 chargeId);
    // Moves an assigned charge back to the available list (kept by name); false when absent.
    bool remove(qint32 chargeId);
    // Raises or lowers the charge at `index` of the assigned list by one; false at the ends.
    bool moveUp(int index);
    bool moveDown(int index);

    // Replaces the plan's ordinary charge links by the assigned list, OrdinalPosition its place
    // counted from 0; the plan's taxes and surcharges stay. "Error making requested billing plan
    // changes." (with the engine's words) leaves the links as they were.
    EditResult save(Database& db) const;
};
