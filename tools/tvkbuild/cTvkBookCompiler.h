// cTvkBookCompiler: what the two book compilers share: the header fields and kind of the book, its
// dated readings, word and verse look-ups and embedded reference tables, the header as written, and
// writing the file. cTvkBookBuilder compiles plain-text sections (test books, JSON sources);
// cTvkRichBook (import/) compiles sections of display markup (the sample library, bundled books).
//
// A compiler is filled and built on one thread.

#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "tools/tvkbuild/TvkEncode.h"

class cTvkBookCompiler {
public:
    enum class Kind { Book, Bible, Dated };

    // Titles, identity, language and strings of the header; flags are set from the kind.
    TvkEncode::InfoFields info;
    Kind kind = Kind::Book;

    virtual ~cTvkBookCompiler() = default;

    // Dated books: the section of each reading, ascending, and the default start.
    void setReadings(const std::vector<uint32_t>& sections, uint8_t month, uint8_t day);
    // Word lookup ("WSYN"/"WSCN"): an entry word leads to a section.
    void addLookupWord(const std::string& word, uint32_t section);
    // Verse lookup ("VSYN"/"VSCN"): a Bible key (or a range of two) leads to a section.
    void addVerseLookup(uint32_t key, uint32_t section, uint32_t endKey = 0);
    // A reference table embedded in the book ("BIBLEREF").
    void addBibleRefFile(const std::string& name, const std::vector<uint8_t>& bytes);

    // The book file's bytes; throws std::invalid_argument when the book cannot be written.
    virtual std::vector<uint8_t> build() const = 0;
    // Writes the book; false with a message on failure.
    bool writeFile(const std::string& path, std::string* error = nullptr) const;

protected:
    // The default start of the readings when setReadings is not called.
    cTvkBookCompiler(uint8_t month, uint8_t day);

    // The header as written: the Bible flag and `bookType` set, a missing name or abbreviation taken
    // from the other ("Untitled" when both are missing), a missing sort title from the full title.
    TvkEncode::InfoFields headerFields(uint8_t bookType) const;

    std::vector<uint32_t> m_readings;
    uint8_t m_month, m_day;
    std::map<std::string, std::set<uint32_t>> m_lookupWords, m_verseLookup;
    std::vector<std::pair<std::string, std::vector<uint8_t>>> m_bibleRef;
};
