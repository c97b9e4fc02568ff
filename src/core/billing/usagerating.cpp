#include "core/billing/usagerating.h"

#include "core/billing/billingtime.h"
#include "core/billing/chargemodel.h"
#include "core/billing/chargetypes.h"
#include "core/db/datetimeutil.h"
#include "core/db/eventrecord.h"

namespace {

// Beyond any time or byte count billing meets.
constexpr qint64 kFar = qint64(1) << 60;

qint32 addClamped(qint32 a, qint64 b) {
    return ClampToInt32(qint64(a) + b);
}

// The part of Q whose accumulated position falls inside the band. Q's pieces are laid end to
// end from position `acc` in time order (the gaps between them do not accumulate).
TimeRangeSet bandPart(const TimeRangeSet& q, qint64 acc, qint64 bandStart, qint64 bandEnd) {
    TimeRangeSet out;
    qint64 pos = acc;
    for (int i = 0; i < q.RangeCount(); ++i) {
        const TimeRangeSet::Range& r = q.RangeAt(i);
        const qint64 from = qMax(pos, bandStart);
        const qint64 to = qMin(pos + r.length(), bandEnd);
        if (to > from)
            out.Union(TimeRangeSet(r.start + (from - pos), r.start + (to - pos)));
        pos += r.length();
    }
    return out;
}

bool chargeBand(RatingContext& ctx, const TimeRangeSet& accumulating, TimeRangeSet& X,
                ChargeRow& copy, WindowCounters& counters) {
    if (accumulating.IsEmpty())
        return false;
    TimeRangeSet A = accumulating;
    const qint64 periodLength = ctx.PeriodEnd - ctx.PeriodStart;

    // Time before the period start (a session that began in the previous period) is rated in
    // the period's first window as if it came right after the start.
    if (A.Start() < ctx.PeriodStart && copy.LimitType == LimitWindow::BillingPeriod &&
        periodLength > 0) {
        TimeRangeSet before = A;
        before.Subtract(ctx.PeriodStart, ctx.PeriodEnd);
        TimeRangeSet xBefore = X;
        xBefore.Subtract(ctx.PeriodStart, ctx.PeriodEnd);
        X.Subtract(xBefore);
        A.Subtract(before);
        const qint64 d = qMin(ctx.PeriodStart - before.Start(), periodLength);
        before.Shift(d);
        xBefore.Shift(d);
        if (chargeBand(ctx, before, xBefore, copy, counters))
            return true;
        xBefore.Shift(-d);
        X.Union(xBefore);
        if (A.IsEmpty())
            return false;
    }

    qint64 carry = copy.LimitAccum;
    qint64 anchor = 0, alignedEnd = 0;
    if (const int r = ChargeAnchor(ctx, copy, anchor, alignedEnd)) {
        ctx.report(r);
        return true;
    }
    const int n = copy.LimitFilterEnd;
    qint64 windowEnd = 0;
    switch (copy.LimitType) {
    case LimitWindow::EveryNDays:
        windowEnd = AddDaysLocal(anchor, n);
        break;
    case LimitWindow::EveryNMonths:
        windowEnd = AddMonthsLocal(anchor, n);
        break;
    default:
        windowEnd =
            copy.LimitFilterType == LimitAnchor::AnniversaryDay ? alignedEnd : ctx.PeriodEnd;
        break;
    }
    qint64 wStart = anchor;
    qint64 wEnd = windowEnd;
    const qint64 wLength = wEnd - wStart;
    if (wLength <= 0 || wStart >= A.End())
        return false;
    if (wEnd <= A.Start()) {
        const qint64 k = (A.Start() - wStart) / wLength;
        wStart += k * wLength;
        wEnd += k * wLength;
    }

    const qint64 bandStart = copy.LimitStart;
    const qint64 bandEnd = copy.LimitEnd == 0 ? kOpenEnd : qint64(copy.LimitEnd);
    do {
        TimeRangeSet q = A;
        q.Intersect(wStart, wEnd);
        qint64 used = q.Length();
        if (used > 0) {
            if (wEnd > ctx.PeriodEnd) {
                carry += used; // the window is not complete in this period
            } else {
                const bool firstCounter = counters.empty();
                qint64& counter = counters[wStart];
                if (firstCounter) {
                    used += carry;
                    carry = 0;
                }
                const qint64 acc = counter;
                counter += used;
                TimeRangeSet charged = bandPart(q, acc, bandStart, bandEnd);
                if (charged.Intersect(X)) {
                    copy.InvoicedQuantity = addClamped(copy.InvoicedQuantity, charged.Length());
                    X.Subtract(charged);
                }
            }
        }
        wStart += wLength;
        wEnd += wLength;
    } while (wStart <= A.End());

    copy.LimitAccum = ClampToInt32(carry);
    return false;
}

// The premium time of C: the charge's daily or weekly window repeated over the session.
TimeRangeSet premiumSet(const ChargeRow& copy, qint64 sessionStart, const TimeRangeSet& C) {
    TimeRangeSet P;
    qint64 from = copy.FilterStart;
    const qint64 to = copy.FilterEnd;
    qint64 base = LocalMidnight(sessionStart);
    qint64 step = kSecondsPerDay;
    if (copy.FilterType == PremiumFilter::Daily) {
        if (from > to)
            from -= kSecondsPerDay; // wraps midnight: starts the evening before
    } else {
        // Sunday 00:00 of the session's week, one week back: a window that reaches past the
        // end of its week ("Saturday-Sunday" ends on the next Sunday) must also catch the
        // Sunday that begins the session's week.
        base -= LocalWeekday(sessionStart) * kSecondsPerDay + kSecondsPerWeek;
        step = kSecondsPerWeek;
    }
    TimeRangeSet T(from, to);
    if (T.IsEmpty() || C.IsEmpty())
        return P;
    T.Shift(base);
    do {
        TimeRangeSet part = T;
        if (part.Intersect(C))
            P.Union(part);
        T.Shift(step);
    } while (T.Start() <= C.End());
    return P;
}

bool rateWithinExpiry(RatingContext& ctx, const TimeRangeSet& S, qint64 sessionStart,
                      TimeRangeSet& C, ChargeRow& copy, WindowCounters& counters) {
    switch (copy.FilterType) {
    case PremiumFilter::AllHours:
        return ChargeTime(ctx, S, C, copy, counters);
    case PremiumFilter::Daily:
    case PremiumFilter::Weekly: {
        const bool premiumOnly = copy.Options & ChargeOption::PremiumOnly;
        TimeRangeSet P = premiumSet(copy, sessionStart, C);
        if (!P.IsEmpty()) {
            TimeRangeSet Y = P;
            if (ChargeTime(ctx, premiumOnly ? P : S, Y, copy, counters))
                return true;
            P.Subtract(Y); // what was charged
            C.Subtract(P);
        } else if (!premiumOnly) {
            TimeRangeSet none;
            if (ChargeTime(ctx, S, none, copy, counters))
                return true;
        }
        return false;
    }
    default:
        return false; // no rating rule for other filters
    }
}

} // namespace

