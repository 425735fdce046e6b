// SectionRange: one range of sections of a book (start not above end) with the tests that let two
// ranges merge. SectionRangeList: an ordered list of ranges that can keep itself sorted and merge
// ranges as they are added. Both serve the autostudy reports; plain values, any thread.
#pragma once

#include <QList>

#include <cstdint>

class SectionRange {
public:
    SectionRange() = default;
    // The two numbers in any order: the range runs from the smaller to the larger.
    static SectionRange sectionRangeWithStart(std::uint64_t a, std::uint64_t b);

    std::uint64_t start() const { return m_start; }
    std::uint64_t end() const { return m_end; }

    bool isAdjacentToSectionRange(const SectionRange& other) const;
    bool containsSectionRange(const SectionRange& other) const;
    // False when either range contains the other.
    bool overlapsSectionRange(const SectionRange& other) const;
    // Widens this range to cover both when they contain, touch or overlap each other.
    bool combineWithRange(const SectionRange& other);

    friend bool operator==(const SectionRange&, const SectionRange&) = default;

private:
    std::uint64_t m_start = 0;
    std::uint64_t m_end = 0;
};

class SectionRangeList {
public:
    struct Entry {
        std::uint64_t start = 0;
        std::uint64_t end = 0;
        friend bool operator==(const Entry&, const Entry&) = default;
    };

    // The caller gives start <= end. Without sort the range is appended. With sort it goes before the
    // first entry that starts after its end; with merge, entries that overlap it, repeat it or touch it
    // (one ending in the section just before the other starts) are folded into it on the way.
    void addRangeStartingAt(std::uint64_t start, std::uint64_t end, bool sort, bool merge);

    const QList<Entry>& ranges() const { return m_ranges; }

private:
    QList<Entry> m_ranges;
};
