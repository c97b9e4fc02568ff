#pragma once
#include "core/billing/ratingcontext.h"
#include "core/billing/timerangeset.h"

struct EventRow;

// One logon session as the rating sees it.
struct UsageSession {
    qint64 Connect = 0;    // ConnectDate as local seconds, 0 when not set
    qint64 Disconnect = 0; // DisconnectDate as local seconds
    qint64 Duration = 0;   // Hours * 3600 + Minutes * 60 + Seconds
    qint64 Sent = 0;
    qint64 Received = 0;
    QString Port;
    qint32 ServerId = 0;

    // The session is rebuilt from its duration and disconnect time (ConnectDate is not used
    // for time).
    qint64 Start() const { return Disconnect - Duration; }
    qint64 End() const { return Disconnect; }

    static UsageSession fromEvent(const EventRow& event);
};

// Rates one session against the invoice's new usage charges (from ctx.FirstNewIndex, in list
// order). Connect time goes to the first connect-time charge that takes it, each byte count to
// the first byte charge that counts it. True on failure (the invoice then fails with 9).
[[nodiscard]] bool RateSession(RatingContext& ctx, const UsageSession& session);

// Whether a usage charge's origin filter lets the session through.
bool OriginMatches(const ChargeRow& charge, const UsageSession& session);

// The time rules of one connect-time charge for one session. R is the session, which the
// charge reads; C the session time not yet charged, which it consumes. True on failure.
[[nodiscard]] bool RateTime(RatingContext& ctx, const TimeRangeSet& R, TimeRangeSet& C,
                            ChargeRow& copy, WindowCounters& counters);

// Charges time through the copy's band: A is the time that accumulates toward the band, X the
// time that may be charged; what is charged is added to InvoicedQuantity and removed from X.
// True on failure (result 11 or 12 has then been reported).
[[nodiscard]] bool ChargeTime(RatingContext& ctx, const TimeRangeSet& A, TimeRangeSet& X,
                              ChargeRow& copy, WindowCounters& counters);

// After the last session: drops the charge's window counters and prices its accumulated
// quantity with AddUnits. True on failure.
[[nodiscard]] bool FinishUsageCharge(RatingContext& ctx, qsizetype index);
