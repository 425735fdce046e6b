// cBookDoc: concordance look-ups, verse-reference and headword look-ups, and limit expressions.
#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "documents/DocLanguage.h"
#include "documents/cBookDoc.h"
#include "engine/bookfile/BkSyncFormat.h"
#include "engine/bookfile/cBkBookFile.h"
#include "engine/bookfile/cBkWordLinks.h"
#include "engine/references/cBibleRef.h"
#include "render/cHTMLColor.h"
#include "search/core/WildcardPattern.h"
#include "search/core/cBitVector.h"
#include "userdata/cBookmark.h"
#include "userdata/cBookmarkMgr.h"
#include "userdata/cCategory.h"
#include "userdata/cCategoryStg.h"
#include "userdata/cNoteDoc.h"
#include "userdata/cVerseHighlightDoc.h"
#include "userdata/cVerseHighlightRecord.h"

namespace {
// A walk over stored rows ends with the rows; the limit only stops a cursor that would never end.
constexpr std::uint32_t kWalkLimit = 1u << 24;

// Makes the holder's vector (n bits, clear) when the holder is null; true when this call made it.
bool ensureHolder(cBitVector*& holder, std::uint32_t n)
{
    if (holder != nullptr)
        return false;
    holder = new cBitVector(n);
    return true;
}

cLString16 wide(const char* utf8)
{
    cLString16 s;
    s.assignFromUTF8(utf8);
    return s;
}

// The sections of the first word of `list` that `word` names: exactly, or by pattern.
bool rawSectionList(
    cBkWordListStg* list, cBkConcordStg* concordance, const cLString16& word, std::vector<std::uint32_t>& sections)
{
    sections.clear();
    if (list == nullptr || concordance == nullptr || word.isEmpty())
        return false;
    std::uint32_t w;
    if (!hasWildcardOrNegationInChars(word.chars())) {
        w = list->wordNumberForString(word, false);
        if (w == 0xFFFFFFFF)
            return false;
    } else {
        const std::int32_t m = list->firstWildcardMatch(word);
        if (m < 0)
            return false;
        w = static_cast<std::uint32_t>(m);
    }
    std::uint32_t count = 0;
    concordance->forEachSection(w, count, [&](std::uint32_t s) { sections.push_back(s); });
    return !sections.empty();
}

// The quoted names of an argument list that starts at `pos` (just after the opening parenthesis):
// names separated by "," and closed by ")". With `doubledQuotes` a doubled quote inside a name
// stands for one. A malformed list ends the reading; what was read is kept.
std::vector<std::string> readQuotedNames(const std::string& text, size_t pos, bool doubledQuotes)
{
    std::vector<std::string> names;
    auto skipBlanks = [&] {
        while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t'))
            ++pos;
    };
    for (;;) {
        skipBlanks();
        if (pos >= text.size() || text[pos] != '"')
            return names;
        ++pos;
        std::string name;
        bool closed = false;
        while (pos < text.size()) {
            const char c = text[pos++];
            if (c == '"') {
                if (doubledQuotes && pos < text.size() && text[pos] == '"') {
                    name.push_back('"');
                    ++pos;
                    continue;
                }
                closed = true;
                break;
            }
            name.push_back(c);
        }
        if (!closed)
            return names;
        names.push_back(name);
        skipBlanks();
        if (pos >= text.size())
            return names;
        if (text[pos] == ')')
            return names;
        if (text[pos] != ',')
            return names;
        ++pos;
    }
}

std::uint32_t colourCodeForName(const std::string& name)
{
    // "#RRGGBB": the highlight colour with that value.
    if (name.size() == 7 && name[0] == '#') {
        cHTMLColor colour;
        colour.setFromColorText(name);
        std::uint32_t id = colour.highlightColorId();
        if (id == 0) {
            std::uint8_t red = 0, green = 0, blue = 0;
            colour.getRGBComponents(red, green, blue);
            const std::uint32_t rgb = (std::uint32_t {red} << 16) | (std::uint32_t {green} << 8) | blue;
            if (rgb == colour.rgb() && name.find_first_not_of("0123456789abcdefABCDEF", 1) == std::string::npos)
                id = highlightIdForRGB(red, green, blue, false);
        }
        if (id != 0 && id != 0xFFFFFFFF)
            return id;
    }
    std::string key;
    for (char c : name) {
        if (c == ' ')
            continue;
        key.push_back((c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c);
    }
    const std::uint32_t row = htmlColorNameRow(key);
    if (row != 0)
        return row;
    return parseHighlightStyleName(name);
}

bool intArrayHas(const cLIntArray& array, std::int32_t value)
{
    return array.find(value) >= 0;
}
}  // namespace

// --- concordances ---

void cBookDoc::concordanceLookup(
    cBkWordListStg* list, cBkConcordStg* concordance, const cLString16& word, std::uint32_t& count, cBitVector*& holder)
{
    count = 0;
    if (list == nullptr || concordance == nullptr)
        return;
    const std::uint32_t n = GetNumSections();
    if (!hasWildcardOrNegationInChars(word.chars())) {
        const std::uint32_t w = list->wordNumberForString(word, false);
        if (w == 0xFFFFFFFF)
            return;
        ensureHolder(holder, n);
        concordance->lookupWord(w, count, *holder);
        return;
    }
    const bool made = ensureHolder(holder, n);
    holder->clearAll();
    if (word.length() == 1 && word.charAt(0) == '*') {
        holder->setAll();
        holder->clear(0);
        count = holder->count(1);
        return;
    }
    const std::uint32_t width = concordance->sectionNumberWidth() == 0 ? 1 : concordance->sectionNumberWidth();
    const std::uint32_t threshold = n / (width * 8);
    bool matched = false;
    cBitVector entry(n);
    std::int32_t w = list->firstWildcardMatch(word);
    while (w >= 0) {
        matched = true;
        const auto wn = static_cast<std::uint32_t>(w);
        std::uint32_t entryCount = 0;
        if (concordance->sectionCount(wn) > threshold) {
            concordance->lookupWord(wn, entryCount, entry);
            holder->orVector(entry);
        } else {
            concordance->forEachSection(wn, entryCount, [&](std::uint32_t s) { holder->set(s); });
        }
        if (holder->count(0) == 0)
            break;
        const std::int32_t next = list->nextWildcardMatch(word, w);
        if (next <= w)
            break;
        w = next;
    }
    if (!matched) {
        if (made) {
            delete holder;
            holder = nullptr;
        }
        return;
    }
    count = holder->count(1);
}

void cBookDoc::SearchMainConcordance(const cLString16& word, cBitVector*& holder, std::uint32_t& count)
{
    count = 0;
    if (!IsOpen() || m_bookFile == nullptr)
        return;
    concordanceLookup(&m_bookFile->wordList(), &m_bookFile->concordance(), word, count, holder);
}

void cBookDoc::SearchMainConcordanceByWordNumber(std::uint32_t wordNumber, cBitVector*& holder, std::uint32_t& count)
{
    count = 0;
    if (!IsOpen() || m_bookFile == nullptr || wordNumber >= m_bookFile->concordance().entryCount())
        return;
    ensureHolder(holder, GetNumSections());
    m_bookFile->concordance().lookupWord(wordNumber, count, *holder);
}

void cBookDoc::SearchStrongsHebrewConcordance(const cLString16& word, cBitVector*& holder, std::uint32_t& count)
{
    count = 0;
    if (!IsOpen() || m_bookFile == nullptr || !supports(kDocSupportsStrongsHebrew))
        return;
    if (const cBkWordListPair* pair = m_bookFile->strongsHebrew())
        concordanceLookup(pair->words.get(), pair->concordance.get(), word, count, holder);
}

void cBookDoc::SearchStrongsGreekConcordance(const cLString16& word, cBitVector*& holder, std::uint32_t& count)
{
    count = 0;
    if (!IsOpen() || m_bookFile == nullptr || !supports(kDocSupportsStrongsGreek))
        return;
    if (const cBkWordListPair* pair = m_bookFile->strongsGreek())
        concordanceLookup(pair->words.get(), pair->concordance.get(), word, count, holder);
}

void cBookDoc::SearchWordAttributeConcordance(const cLString16& word, cBitVector*& holder, std::uint32_t& count)
{
    count = 0;
    if (!IsOpen() || m_bookFile == nullptr || !supports(kDocSupportsWordAttributes))
        return;
    std::vector<std::int32_t> definitions;
    cBkWordLinks links(*m_bookFile);
    const std::u16string term(reinterpret_cast<const char16_t*>(word.chars()), static_cast<size_t>(word.length()));
    if (!links.matchWordAttributes(term, definitions))
        return;
    const cBkWordAttributeDefs& defs = m_bookFile->genInfo().wordAttributeDefs();
    for (const std::int32_t d : definitions) {
        if (d < 0)
            continue;
        cBkWordListStg* list = m_bookFile->attributeWordList(static_cast<size_t>(d));
        cBkConcordStg* concordance = m_bookFile->attributeConcordance(static_cast<size_t>(d));
        if (list == nullptr || concordance == nullptr)
            continue;
        cLString16 rest(word);
        const cLString16 prefix = wide(defs.searchPrefix(d).c_str());
        if (!prefix.isEmpty() && rest.length() >= prefix.length() &&
            rest.compareIgnoreCasePrefix(prefix.chars(), prefix.length()) == 0)
            rest.deleteRange(0, prefix.length());
        cLString16 folded;
        DocLanguage::foldToBaseLetters(folded, rest);
        cLString16 marked;
        marked.appendChar(0xFFFF);
        marked.append(folded);
        const cLString16& form =
            hasWildcardOrNegationInChars(rest.chars()) || list->wordNumberForString(marked, false) == 0xFFFFFFFF
            ? rest
            : marked;
        cBitVector* own = nullptr;
        std::uint32_t ownCount = 0;
        concordanceLookup(list, concordance, form, ownCount, own);
        if (own == nullptr)
            continue;
        if (holder == nullptr) {
            holder = own;
        } else {
            holder->orVector(*own);
            delete own;
        }
    }
    if (holder != nullptr)
        count = holder->count(1);
}

std::uint32_t cBookDoc::wordNumberInList(const cLString8& word)
{
    if (!IsOpen() || m_bookFile == nullptr)
        return kNoWord;
    cLString16 w;
    w.assignFromUTF8(word);
    return m_bookFile->wordList().wordNumberForString(w, false);
}

std::uint32_t cBookDoc::WordOccursInXSections(const cLString8& word)
{
    const std::uint32_t n = wordNumberInList(word);
    return n == kNoWord ? 0 : m_bookFile->concordance().sectionCount(n);
}

bool cBookDoc::IsPhrasePresentInSection(const cSearchWordList& phrase, std::uint32_t section)
{
    if (!IsOpen() || m_bookFile == nullptr)
        return false;
    cBkWordLinks links(*m_bookFile);
    return links.isPhrasePresentInSection(section, phrase);
}

std::uint32_t cBookDoc::CanonicalWordNumber(const cLString16& word, bool mode)
{
    if (!IsOpen() || m_bookFile == nullptr)
        return 0;
    return m_bookFile->wordList().wordNumberForString(word, mode);
}

// --- verse references and headwords ---

void cBookDoc::syncKeyText(const cBibleRef& reference, cLString8& out)
{
    out.makeEmpty();
    const bibleRefRange* r = reference.firstRange();
    if (r == nullptr || r->startBook < 0)
        return;
    auto part = [](std::int32_t v) -> std::uint32_t {
        if (v < 0)
            return v == -1 ? 1u : 255u;
        return v >= 254 ? 255u : static_cast<std::uint32_t>(v);
    };
    const std::uint32_t start = BkSyncFormat::bibleKey(static_cast<std::uint32_t>(r->startBook),
        r->startChapter < 0 ? 1u : part(r->startChapter), r->startVerse < 0 ? 1u : part(r->startVerse));
    std::string text = BkSyncFormat::verseKeyText(start);
    const bool hasEnd = r->endBook >= 0 || r->endChapter >= 0 || r->endVerse >= 0;
    if (hasEnd) {
        const std::uint32_t book =
            r->endBook >= 0 ? static_cast<std::uint32_t>(r->endBook) : static_cast<std::uint32_t>(r->startBook);
        const std::uint32_t end = BkSyncFormat::bibleKey(
            book, r->endChapter < 0 ? 255u : part(r->endChapter), r->endVerse < 0 ? 255u : part(r->endVerse));
        // A range that ends where it starts is the one verse.
        if (end != start)
            text += BkSyncFormat::verseKeyText(end);
    }
    out.assignCStr(text.c_str());
}

void cBookDoc::syncKeyTextToBibleRef(cBibleRef& out, const cLString8& text)
{
    out.removeAllRanges();
    out.setTranslation(translationNumber());
    const std::int32_t len = text.length();
    if (len != 6 && len != 12)
        return;
    std::int32_t v[6] = {};
    for (std::int32_t i = 0; i < len / 2; ++i) {
        std::int64_t value = 0;
        if (!text.parseInt64(value, 16, i * 2, 2))
            return;
        v[i] = static_cast<std::int32_t>(value);
    }
    bibleRefRange* r = out.appendRange();
    if (r == nullptr)
        return;
    r->startBook = v[0];
    r->startChapter = v[1];
    r->startVerse = v[2];
    if (len == 12) {
        r->endBook = v[3];
        r->endChapter = v[4] == 0xFF ? -2 : v[4];
        r->endVerse = v[5] == 0xFF ? -2 : v[5];
    } else {
        // One verse: the range ends where it starts.
        r->endBook = v[0];
        r->endChapter = v[1];
        r->endVerse = v[2];
    }
    out.invalidateSpelling();
}

void cBookDoc::verseReferenceConcordanceLookup(cBkWordListStg* list, cBkConcordStg* concordance,
    const cBibleRef& reference, std::uint32_t mode, std::uint32_t& count, cBitVector*& holder)
{
    count = 0;
    if (mode == 0 || list == nullptr || concordance == nullptr)
        return;
    cLString8 key;
    syncKeyText(reference, key);
    if (key.isEmpty())
        return;
    if (mode & 0x1) {
        concordanceLookup(list, concordance, wide(key.chars()), count, holder);
        if (count > 0 && !(mode & 0x8))
            return;
    }
    const std::string bookChapter(key.chars(), 4);
    std::int64_t verse = 0;
    key.parseInt64(verse, 16, 4, 2);
    auto hex2 = [](std::int64_t n) {
        char buf[4];
        std::snprintf(buf, sizeof buf, "%02x", static_cast<unsigned>(n & 0xFF));
        return std::string(buf);
    };
    std::string a = bookChapter + "[\"01\"";
    for (std::int64_t i = 2; i <= verse; ++i)
        a += "|\"" + hex2(i) + "\"";
    a += "]";
    // End verses at or after the verse, the "last verse" marker ff excluded. They are listed rather
    // than written as exclusions, since a negated alternative of the word-list matcher takes a single
    // unit of the text.
    std::string b = bookChapter + "[";
    for (std::int64_t i = verse < 1 ? 1 : verse; i <= 0xFE; ++i)
        b += (i == (verse < 1 ? 1 : verse) ? "\"" : "|\"") + hex2(i) + "\"";
    b += "]";
    const std::string c = bookChapter + "ff";
    auto orInto = [&](cBitVector* own) {
        if (own == nullptr)
            return;
        if (holder == nullptr) {
            holder = own;
        } else {
            holder->orVector(*own);
            delete own;
        }
    };
    if (mode & 0x2) {
        cBitVector* own = nullptr;
        std::uint32_t ownCount = 0;
        concordanceLookup(list, concordance, wide((a + b).c_str()), ownCount, own);
        // The patterns see ranges within the verse's chapter only; a note that runs over a chapter
        // boundary covers the verse as well.
        addChapterCrossingRanges(list, concordance, key, own);
        ownCount = own != nullptr ? own->count(1) : 0;
        if (own != nullptr && ownCount > 0 && !(mode & 0x8)) {
            delete holder;
            holder = own;
            count = ownCount;
            return;
        }
        orInto(own);
    }
    if (mode & 0x4) {
        cBitVector* own = nullptr;
        std::uint32_t ownCount = 0;
        concordanceLookup(list, concordance, wide((a + c).c_str()), ownCount, own);
        orInto(own);
    }
    count = holder != nullptr ? holder->count(1) : 0;
}

namespace {

// The value of `n` hexadecimal digits at `at`; false when one is not a hexadecimal digit.
bool hexValue(const std::string& text, std::size_t at, std::size_t n, std::uint32_t& value)
{
    value = 0;
    if (at + n > text.size())
        return false;
    for (std::size_t i = at; i < at + n; ++i) {
        const char c = text[i];
        const int digit = c >= '0' && c <= '9' ? c - '0'
            : c >= 'a' && c <= 'f'             ? c - 'a' + 10
            : c >= 'A' && c <= 'F'             ? c - 'A' + 10
                                               : -1;
        if (digit < 0)
            return false;
        value = value << 4 | static_cast<std::uint32_t>(digit);
    }
    return true;
}

}  // namespace

void cBookDoc::addChapterCrossingRanges(
    cBkWordListStg* list, cBkConcordStg* concordance, const cLString8& key, cBitVector*& holder)
{
    std::uint32_t book = 0, chapter = 0, verse = 0;
    const std::string text(key.chars());
    if (!hexValue(text, 0, 2, book) || !hexValue(text, 2, 2, chapter) || !hexValue(text, 4, 2, verse))
        return;
    verse = std::max<std::uint32_t>(verse, 1);  // a chapter's heading stands for its first verse
    const std::uint32_t target = book << 16 | chapter << 8 | verse;
    // Range keys sort by their start: walk the book's keys up to those starting after the verse.
    const std::uint32_t firstWord = list->wordNumberForString(wide(text.substr(0, 2).c_str()), true);
    if (firstWord == 0xFFFFFFFF)
        return;
    const std::uint32_t words = list->wordCount();
    std::string word;
    for (std::uint32_t w = firstWord; w < words; ++w) {
        list->wordForNumber(w, word);
        std::uint32_t start = 0, endBook = 0, endChapter = 0, endVerse = 0;
        if (word.size() < 2 || !hexValue(word, 0, 2, start) || start != book)
            break;
        if (!hexValue(word, 0, 6, start))
            continue;
        if (start > target)
            break;
        if (word.size() != 12 || !hexValue(word, 6, 2, endBook) || !hexValue(word, 8, 2, endChapter) ||
            !hexValue(word, 10, 2, endVerse))
            continue;
        const std::uint32_t startChapter = start >> 8 & 0xFF;
        // Ranges that start and end in the verse's chapter are the patterns' own.
        if (startChapter == chapter && endBook == book && endChapter == chapter)
            continue;
        // An end chapter or verse of ff is the last one.
        const bool covers = endBook > book ||
            (endBook == book &&
                (endChapter > chapter || (endChapter == chapter && (endVerse >= verse || endVerse == 0xFF))));
        if (!covers)
            continue;
        ensureHolder(holder, GetNumSections());
        std::uint32_t count = 0;
        concordance->forEachSection(w, count, [&](std::uint32_t s) { holder->set(s); });
    }
}

void cBookDoc::extendOverSubtree(std::uint32_t first, std::uint32_t& last)
{
    last = first;
    cBkTOCStg& toc = m_bookFile->toc();
    std::uint8_t base = 0, level = 0;
    std::string title;
    if (toc.readEntry(first, base, title) != 0)
        return;
    const std::uint32_t n = GetNumSections();
    for (std::uint32_t s = first + 1; s < n; ++s) {
        if (toc.readEntry(s, level, title) != 0 || level <= base)
            break;
        last = s;
    }
}

bool cBookDoc::bibleKeyToSection(
    const cBibleRef& reference, std::uint32_t mode, std::uint32_t& first, std::uint32_t& last)
{
    first = last = 0;
    if (!IsOpen() || m_bookFile == nullptr)
        return false;
    const cBkWordListPair* pair = m_bookFile->verseSyncWords();
    if (pair == nullptr)
        return false;
    cBitVector* hits = nullptr;
    std::uint32_t count = 0;
    verseReferenceConcordanceLookup(pair->words.get(), pair->concordance.get(), reference, mode, count, hits);
    std::unique_ptr<cBitVector> owned(hits);
    if (owned == nullptr || count == 0)
        return false;
    const std::uint32_t highest = owned->last(1);
    if (highest == cBitVector::kNone)
        return false;
    first = highest;
    extendOverSubtree(first, last);
    return true;
}

bool cBookDoc::sectionRangeForBibleRef(
    const cBibleRef& reference, std::uint32_t mode, std::uint32_t& first, std::uint32_t& last)
{
    first = last = 0;
    if (!reference.hasRanges())
        return false;
    if (reference.rangeCount() == 1)
        return bibleKeyToSection(reference, mode, first, last);
    cBibleRef single(reference);
    single.truncateRangesFrom(single.firstRange()->next);
    return bibleKeyToSection(single, mode, first, last);
}

bool cBookDoc::SectionRangeForBibleKey(const cBibleRef& reference, std::uint32_t& first, std::uint32_t& last)
{
    first = last = 0;
    if (!IsOpen() || !supports(kDocSupportsBibleSync))
        return false;
    return sectionRangeForBibleRef(reference, 7, first, last);
}

bool cBookDoc::dictionaryWordToSectionRange(
    const cLString16& word, bool allowPartial, std::uint32_t& first, std::uint32_t& last)
{
    first = last = 0;
    if (!IsOpen() || m_bookFile == nullptr || !supports(kDocSupportsWordLookup) || word.isEmpty())
        return false;
    const cBkWordListPair* pair = m_bookFile->syncWords();
    if (pair == nullptr)
        return false;
    cLString16 folded;
    DocLanguage::foldToBaseLetters(folded, word);
    cLString16 marked;
    marked.appendChar(0xFFFF);
    marked.append(folded);
    std::vector<cLString16> forms {word, marked, folded};
    if (allowPartial) {
        const cLString16 star = wide("*");
        forms.emplace_back(word, star);
        forms.emplace_back(marked, star);
        forms.emplace_back(folded, star);
    }
    std::vector<std::uint32_t> sections;
    for (const cLString16& form : forms) {
        if (rawSectionList(pair->words.get(), pair->concordance.get(), form, sections))
            break;
    }
    if (sections.empty())
        return false;
    first = sections.front();
    extendOverSubtree(first, last);
    return true;
}

bool cBookDoc::sectionRangeForDictionaryWord(
    const cLString8& word, bool allowPartial, std::uint32_t& first, std::uint32_t& last)
{
    cLString16 w;
    w.assignFromUTF8(word);
    return dictionaryWordToSectionRange(w, allowPartial, first, last);
}

bool cBookDoc::sectionRangeForSyncString(
    const cLString8& syncText, bool allowPartial, std::uint32_t& first, std::uint32_t& last)
{
    return sectionRangeForDictionaryWord(syncText, allowPartial, first, last);
}

bool cBookDoc::BookmarkBelongsToBook(const cBookmark& bookmark)
{
    if (!IsOpen() || !bookmark.isBookBookmark())
        return false;
    return matchesBookID(bookmark.pubid, bookmark.bookid);
}

bool cBookDoc::bookmarkSection(const cBookmark& bookmark, std::uint32_t& section)
{
    section = kNone;
    if (!BookmarkBelongsToBook(bookmark) || bookmark.section < 0)
        return false;
    section = static_cast<std::uint32_t>(bookmark.section);
    return true;
}

// --- limit expressions ---

std::uint32_t cBookDoc::ApplyLimitExpression(const cLString16& expression, cBitVector*& holder, cLIntArray& colours,
    std::uint32_t first, std::uint32_t last, bool flag)
{
    cLString8 text;
    text.assignFromUTF16(expression);
    const std::string s(text.chars(), static_cast<size_t>(text.length()));
    const size_t b = s.find("BOOKMARK(");
    const size_t c = s.find("COLOR(");
    const size_t start = std::min({b, c, s.find("NOTE(")});
    cLString8 limitPart;
    if (start != std::string::npos)
        limitPart.assignCStr(s.c_str() + start);
    return applyUserDataLimits(limitPart, holder, colours, first, last, flag);
}

std::uint32_t cBookDoc::applyUserDataLimits(const cLString8& limitPart, cBitVector*& holder, cLIntArray& colours,
    std::uint32_t first, std::uint32_t last, bool flag)
{
    holder = nullptr;
    if (!IsOpen() || m_bookFile == nullptr)
        return kNotOpen;
    const std::uint32_t n = GetNumSections();
    // A book without sections has nothing to limit.
    if (n == 0)
        return 0;
    if (last >= n)
        last = n - 1;
    if (last < first)
        return 0;
    holder = new cBitVector(n);
    holder->setAll();
    colours.removeAll();
    const std::string s(limitPart.chars(), static_cast<size_t>(limitPart.length()));
    const bool bible = isBibleHeader();

    const size_t colourAt = s.find("COLOR(");
    if (colourAt != std::string::npos) {
        cBitVector hits(n);
        if (bible) {
            bool any = false;
            for (const std::string& name : readQuotedNames(s, colourAt + 6, false)) {
                if (name == "*") {
                    any = true;
                    continue;
                }
                const std::uint32_t code = colourCodeForName(name);
                if (code != 0)
                    colours.add(static_cast<std::int32_t>(code));
            }
            cVerseHighlightDoc* highlights = cVerseHighlightDoc::verseHighlightDocInstance();
            if ((any || colours.count() > 0) && highlights != nullptr && highlights->isDocOpen()) {
                const cLIntArray* filter = any ? nullptr : &colours;
                const std::int64_t records = highlights->countHighlights(0, filter);
                const std::int32_t translation = translationNumber();
                if (records > static_cast<std::int64_t>(last - first + 1)) {
                    for (std::uint32_t section = first; section <= last; ++section) {
                        const std::uint32_t key = bibleKeyForSection(section);
                        if (key == 0)
                            continue;
                        cBibleRef verse(key);
                        verse.setTranslation(translation);
                        std::uint16_t fore = 0, back = 0;
                        if (!highlights->getHighlight(verse, fore, back, flag))
                            continue;
                        if ((any && back != 0) || intArrayHas(colours, back))
                            hits.set(section);
                    }
                } else {
                    cVerseHighlightRecord record;
                    bool more = highlights->firstHighlight(record, filter, flag);
                    for (std::uint32_t guard = kWalkLimit; more && guard > 0; --guard) {
                        cBibleRef verse(record.bcv);
                        if (verse.setTranslation(translation)) {
                            std::uint32_t section = 0, value = 0;
                            m_bookFile->verseSync().sectionForKey(verse.startKey(), section, value);
                            if (section != 0 && section >= first && section <= last)
                                hits.set(section);
                        }
                        more = highlights->nextHighlight(record, filter);
                    }
                    highlights->endHighlightWalk(flag);
                }
            }
        }
        // Without usable colours, or in a book that is not a Bible, the colour part allows nothing.
        holder->andVector(hits);
    }

    if (s.find("NOTE()") != std::string::npos) {
        cBitVector hits(n);
        noteSections(hits, first, last);
        holder->andVector(hits);
    }

    const size_t bookmarkAt = s.find("BOOKMARK(");
    if (bookmarkAt == std::string::npos)
        return 0;
    cBookmarkMgr bookmarks;
    cCategoryStg categories;
    // Without a bookmark store there are no bookmarks: the limit allows nothing.
    if (!bookmarks.openDatabase(nullptr, false, false) || !categories.openDatabase(false)) {
        holder->clearAll();
        return 0;
    }
    cLIntArray catids;
    for (const std::string& name : readQuotedNames(s, bookmarkAt + 9, true)) {
        if (name == "No Category") {
            catids.add(0);
        } else if (name == "*") {
            catids.add(0);
            cCategory category;
            for (bool ok = categories.firstCategory(category, cCategoryStg::kByCatid, false); ok;
                 ok = categories.nextCategory(category, cCategoryStg::kByCatid, false))
                catids.add(category.catid);
        } else {
            cCategory category;
            if (categories.findCategoryByName(wide(name.c_str()), category))
                catids.add(category.catid);
        }
    }
    const BookIdentity id = bookIdentity();
    const bool single = catids.count() == 1;
    const auto singleCatid = static_cast<std::uint16_t>(single ? catids.getAt(0) : 65535);
    const std::int64_t count = bible ? bookmarks.countBibleBookmarks(0, singleCatid)
                                     : bookmarks.countBookBookmarks(id.publisher, id.book, 0, 0, singleCatid);
    cBitVector hits(n);
    if (count <= static_cast<std::int64_t>(last - first + 1)) {
        cBookmarkSearch search;
        search.state = bible ? cBookmarkSearch::kBibleSearch : cBookmarkSearch::kBookSearch;
        search.hasCatid = single;
        search.catid = singleCatid;
        if (!bible) {
            search.hasBook = true;
            search.pubid = id.publisher;
            search.bookid = id.book;
        }
        cBookmark bookmark;
        bool more = bible ? bookmarks.findFirstBibleBookmark(search, bookmark)
                          : bookmarks.findFirstBookBookmark(search, bookmark);
        for (std::uint32_t guard = kWalkLimit; more && guard > 0; --guard) {
            std::uint32_t section = kNone;
            if (intArrayHas(catids, bookmark.catid) && bookmarkSection(bookmark, section) && section >= first &&
                section <= last)
                hits.set(section);
            more = bookmarks.findNextBookmark(search, bookmark);
        }
    } else {
        for (std::uint32_t section = first; section <= last; ++section) {
            cLPtrArray* list = nullptr;
            if (bible) {
                const std::uint32_t key = bibleKeyForSection(section);
                if (key != 0 && (key & 0xFF) != 0)
                    list = bookmarks.bibleBookmarksInRange(key);
            } else {
                list = bookmarks.bookBookmarksForSection(id.publisher, id.book, static_cast<std::int32_t>(section));
            }
            if (list == nullptr)
                continue;
            for (std::int32_t i = 0; i < list->count(); ++i) {
                const auto* bookmark = static_cast<const cBookmark*>(list->elementAt(i));
                if (bookmark != nullptr && intArrayHas(catids, bookmark->catid)) {
                    hits.set(section);
                    break;
                }
            }
            cBookmarkMgr::freeBookmarkList(list);
        }
    }
    holder->andVector(hits);
    return 0;
}

void cBookDoc::noteSections(cBitVector& hits, std::uint32_t first, std::uint32_t last)
{
    cNoteDoc* notes = noteDoc();
    if (notes == nullptr || !notes->IsOpen())
        return;
    const std::uint32_t n = hits.size();
    if (isBibleHeader()) {
        // Bible notes are kept by verse; each is put into this Bible's translation.
        const std::int32_t translation = translationNumber();
        cBibleNote note;
        bool more = notes->firstBibleNote(note);
        for (std::uint32_t guard = kWalkLimit; more && guard > 0; --guard) {
            cBibleRef verse(makeBibleKey(note.booknum, note.chapter, note.verse));
            if (verse.setTranslation(translation)) {
                std::uint32_t section = 0, value = 0;
                m_bookFile->verseSync().sectionForKey(verse.startKey(), section, value);
                if (section != 0 && section >= first && section <= last && section < n)
                    hits.set(section);
            }
            more = notes->nextBibleNote(note);
        }
        return;
    }
    const BookIdentity id = bookIdentity();
    const bool journal = supports(kDocSupportsIsFakeJournalDoc);
    cBookNote note;
    note.pubid = id.publisher;
    note.bookid = id.book;
    note.edition = id.edition;
    bool more = notes->firstBookNote(note);
    for (std::uint32_t guard = kWalkLimit; more && guard > 0; --guard) {
        // A journal's sections are its notes' record ids; a book's notes are those without form fields.
        const bool named = !note.formname.isEmpty() && !note.fieldname.isEmpty();
        const std::int64_t position = journal ? note.recid : note.section;
        if (named == journal && position >= 0 && static_cast<std::uint64_t>(position) >= first &&
            static_cast<std::uint64_t>(position) <= last && static_cast<std::uint64_t>(position) < n)
            hits.set(static_cast<std::uint32_t>(position));
        more = notes->nextBookNote(note);
    }
}
