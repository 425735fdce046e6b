// cTvkBookBuilder: compiles a book from its sections into a complete book file: every stream the
// reader requires (INFO, SECT, PAGE, TEXT, TOFC, SYNC, WRDS, CONC, PUNC), its display blocks (NODE),
// and, as the book asks, DATE, the word-lookup and verse-lookup pairs, further index pairs, and the
// IMAGES and BIBLEREF embedded files.
//
// Section 0 is the book's root (contents entry 0, level 0, titled with the book name); added sections
// are numbered from 1 in document order. Each section is one display block: a "p" element holding one
// text node (and, in a Bible, a qs_sync verse marker before it). Text is cut and encoded as every
// compiled book's is (tvkCutText and cTvkTokenWriter, TvkTextEncoder.h): words stored lower-cased
// with capitalisation codes, punctuation with its blanks; each section's token run ends with the
// end-of-section code.

#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "tools/tvkbuild/TvkEncode.h"
#include "tools/tvkbuild/cTvkBookCompiler.h"

class cTvkBookBuilder : public cTvkBookCompiler {
public:
    struct Section {
        std::string title;
        uint8_t level = 1;
        std::string text;
        uint32_t verseKey = 0;  // Bible: book << 16 | chapter << 8 | verse (0 verse for headings)
    };

    cTvkBookBuilder();

    // Returns the section's number.
    uint32_t addSection(const Section& section);
    uint32_t sectionCount() const { return static_cast<uint32_t>(m_sections.size()) + 1; }
    // Any further pair, by tags (or, when `named`, by stream names).
    void addIndexPair(const std::string& words, const std::string& concordance,
        const std::map<std::string, std::set<uint32_t>>& entries, bool named = false);
    void addImage(const std::string& name, const std::vector<uint8_t>& bytes);

    // For tests of the reader: leave a stream out, or put other bytes in its place.
    void omitStream(const std::string& tag);
    void replaceStream(const std::string& tag, const std::vector<uint8_t>& bytes);

    std::vector<uint8_t> build() const override;

private:
    struct Pair {
        std::string words, concordance;
        bool named;
        std::map<std::string, std::set<uint32_t>> entries;
    };
    std::vector<Section> m_sections;
    std::vector<Pair> m_pairs;
    std::vector<std::pair<std::string, std::vector<uint8_t>>> m_images;
    std::set<std::string> m_omitted;
    std::map<std::string, std::vector<uint8_t>> m_replaced;
};
