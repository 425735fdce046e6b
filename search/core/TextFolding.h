#pragma once
// Character helpers of the search core: case folding, base letters, character
// classes and UTF-8/UTF-16 conversion. They work on single UTF-16 units (search
// words are handled unit by unit); characters outside the Basic Multilingual Plane
// pass through unchanged. Thread-safe: pure functions over constant tables.

#include <string>
#include <string_view>

namespace TextFolding {

// Tab or space: the blank that separates words inside patterns.
bool isBlank(char16_t c);
// A character with a non-zero canonical combining class.
bool isCombiningMark(char16_t c);
// Unicode white space and line breaks (general category Z, U+0009..U+000D, U+0085).
bool isWhitespaceOrNewline(char16_t c);
// Unicode punctuation (general categories Pc, Pd, Ps, Pe, Pi, Pf, Po).
bool isPunctuation(char16_t c);

// The straight apostrophe and the other marks a keyboard or a paste puts in its place: the
// typographic apostrophe U+2019 (which book word lists hold), the single quotation marks U+2018 and
// U+201B, the modifier letters U+02BC and U+02B9, the grave and acute accents, the prime and the
// full-width apostrophe. Searches treat them all as one character.
bool isApostrophe(char16_t c);
inline constexpr char16_t kStraightApostrophe = u'\'';
inline constexpr char16_t kTypographicApostrophe = u'\u2019';
// The text with every apostrophe form replaced by `apostrophe`.
std::u16string withApostrophe(std::u16string_view text, char16_t apostrophe);

// Simple (one-to-one) lower-case mapping of the Unicode database.
char16_t toLower(char16_t c);
// Lower case by the Latin-1 tables only: A-Z and U+00C0..U+00DE except U+00D7.
char16_t toLowerLatin1(char16_t c);

// Combining marks removed and every character replaced by the base characters of
// its canonical decomposition ("é" -> "e", "ﬁ" stays: it has no canonical one); the Greek final
// sigma becomes the sigma, as a word typed in capitals lower-cases to it.
std::u16string foldToBaseLetters(std::u16string_view text);

// UTF-8 <-> UTF-16 by the same rule as the engine's strings (decodeUTF8Char and encodeUTF8Char of
// engine/foundation/cLStringTmpl.h, and BkText of the book file), so that a word converts alike in
// the search core and the engine: a byte that does not start a complete sequence (a lone
// continuation byte, 0xF8-0xFF, a sequence cut short) stands for itself as a Latin-1 character,
// which keeps the Latin-1 words of older book files readable; overlong forms are accepted; values
// above U+10FFFF become U+FFFD; a lone surrogate is written as its own three-byte sequence and
// decodes back to itself. tests/engine/bookfile/Utf8Conversions_test.cpp holds all three to it.
std::u16string utf8ToUtf16(std::string_view text);
std::string utf16ToUtf8(std::u16string_view text);

}  // namespace TextFolding
