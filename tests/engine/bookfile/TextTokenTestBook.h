// A small book written for the text-token tests: hand-made token stream, word and punctuation lists
// with value tables, sections, word-attribute definitions with their word lists and the attribute
// text list ("PXSX"). Built with the book compiler, opened as a cBkBookFile.

#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "engine/bookfile/BookFileTestSupport.h"
#include "engine/bookfile/cBkBookFile.h"
#include "tools/tvkbuild/TvkEncode.h"
#include "tools/tvkbuild/cTvkBookBuilder.h"

struct TextBookSpec {
    std::vector<std::string> words;  // word number = index; kept in this order
    std::vector<uint32_t> wordValues;
    std::vector<std::string> punctuation;
    std::vector<uint32_t> punctuationValues;
    Bytes tokens;                         // the text from position 4
    std::vector<uint32_t> sectionStarts;  // text offsets (first block = section number)
    uint8_t fileMinor = 36;
    uint16_t language = 1033;
    std::string attributeDefinitions;
    // key -> its words, already in word-list order
    std::vector<std::pair<std::string, std::vector<std::string>>> attributeWords;
    std::vector<std::string> attributeTexts;  // "PXSX"
    // Extra blocks for the display tests (NODE), written when not empty.
    std::vector<TvkEncode::Node> blocks;
    std::vector<std::pair<std::string, Bytes>> images;
    std::vector<std::pair<uint32_t, uint32_t>> verseSync;  // (key, section) after record 0
};

class TextTestBook {
public:
    explicit TextTestBook(const TextBookSpec& spec)
    {
        cTvkBookBuilder b;
        b.info.bookName = "Token Test";
        b.info.abbreviatedTitle = "TT";
        b.info.fileMinor = spec.fileMinor;
        b.info.language = spec.language;
        b.info.wordAttributeDefs = spec.attributeDefinitions;
        b.replaceStream("WRDS", TvkEncode::wordList(spec.words, 16, spec.wordValues));
        std::vector<std::vector<uint32_t>> conc(spec.words.size(), std::vector<uint32_t> {0});
        b.replaceStream("CONC", TvkEncode::concordance(conc));
        b.replaceStream("PUNC", TvkEncode::wordList(spec.punctuation, 16, spec.punctuationValues));
        b.replaceStream("TEXT", TvkEncode::text(spec.tokens));
        std::vector<std::pair<uint32_t, uint32_t>> sections;
        std::vector<uint32_t> starts = spec.sectionStarts.empty() ? std::vector<uint32_t> {4} : spec.sectionStarts;
        for (uint32_t i = 0; i < starts.size(); ++i)
            sections.emplace_back(i, starts[i]);
        b.replaceStream("SECT", TvkEncode::sections(sections));
        if (!spec.blocks.empty())
            b.replaceStream("NODE", TvkEncode::nodes(spec.blocks));
        for (const auto& [key, words] : spec.attributeWords) {
            std::map<std::string, std::set<uint32_t>> entries;
            for (const auto& w : words)
                entries[w].insert(0);
            b.addIndexPair(key + "WL", key + "CONC", entries, true);
        }
        if (!spec.attributeTexts.empty())
            b.replaceStream("PXSX", TvkEncode::wordList(spec.attributeTexts));
        if (!spec.verseSync.empty()) {
            std::vector<std::pair<uint32_t, uint32_t>> records {{0, 0}};
            records.insert(records.end(), spec.verseSync.begin(), spec.verseSync.end());
            b.replaceStream("SYNC", TvkEncode::verseSync(records));
        }
        for (const auto& [name, bytes] : spec.images)
            b.addImage(name, bytes);
        path = dir.file("tokens.tvk");
        std::string error;
        EXPECT_TRUE(b.writeFile(path, &error)) << error;
        EXPECT_EQ(0u, book.open(path.c_str()));
    }

    TempDir dir;
    std::string path;
    cBkBookFile book;
};

// Token-building helpers.
inline void be16(Bytes& b, uint32_t v)
{
    b.push_back(static_cast<uint8_t>(v >> 8));
    b.push_back(static_cast<uint8_t>(v));
}
inline void be32(Bytes& b, uint32_t v)
{
    be16(b, v >> 16);
    be16(b, v & 0xFFFF);
}
// A word token for numbers up to 16382.
inline void wordToken(Bytes& b, uint32_t w)
{
    b.push_back(static_cast<uint8_t>(0x40 | (w >> 8)));
    b.push_back(static_cast<uint8_t>(w));
}
inline void punctToken(Bytes& b, uint32_t p, bool before = false, bool after = false)
{
    b.push_back(static_cast<uint8_t>(0x8F | (before ? 0x20 : 0) | (after ? 0x10 : 0)));
    b.push_back(static_cast<uint8_t>(p));
}
inline void literalToken(Bytes& b, const std::string& text)
{
    b.push_back(0xFF);
    b.push_back(static_cast<uint8_t>(text.size()));
    b.insert(b.end(), text.begin(), text.end());
}
inline void attributeToken(Bytes& b, uint8_t d, uint32_t value)
{
    b.push_back(0xCF);
    b.push_back(d);
    if (value >= 0xFFFF) {
        be16(b, 0xFFFF);
        be32(b, value);
    } else {
        be16(b, value);
    }
}
inline Bytes cat2(const Bytes& a, const Bytes& b)
{
    Bytes c = a;
    c.insert(c.end(), b.begin(), b.end());
    return c;
}
inline uint32_t indexOf(const std::vector<std::string>& list, const std::string& w)
{
    return static_cast<uint32_t>(std::find(list.begin(), list.end(), w) - list.begin());
}
