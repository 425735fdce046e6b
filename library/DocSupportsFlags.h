// What a book supports: a bit mask read from its document. A mask test is true when every bit
// of the asked mask is set in the book's flags.
#pragma once

#include <QtGlobal>

inline constexpr quint64 kDocSupportsBookmarks = 0x1;
inline constexpr quint64 kDocSupportsBibleBookmarks = 0x2;
inline constexpr quint64 kDocSupportsVerseLimits = 0x4;
inline constexpr quint64 kDocSupportsNotes = 0x8;
inline constexpr quint64 kDocSupportsWordLookup = 0x10;
inline constexpr quint64 kDocSupportsBibleLookup = 0x20;
inline constexpr quint64 kDocSupportsCopyright = 0x40;
inline constexpr quint64 kDocSupportsBibleSync = 0x80;
inline constexpr quint64 kDocSupportsDateLookup = 0x100;
inline constexpr quint64 kDocSupportsStrongsGreek = 0x200;
inline constexpr quint64 kDocSupportsStrongsHebrew = 0x400;
inline constexpr quint64 kDocSupportsTextHtml = 0x800;
inline constexpr quint64 kDocSupportsDailyReadings = 0x1000;
inline constexpr quint64 kDocSupportsIsBible = 0x2000;
inline constexpr quint64 kDocSupportsIsSearchResults = 0x4000;
inline constexpr quint64 kDocSupportsIsFakeJournalDoc = 0x8000;
inline constexpr quint64 kDocSupportsWordAttributes = 0x10000;

// True when every bit of `mask` is set in `flags`.
constexpr bool docSupports(quint64 flags, quint64 mask)
{
    return (flags & mask) == mask;
}
