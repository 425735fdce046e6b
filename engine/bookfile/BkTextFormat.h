// "TEXT" stream: the book's running text as a token stream (cBkTextStg).
//
// Header, 4 bytes: u32 text end, the stream position just past the last text byte. Tokens start at
// position 4. Numbers inside tokens are big-endian, unlike the rest of the file.
//
// A token starts with byte b; b is followed by a second byte b2 when (b & 0xC0) == 0x40, or
// (b & 0xCF) == 0x8F, or b == 0xFF. Classes: b < 0x80 word, 0x80-0xBF punctuation, 0xC0 and up markup.
//   words:  0x00-0x3E           entry b of the main word list's value table
//           0x3F u16            16383 + u16
//           0x40-0x7F b2        (b << 8 | b2) & 0x3FFF, 0 to 16382
//           0x7F 0xFF u16       81918 + u16 (16383 + u16 in files of major != 0 and minor <= 20)
//   punctuation 10ab nnnn (a = blank before, b = blank after):
//           n 0-14              entry n of the punctuation list's value table
//           n 15, s < 0xFF      s
//           n 15, 0xFF, t<0xFF  255 + t
//           n 15, 0xFF 0xFF u16 510 + u16
//   markup: 0xC3/0xC7 bracket open, 0xC4 close, 0xC1/0xC2 phrase matching off/on,
//           0xC8 L [u32 when L = 0] + L bytes: compact reference record,
//           0xCB u16 language run, 0xCC u16 [u8] Strong's Hebrew, 0xCD u16 Strong's Greek,
//           0xCE end of section, 0xCF d u16 [u32], 0xD0 as 0xCF then two more values,
//           0xC5 (right after a word) the word shares the Strong's numbers and attributes of the
//           next word (a number over "love ye" is written once, after "ye"; shown nowhere),
//           0xE0-0xEF capitalisation (k = low three bits; k == 7: a u32 mask follows, for every such
//           byte), 0xF0-0xF7 no blank before, 0xFF n + n literal bytes, 0xF8-0xFE invalid.
//
// Conventions every writer keeps and every reader relies on: each text node's run of tokens, and so
// the text as a whole, ends with kEndOfSection; no reader reads past the text end, whatever the bytes
// say.

#pragma once

#include <cstdint>

namespace BkTextFormat {
constexpr uint32_t kHeaderSize = 4;
constexpr uint32_t kDefaultTextEnd = 4;
constexpr uint32_t kFirstTokenPosition = 4;

constexpr uint8_t kWordShortMax = 0x3E;      // one-byte word tokens index the value table
constexpr uint8_t kWordEscape16 = 0x3F;      // + u16: 16383 + n
constexpr uint32_t kWordTwoByteMax = 16382;  // 0x40-0x7F two-byte codes
constexpr uint32_t kWordEscapeBase = 81918;  // 0x7F 0xFF + u16
constexpr uint32_t kWordEscapeBaseOld = 16383;
constexpr uint32_t kWordEscape16Base = 16383;

constexpr uint8_t kPunctuation = 0x80;
constexpr uint8_t kPunctBlankBefore = 0x20;
constexpr uint8_t kPunctBlankAfter = 0x10;
constexpr uint8_t kPunctEscapeNibble = 0x0F;

constexpr uint8_t kPhraseOff = 0xC1, kPhraseOn = 0xC2, kBracketOpen = 0xC3, kBracketClose = 0xC4,
                  kBracketOpenAlt = 0xC7, kReference = 0xC8, kLanguage = 0xCB, kStrongsHebrew = 0xCC,
                  kStrongsGreek = 0xCD, kEndOfSection = 0xCE, kAttribute = 0xCF, kAttributeWithTexts = 0xD0,
                  kTagsOfNextWord = 0xC5;
constexpr uint8_t kCapitalFirst = 0xE0, kCapitalLast = 0xEF;
constexpr uint8_t kCapitalAll = 1, kCapitalInitial = 2, kCapitalHyphenated = 4, kCapitalMask = 7;
constexpr uint8_t kNoBlankFirst = 0xF0, kNoBlankLast = 0xF7;
constexpr uint8_t kLiteral = 0xFF;

// True when a capitalisation byte carries a 4-byte mask.
constexpr bool capitalisationHasMask(uint8_t b)
{
    return b >= kCapitalFirst && b <= kCapitalLast && (b & 7) == kCapitalMask;
}

}  // namespace BkTextFormat
