// Text helpers of the book-file readers and writer: UTF-8 <-> UTF-16 and the case-insensitive order
// in which word lists are sorted. One definition, so that the compiler sorts exactly as the reader
// searches. Pure functions, safe on any thread.

#pragma once

#include <cstdint>
#include <string>

namespace BkText {
// UTF-8 to UTF-16 through the engine's decodeUTF8Char: characters above U+FFFF become surrogate
// pairs, values above U+10FFFF U+FFFD; a byte that does not start a complete sequence stands for
// itself (Latin-1). The search core's TextFolding::utf8ToUtf16 follows the same rule.
std::u16string utf8ToUtf16(const std::string& s);
// UTF-16 to UTF-8; a surrogate pair becomes one 4-byte sequence.
std::string utf16ToUtf8(const std::u16string& s);
void appendUtf8(std::string& out, uint32_t codePoint);

char16_t foldChar(char16_t c);
// <0, 0, >0: the two texts compared unit by unit through the engine's lower-case fold.
int compareIgnoringCase(const std::u16string& a, const std::u16string& b);
// The same over at most n units of each (strncmp-like: a shorter text that is a prefix is smaller).
int compareIgnoringCase(const std::u16string& a, const std::u16string& b, size_t n);
bool equalIgnoringCase8(const std::string& a, const std::string& b);
}  // namespace BkText
