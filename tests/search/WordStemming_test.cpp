#include "search/core/WordStemming.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

TEST(WordStemming, PreparationAndLanguages)
{
    std::string word = "LORD'S";
    std::string stem;
    stemWordForLanguage(stem, word, kStemLanguageEnglish);
    EXPECT_EQ(word, "lord");
    EXPECT_EQ(stem, "lord");

    // The typographic apostrophe (U+2019) and the modifier letter (U+02BC) cut the word as "'" does.
    for (const char* possessive : {"Lord\xE2\x80\x99s", "LORD\xCA\xBCS"}) {
        word = possessive;
        stemWordForLanguage(stem, word, kStemLanguageEnglish);
        EXPECT_EQ(word, "lord") << possessive;
        EXPECT_EQ(stem, "lord") << possessive;
    }
    EXPECT_EQ(stemWordForLanguage("love\xE2\x80\x99s", kStemLanguageEnglish), "love");

    word = "Caf\xC3\xA9s";  // accented input is stemmed on its base letters
    stemWordForLanguage(stem, word, kStemLanguageEnglish);
    EXPECT_EQ(word, "cafes");
    EXPECT_EQ(stem, "cafe");

    word = "\xC3\x81RBOLES";  // Spanish keeps its accents, lower-cased only
    stemWordForLanguage(stem, word, kStemLanguageSpanish);
    EXPECT_EQ(word, "\xC3\xA1rboles");
    EXPECT_FALSE(stem.empty());
    EXPECT_EQ(stem, stemWordForLanguage("\xC3\xA1rbol", kStemLanguageSpanish));

    word = "Liebe";
    stemWordForLanguage(stem, word, 7);
    EXPECT_EQ(word, "liebe");
    EXPECT_TRUE(stem.empty());

    EXPECT_EQ(stemWordForLanguage("Loveth", kStemLanguageEnglish), "love");
    EXPECT_EQ(prepareWordForStemming("Don't", 10), "don't");  // the apostrophe cut is English only
    EXPECT_EQ(stemWordForLanguage("", kStemLanguageEnglish), "");
}

TEST(WordStemming, ConcurrentCallsGiveTheSameStems)
{
    stemmerMutexInitializer();
    const std::vector<std::pair<std::string, uint16_t>> words = {{"loveth", kStemLanguageEnglish},
        {"running", kStemLanguageEnglish}, {"generations", kStemLanguageEnglish}, {"corriendo", kStemLanguageSpanish},
        {"canciones", kStemLanguageSpanish}, {"Liebe", 7}};
    std::vector<std::string> expected;
    for (const auto& [w, lang] : words)
        expected.push_back(stemWordForLanguage(w, lang));
    std::vector<int> mismatches(8, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < 500; ++i) {
                const std::size_t k = static_cast<std::size_t>(i + t) % words.size();
                if (stemWordForLanguage(words[k].first, words[k].second) != expected[k])
                    ++mismatches[t];
            }
        });
    for (auto& th : threads)
        th.join();
    for (int m : mismatches)
        EXPECT_EQ(m, 0);
    EXPECT_EQ(expected[0], "love");
    EXPECT_EQ(expected[1], "run");
    EXPECT_EQ(expected[2], "generat");
    EXPECT_EQ(expected[5], "");
}