UsageSession UsageSession::fromEvent(const EventRow& event) {
    UsageSession s;
    s.Connect = DbToSecondsOr0(event.ConnectDate);
    s.Disconnect = DbToSecondsOr0(event.DisconnectDate);
    s.Duration = qint64(event.Hours) * 3600 + qint64(event.Minutes) * 60 + event.Seconds;
    s.Sent = event.Sent;
    s.Received = event.Received;
    s.Port = event.Port;
    s.ServerId = event.ServerId;
    return s;
}

bool OriginMatches(const ChargeRow& charge, const UsageSession& session) {
    if (!charge.FilterString.isEmpty() && charge.FilterString != session.Port)
        return false;
    if (charge.FilterValue != 0 && charge.FilterValue != session.ServerId)
        return false;
    return true;
}

bool RateSession(RatingContext& ctx, const UsageSession& session) {
    const TimeRangeSet R(session.Start(), session.End());
    TimeRangeSet C = R;
    TimeRangeSet sent(0, session.Sent);
    TimeRangeSet received(0, session.Received);

    for (qsizetype i = ctx.FirstNewIndex; i < ctx.Charges.size(); ++i) {
        ChargeRow& copy = ctx.Charges[i];
        if (copy.Type != ChargeType::Online && copy.Type != ChargeType::ByteTraffic)
            continue;
        if (!OriginMatches(copy, session))
            continue;
        UsageState& state = ctx.Usage[i];
        if (copy.Type == ChargeType::Online) {
            if (RateTime(ctx, R, C, copy, state.windows))
                return true;
            continue;
        }
        const auto expiry = ChargeExpiry(copy);
        if (expiry && session.Connect >= *expiry)
            continue;
        if (!sent.IsEmpty() && (copy.Options & ChargeOption::BytesSent)) {
            state.bytes = AddSaturated(state.bytes, sent.Length());
            sent.Clear();
        }
        if (!received.IsEmpty() && (copy.Options & ChargeOption::BytesReceived)) {
            state.bytes = AddSaturated(state.bytes, received.Length());
            received.Clear();
        }
    }
    return false;
}

bool RateTime(RatingContext& ctx, const TimeRangeSet& R, TimeRangeSet& C, ChargeRow& copy,
              WindowCounters& counters) {
    TimeRangeSet S = R;
    const auto expiry = ChargeExpiry(copy);
    if (!expiry)
        return rateWithinExpiry(ctx, S, R.Start(), C, copy, counters);

    if (S.Start() >= *expiry)
        return false;
    S.Subtract(*expiry, kFar);
    // Time after the expiry is neither accumulated nor charged by this charge; it stays
    // for the charges after it.
    TimeRangeSet after = C;
    after.Subtract(-kFar, *expiry);
    C.Subtract(*expiry, kFar);
    const bool failed = rateWithinExpiry(ctx, S, R.Start(), C, copy, counters);
    C.Union(after);
    return failed;
}

bool ChargeTime(RatingContext& ctx, const TimeRangeSet& A, TimeRangeSet& X, ChargeRow& copy,
                WindowCounters& counters) {
    if (copy.LimitStart == 0 && copy.LimitEnd == 0) {
        if (copy.LimitAccum != 0) {
            ctx.report(ResultCode::UnchargedCarry,
                       QStringLiteral("('%1') Uncharged accumulated time from the previous "
                                      "invoice is being charged.")
                           .arg(copy.Name));
            copy.InvoicedQuantity = addClamped(copy.InvoicedQuantity, copy.LimitAccum);
            copy.LimitAccum = 0;
        }
        copy.InvoicedQuantity = addClamped(copy.InvoicedQuantity, X.Length());
        X.Clear();
        return false;
    }
    return chargeBand(ctx, A, X, copy, counters);
}

bool FinishUsageCharge(RatingContext& ctx, qsizetype index) {
    if (index < 0 || index >= ctx.Charges.size())
        return true;
    ChargeRow& copy = ctx.Charges[index];
    qint64 quantity = copy.InvoicedQuantity;
    if (const auto it = ctx.Usage.find(index); it != ctx.Usage.end()) {
        quantity = AddSaturated(quantity, it->second.bytes);
        ctx.Usage.erase(it);
    }
    copy.InvoicedQuantity = 0;
    return AddUnits(copy, quantity);
}
