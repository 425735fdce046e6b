// cTvkRichBook: compiles an imported or authored book whose sections hold display markup: each
// section is a list of blocks (element trees) whose text nodes carry runs of text, and a run may give
// Strong's numbers to its last word. Besides the streams every book needs, it writes the Strong's
// Hebrew and Greek pairs, the stem and sound-alike pairs, the word- and verse-lookup pairs, the date
// sync of a dated book and embedded reference tables.
//
// Each text node is its own token run ending with the end-of-section code; blanks at the edges of a
// text node become white-space text nodes of the display tree, so adjacent inline elements keep their
// spacing. Strong's numbers are written as the Hebrew or Greek codes right after their word.

#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "tools/tvkbuild/TvkEncode.h"
#include "tools/tvkbuild/TvkTextEncoder.h"
#include "tools/tvkbuild/cTvkBookCompiler.h"

// Element codes of the book markup used by the importers.
namespace TvkTag {
constexpr uint8_t kB = 3, kBr = 9, kH2 = 21, kH3 = 22, kH4 = 23, kI = 32, kLi = 38, kP = 46, kQsNote = 53, kQsSync = 54,
                  kQsWoc = 56, kSmall = 60, kSup = 63, kUl = 74, kText = 75, kDiv = 77;
constexpr uint32_t kAttrClass = 28, kAttrDisplay = 46, kAttrType = 111, kAttrValue = 115;
constexpr uint32_t kValueNow = 63, kValueVerse = 116;
}  // namespace TvkTag

struct TvkRun {
    std::string text;
    std::vector<std::string> strongs;  // "H430", "G26", "H1234a": follow the run's last word
    std::vector<uint8_t> reference;    // when not empty: an embedded Bible reference (a compact
                                       // record, its length field first) shown in place of `text`
};

struct TvkNode {
    uint8_t tag = TvkTag::kText;  // kText: a text node made of runs
    std::vector<TvkEncode::NodeAttribute> attributes;
    std::vector<TvkNode> children;
    std::vector<TvkRun> runs;

    static TvkNode text(const std::string& s) { return TvkNode {TvkTag::kText, {}, {}, {TvkRun {s, {}, {}}}}; }
    static TvkNode element(uint8_t tag, std::vector<TvkNode> children = {})
    {
        return TvkNode {tag, {}, std::move(children), {}};
    }
};

struct TvkSection {
    std::string title;
    uint8_t level = 1;
    uint32_t verseKey = 0;  // Bible: book << 16 | chapter << 8 | verse; 0 only before the first book (front matter)
    std::vector<TvkNode> blocks;
    // False for the headings written for a book or a chapter: their words are shown, not indexed
    // (a search for a book's name finds the verses that hold it, not every chapter's heading).
    bool headingsIndexed = true;
};

class cTvkRichBook : public cTvkBookCompiler {
public:
    bool stemAndSoundAlike = true;  // STEM/STMC and PHON/PHNC from the main word list

    cTvkRichBook();

    // Returns the section's number (sections are numbered from 1; section 0 is the root).
    uint32_t addSection(TvkSection section);
    uint32_t sectionCount() const { return static_cast<uint32_t>(m_sections.size()) + 1; }
    const TvkSection& section(uint32_t number) const { return m_sections.at(number - 1); }

    // Verse index ("VIDX"/"VCON"): the sections that refer to a verse.
    void addVerseIndex(uint32_t key, uint32_t section);

    std::vector<uint8_t> build() const override;

    // A Strong's number as its token bytes ("H430" -> CC 06 B8); empty when it is not one.
    static std::vector<uint8_t> strongsToken(const std::string& number);

private:
    std::vector<TvkSection> m_sections;
    std::map<std::string, std::set<uint32_t>> m_verseIndex;
};
