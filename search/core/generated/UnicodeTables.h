#pragma once
// Character tables behind search/core/TextFolding.h, generated from the Unicode
// character database by tools/unicode/gen_unicode_tables.py. Every table is sorted by unit.

#include <cstddef>

namespace UnicodeTables {

struct UnitRange {
    char16_t first;
    char16_t last;
};

// A character and the base characters of its canonical decomposition (combining
// marks removed); length 0 means the character is dropped.
struct BaseLetter {
    char16_t unit;
    char16_t base[3];
    unsigned char length;
};

struct CaseMapping {
    char16_t upper;
    char16_t lower;
};

extern const UnitRange kCombiningMarks[];
extern const std::size_t kCombiningMarksCount;
extern const UnitRange kPunctuation[];
extern const std::size_t kPunctuationCount;
extern const UnitRange kWhitespace[];
extern const std::size_t kWhitespaceCount;
extern const BaseLetter kBaseLetters[];
extern const std::size_t kBaseLettersCount;
extern const CaseMapping kLowerCase[];
extern const std::size_t kLowerCaseCount;

} // namespace UnicodeTables
