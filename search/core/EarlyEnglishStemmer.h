#pragma once
// EarlyEnglishStemmer: our "earlyenglish" stemmer. It is the Snowball English
// (Porter2) algorithm - the revision whose region exceptions are the prefixes
// "gener", "commun" and "arsen" - taught the archaic verb endings of older English
// Bibles: Step 1b also strips "eth", "est" and "edst" as it strips "ed" and "ing",
// so "loveth", "lovest" and "lovedst" stem as "loved" does.
//
// Book files carry stem lists made with this very algorithm, so any change to it
// changes the file format.
//
// The input is one lower-case UTF-8 word (prepared by prepareWordForStemming);
// letters outside a-z are kept and count as consonants. Thread-safe: the stemmer
// holds no state between calls.

#include <string>
#include <string_view>

class EarlyEnglishStemmer {
public:
    // archaicEndings false gives the plain Porter2 algorithm (the Step 1b change off).
    explicit EarlyEnglishStemmer(bool archaicEndings = true) : m_archaicEndings(archaicEndings) { }

    std::string stem(std::string_view utf8Word) const;

private:
    bool m_archaicEndings;
};
