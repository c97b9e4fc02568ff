#pragma once
#include <QtGlobal>

#include <limits>

// Kinds of charge (Charges.Type). The values are single bits: lists of kinds are masks.
namespace ChargeType {
enum : qint32 {
    Tax = 1,
    Online = 2, // connect time
    Fixed = 4,
    Surcharge = 8, // surcharge or discount (a discount has a negative percentage)
    ByteTraffic = 16,

    Applied = Tax | Surcharge,    // reached only through links, never rated from usage
    Usage = Online | ByteTraffic, // rated from sessions
    All = Tax | Online | Fixed | Surcharge | ByteTraffic,
};
}

// Charges.Options bits.
namespace ChargeOption {
enum : qint32 {
    PremiumOnly = 0x01,       // connect time: accumulate premium hours only
    SkipFirstInvoice = 0x02,  // every kind except byte traffic
    CreditNextInvoice = 0x04, // the invoiced amount is credited on the next invoice
    SkipLastInvoice = 0x08,

    // Byte traffic: the two low bits choose the directions counted, so its own
    // "skip first invoice" flag is a bit of its own.
    BytesSent = 0x01,
    BytesReceived = 0x02,
    ByteSkipFirstInvoice = 0x10,
};
}

// The "skip first invoice" bit of a charge of the given kind.
inline qint32 SkipFirstInvoiceBit(qint32 type) {
    return type == ChargeType::ByteTraffic ? qint32(ChargeOption::ByteSkipFirstInvoice)
                                           : qint32(ChargeOption::SkipFirstInvoice);
}

// Charges.FilterType: premium window of a connect-time charge.
namespace PremiumFilter {
enum : qint32 {
    AllHours = 0,
    Daily = 1,  // FilterStart/FilterEnd in seconds after local midnight; may wrap midnight
    Weekly = 2, // in seconds after Sunday 00:00
};
}

// Charges.LimitType: accumulation window of a connect-time charge, frequency of a fixed
// charge (0..2 only).
namespace LimitWindow {
enum : qint32 {
    BillingPeriod = 0,
    EveryNDays = 1,
    EveryNMonths = 2,
    Forever = 3,
};
}

// Charges.LimitFilterType: anchor of windows and frequencies.
namespace LimitAnchor {
enum : qint32 {
    PeriodStart = 0,
    AnniversaryDay = 1,
    StartDate = 2,
    FixedDate = 3, // LimitFilterStart, seconds since 1970
};
}

// Result codes the charge rules report (texts: ResultText in app/oplog.h).
namespace BillingResult {
enum : int {
    ComputingCharge = 9,
    NoStartDate = 11,
    NoAnniversaryDate = 12,
    UnchargedCarry = 25, // warning, text supplied with the charge name
    ProrateUnusual = 27, // warning
    ChargeSkipped = 36,  // internal: the charge is left out, never logged
};
}

inline constexpr qint64 kSecondsPerDay = 86400;
inline constexpr qint64 kSecondsPerWeek = 604800;
// The largest time (and the open end of a band): 2^31 - 1.
inline constexpr qint64 kOpenEnd = 2147483647;
// Percentages of smaller magnitude apply nothing.
inline constexpr double kPercentThreshold = 0.00001;

// Sum of two byte counts, kept at the 64-bit limits instead of wrapping.
inline qint64 AddSaturated(qint64 a, qint64 b) {
    qint64 sum = 0;
    if (__builtin_add_overflow(a, b, &sum))
        return b > 0 ? std::numeric_limits<qint64>::max() : std::numeric_limits<qint64>::min();
    return sum;
}

// A 64-bit count stored in a 32-bit field: kept at the field's limits.
inline qint32 ClampToInt32(qint64 v) {
    return v > qint64(2147483647)
               ? qint32(2147483647)
               : (v < -qint64(2147483648LL) ? qint32(-2147483647 - 1) : qint32(v));
}
