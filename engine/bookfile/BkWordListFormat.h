// Word-list streams ("WRDS", "PUNC", "WSYN", "VSYN", "VIDX", "SHEA", "SGRK", "STEM", "PHON", "PXSX",
// and the streams named key + "WL"): a book's distinct words in sorted order (cBkWordListStg).
//
// Header, 48 bytes:
//    0 u32 word count W          4 u8 (not read)        5 u8 width of a word-value entry (1 to 4)
//    6 u8  words per group G     7 u8 encoding (words are readable only when 1)
//    8 4 x u32 tier bases, 24 4 x u32 tier counts of the group index (cBkTieredOffsetIndex)
//   40 u32 word-value count V   44 u32 stream position of the word-value table
// Group g (words g*G .. g*G+G-1) starts at the position the group index gives for g:
//   first word: u8 length n, then n bytes (readers keep at most 99);
//   each further word: a code byte; not 0: high nibble = bytes shared with the group's FIRST word,
//   low nibble = bytes that follow; 0: the whole word follows as NUL-terminated text.
// Words are UTF-8, sorted so that their UTF-16 forms ascend under BkText::compareIgnoringCase. A word
// whose first byte is kMarkedWordByte is a marked word: 0xFF in its 8-bit form, U+FFFF in front of the
// rest in its UTF-16 form (so marked words sort last).
// Word-value table: V little-endian entries of the value width at the header's position.

#pragma once

#include <cstdint>

namespace BkWordListFormat {
constexpr uint32_t kHeaderSize = 48;
constexpr uint32_t kWordCount = 0, kUnused = 4, kValueWidth = 5, kGroupSize = 6, kEncoding = 7, kIndex = 8,
                   kValueCount = 40, kValueTable = 44;
constexpr uint8_t kDefaultValueWidth = 2;
constexpr uint8_t kReadableEncoding = 1;
constexpr uint8_t kMarkedWordByte = 0x9F;
constexpr uint8_t kMarkedWord8 = 0xFF;
constexpr char16_t kMarkedWord16 = 0xFFFF;
constexpr uint32_t kMaxFirstWord = 99;
constexpr uint32_t kMaxCodedPart = 15;
constexpr uint32_t kCacheSlots = 150;
}  // namespace BkWordListFormat
