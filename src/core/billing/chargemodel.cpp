#include "core/billing/chargemodel.h"

#include "core/billing/billingtime.h"
#include "core/billing/chargetypes.h"
#include "core/billing/plantemplates.h"
#include "core/db/database.h"
#include "core/db/fixedunitsjoin.h"
#include "core/db/insertrecord.h"

#include <cmath>
#include <exception>

ChargeRow MakeInvoiceCopy(const RatingContext& ctx, const ChargeRow& charge) {
    ChargeRow copy = charge;
    copy.Id = 0;
    copy.IdInvoice = ctx.InvoiceNum;
    copy.IdUser = ctx.Customer.Id;
    copy.IdTemplate = charge.Id;
    copy.InvoicedAmount = Currency();
    copy.InvoicedQuantity = 0;
    return copy;
}

void SaveChargeCopy(Database& db, ChargeRow& copy) {
    copy.Id = insertRecord<CChargeRecord>(db, copy);
}

void PostChargeCopy(Database& db, RatingContext& ctx, const ChargeRow& copy, qsizetype index) {
    auto key = std::make_shared<qint64>(0);
    postRecord<CChargeRecord>(db, copy, key);
    ctx.PendingKeys.append({index, std::move(key)});
}

void LoadLatestCopies(Database& db, RatingContext& ctx) {
    // Every template's latest copy at once: one statement per customer instead of one per
    // charge (the same rows; a later copy replaces an earlier one).
    QHash<qint32, std::pair<qint32, qint32>> latest;
    Statement st = db.prepare(QStringLiteral(
        "SELECT IdTemplate, LimitAccum, UnitAccum FROM Charges WHERE [IdUser] = ? ORDER BY Id"));
    st.bind(1, ctx.Customer.Id);
    while (st.next())
        latest.insert(st.value(0).toInt(), {st.value(1).toInt(), st.value(2).toInt()});
    ctx.LatestCopies = std::move(latest);
}

bool ChargeApplies(Database& db, RatingContext& ctx, ChargeRow& copy) {
    const auto expiry = ChargeExpiry(copy);
    if (expiry && ctx.PeriodStart >= *expiry)
        return false;
    if (copy.FirstInvoiceOnly && ctx.Customer.GotFirstInvoice)
        return false;
    if (!ctx.Customer.GotFirstInvoice && (copy.Options & SkipFirstInvoiceBit(copy.Type)))
        return false;
    if ((copy.Options & ChargeOption::SkipLastInvoice) && ctx.EndsInPeriod())
        return false;

    // Carry-over from the latest copy of the same template for this customer.
    try {
        if (ctx.LatestCopiesCached) {
            if (!ctx.LatestCopies)
                LoadLatestCopies(db, ctx);
            if (const auto it = ctx.LatestCopies->constFind(copy.IdTemplate);
                it != ctx.LatestCopies->constEnd()) {
                copy.LimitAccum = it->first;
                copy.UnitAccum = it->second;
            }
            return true;
        }
        CChargeRecord last(db);
        // "+" keeps the look-up on the customer's index: the template's index holds one
        // copy per customer ever billed and makes a run quadratic.
        last.openWhere(QStringLiteral("[IdUser] = ? AND +[IdTemplate] = ? ORDER BY Id"),
                       {ctx.Customer.Id, copy.IdTemplate});
        if (!last.isEOF()) {
            last.moveLast();
            copy.LimitAccum = last.LimitAccum;
            copy.UnitAccum = last.UnitAccum;
        }
        last.close();
    } catch (const std::exception& e) {
        ctx.LastError = QString::fromUtf8(e.what());
        ctx.report(ResultCode::ComputingCharge, {}, ctx.LastError);
        return false;
    }
    return true;
}

bool AddUnits(ChargeRow& copy, qint64 quantity) {
    if (copy.UnitQuantity == 0)
        copy.UnitQuantity = 1;
    if (!copy.ChargeAmount.isValid() && !copy.ChargeAmount.isNull())
        return true;

    Currency amount;
    qint64 billed = 0;
    qint64 remainder = 0;
    if (copy.Block && copy.UnitQuantity > 0) {
        const qint64 total = qMax<qint64>(0, qint64(copy.UnitAccum) + quantity);
        const qint64 blocks = total / copy.UnitQuantity;
        remainder = total % copy.UnitQuantity;
        amount = Currency::fromUnits(copy.ChargeAmount.units() * blocks);
        billed = blocks * copy.UnitQuantity;
    } else {
        amount = copy.ChargeAmount * (double(quantity) / double(copy.UnitQuantity));
        billed = quantity;
    }
    copy.InvoicedAmount = RoundCurrency(copy.InvoicedAmount + amount, CurrencyDecimals());
    // The stored quantity is a 32-bit field; a larger total is kept at its largest value
    // (the amount above is exact either way).
    copy.InvoicedQuantity = ClampToInt32(qint64(copy.InvoicedQuantity) + billed);
    copy.UnitAccum = qint32(remainder);
    return false;
}

