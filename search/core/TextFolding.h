#pragma once
// Character helpers of the search core: case folding, base letters, character
// classes and UTF-8/UTF-16 conversion. They work on single UTF-16 units (search
// words are handled unit by unit); characters outside the Basic Multilingual Plane
// pass through unchanged. Thread-safe: pure functions over constant tables.

#include <string>
#include <string_view>

namespace textfold {

// Tab or space: the blank that separates words inside patterns.
bool isBlank(char16_t c);
// A character with a non-zero canonical combining class.
bool isCombiningMark(char16_t c);
// Unicode white space and line breaks (general category Z, U+0009..U+000D, U+0085).
bool isWhitespaceOrNewline(char16_t c);
// Unicode punctuation (general categories Pc, Pd, Ps, Pe, Pi, Pf, Po).
bool isPunctuation(char16_t c);

// Simple (one-to-one) lower-case mapping of the Unicode database.
char16_t toLower(char16_t c);
// Lower case by the Latin-1 tables only: A-Z and U+00C0..U+00DE except U+00D7.
char16_t toLowerLatin1(char16_t c);

// Combining marks removed and every character replaced by the base characters of
// its canonical decomposition ("é" -> "e", "ﬁ" stays: it has no canonical one).
std::u16string foldToBaseLetters(std::u16string_view text);

// Malformed UTF-8 becomes U+FFFD per bad byte; lone surrogates become U+FFFD.
std::u16string utf8ToUtf16(std::string_view text);
std::string utf16ToUtf8(std::u16string_view text);

}  // namespace textfold
