#include "core/billing/timerangeset.h"

#include <algorithm>

void TimeRangeSet::Assign(qint64 start, qint64 end) {
    m_ranges.clear();
    if (end > start)
        m_ranges.append(Range{start, end});
}

qint64 TimeRangeSet::Length() const {
    qint64 n = 0;
    for (const Range& r : m_ranges)
        n += r.length();
    return n;
}

bool TimeRangeSet::Contains(qint64 value) const {
    for (const Range& r : m_ranges) {
        if (value < r.start)
            return false;
        if (value < r.end)
            return true;
    }
    return false;
}

void TimeRangeSet::Shift(qint64 d) {
    for (Range& r : m_ranges) {
        r.start += d;
        r.end += d;
    }
}

// Appends [start, end) to ranges sorted by start, merging it into the last one when they
// overlap or touch.
void TimeRangeSet::append(Ranges& out, qint64 start, qint64 end) {
    if (end <= start)
        return;
    if (!out.isEmpty() && start <= out.back().end) {
        out.back().end = std::max(out.back().end, end);
        return;
    }
    out.append(Range{start, end});
}

bool TimeRangeSet::Intersect(const TimeRangeSet& other) {
    Ranges out;
    qsizetype i = 0, j = 0;
    while (i < m_ranges.size() && j < other.m_ranges.size()) {
        const Range& a = m_ranges[i];
        const Range& b = other.m_ranges[j];
        append(out, std::max(a.start, b.start), std::min(a.end, b.end));
        if (a.end < b.end)
            ++i;
        else
            ++j;
    }
    m_ranges = out;
    return !m_ranges.isEmpty();
}

void TimeRangeSet::Union(const TimeRangeSet& other) {
    if (other.IsEmpty())
        return;
    if (IsEmpty()) {
        m_ranges = other.m_ranges;
        return;
    }
    Ranges out;
    qsizetype i = 0, j = 0;
    while (i < m_ranges.size() || j < other.m_ranges.size()) {
        const bool takeMine = j >= other.m_ranges.size() ||
                              (i < m_ranges.size() && m_ranges[i].start <= other.m_ranges[j].start);
        const Range& r = takeMine ? m_ranges[i++] : other.m_ranges[j++];
        append(out, r.start, r.end);
    }
    m_ranges = out;
}

void TimeRangeSet::Subtract(const TimeRangeSet& other) {
    if (IsEmpty() || other.IsEmpty())
        return;
    Ranges out;
    qsizetype j = 0;
    for (const Range& a : m_ranges) {
        qint64 pos = a.start;
        // Holes that end before this range cannot touch it or any later one.
        while (j < other.m_ranges.size() && other.m_ranges[j].end <= pos)
            ++j;
        qsizetype k = j;
        while (k < other.m_ranges.size() && other.m_ranges[k].start < a.end) {
            const Range& hole = other.m_ranges[k];
            append(out, pos, std::min(hole.start, a.end));
            pos = std::max(pos, hole.end);
            if (hole.end > a.end)
                break; // the hole reaches into the next range: look at it again there
            ++k;
        }
        append(out, pos, a.end);
        j = k;
    }
    m_ranges = out;
}

bool TimeRangeSet::operator==(const TimeRangeSet& o) const {
    if (m_ranges.size() != o.m_ranges.size())
        return false;
    for (qsizetype i = 0; i < m_ranges.size(); ++i)
        if (!(m_ranges[i] == o.m_ranges[i]))
            return false;
    return true;
}
