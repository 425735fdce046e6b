#pragma once
// Sound-alike keys: our variant of Lawrence Philips' Metaphone. Book files carry
// sound-alike word lists of precomputed keys, so every rule here is part of the file
// format. Notable differences from the common formulation: a final S is ignored,
// every doubled letter (C included) is coded once, accented letters are coded as
// their base letters and non-Latin letters are dropped.
//
// Thread-safe: pure functions.

#include <string>
#include <string_view>

// Keys shorter than two letters match far too much; the search stands this word in
// for them, so they find nothing unless the text holds the placeholder itself.
inline constexpr const char* kMetaphonePlaceholder = "Ploxa";

// The key of one word: upper-case letters and "0" (a "th" sound). A word without
// letters gives an empty key.
std::string metaphoneKey(std::u16string_view word);

// The form the book engine calls: the key of a UTF-8 word, with kMetaphonePlaceholder
// in place of a key shorter than two characters.
std::string metaphoneKey(std::string_view utf8Word);

// metaphoneKey(word), or kMetaphonePlaceholder when the key is shorter than two.
std::string metaphoneSearchKey(std::u16string_view word);
