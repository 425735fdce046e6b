#pragma once
// Search patterns: deciding whether a word of text matches a word position of a
// query that may hold wildcards.
//
// Pattern syntax (patterns and texts are 0-terminated UTF-16; a null pointer is
// read as the empty string):
//   -rest      matches exactly when "rest" does not
//   ?          one character that is not a blank and not a combining mark, with the
//              combining marks after it
//   *          any run of characters within the current word (at the end of the
//              pattern: the rest of the text); "*" and "_" right after it are absorbed
//   _          any run of combining marks
//   [a|b-d|"xy"|!e]  one alternative: characters, ranges first-last, quoted strings;
//              "!" before an alternative makes its match a failure; blanks ignored
//   blank      one or more blanks in the text
// The end of the pattern accepts the end of the text or a blank: a pattern matches a
// text whose first word it matches. Letters compare through lower-case folding
// unless exactCase is set.
//
// Thread-safe: pure functions.

#include <cstdint>
#include <string>

bool wildcardMatch(const char16_t* pattern, const char16_t* text, bool exactCase);
// True when the word holds any of "*?_[" or starts with "-": it is matched as a
// pattern rather than looked up exactly.
bool hasWildcard(const char16_t* word);

// The names the book engine calls. flag != 0 asks for exact case.
bool matchSearchPattern(const char16_t* pattern, const char16_t* word, uint8_t flag);
bool hasWildcardOrNegationInChars(const char16_t* word);

// The engine's strings hold unsigned short units.
bool matchSearchPattern(const unsigned short* pattern, const unsigned short* word, uint8_t flag);
bool hasWildcardOrNegationInChars(const unsigned short* word);

inline bool wildcardMatch(const std::u16string& pattern, const std::u16string& text, bool exactCase)
{
    return wildcardMatch(pattern.c_str(), text.c_str(), exactCase);
}
inline bool hasWildcard(const std::u16string& word)
{
    return hasWildcard(word.c_str());
}
