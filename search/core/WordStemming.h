#pragma once
// Stemming of search words. Book files carry stem lists made with these very
// functions, so their output is part of the file format.
//
// English (language 0x409) uses our EarlyEnglishStemmer ("earlyenglish"), Spanish
// (language 10) libstemmer's "spanish"; other languages are not stemmed and callers
// fall back to the word itself.
//
// Thread-safe: one process-wide mutex serialises every stemming call (stemmer
// creation, preparation and stemming), because the stemmers and their result
// buffers are shared.

#include <cstdint>
#include <string>
#include <string_view>

inline constexpr uint16_t kStemLanguageEnglish = 0x409;
inline constexpr uint16_t kStemLanguageSpanish = 10;

// Lower-cases the word by the Latin-1 tables; for English also reduces it to base
// letters and cuts it at its first apostrophe (straight, U+2019 or U+02BC).
std::string prepareWordForStemming(std::string_view utf8Word, uint16_t language);

// Replaces word by its prepared form and sets stem to its stem: empty for a language
// other than English and Spanish, or when the stemmer cannot be created.
void stemWordForLanguage(std::string& stem, std::string& word, uint16_t language);

// The form the book engine calls: the stem of the word (prepared internally).
std::string stemWordForLanguage(std::string_view utf8Word, uint16_t language);

// Start-up hook: makes sure the stemmer mutex exists before the first search thread.
void stemmerMutexInitializer();
