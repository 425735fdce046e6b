// cBkWordLinks: word-level questions answered straight from a book's text tokens, without rendering:
// does a word of the text match an item of a search word list, does a phrase occur in a section,
// which attribute definitions a word-attribute term addresses, and which Strong's numbers and word
// attributes a word carries. A word's Strong's numbers and attributes are the 0xCC/0xCD and
// 0xCF/0xD0 tokens that directly follow its token; for a search term, a word tied to the next by
// kTagsOfNextWord also carries those of the next word (a number over several words is written once,
// after the last of them, which is where the page shows it).
//
// A cBkWordLinks is a short-lived view of one open book file; any thread may make one. Everything
// reads through the text and word-list storages, which take their own locks; the phrase test reads a
// literal into a buffer of its own. Nothing here takes the rendering mutex, so these calls never wait
// for a rendering of the same book.

#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/bookfile/BkTextTokens.h"

class cBkBookFile;
class cSearchWordList;

// One Strong's number or word attribute of a word, as the word-study links show it.
struct cBkWordAttributeEntry {
    std::string attribute;
    std::u16string attribute16;
    std::string description;
    std::string displayPrefix;
    std::u16string displayPrefix16;
    std::string syncPrefix;
    std::string linkType;
};

class cBkWordLinks {
public:
    explicit cBkWordLinks(cBkBookFile& book);

    // The Strong's token at `position` (0xCC Hebrew, 0xCD Greek). On success `position` is left on
    // the token's last byte and, with wantText, `text` is "H"/"G", the number and the suffix letter;
    // on failure `position` is decreased by one.
    bool readStrongsToken(uint32_t& position, bool wantText, std::u16string& text);
    // The attribute token at `position` (0xCF/0xD0). With wantText, `text` is the definition's
    // search prefix and the value's word, and fails for a definition the book does not declare.
    bool readAttributeToken(uint32_t& position, bool wantText, std::u16string& text, int32_t& definition);

    // Pattern (null: none) against word `w` (or the given word text, when not null).
    bool wordMatchesForm(
        const std::u16string* pattern, uint32_t formNumber, bool fold, uint32_t w, const std::u16string* word);
    // Whether word `w` matches some form of item `item`; `afterWord` is the position after the
    // word's token (attribute terms are checked on the tokens there). `formIndex` gets the form.
    bool wordMatchesSearchItem(const cSearchWordList& list, uint32_t item, uint32_t w, const std::u16string* word,
        uint32_t afterWord, uint32_t* formIndex = nullptr);
    // Whether a Strong's or attribute token that follows `position` matches the term ("-" negates).
    // A word followed by kTagsOfNextWord carries the tokens of the next word (see tagsAfterWord).
    bool tokensMatchAttributeTerm(const std::u16string& term, uint32_t position);
    // Where the Strong's and attribute tokens of the word that ends at `position` stand: there, or,
    // when the word is tied to the next one by kTagsOfNextWord, after the last word of the tie.
    // A tie that reaches no word within kMostTiedTokens tokens leaves the word without tokens (the
    // answer is then `position`, where a tie code stands).
    uint32_t tagsAfterWord(uint32_t position);
    static constexpr uint32_t kMostTiedTokens = 256;
    // The definitions a term addresses (by the longest matching search prefix, else every prefix-less
    // definition whose word list holds the term); true when there is at least one.
    bool matchWordAttributes(const std::u16string& term, std::vector<int32_t>& definitions);
    // Whether the phrase (items matching consecutive words) occurs in the section.
    bool isPhrasePresentInSection(uint32_t section, const cSearchWordList& phrase);
    // For the test of one phrase in many sections: from now on, which of the phrase's items each word
    // number matches is remembered across isPhrasePresentInSection calls with this same list, so a
    // word's text is read and matched once rather than at every occurrence. The list must not change
    // while remembered; null forgets. A phrase with an attribute term (decided by the tokens after
    // each word) or of more than 32 items is matched afresh each time.
    void rememberMatchesOf(const cSearchWordList* phrase);
    // Adds the Strong's numbers and attributes of word `w` (or, with a non-empty `word`, of every word
    // carrying `word` as one of them) in the section to `entries`, each text once across calls
    // (`seen`). True when `entries` is not empty afterwards.
    bool collectWordAttributes(uint32_t w, const std::u16string& word, uint32_t section,
        std::vector<std::unique_ptr<cBkWordAttributeEntry>>& entries, std::vector<std::string>& seen);

    // The text positions [start, end) of a section: end is the next section's start or the text
    // size. Both 0 for a section the book does not have.
    void sectionRange(uint32_t section, uint32_t& start, uint32_t& end);

private:
    bool strongsText(const cBkTextToken& t, std::u16string& text);
    bool attributeText(const cBkTextToken& t, std::u16string& text);
    bool literalBreaksPhrase(const cBkTextToken& t);

    // Whether word `w` matches item `item` of the remembered phrase (rememberMatchesOf).
    bool rememberedMatch(const cSearchWordList& phrase, uint32_t item, uint32_t w, uint32_t afterWord);

    cBkBookFile& m_book;
    cBkTextTokenReader m_reader;
    const cSearchWordList* m_remembered = nullptr;
    // Per word number, two bits per item: known, and matched.
    std::vector<uint64_t> m_matches;
};
