#pragma once
#include "core/app/resultcodes.h"
#include "core/db/chargeoptions.h"

#include <QtGlobal>

#include <limits>

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
