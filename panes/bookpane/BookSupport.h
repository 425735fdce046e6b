// BookSupport: what a book of a pane supports, asked of a book that may be missing (a pane without
// books). Any thread that may read the book.
#pragma once

#include "library/SourceTuple.h"

namespace BookSupport {

// The book is there and supports every capability of `mask` (SourceTuple::kDocSupports...).
inline bool supports(const SourceTuple::Ptr& book, quint64 mask)
{
    return book && book->docSupports(mask);
}

inline bool isBible(const SourceTuple::Ptr& book)
{
    return supports(book, kDocSupportsIsBible);
}

// The most verses a chapter has (Psalm 119).
inline constexpr quint32 kMostVersesInAChapter = 176;

// Where a book that follows a Bible goes for the Bible's place (when it opens and when it follows
// location sync): its section for the verse; a book without that verse (a commentary with no note
// on it, a chapter's heading, verse 0) takes its next section in the chapter, else its last one
// before the verse there. 0 when the book has nothing in the chapter.
inline quint32 sectionFollowingBibleKey(const SourceTupleLocations& book, quint32 key)
{
    if (const quint32 section = book.sectionForBibleKey(key); section != 0)
        return section;
    const quint32 chapter = key & 0xFFFFFF00;
    const quint32 verse = key & 0xFF;
    for (quint32 v = verse + 1; v <= kMostVersesInAChapter; ++v)
        if (const quint32 section = book.sectionForBibleKey(chapter | v); section != 0)
            return section;
    for (quint32 v = verse; v > 1; --v)
        if (const quint32 section = book.sectionForBibleKey(chapter | (v - 1)); section != 0)
            return section;
    return 0;
}

// The section of a Bible's first verse: the first of its opening sections whose key names a verse
// (after the Bible's own opening, its first book's and first chapter's headings). 0 when none of
// the first sections does.
inline quint32 firstVerseSection(const SourceTupleLocations& book)
{
    constexpr quint32 kOpeningSections = 64;
    for (quint32 section = 0; section < kOpeningSections; ++section)
        if (const quint32 key = book.keyForSection(section); (key & 0xFF) != 0 && (key & 0xFFFF0000) != 0)
            return section;
    return 0;
}

}  // namespace BookSupport
