// DocSupportsFlags: the capability bits of a book, as its document computes them (GetSupportFlags)
// and as the library keeps them for each book (a 64-bit mask whose low 32 bits are these). The one
// definition: the search core, the documents and the library all include this header.
//
// Constants and pure functions only; any thread.

#pragma once

#include <cstdint>

enum DocSupportsFlags : std::uint32_t {
    kDocSupportsBookmarks = 0x1,
    kDocSupportsBibleBookmarks = 0x2,
    kDocSupportsVerseLimits = 0x4,
    kDocSupportsNotes = 0x8,
    kDocSupportsWordLookup = 0x10,
    kDocSupportsBibleLookup = 0x20,
    kDocSupportsCopyright = 0x40,
    kDocSupportsBibleSync = 0x80,
    kDocSupportsDateLookup = 0x100,
    kDocSupportsStrongsGreek = 0x200,
    kDocSupportsStrongsHebrew = 0x400,
    kDocSupportsTextHtml = 0x800,
    kDocSupportsDailyReadings = 0x1000,
    kDocSupportsIsBible = 0x2000,
    kDocSupportsIsSearchResults = 0x4000,
    kDocSupportsIsFakeJournalDoc = 0x8000,
    kDocSupportsWordAttributes = 0x10000,
};

// True when every bit of `mask` is set in `flags`.
constexpr bool docSupports(std::uint64_t flags, std::uint64_t mask)
{
    return (flags & mask) == mask;
}
