#pragma once
// The property pages of a billing plan (General, Apply) and the Apply page of a charge. Each
// page is a plain struct: made from the stored row, checked (validate() answers the message to
// show, empty when the page is fine, and which control it is about), and saved, which checks
// again, writes only the page's own fields in one transaction and leaves the row as it was when
// anything fails. Frozen invoice copies are never read or written here.
#include "core/app/editresult.h"
#include "core/db/bprecord.h"

#include <QList>
#include <QString>
#include <optional>

class Database;

// Billing plan, General page.
struct BillingPlanGeneralPage {
    enum Field { NameField, StartField, EndField, MinimumField };

    QString name;
    // The billing period as month, day and year; both ends are stored at 00:00, so the period
    // is [start day 00:00, end day 00:00).
    int startMonth = 1, startDay = 1, startYear = 1970;
    int endMonth = 1, endDay = 1, endYear = 1970;
    bool useAnniversary = false;
    QString minimum; // the minimum amount as typed ("12.50"); shown with the currency decimals
    bool prepayMinimum = false;
    bool skipFirstInvoice = false;

    static BillingPlanGeneralPage fromRow(const BPRow& row, int decimals);
    // "Please enter a name.", "Please enter a valid date.", "Billing start date must precede
    // billing end date.", an amount that is no number.
    QString validate(Field* field = nullptr) const;
    // Writes the page's fields into `row` (the page must be valid).
    void toRow(BPRow& row) const;
    // Checks, also that no other template plan has the name; "Error saving billing plan
    // properties" on a database failure.
    EditResult save(Database& db, qint32 planId) const;
};

// One tax, surcharge or discount offered on an Apply page.
struct AppliedChoice {
    qint32 chargeId = 0;
    QString name;
    bool checked = false;
};

// Apply page ("&Apply tax/surcharge/discount:") of a billing plan or of a charge: every template
// tax and surcharge/discount by name, checked when it applies.
struct ApplyPage {
    QList<AppliedChoice> choices;

    // The choices with the plan's own taxes/surcharges checked (throws DbException).
    static ApplyPage forPlan(Database& db, qint32 planId);
    // The choices with those linked to the charge checked (throws DbException). A charge is not
    // offered to itself.
    static ApplyPage forCharge(Database& db, qint32 chargeId);
    // Replaces the plan's type-1/8 links by the checked choices (OrdinalPosition 0); its other
    // charges and every other plan's links stay. "Error saving billing plan properties".
    EditResult saveForPlan(Database& db, qint32 planId) const;
    // Replaces the links to the charge by the checked choices. "Error saving charge properties".
    EditResult saveForCharge(Database& db, qint32 chargeId) const;
    // Checks or unchecks the choice of that charge; false when it is not offered.
    bool setChecked(qint32 chargeId, bool checked);
};

// The text of an amount with `decimals` decimals ("12.50"), and an amount as typed (the user's
// locale or "." as the decimal point, an optional minus sign); nullopt for anything else.
QString AmountText(const Currency& amount, int decimals);
std::optional<Currency> ParseAmountText(const QString& text);
