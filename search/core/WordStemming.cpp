#include "search/core/WordStemming.h"

#include <libstemmer.h>

#include <mutex>

#include "search/core/EarlyEnglishStemmer.h"
#include "search/core/TextFolding.h"

namespace {

std::mutex& stemmerMutex()
{
    static std::mutex mutex;
    return mutex;
}

// Created on first use and kept for the life of the process; a failed creation is
// retried at the next call. Guarded by stemmerMutex().
sb_stemmer* spanishStemmer()
{
    static sb_stemmer* stemmer = nullptr;
    if (!stemmer)
        stemmer = sb_stemmer_new("spanish", "UTF_8");
    return stemmer;
}

std::string stemPrepared(const std::string& prepared, uint16_t language)
{
    if (language == kStemLanguageEnglish) {
        static const EarlyEnglishStemmer english;
        return english.stem(prepared);
    }
    if (language != kStemLanguageSpanish)
        return {};
    sb_stemmer* stemmer = spanishStemmer();
    if (!stemmer)
        return {};
    const sb_symbol* out = sb_stemmer_stem(
        stemmer, reinterpret_cast<const sb_symbol*>(prepared.data()), static_cast<int>(prepared.size()));
    if (!out)
        return {};
    // The result buffer belongs to the stemmer: copy it before the lock is released.
    return std::string(reinterpret_cast<const char*>(out), static_cast<std::size_t>(sb_stemmer_length(stemmer)));
}

}  // namespace

std::string prepareWordForStemming(std::string_view utf8Word, uint16_t language)
{
    std::u16string word = TextFolding::utf8ToUtf16(utf8Word);
    for (char16_t& c : word)
        c = TextFolding::toLowerLatin1(c);
    if (language == kStemLanguageEnglish) {
        word = TextFolding::foldToBaseLetters(word);
        // Books and typists write the apostrophe of "Lord's" three ways: straight, as the typographic
        // right quotation mark (U+2019) and as the modifier letter (U+02BC). All three end the word's
        // stem, so that a possessive stems as its noun whichever the book holds.
        const auto apostrophe = word.find_first_of(u"'\u2019\u02BC");
        if (apostrophe != std::u16string::npos)
            word.resize(apostrophe);
    }
    return TextFolding::utf16ToUtf8(word);
}

void stemWordForLanguage(std::string& stem, std::string& word, uint16_t language)
{
    std::lock_guard<std::mutex> lock(stemmerMutex());
    word = prepareWordForStemming(word, language);
    stem = word.size() > static_cast<std::size_t>(INT32_MAX) ? std::string() : stemPrepared(word, language);
}

std::string stemWordForLanguage(std::string_view utf8Word, uint16_t language)
{
    std::string word(utf8Word);
    std::string stem;
    stemWordForLanguage(stem, word, language);
    return stem;
}

void stemmerMutexInitializer()
{
    (void)stemmerMutex();
}
