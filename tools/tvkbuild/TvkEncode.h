// TvkEncode: encoders of every stream of a book file, the writer side of engine/bookfile. Each takes
// plain values and returns the stream's bytes, laid out with the same constants the readers use.
// Encoders throw std::invalid_argument for values their format cannot hold.

#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace TvkEncode {

using Bytes = std::vector<uint8_t>;

struct TieredIndex {
    uint32_t bases[4] = {};
    uint32_t counts[4] = {};
};
// Appends the table at the end of `stream`: each entry goes to the narrowest tier that holds it and
// every entry before it.
TieredIndex appendTieredIndex(Bytes& stream, const std::vector<uint32_t>& values);
// Writes the four bases and then the four counts (eight u32) at `fields`.
void putTieredIndex(uint8_t* fields, const TieredIndex& index);
// Bytes needed for a value (1 to 4).
uint8_t widthFor(uint32_t value);

struct InfoFields {
    uint8_t minReaderMajor = 1, minReaderMinor = 20, fileMajor = 1, fileMinor = 36;
    std::string abbreviatedTitle, bookName, copyright, author, publisher, publisherCity, publisherDate;
    std::string bookRanges, sortTitle, subtitle, bibleBooks, wordAttributeDefs;  // empty = no string
    uint16_t strongsHebrew[2] = {0, 0}, strongsGreek[2] = {0, 0};
    uint16_t publisherId = 0, bookId = 0;
    uint8_t edition = 1, revision = 1, flags = 0, byte51 = 0;
    uint16_t language = 1033;
    uint32_t tableVersions[12] = {};  // offsets 68..88 then 100..120
    bool writeChecksum = true;
};
// The old layout (version 1.20 and below 1.13) keeps the flags at byte 49 and has no marker.
Bytes info(const InfoFields& fields);

// Records of (first block, text offset); widths 0 choose the narrowest.
Bytes sections(
    const std::vector<std::pair<uint32_t, uint32_t>>& records, uint8_t blockWidth = 0, uint8_t offsetWidth = 0);
// The TEXT stream around a token run (tokens start at position 4).
Bytes text(const Bytes& tokens);
Bytes page();

struct TocEntry {
    uint8_t level = 0;
    std::string title;
};
// Entries in document order, entry 0 the root (level 0); each entry's level is at most one more than
// the previous one's. Links (next sibling, previous sibling, parent) are computed.
Bytes toc(const std::vector<TocEntry>& entries, uint8_t linkWidth = 0, uint8_t widthX = 0, uint8_t widthY = 0);

// The UTF-16 form by which word lists are ordered (a leading 0x9F byte becomes U+FFFF).
std::u16string wordSortKey(const std::string& word);
// Sorted into word-list order without duplicates (case-insensitive duplicates are kept).
std::vector<std::string> sortedWords(std::vector<std::string> words);
// A word list of `words` in the given order (use sortedWords first for a searchable list).
Bytes wordList(const std::vector<std::string>& words, uint8_t groupSize = 16, const std::vector<uint32_t>& values = {},
    uint8_t valueWidth = 0);

// One entry per word number: its ascending, distinct sections.
Bytes concordance(const std::vector<std::vector<uint32_t>>& sections, bool compressed = true, uint8_t sectionWidth = 0,
    uint8_t countWidth = 0);
// The Golomb-coded bits of an entry's gaps (sections[1..c-2] against their predecessors), as the
// reader decodes them; exposed for tests.
Bytes golombBits(const std::vector<uint32_t>& sections);

// Records (key, value) including record 0, keys ascending from record 1 on.
// Whether a Bible section keyed `key` may follow the records so far: a later verse of the same book,
// or the first of a book not met before (books keep their source's order, not their numbers).
bool followsInBibleOrder(const std::vector<std::pair<uint32_t, uint32_t>>& records, uint32_t key);
Bytes verseSync(const std::vector<std::pair<uint32_t, uint32_t>>& records, uint8_t keyWidth = 3, uint8_t valueWidth = 4,
    bool oldHeader = false);
Bytes dateSync(const std::vector<uint32_t>& readingSections, uint8_t month, uint8_t day, uint8_t third = 0);

struct NodeAttribute {
    enum class Value { Code, Number, Text, Long };
    bool named = false;
    uint32_t code = 0;  // 1..127 when not named (112 means a long value)
    std::string name;
    Value value = Value::Code;
    uint32_t valueCode = 0;  // 1..126
    int32_t number = 0;      // signed 24-bit
    std::string text;
    uint32_t longValue = 0;

    static NodeAttribute withCode(uint32_t code, uint32_t valueCode);
    static NodeAttribute withNumber(uint32_t code, int32_t number);
    static NodeAttribute withText(uint32_t code, const std::string& text);
    static NodeAttribute textAt(uint32_t position);
    static NodeAttribute namedText(const std::string& name, const std::string& text);
};
struct Node {
    uint8_t tag = 0;
    std::vector<NodeAttribute> attributes;
    std::vector<Node> children;
};
Bytes nodes(const std::vector<Node>& blocks, uint8_t longWidth = 3, uint8_t stringWidth = 3);

// A sub-file holding each (name, bytes) as a named stream.
Bytes embeddedFiles(const std::vector<std::pair<std::string, Bytes>>& files);

}  // namespace TvkEncode
