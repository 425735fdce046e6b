// cTvkBookBuilder: compiles a book from its sections into a complete book file: every stream the
// reader requires (INFO, SECT, PAGE, TEXT, TOFC, SYNC, WRDS, CONC, PUNC), its display blocks (NODE),
// and, as the book asks, DATE, the word-lookup and verse-lookup pairs, further index pairs, and the
// IMAGES and BIBLEREF embedded files.
//
// Section 0 is the book's root (contents entry 0, level 0, titled with the book name); added sections
// are numbered from 1 in document order. Each section is one display block: a "p" element holding one
// text node (and, in a Bible, a qs_sync verse marker before it). Text is cut into words (letters,
// digits, marks and any non-ASCII character) and punctuation; words are stored lower-cased with
// capitalisation codes, and each section's token run ends with the end-of-section code.

#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "tools/tvkbuild/TvkEncode.h"

class cTvkBookBuilder {
public:
    enum class Kind { Book, Bible, Dated };

    struct Section {
        std::string title;
        uint8_t level = 1;
        std::string text;
        uint32_t verseKey = 0;  // Bible: book << 16 | chapter << 8 | verse (0 verse for headings)
    };

    // Titles, identity, language and strings of the header; flags are set from the kind.
    TvkEncode::InfoFields info;
    Kind kind = Kind::Book;

    cTvkBookBuilder();

    // Returns the section's number.
    uint32_t addSection(const Section& section);
    uint32_t sectionCount() const { return static_cast<uint32_t>(m_sections.size()) + 1; }
    // Dated books: the section of each reading, ascending, and the default start.
    void setReadings(const std::vector<uint32_t>& sections, uint8_t month, uint8_t day);
    // Word lookup ("WSYN"/"WSCN"): an entry word leads to a section.
    void addLookupWord(const std::string& word, uint32_t section);
    // Verse lookup ("VSYN"/"VSCN"): a Bible key (or a range of two) leads to a section.
    void addVerseLookup(uint32_t key, uint32_t section, uint32_t endKey = 0);
    // Any further pair, by tags (or, when `named`, by stream names).
    void addIndexPair(const std::string& words, const std::string& concordance,
        const std::map<std::string, std::set<uint32_t>>& entries, bool named = false);
    void addImage(const std::string& name, const std::vector<uint8_t>& bytes);
    void addBibleRefFile(const std::string& name, const std::vector<uint8_t>& bytes);

    // For tests of the reader: leave a stream out, or put other bytes in its place.
    void omitStream(const std::string& tag);
    void replaceStream(const std::string& tag, const std::vector<uint8_t>& bytes);

    // The book file's bytes; throws std::invalid_argument when the book cannot be written.
    std::vector<uint8_t> build() const;
    // Writes the book; false with a message on failure.
    bool writeFile(const std::string& path, std::string* error = nullptr) const;

    // The token run of one text (without the end-of-section code), given the word and punctuation
    // numbering; exposed for tests.
    struct Piece {
        enum Type { Word, Punctuation } type;
        std::string text;  // words lower-cased
        uint8_t capital = 0;
        uint32_t mask = 0;
        bool blankBefore = false, blankAfter = false, glued = false;
    };
    static std::vector<Piece> cutText(const std::string& text);

private:
    struct Pair {
        std::string words, concordance;
        bool named;
        std::map<std::string, std::set<uint32_t>> entries;
    };
    std::vector<Section> m_sections;
    std::vector<uint32_t> m_readings;
    uint8_t m_month = 0, m_day = 0;
    std::map<std::string, std::set<uint32_t>> m_lookupWords, m_verseLookup;
    std::vector<Pair> m_pairs;
    std::vector<std::pair<std::string, std::vector<uint8_t>>> m_images, m_bibleRef;
    std::set<std::string> m_omitted;
    std::map<std::string, std::vector<uint8_t>> m_replaced;
};