int ChargeAnchor(const RatingContext& ctx, const ChargeRow& charge, qint64& anchor,
                 qint64& alignedEnd) {
    anchor = ctx.PeriodStart;
    alignedEnd = ctx.PeriodEnd;
    switch (charge.LimitFilterType) {
    case LimitAnchor::AnniversaryDay: {
        if (ctx.Customer.AnniversaryDay <= 0)
            return ResultCode::NoAnniversaryDate;
        const auto aligned =
            AlignToAnniversary(ctx.PeriodStart, ctx.PeriodEnd, ctx.Customer.AnniversaryDay);
        anchor = aligned.first;
        alignedEnd = aligned.second;
        return 0;
    }
    case LimitAnchor::StartDate: {
        const auto start = ctx.CustomerStart();
        if (!start)
            return ResultCode::NoStartDate;
        anchor = *start;
        return 0;
    }
    case LimitAnchor::FixedDate:
        anchor = charge.LimitFilterStart;
        return 0;
    default:
        return 0;
    }
}

namespace {

// The number of units a customer takes of a fixed charge.
qint32 fixedUnits(Database& db, const RatingContext& ctx, const ChargeRow& copy) {
    CFixedUnitsJoin units(db);
    if (units.findUnits(copy.IdTemplate, ctx.Customer.Id))
        return units.NumUnits;
    return copy.DefUnitQuantity;
}

// Occurrence after d: n days or n months on.
qint64 nextOccurrence(qint64 d, qint32 limitType, int n) {
    return limitType == LimitWindow::EveryNDays ? AddDaysLocal(d, n) : AddMonthsLocal(d, n);
}

} // namespace

int RateFixed(Database& db, RatingContext& ctx, ChargeRow& copy) {
    if (!ChargeApplies(db, ctx, copy))
        return ResultCode::ChargeSkipped;
    const qint32 units = fixedUnits(db, ctx, copy);

    // AddUnits fails only for an invalid amount, which prices nothing: the copy keeps its
    // zero amount, as a charge without units would.
    if (copy.LimitType == LimitWindow::BillingPeriod) {
        (void)AddUnits(copy, units);
    } else if (copy.LimitType == LimitWindow::EveryNDays ||
               copy.LimitType == LimitWindow::EveryNMonths) {
        const int n = copy.LimitFilterEnd;
        qint64 d = 0, alignedEnd = 0;
        if (const int r = ChargeAnchor(ctx, copy, d, alignedEnd))
            return r;
        if (d < ctx.PeriodEnd && n > 0 && ctx.PeriodStart < ctx.PeriodEnd) {
            // Far behind the period: jump close to it in one step (same time of day).
            if (copy.LimitType == LimitWindow::EveryNDays) {
                const qint64 step = qint64(n) * kSecondsPerDay;
                const qint64 k = (ctx.PeriodStart - d) / step - 1;
                if (k > 0)
                    d = AddDaysLocal(d, k * n);
            }
            while (d < ctx.PeriodStart)
                d = nextOccurrence(d, copy.LimitType, n);
            const auto expiry = ChargeExpiry(copy);
            while (d < ctx.PeriodEnd) {
                if (expiry && d >= *expiry)
                    break;
                (void)AddUnits(copy, units);
                d = nextOccurrence(d, copy.LimitType, n);
            }
        }
    }

    if (!ProrateCharge(ctx, copy))
        return ResultCode::ChargeSkipped;
    return 0;
}

bool ProrateCharge(RatingContext& ctx, ChargeRow& copy) {
    if (!copy.Prorate)
        return true;
    if (!(copy.Type == ChargeType::Fixed && copy.LimitType == LimitWindow::BillingPeriod))
        ctx.report(ResultCode::ProrateUnusual);
    const qint64 length = ctx.PeriodEnd - ctx.PeriodStart;
    if (length <= 0)
        return true;
    const qint64 serviceStart = ctx.CustomerStart().value_or(0);
    const qint64 serviceEnd = ctx.CustomerEnd().value_or(kOpenEnd);
    const qint64 from = qMax(serviceStart, ctx.PeriodStart);
    const qint64 to = qMin(serviceEnd, ctx.PeriodEnd);
    if (to > from) {
        // Rounded like every other invoiced amount, so the lines add up to the totals.
        copy.InvoicedAmount =
            RoundCurrency(copy.InvoicedAmount * (double(to - from) / length), CurrencyDecimals());
    }
    return true;
}

bool ApplyLinked(Database& db, RatingContext& ctx, const Currency& base, qint32 sourceId,
                 qint32 appliedToId, bool planLevel, qint32 typeMask, Currency& total) {
    total = Currency();
    try {
        const QList<ChargeRow> rows = ctx.Templates
                                          ? ctx.Templates->linkedCharges(sourceId, planLevel)
                                          : ReadLinkedCharges(db, sourceId, planLevel);
        for (const ChargeRow& row : rows) {
            if ((row.Type & typeMask) == 0)
                continue;
            ChargeRow copy = MakeInvoiceCopy(ctx, row);
            copy.SGIdApplyTo = appliedToId;
            copy.ChargeAmount = base;
            if (planLevel)
                copy.IdUser = ctx.RecordCustomerId ? ctx.RecordCustomerId : ctx.Customer.Id;
            if (std::fabs(copy.SGPercentage) >= kPercentThreshold) {
                copy.InvoicedAmount =
                    RoundCurrency(base * (copy.SGPercentage * 0.01), copy.SGRound ? 0 : 2);
                total += copy.InvoicedAmount;
            }
            if (planLevel && ctx.PostLeafCopies)
                PostChargeCopy(db, ctx, copy, ctx.Charges.size());
            else
                SaveChargeCopy(db, copy);
            ctx.noteSaved(copy);
            ctx.Charges.append(copy);
        }
    } catch (const std::exception& e) {
        ctx.LastError = QString::fromUtf8(e.what());
        return true;
    }
    return false;
}
