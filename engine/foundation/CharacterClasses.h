// The engine's own character model: case partners, base letters and a few character classes for
// Latin-1 (8-bit) characters and for the UTF-16 units of the scripts book files use (Latin,
// Latin Extended-A, Greek, Coptic, Hebrew). These are the engine's tables, not Unicode's case
// mapping and never the C library's locale, so results do not depend on the machine.
// All functions are pure and safe on any thread.

#pragma once

#include <cstdint>

// Fold of one character. Returns 1 when the character is a known letter, digit or punctuation
// character: then `base` is the character without accents, and for letters `upper` and `lower` are
// its case partners (digits and punctuation leave them 0). Returns 0 for anything else, with all
// three outputs 0.
int latin1CaseFold8(unsigned char c, std::uint16_t& upper, std::uint16_t& lower, std::uint16_t& base);
int latin1CaseFold16(std::uint16_t u, std::uint16_t& upper, std::uint16_t& lower, std::uint16_t& base);

// The lower / upper partner, or the character itself when it has none. toUpperChar8 also returns the
// character itself when its partner does not fit in 8 bits (0xFF, whose partner is U+0178).
unsigned char toLowerChar8(unsigned char c);
std::uint16_t toLowerChar16(std::uint16_t u);
unsigned char toUpperChar8(unsigned char c);
std::uint16_t toUpperChar16(std::uint16_t u);

bool isPunctuationChar8(unsigned char c);
bool isPunctuationChar16(std::uint16_t u);
bool isBlankChar8(unsigned char c);  // tab or blank
bool isBlankChar16(std::uint16_t u);
bool isDigitChar8(unsigned char c);  // "0"-"9" only
bool isDigitChar16(std::uint16_t u);
// Below 32 except tab, 127-159, and the soft hyphen 0xAD.
bool isControlChar8(unsigned char c);
bool isControlChar16(std::uint16_t u);
bool isLowerCaseChar8(unsigned char c);
// A known letter that is its own upper or lower partner, or a combining mark.
bool isLetterOrMarkChar8(unsigned char c);
bool isLetterOrMarkChar16(std::uint16_t u);
// A non-zero combining class for any language.
bool isCombiningChar8(unsigned char c);
bool isCombiningChar16(std::uint16_t u);
