// TvkTextEncoder: how the book compilers (cTvkBookBuilder, and the importers' cTvkRichBook) turn
// text into the "TEXT" token run: the word cutter, and the numbering and token encoding of words and
// punctuation strings. One copy, so every compiled book cuts and encodes text alike.
//
// Pure functions and a value class; any thread.

#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "tools/tvkbuild/TvkEncode.h"

// One word or punctuation string of a text, as the text is cut for the token run.
struct TvkTextPiece {
    bool word = false;
    std::string text;  // a word lower-cased when `capital` restores it
    uint8_t capital = 0;
    uint32_t mask = 0;
    bool blankBefore = false, blankAfter = false;
};

// Cuts UTF-8 text at blanks (space, tab, line breaks, no-break space) into words and punctuation
// strings. Words are runs of letters, marks and digits, and beyond ASCII of anything the character
// tables do not call punctuation (so letters the tables do not list, such as polytonic Greek, stay in
// their words); an apostrophe (' or U+2019) between a word and a letter stays inside the word. Every
// other run of characters between blanks is one punctuation string, so curly quotes and dashes are
// punctuation. Words are lower-cased with the capitalisation code that restores them.
std::vector<TvkTextPiece> tvkCutText(const std::string& text);

// How many bytes at the start of the text belong to a word as tvkCutText cuts it (0 when the text
// starts with a blank or punctuation), and whether its last character is part of a word: a word
// continued in the next text run without a blank between is one word.
size_t tvkLeadingWordBytes(const std::string& text);
size_t tvkTrailingWordBytes(const std::string& text);
// Whether tvkCutText finds a word in the text.
bool tvkHasWord(const std::string& text);

// The numbering of a book's words and punctuation strings (sorted as the reader searches them; the
// most frequent get one-byte tokens) and the tokens of one piece.
class cTvkTokenWriter {
public:
    // `wordEscapeBase`: where the four-byte word escape starts (older files use another base).
    cTvkTokenWriter(const std::map<std::string, uint32_t>& wordCounts,
        const std::map<std::string, uint32_t>& punctuationCounts, uint32_t wordEscapeBase);

    const std::vector<std::string>& words() const { return m_words; }
    const std::vector<std::string>& punctuation() const { return m_punctuation; }
    // The numbers of the strings with one-byte tokens, most frequent first.
    const std::vector<uint32_t>& wordShortValues() const { return m_wordValues; }
    const std::vector<uint32_t>& punctuationShortValues() const { return m_punctuationValues; }

    // Appends the word's capitalisation code (when it has one) and its token; returns its number.
    // Throws std::invalid_argument when the word cannot be encoded.
    uint32_t appendWord(TvkEncode::Bytes& tokens, const TvkTextPiece& word) const;
    // Appends a punctuation string's token with its blank flags.
    void appendPunctuation(TvkEncode::Bytes& tokens, const TvkTextPiece& punctuation) const;

private:
    // The numbers first: the constructor fills them while it sorts the strings.
    std::map<std::string, uint32_t> m_wordNumber, m_punctuationNumber;
    std::vector<std::string> m_words, m_punctuation;
    std::vector<uint32_t> m_wordValues, m_punctuationValues;
    uint32_t m_wordEscapeBase;
};

// The word-list and concordance streams of an index pair: each entry word (sorted as the reader
// searches) with the ascending sections it leads to.
std::pair<TvkEncode::Bytes, TvkEncode::Bytes> tvkIndexPair(const std::map<std::string, std::set<uint32_t>>& entries);
