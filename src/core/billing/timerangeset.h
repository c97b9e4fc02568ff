#pragma once
#include <QVarLengthArray>
#include <QtGlobal>

// A set of half-open ranges [start, end) of integers, used for time (seconds since 1970) and
// for byte counts ([0, n) stands for n bytes).
//
// The set is a value type kept in one canonical form: its ranges are non-empty, sorted,
// disjoint and never touching (touching ranges are merged). Every operation leaves that form,
// so Normalize() has nothing left to do and Length() is the size of the set. Bounds are 64-bit
// so that shifting a set or reading an open band end (2^31 - 1) cannot overflow.
class TimeRangeSet {
public:
    struct Range {
        qint64 start = 0;
        qint64 end = 0;
        qint64 length() const { return end - start; }
        bool operator==(const Range&) const = default;
    };

    TimeRangeSet() = default;
    // [start, end); empty when end <= start.
    TimeRangeSet(qint64 start, qint64 end) { Assign(start, end); }

    void Assign(const TimeRangeSet& other) { *this = other; }
    void Assign(qint64 start, qint64 end);
    void Clear() { m_ranges.clear(); }

    bool IsEmpty() const { return m_ranges.isEmpty(); }
    // Total size of the ranges.
    qint64 Length() const;
    // Start of the first range and end of the last one; 0 for an empty set.
    qint64 Start() const { return m_ranges.isEmpty() ? 0 : m_ranges.front().start; }
    qint64 End() const { return m_ranges.isEmpty() ? 0 : m_ranges.back().end; }
    bool Contains(qint64 value) const;

    // Adds d to every start and end.
    void Shift(qint64 d);
    // Keeps what lies in both sets; true when anything is left.
    bool Intersect(const TimeRangeSet& other);
    bool Intersect(qint64 start, qint64 end) { return Intersect(TimeRangeSet(start, end)); }
    void Union(const TimeRangeSet& other);
    void Subtract(const TimeRangeSet& other);
    void Subtract(qint64 start, qint64 end) { Subtract(TimeRangeSet(start, end)); }
    // The canonical form is kept by every operation; kept for callers that expect it.
    void Normalize() {}

    int RangeCount() const { return int(m_ranges.size()); }
    const Range& RangeAt(int i) const { return m_ranges[i]; }

    bool operator==(const TimeRangeSet& o) const;
    bool operator!=(const TimeRangeSet& o) const { return !(*this == o); }

private:
    using Ranges = QVarLengthArray<Range, 2>;
    static void append(Ranges& out, qint64 start, qint64 end);

    Ranges m_ranges;
};
