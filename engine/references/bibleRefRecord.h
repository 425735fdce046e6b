// The compact reference record: a Bible reference as bytes, embedded in book text and used
// to decode link strings.
//
//   byte 0        L, the length of what follows. 0: a 4-byte big-endian length follows and
//                 the data begins after it. 1-3: an empty record (nothing is decoded).
//   translation   low 6 bits: translation number; top bits 10: hint 0x10000 (no book name),
//                 11: hint 0x4000 (verse only), else no hint.
//   per range:
//     book        bit 7: an end follows. Low 7 bits: book number; 127: the book number is
//                 the next byte (books 127-255).
//     chapter     255: the whole book (-1)
//     verse       255: the whole chapter (-1); 253: the verse is the next byte and a part
//                 letter byte follows it
//     when bit 7 was set:
//       end book     the end book number (a full byte)
//       end chapter  254: the last (-2); 255: whole (-1)
//       end verse    254: the last (-2); 255: whole (-1); 253: verse and part letter follow
//     otherwise the end equals the start.
//
// Ranges follow one another until L bytes are used; a range that would run past the end
// (or past the bytes the caller holds) is dropped.
#pragma once

#include <cstdint>
#include <vector>

class cBibleRef;

namespace bibleRefRecord {

inline constexpr std::uint8_t kLongLength = 0;      // a big-endian u32 length follows
inline constexpr std::uint8_t kShortestRecord = 4;  // translation byte + one range
inline constexpr std::uint8_t kTranslationMask = 0x3F;
inline constexpr std::uint8_t kHintMask = 0xC0;
inline constexpr std::uint8_t kHintNoBook = 0x80;     // -> hint word 0x10000
inline constexpr std::uint8_t kHintVerseOnly = 0xC0;  // -> hint word 0x4000
inline constexpr std::uint8_t kHasEnd = 0x80;
inline constexpr std::uint8_t kBookMask = 0x7F;
inline constexpr std::uint8_t kBookEscape = 127;     // the book number is in the next byte
inline constexpr std::uint8_t kWhole = 255;          // -1
inline constexpr std::uint8_t kLast = 254;           // -2 (end fields)
inline constexpr std::uint8_t kVerseWithPart = 253;  // verse byte and part letter follow

// Appends the record of a reference (its translation's low 6 bits and hint bits, every
// range). Values that do not fit a byte are written as their low byte.
void encode(const cBibleRef& ref, std::vector<std::uint8_t>& out);

}  // namespace bibleRefRecord
