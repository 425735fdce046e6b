#include "engine/bookfile/BkReadThrough.h"

#include "engine/bookfile/cBkBookFile.h"

#include <bitset>
#include <vector>

namespace BkReadThrough {

namespace {

std::string at(const char* part, uint64_t i, uint64_t of)
{
    return std::string(part) + " (entry " + std::to_string(i + 1) + " of " + std::to_string(of) + ")";
}

std::string contentsDamage(cBkTOCStg& toc)
{
    const uint32_t n = toc.entryCount();
    std::vector<uint8_t> levels;
    levels.reserve(n);
    for (uint32_t i = 0; i < n; ++i) {
        uint8_t level = 0;
        std::string title;
        uint32_t previous = 0, next = 0, parent = 0;
        if (toc.readEntry(i, level, title) != 0 || toc.readLinks(i, previous, next, parent) != 0)
            return at("its contents", i, n);
        constexpr uint32_t kNone = BkResult::kNone;
        // Entry 0 is the root; every other entry is at most one level under the one before it.
        const bool levelFits = i == 0 ? level == 0 : level >= 1 && level <= levels.back() + 1;
        const bool linksFit = (next == kNone || (next > i && next < n)) &&
            (previous == kNone || (previous < i && levels[previous] == level)) &&
            (parent == kNone || (parent < i && levels[parent] + 1 == level));
        if (!levelFits || !linksFit)
            return at("its contents", i, n);
        levels.push_back(level);
    }
    return {};
}

std::string verseTableDamage(cBkVerseSyncStg& sync, uint32_t sections)
{
    const uint32_t n = sync.recordCount();
    // A record's number is its section's.
    if (n > sections + 1)
        return "its verse table (" + std::to_string(n) + " records for " + std::to_string(sections) + " sections)";
    if (sync.keyWidth() == 0)
        return {};
    // Keys ascend within a book. The books themselves follow the source's order, which need not be
    // their numbers' (the books between the testaments after Malachi), but each comes once.
    uint32_t before = 0;
    std::bitset<256> booksSeen;
    for (uint32_t i = 1; i < n; ++i) {
        uint32_t key = 0, value = 0;
        if (!sync.recordAt(i, key, value))
            return at("its verse table", i, n);
        const uint32_t book = (key >> 16) & 0xFF;
        const bool newBook = i == 1 || book != ((before >> 16) & 0xFF);
        if (newBook ? booksSeen.test(book) : key < before)
            return at("its verse table", i, n);
        booksSeen.set(book);
        // The first record of each key is found again through the table's index.
        if (i == 1 || key != before) {
            uint32_t found = 0, foundValue = 0;
            sync.sectionForKey(key, found, foundValue);
            if (found != i)
                return at("its verse table", i, n);
        }
        before = key;
    }
    return {};
}

std::string readingTableDamage(cBkDateSyncStg& dates, uint32_t sections)
{
    const uint32_t n = dates.readingCount();
    uint32_t before = 0;
    for (uint32_t r = 0; r < n; ++r) {
        const uint32_t s = dates.sectionOfReading(r);
        if (s >= sections || s < before)
            return at("its table of readings", r, n);
        before = s;
    }
    return {};
}

std::string wordsDamage(cBkWordListStg* words, cBkConcordStg* concordance, uint32_t sections, const char* part)
{
    if (words != nullptr) {
        const uint32_t n = words->wordCount();
        std::string word;
        for (uint32_t w = 0; w < n; ++w) {
            words->wordForNumber(w, word);
            if (word.empty())
                return at(part, w, n);
        }
    }
    if (concordance == nullptr)
        return {};
    const uint32_t n = concordance->entryCount();
    for (uint32_t w = 0; w < n; ++w) {
        uint32_t count = 0;
        uint32_t decoded = 0;
        bool ascending = true;
        int64_t last = -1;
        const bool read = concordance->forEachSection(w, count, [&](uint32_t s) {
            ascending = ascending && int64_t(s) > last && s < sections;
            last = s;
            ++decoded;
        });
        if (!read || !ascending || decoded != count)
            return at(part, w, n);
    }
    return {};
}

}  // namespace

std::string firstDamage(cBkBookFile& book, uint32_t sections)
{
    if (std::string d = contentsDamage(book.toc()); !d.empty())
        return d;
    if (std::string d = verseTableDamage(book.verseSync(), sections); !d.empty())
        return d;
    if (std::string d = readingTableDamage(book.dateSync(), sections); !d.empty())
        return d;
    if (std::string d = wordsDamage(&book.wordList(), &book.concordance(), sections, "its concordance"); !d.empty())
        return d;
    for (const cBkWordListPair* pair : {book.stemmed(), book.phonetic(), book.strongsHebrew(), book.strongsGreek(),
             book.syncWords(), book.verseIndex(), book.verseSyncWords()}) {
        if (pair == nullptr)
            continue;
        if (std::string d = wordsDamage(pair->words.get(), pair->concordance.get(), sections, "its concordance");
            !d.empty())
            return d;
    }
    for (size_t i = 0; i < book.attributePairCount(); ++i) {
        if (std::string d =
                wordsDamage(book.attributeWordList(i), book.attributeConcordance(i), sections, "its concordance");
            !d.empty())
            return d;
    }
    return {};
}

}  // namespace BkReadThrough
