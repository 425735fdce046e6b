// Mapping references between the versifications of translations through the VerseMap,
// DoMapSpecialCasesMap and BibleBooks tables, and collecting the keys under which one verse
// is known in other versifications.
#pragma once

#include "engine/references/cBibleRef.h"

#include <cstdint>

class cBibleRefVersification {
public:
    // Maps one point into a translation (intoBook 0) or into one given book number. false
    // when no row leads there; the point is then unchanged.
    static bool mapPoint(const cBibleRefTables& t, int translation, int intoBook, std::int32_t& book,
        std::int32_t& chapter, std::int32_t& verse);
    // True when a VerseMap row leads from the book to another book number of the translation
    // with the same name number.
    static bool needsRemap(const cBibleRefTables& t, int book, int translation);
    // Maps a range's start and end into a translation; false (range unchanged) on failure.
    static bool mapRange(const cBibleRefTables& t, bibleRefRange& range, int translation);
};
