#pragma once
// The word-list record: the file form of a cSearchWordList (all integers little-endian).
//
//   u32 version            written as kSearchWordListVersion; 1 and 2 are read
//   u32 capacity           the list's capacity
//   u32 count              number of items; never above the capacity
//   count x item entry
//
// Item entry:     u8 hasWord, u8 isCanonicalNumber, u32 wordNumber,
//                 word (UTF-16 string record), attribute (UTF-16 string record),
//                 version 2 only: u32 variantCount, then variantCount variant entries.
// Variant entry:  the same first five fields and nothing after them.
//
// UTF-16 string record: u32 kUtf16StringRecordMarker, u32 length in 16-bit units,
// then length + 1 units, the last one 0.

#include <cstdint>

inline constexpr uint32_t kSearchWordListVersion = 2;
inline constexpr uint32_t kSearchWordListVersionNoVariants = 1;
inline constexpr uint32_t kUtf16StringRecordMarker = 1;
