// A small Bible for the search tests: a few verses of Genesis, John, 1 John and Jude with Strong's
// numbers, stem and sound-alike lists made with the search core's own stemmer and metaphone, compiled
// into a temporary folder that also holds the user-data database.
#pragma once

#include <stdlib.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>
#include <string>

#include "engine/bookfile/BkSyncFormat.h"
#include "search/core/Metaphone.h"
#include "search/core/WordStemming.h"
#include "tools/tvkbuild/cTvkBookBuilder.h"
#include "userdata/cSQLiteDbBase.h"

namespace minibible {

struct Verse {
    const char* title;
    const char* text;
    uint32_t key;
};

inline const Verse kVerses[] = {
    {"Genesis", "Genesis", BkSyncFormat::bibleKey(1, 0, 0)},
    {"Genesis 1", "Chapter 1", BkSyncFormat::bibleKey(1, 1, 0)},
    {"1", "In the beginning God created the heaven and the earth.", BkSyncFormat::bibleKey(1, 1, 1)},
    {"2", "And the earth was without form, and void.", BkSyncFormat::bibleKey(1, 1, 2)},
    {"3", "And God said, Let there be light: and there was light.", BkSyncFormat::bibleKey(1, 1, 3)},
    {"16", "For God so loved the world, that he gave his only begotten Son.", BkSyncFormat::bibleKey(43, 3, 16)},
    {"34", "A new commandment I give unto you, That ye love one another.", BkSyncFormat::bibleKey(43, 13, 34)},
    {"7", "Beloved, let us love one another: for love is of God.", BkSyncFormat::bibleKey(62, 4, 7)},
    {"8", "He that loveth not knoweth not God; for God is love.", BkSyncFormat::bibleKey(62, 4, 8)},
    {"3", "Beloved, when I gave all diligence to write unto you.", BkSyncFormat::bibleKey(65, 1, 3)},
};

// Section numbers of the verses (section 0 is the book's root).
inline constexpr uint32_t kGenesis1_1 = 3, kGenesis1_3 = 5, kJohn3_16 = 6, kJohn13_34 = 7, kFirstJohn4_7 = 8,
                          kFirstJohn4_8 = 9, kJude3 = 10;

inline std::set<std::string> words(const std::string& text)
{
    std::set<std::string> out;
    std::string w;
    for (char c : text + " ") {
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) {
            w.push_back(static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c));
        } else if (!w.empty()) {
            out.insert(w);
            w.clear();
        }
    }
    return out;
}

inline cTvkBookBuilder builder()
{
    cTvkBookBuilder b;
    b.kind = cTvkBookBuilder::Kind::Bible;
    b.info.bookName = "Mini Bible";
    b.info.abbreviatedTitle = "KJV";
    b.info.publisherId = 7;
    b.info.bookId = 11;
    b.info.edition = 1;
    b.info.strongsGreek[0] = 1;
    b.info.strongsGreek[1] = 5624;
    b.info.strongsHebrew[0] = 1;
    b.info.strongsHebrew[1] = 8674;
    std::map<std::string, std::set<uint32_t>> stems, sounds;
    for (const Verse& v : kVerses) {
        const uint8_t level = (v.key & 0xFF) ? 3 : ((v.key & 0xFF00) ? 2 : 1);
        const uint32_t s = b.addSection({v.title, level, v.text, v.key});
        if ((v.key & 0xFF) == 0)
            continue;
        for (const std::string& w : words(v.text)) {
            stems[stemWordForLanguage(w, kStemLanguageEnglish)].insert(s);
            std::string key = metaphoneKey(std::string_view(w));
            for (char& c : key)
                c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
            sounds[key].insert(s);
        }
    }
    b.addIndexPair("STEM", "STMC", stems);
    b.addIndexPair("PHON", "PHNC", sounds);
    b.addIndexPair("SHEA", "SHCN", {{"430", {kGenesis1_1, kGenesis1_3}}, {"776", {kGenesis1_1}}});
    b.addIndexPair("SGRK", "SGCN", {{"25", {kJohn13_34, kFirstJohn4_7}}, {"26", {kFirstJohn4_7, kFirstJohn4_8}}});
    return b;
}

// A temporary folder (removed with its contents) holding the book and the user-data database.
class Folder {
public:
    Folder()
    {
        char pattern[] = "/tmp/qs-search-XXXXXX";
        const char* made = mkdtemp(pattern);
        m_path = made != nullptr ? made : "/tmp";
        cSQLiteDbBase::setEngineDataFolder(cLString16(m_path.c_str()));
    }
    ~Folder() { std::system(("rm -rf '" + m_path + "'").c_str()); }
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;
    const std::string& path() const { return m_path; }
    std::string writeBible() const
    {
        const std::string file = m_path + "/mini.tvk";
        std::string error;
        if (!builder().writeFile(file, &error))
            std::fprintf(stderr, "mini Bible: %s\n", error.c_str());
        return file;
    }

private:
    std::string m_path;
};

}  // namespace minibible
