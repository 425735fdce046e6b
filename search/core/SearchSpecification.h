#pragma once
// SearchSpecification: one query in the search language, parsed into an included
// and an excluded PhraseList.
//
//   query      := [phraseList] { "-" phraseList }     every minus adds to the excluded list
//   phraseList := orPhrases { orPhrases }
//   orPhrases  := phrase { OR phrase }                an OR without a phrase is put back
//   phrase     := quote orTerms { orTerms } quote | orTerms { orTerms }
//   quote      := '"' | U+201C | U+201D | U+201E | U+201F
//   orTerms    := term { OR term }
//   OR         := "|" | "OR" followed by white space (upper case only)
//
// Consecutive words form one phrase of several positions; quotes delimit phrases; an
// unclosed quote drops its phrase. Punctuation around a term is not part of it ("(love)," is
// the term love); inside it stays (it's), and wildcards are never cut. A hyphen between two words
// ("Beth-el", "BETH-EL") makes them a phrase of their parts, except inside a bracket class ("[a-c]ast")
// and in a term with a colon ("love:-G26", "V-PAI:logos"). The parser never fails: a query whose included
// list is empty finds nothing.
//
// Made by its caller, given its text once, then only read: several searches may run
// over the same tree at once. setSearchSpec() with a different text rebuilds it and
// must not race with readers.

#include <cstdint>
#include <string>

#include "search/core/PhraseList.h"

class SearchSpecification {
public:
    SearchSpecification() = default;
    explicit SearchSpecification(std::u16string text) { setSearchSpec(std::move(text)); }

    // Copies the text and parses it at once; nothing happens when it is unchanged.
    void setSearchSpec(std::u16string text);
    const std::u16string& searchSpec() const { return m_searchSpec; }

    // Clears both lists and parses the text from its start.
    void parse();

    // Either list may be null.
    const PhraseListPtr& phraseList() const { return m_phraseList; }
    const PhraseListPtr& exclPhraseList() const { return m_exclPhraseList; }

    // The character classes of the grammar: white space and line breaks, and Unicode
    // punctuation (among ASCII: ! " # % & ' ( ) * , - . / : ; ? @ [ \ ] _ { }).
    static bool isInWhitespaceSet(char16_t c);
    static bool isInPunctuationSet(char16_t c);

    // True when the lower-cased word is one of the 220 stop words (any apostrophe counts as "'").
    static bool isStopWord(const std::u16string& word);

    // Grammar procedures; each reads and advances position().
    PhraseListPtr parsePhraseList();
    PhrasePtr parsePhrase();
    // Null when no term starts here (end, a double quote, "-" or "|").
    std::unique_ptr<std::u16string> parseTerm();
    PhraseListPtr parseExclusionList();
    bool isOr();
    bool isQuote();

    uint64_t position() const { return m_position; }

private:
    void skipWhitespace();
    bool atEnd() const { return m_position >= m_searchSpec.size(); }
    char16_t current() const { return m_searchSpec[static_cast<std::size_t>(m_position)]; }

    std::u16string m_searchSpec;
    uint64_t m_position = 0;
    PhraseListPtr m_phraseList;
    PhraseListPtr m_exclPhraseList;
};
