#include "reports/SectionRange.h"

#include <algorithm>

SectionRange SectionRange::sectionRangeWithStart(std::uint64_t a, std::uint64_t b)
{
    SectionRange r;
    r.m_start = std::min(a, b);
    r.m_end = std::max(a, b);
    return r;
}

bool SectionRange::isAdjacentToSectionRange(const SectionRange& other) const
{
    // Written without "- 1" on a start of 0, which would wrap.
    if (m_start != 0 && other.m_end + 1 == m_start)
        return true;
    return other.m_start != 0 && m_end == other.m_start - 1;
}

bool SectionRange::containsSectionRange(const SectionRange& other) const
{
    return m_start <= other.m_start && other.m_end <= m_end;
}

bool SectionRange::overlapsSectionRange(const SectionRange& other) const
{
    if (containsSectionRange(other) || other.containsSectionRange(*this))
        return false;
    return (m_start <= other.m_end && other.m_end <= m_end) || (m_start <= other.m_start && other.m_start <= m_end);
}

bool SectionRange::combineWithRange(const SectionRange& other)
{
    if (containsSectionRange(other))
        return true;
    if (other.containsSectionRange(*this)) {
        *this = other;
        return true;
    }
    if (isAdjacentToSectionRange(other) || overlapsSectionRange(other)) {
        m_start = std::min(m_start, other.m_start);
        m_end = std::max(m_end, other.m_end);
        return true;
    }
    return false;
}

void SectionRangeList::addRangeStartingAt(std::uint64_t start, std::uint64_t end, bool sort, bool merge)
{
    if (!sort || m_ranges.isEmpty()) {
        m_ranges.append({start, end});
        return;
    }
    // With merge, ranges that overlap, repeat or touch (one ending just before the other starts)
    // become one: the same passage is never listed twice.
    const auto before = [merge](std::uint64_t end, std::uint64_t start) {
        return merge ? end < start && end + 1 < start : end < start;
    };
    qsizetype i = 0;
    while (i < m_ranges.size()) {
        const Entry e = m_ranges.at(i);
        if (before(end, e.start)) {
            m_ranges.insert(i, {start, end});
            return;
        }
        if (merge && (start <= e.end || start - 1 == e.end)) {
            m_ranges.removeAt(i);
            start = std::min(start, e.start);
            end = std::max(e.end, end);
            continue;
        }
        ++i;
    }
    m_ranges.append({start, end});
}
