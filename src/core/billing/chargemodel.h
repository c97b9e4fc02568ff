#pragma once
#include "core/billing/ratingcontext.h"
#include "core/db/currency.h"

class Database;

// The charge model: eligibility, pricing and linking of the invoice copies of charges.
// Every rule works on an in-memory copy (ChargeRow) held by the invoice document.

// The invoice copy of a template charge: every field except the key, then IdInvoice = the
// invoice, IdUser = the billed customer, IdTemplate = the template's Id, and amount and
// quantity billed reset to 0. Id stays 0 until the copy is saved.
ChargeRow MakeInvoiceCopy(const RatingContext& ctx, const ChargeRow& charge);

// Adds the copy as a new Charges row and sets its Id. Throws DbException on failure.
void SaveChargeCopy(Database& db, ChargeRow& copy);

// Adds the copy as a new Charges row without waiting (Database::post): it is to become
// ctx.Charges[index], whose Id ctx.resolveKeys() sets once a later statement has run. A failure
// is raised by that statement.
void PostChargeCopy(Database& db, RatingContext& ctx, const ChargeRow& copy, qsizetype index);

// Reads the carry-over of every template's latest copy for the billed customer into
// ctx.LatestCopies (see RatingContext). Throws DbException on failure.
void LoadLatestCopies(Database& db, RatingContext& ctx);

// Whether the charge takes part in this invoice (expiry, first-invoice-only, skip first and
// last invoice). An eligible copy receives LimitAccum and UnitAccum of the latest copy of
// the same template for the same customer. A failure to read that copy reports result 9 and
// leaves the charge out.
bool ChargeApplies(Database& db, RatingContext& ctx, ChargeRow& copy);

// Prices `quantity` native units (seconds, bytes or units): whole blocks of UnitQuantity with
// the remainder carried in UnitAccum when Block is set, else pro rata. InvoicedAmount is
// rounded to the user's currency decimals afterwards. True on failure (an invalid price).
[[nodiscard]] bool AddUnits(ChargeRow& copy, qint64 quantity);

// Rates a fixed charge (type 4): once per period or at every occurrence of its frequency
// inside the period, then prorates. Returns 0, 36 when the charge does not apply, 11 or 12
// when its anchor is a start date or anniversary day the customer lacks.
[[nodiscard]] int RateFixed(Database& db, RatingContext& ctx, ChargeRow& copy);

// Scales InvoicedAmount by the share of the period in which the customer had service, when
// the charge says so (warning 27 for anything but a per-period fixed charge). Always true.
[[nodiscard]] bool ProrateCharge(RatingContext& ctx, ChargeRow& copy);

// Creates, saves and appends to ctx.Charges the copies of the taxes, surcharges and discounts
// that apply to `base`: those linked to charge `sourceId` (planLevel false), or the plan's own
// type-1/8 charges of template plan `sourceId` (planLevel true). Only charges whose Type &
// typeMask is not 0 are taken. `total` receives the sum of their amounts. True on failure
// (the engine's message is in ctx.LastError).
[[nodiscard]] bool ApplyLinked(Database& db, RatingContext& ctx, const Currency& base,
                               qint32 sourceId, qint32 appliedToId, bool planLevel, qint32 typeMask,
                               Currency& total);

// The anchor of a periodic fixed charge or an accumulation window: 0 with the anchor (and,
// for the anniversary anchor, the aligned period end), else result 11 or 12.
[[nodiscard]] int ChargeAnchor(const RatingContext& ctx, const ChargeRow& charge, qint64& anchor,
                               qint64& alignedEnd);
