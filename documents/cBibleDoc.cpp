#include "documents/cBibleDoc.h"
#include "documents/cBibleRefTableLoader.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <memory>
#include <string>

#include "documents/DocLanguage.h"
#include "engine/bookfile/cBkBookFile.h"
#include "engine/bookfile/cBkSectionTextWriter.h"
#include "engine/bookfile/cBkWordLinks.h"
#include "engine/foundation/cMsgBox.h"
#include "engine/references/cBibleRef.h"
#include "render/cHTMLColor.h"
#include "render/cHTMLRenderConfiguration.h"
#include "search/core/cBitVector.h"
#include "userdata/cBibleNote.h"
#include "userdata/cBookmark.h"
#include "userdata/cNoteDoc.h"

namespace {
// Excerpts mark the words a search found.
const bool kMarkHits = true;

constexpr std::int32_t kSpanish = 10;
constexpr std::int32_t kEnglish = 1033;

std::uint32_t bookOf(std::uint32_t key)
{
    return (key >> 16) & 0xFF;
}
std::uint32_t chapterOf(std::uint32_t key)
{
    return (key >> 8) & 0xFFFF;
}

// Whether a range reaches beyond its start verse, and the key where it ends (254 = the last).
bool rangeEndKey(const bibleRefRange& r, std::uint32_t& key)
{
    const bool hasEnd =
        r.endBook >= 0 || r.endChapter >= 0 || r.endVerse >= 0 || r.startChapter < 0 || r.startVerse < 0;
    if (!hasEnd)
        return false;
    const std::int32_t book = r.endBook >= 0 ? r.endBook : r.startBook;
    std::int32_t chapter = r.endChapter;
    if (chapter < 0)
        chapter = (r.endBook >= 0 || r.startChapter < 0) ? 254 : r.startChapter;
    std::int32_t verse = r.endVerse;
    if (verse < 0)
        verse = 254;
    key = (static_cast<std::uint32_t>(book & 0xFF) << 16) | (static_cast<std::uint32_t>(chapter & 0xFF) << 8) |
        static_cast<std::uint32_t>(verse & 0xFF);
    return true;
}

void appendDecimal(cLString8& out, std::uint32_t value, std::int32_t width = 0)
{
    out.formatInt64(static_cast<std::int64_t>(value), 10, true, width, width > 0, true);
}
}  // namespace

cBibleDoc::cBibleDoc()
{
    m_kind = kKindBible;
}

cBibleDoc::~cBibleDoc()
{
    cBibleDoc::Close();
}

cSourceDoc* cBibleDoc::Clone() const
{
    auto* copy = new cBibleDoc();
    copy->bookDocCopyFrom(*this);
    return copy;
}

bool cBibleDoc::Open()
{
    if (IsOpen())
        return true;
    if (!cBookDoc::Open())
        return false;
    if (!m_bookFile->genInfo().headerFlag0()) {
        cMsgBox().show(205);
        cBookDoc::Close();
        return false;
    }
    m_kind = kKindBible;
    // The Bible's own reference tables first: its translation number and its books depend on them.
    cBibleRefTableLoader::loadFrom(*m_bookFile);
    m_translation = -1;
    if (!(m_current.options() & cRenderParams::kBibleKey))
        m_current.setOption0002(bibleKeyForSection(currentSection()));
    return true;
}

bool cBibleDoc::AttachBookFile(cBkBookFile* bookFile, std::uint32_t kind)
{
    if (bookFile != nullptr)
        cBibleRefTableLoader::loadFrom(*bookFile);
    return cBookDoc::AttachBookFile(bookFile, kind);
}

void cBibleDoc::Close()
{
    cMsgBox::trace("Starting cBibleDoc::Close()");
    if (IsOpen())
        cBookDoc::Close();
}

std::uint32_t cBibleDoc::GetSupportFlags()
{
    if (!IsOpen() || m_bookFile == nullptr)
        return 0;
    std::uint32_t flags = kDocSupportsBookmarks | kDocSupportsBibleBookmarks | kDocSupportsVerseLimits |
        kDocSupportsNotes | kDocSupportsBibleLookup | kDocSupportsCopyright | kDocSupportsIsBible;
    cBkGenInfoStg& info = m_bookFile->genInfo();
    if (info.hasStrongsGreek())
        flags |= kDocSupportsStrongsGreek;
    if (info.hasStrongsHebrew())
        flags |= kDocSupportsStrongsHebrew;
    if (info.hasWordAttributeDefs())
        flags |= kDocSupportsWordAttributes;
    return flags;
}

std::uint32_t cBibleDoc::GetFindProximity()
{
    return cFindProximitySetting::current().findProximity();
}

bool cBibleDoc::HasChildren(std::uint32_t)
{
    return false;
}

void cBibleDoc::prepareReference(cBibleRef& reference)
{
    reference.removeAllRanges();
    reference.setTranslation(translationNumber());
    reference.setLanguage(static_cast<int>(GetLanguage()));
}

std::uint32_t cBibleDoc::sectionForKey(std::uint32_t key)
{
    if (!IsOpen() || m_bookFile == nullptr || key == 0)
        return 0;
    std::uint32_t record = 0, value = 0;
    m_bookFile->verseSync().sectionForKey(key & 0xFFFFFF, record, value);
    return record;
}

bool cBibleDoc::SectionRangeForBibleKey(const cBibleRef& reference, std::uint32_t& first, std::uint32_t& last)
{
    first = last = 0;
    const bibleRefRange* r = reference.firstRange();
    if (!IsOpen() || m_bookFile == nullptr || r == nullptr)
        return false;
    first = sectionForKey(cBibleRef::startKeyOf(r));
    if (first == 0)
        return false;
    std::uint32_t endKey = 0;
    if (!rangeEndKey(*r, endKey) || endKey == cBibleRef::startKeyOf(r)) {
        last = first;
        return true;
    }
    std::uint32_t record = 0, value = 0;
    m_bookFile->verseSync().lastSectionForAmbiguousKey(endKey, translationNumber(), record, value);
    if (record == 0) {
        first = 0;
        return false;
    }
    // A range that ends before it starts names no passage.
    if (record < first) {
        first = 0;
        return false;
    }
    last = record;
    return true;
}

std::uint32_t cBibleDoc::chapterCount(std::uint32_t book)
{
    if (!IsOpen() || m_bookFile == nullptr || book == 0 || book > 255)
        return 0;
    // Each chapter is a group of the verse sync; a chapter a book lacks has no first record.
    std::uint32_t count = 0;
    for (std::uint32_t chapter = 1; chapter < 254; ++chapter)
        if (m_bookFile->verseSync().firstRecordOfChapter((book << 16) | (chapter << 8)) != 0)
            count = chapter;
    return count;
}

cBibleDoc::ReferenceFault cBibleDoc::referenceFault(const cBibleRef& reference)
{
    ReferenceFault fault;
    if (!IsOpen() || m_bookFile == nullptr)
        return fault;
    const auto spell = [&](const bibleRefRange& range) {
        cBibleRef one(reference);
        one.removeAllRanges();
        bibleRefRange* r = one.appendRangeCopy(range);
        r->typedText.reset();
        r->followingText.reset();
        one.formatSpelling(kSpellFullNames | kSpellUTF8);
        return std::string(one.spellingText());
    };
    const auto bookName = [&](std::int32_t book) {
        cBibleRef one(static_cast<packedBibleKey>(static_cast<std::uint32_t>(book & 0xFF) << 16 | 0xFFFF));
        one.setLanguage(reference.language());
        one.formatSpelling(kSpellFullNames | kSpellUTF8 | kSpellBookOnly);
        return std::string(one.spellingText());
    };
    for (const bibleRefRange* r = reference.firstRange(); r != nullptr; r = r->next) {
        // A chapter past its book's end, at either end of the range.
        const std::int32_t endBook = r->endBook >= 0 ? r->endBook : r->startBook;
        for (const auto& [book, chapter] :
            {std::pair {r->startBook, r->startChapter}, std::pair {endBook, r->endChapter}}) {
            if (book <= 0 || chapter < 1 || chapter > 253 || cBibleRef::isOneChapterBook(book))
                continue;
            const std::uint32_t chapters = chapterCount(static_cast<std::uint32_t>(book));
            if (chapters == 0 || static_cast<std::uint32_t>(chapter) <= chapters)
                continue;
            // The chapter as typed, in digits (the tables spell some chapters past a book's end as words).
            fault.description = bookName(book) + " " + std::to_string(chapter) + " is not in this Bible.";
            fault.reason = bookName(book) +
                (chapters == 1 ? " has 1 chapter." : " has " + std::to_string(chapters) + " chapters.");
            return fault;
        }
        // A range whose end comes before its start, in this Bible's order of books and verses.
        const std::uint32_t first = sectionForKey(cBibleRef::startKeyOf(r));
        std::uint32_t endKey = 0;
        if (first == 0 || !rangeEndKey(*r, endKey) || endKey == cBibleRef::startKeyOf(r))
            continue;
        std::uint32_t record = 0, value = 0;
        m_bookFile->verseSync().lastSectionForAmbiguousKey(endKey, translationNumber(), record, value);
        if (record != 0 && record < first) {
            fault.description = spell(*r) + " ends before it starts.";
            fault.reason = "A range runs from its first verse to a later one.";
            return fault;
        }
    }
    return fault;
}

// --- navigation ---

std::int32_t cBibleDoc::adjacentChapterSection(std::int32_t kind, std::uint32_t key)
{
    if (!IsOpen() || m_bookFile == nullptr)
        return -1;
    const std::uint32_t n = GetNumSections();
    std::uint32_t s = sectionForKey(key);
    if (s == 0)
        s = currentSection();
    if (s == 0 || s >= n)
        return -1;
    key = bibleKeyForSection(s);
    switch (kind) {
    case kPreviousBookKind:
    case kPreviousChapterKind: {
        if (s <= 1)
            return -1;
        auto part = kind == kPreviousBookKind ? bookOf : chapterOf;
        std::uint32_t i = s - 1;
        const std::uint32_t target = part(bibleKeyForSection(i));
        while (i > 1 && part(bibleKeyForSection(i - 1)) == target)
            --i;
        return static_cast<std::int32_t>(i);
    }
    case kNextBookKind:
    case kNextChapterKind: {
        auto part = kind == kNextBookKind ? bookOf : chapterOf;
        for (std::uint32_t i = s + 1; i < n; ++i)
            if (part(bibleKeyForSection(i)) != part(key))
                return static_cast<std::int32_t>(i);
        return -1;
    }
    case kPreviousVerseKind:
        return s < 2 ? -1 : static_cast<std::int32_t>(s - 1);
    case kNextVerseKind:
        return s + 1 >= n ? -1 : static_cast<std::int32_t>(s + 1);
    default:
        return -1;
    }
}

std::uint32_t cBibleDoc::GoTo(const cRenderParams& params)
{
    if (!IsOpen() || m_bookFile == nullptr)
        return kNone;
    const std::uint32_t o = params.options();
    if (o & cRenderParams::kLocationName)
        return goToNamedLocation(params);
    static const std::pair<std::uint32_t, std::int32_t> kSteps[] = {{cRenderParams::kPreviousBook, kPreviousBookKind},
        {cRenderParams::kPreviousChapter, kPreviousChapterKind}, {cRenderParams::kPreviousVerse, kPreviousVerseKind},
        {cRenderParams::kNextVerse, kNextVerseKind}, {cRenderParams::kNextChapter, kNextChapterKind},
        {cRenderParams::kNextBook, kNextBookKind}};
    for (const auto& [bit, kind] : kSteps) {
        if (params.requests() & bit) {
            const std::int32_t s = adjacentChapterSection(kind, m_current.getOption0002());
            if (s < 0)
                return kNone;
            return goToSection(static_cast<std::uint32_t>(s), nullptr);
        }
    }
    cBibleRef reference;
    prepareReference(reference);
    const bool link = (o & cRenderParams::kLinkText) != 0;
    if (link) {
        cLString8 abbreviation;
        GetTitle(abbreviation, true);
        reference.parseLinkString(params.getOption0004(), abbreviation.chars());
    } else if (o & cRenderParams::kReferenceText) {
        std::int32_t position = 0;
        reference.parseInEitherLanguage(params.getOption0001(), position);
    } else if (o & cRenderParams::kBibleKey) {
        reference.setFromKey(params.getOption0002());
    } else {
        return cBookDoc::GoTo(params);
    }
    if (!reference.hasRanges())
        return kVerseNotFound;
    std::uint32_t first = 0, last = 0;
    if (!SectionRangeForVerse(reference, first, last) || first == 0)
        return kVerseNotFound;
    if (link) {
        const bibleRefRange* lastRange = reference.firstRange();
        while (lastRange->next != nullptr)
            lastRange = lastRange->next;
        cBibleRef tail(reference);
        tail.removeAllRanges();
        tail.appendRangeCopy(*lastRange);
        std::uint32_t tailFirst = 0, tailLast = 0;
        if (!SectionRangeForBibleKey(tail, tailFirst, tailLast))
            tailLast = last;
        SetMarkedRange(first, tailLast);
    }
    cLString8 anchor;
    anchor.formatInt32(static_cast<std::int32_t>(reference.startKey() & 0xFFFFFF), 16, false, 6, true, true);
    return goToSection(first, anchor.chars());
}

cRenderParams* cBibleDoc::GetCurrentLocation()
{
    cRenderParams* location = cBookDoc::GetCurrentLocation();
    if (location == nullptr)
        return nullptr;
    location->setOption0002(m_current.getOption0002());
    if (m_current.options() & cRenderParams::kAnchor)
        location->setOption0020(m_current.getOption0020());
    return location;
}

std::uint32_t cBibleDoc::headingAsWhole(std::uint32_t key)
{
    if ((key & 0xFF) != 0 || (key >> 16) == 0)
        return key;
    // A book heading (chapter 0) names the whole book, a chapter heading the whole chapter.
    if ((key & 0xFF00) == 0)
        return (key & 0xFF0000) | 0xFFFF;
    return key | 0xFF;
}

bool cBibleDoc::GetLocationName(cLString16& out, bool withTitle, bool flag, const cRenderParams* params)
{
    const cRenderParams* location = locationToName(params);
    if (location == nullptr)
        return cSourceDoc::GetLocationName(out, withTitle, flag, params);
    const std::uint32_t o = location->options();
    // Front matter (a preface before the first book) holds no verse: it is named by its contents title.
    const std::uint32_t section = (o & cRenderParams::kSection) ? location->getOption0008() : kNone;
    if (section != kNone && section > 0 && section < GetNumSections() && bibleKeyForSection(section) == 0 &&
        (!(o & cRenderParams::kBibleKey) || location->getOption0002() == 0) &&
        (!(o & cRenderParams::kIdentity) || identityMatches(*location))) {
        cLString8 title;
        GetPositionNameForTitleBar(title, section, true, false);
        if (!title.isEmpty()) {
            out.makeEmpty();
            if (withTitle) {
                GetTitleW(out, true);
                out.appendCStr(cLString16(": ").chars());
            }
            cLString16 name;
            name.assignFromUTF8(title.chars());
            out.append(name);
            return true;
        }
    }
    cBibleRef reference;
    prepareReference(reference);
    if (o & cRenderParams::kBibleKey) {
        cBibleRef keyed(headingAsWhole(location->getOption0002()));
        if (!keyed.setTranslation(translationNumber()))
            return cSourceDoc::GetLocationName(out, withTitle, flag, params);
        keyed.setLanguage(static_cast<int>(GetLanguage()));
        reference = keyed;
    } else if (o & cRenderParams::kReferenceText) {
        std::int32_t position = 0;
        reference.parse(location->getOption0001(), position);
    } else if (o & cRenderParams::kLinkText) {
        cLString8 abbreviation;
        GetTitle(abbreviation, true);
        reference.parseLinkString(location->getOption0004(), abbreviation.chars());
    } else if (o & cRenderParams::kSection) {
        if ((o & cRenderParams::kIdentity) && !identityMatches(*location))
            return cSourceDoc::GetLocationName(out, withTitle, flag, params);
        const std::uint32_t key = bibleKeyForSection(location->getOption0008());
        if (key != 0)
            reference.setFromKey(headingAsWhole(key));
    }
    if (!reference.hasRanges())
        return cSourceDoc::GetLocationName(out, withTitle, flag, params);
    out.makeEmpty();
    if (withTitle) {
        GetTitleW(out, true);
        out.appendCStr(cLString16(": ").chars());
    }
    reference.formatSpelling(kSpellUTF8 | (withTitle ? 0u : kSpellFullNames));
    cLString16 spelled;
    spelled.assignFromUTF8(reference.spelling());
    out.append(spelled);
    return true;
}

// --- limits and result lines ---

std::uint32_t cBibleDoc::ApplyLimitExpression(const cLString16& expression, cBitVector*& holder, cLIntArray& colours,
    std::uint32_t first, std::uint32_t last, bool flag)
{
    holder = nullptr;
    cLString8 text;
    text.assignFromUTF16(expression);
    std::string s(text.chars(), static_cast<size_t>(text.length()));
    const size_t start = std::min({s.find("BOOKMARK("), s.find("COLOR("), s.find("NOTE(")});
    std::string biblePart = start == std::string::npos ? s : s.substr(0, start);
    while (!biblePart.empty() &&
        (biblePart.back() == ' ' || biblePart.back() == '\t' || biblePart.back() == '\r' || biblePart.back() == '\n'))
        biblePart.pop_back();
    if (!IsOpen() || m_bookFile == nullptr)
        return kNotOpen;
    const std::uint32_t n = GetNumSections();
    if (n == 0)
        return 0;

    cBibleRef reference;
    if (!biblePart.empty()) {
        const std::int32_t language = static_cast<std::int32_t>(GetLanguage());
        auto tryParse = [&](std::int32_t lang) {
            prepareReference(reference);
            reference.setLanguage(lang);
            std::int32_t position = 0;
            const int r = reference.parse(biblePart.c_str(), position);
            return r == 0 && reference.hasRanges();
        };
        if (!tryParse(language) && !tryParse(language == kSpanish ? kEnglish : kSpanish))
            return kVerseNotFound;
    }
    auto hits = std::make_unique<cBitVector>(n);
    if (reference.hasRanges()) {
        for (const bibleRefRange* r = reference.firstRange(); r != nullptr; r = r->next) {
            cBibleRef single(reference);
            single.removeAllRanges();
            single.appendRangeCopy(*r);
            std::uint32_t a = 0, b = 0;
            if (!SectionRangeForBibleKey(single, a, b))
                return kVerseNotFound;
            hits->setRange(a, b);
        }
        if (first > 0)
            hits->clearRange(0, first - 1);
        if (last < 0xFFFFFFFE && last + 1 < n)
            hits->clearRange(last + 1, n - 1);
    } else {
        hits->setRange(first, last);
    }
    cBitVector* userData = nullptr;
    const std::uint32_t r = cBookDoc::ApplyLimitExpression(expression, userData, colours, first, last, flag);
    std::unique_ptr<cBitVector> owned(userData);
    if (r != 0)
        return r;
    if (userData != nullptr)
        hits->andVector(*userData);
    else
        hits->clearAll();
    holder = hits.release();
    return 0;
}

bool cBibleDoc::GetSearchResultText(std::uint32_t section, std::uint32_t mode, bool html, std::uint32_t abbreviated,
    const cMultiBookSearchHits* hits, const cSearchWordList* words, cLString8& out)
{
    out.makeEmpty();
    const std::uint32_t key = bibleKeyForSection(section);
    if (IsOpen() && m_bookFile != nullptr && key == 0 && section > 0 && section < GetNumSections())
        return cBookDoc::GetSearchResultText(section, mode, html, abbreviated, hits, words, out);
    if (IsOpen() && m_bookFile != nullptr && key != 0 && section < GetNumSections()) {
        cBibleRef reference(headingAsWhole(key));
        reference.setTranslation(translationNumber());
        reference.setLanguage(static_cast<int>(GetLanguage()));
        reference.formatSpelling(kSpellUTF8 | (abbreviated != 0 ? 0u : kSpellFullNames));
        if (html && (mode == 1 || mode == 2)) {
            cHTMLRenderConfiguration config;
            cHTMLColor background, foreground;
            background.setFromColorText("white");
            foreground.setFromColorText("black");
            const auto language = static_cast<std::uint16_t>(GetLanguage());
            config.backgroundColor = &background;
            config.textColor = &foreground;
            config.languageNumber = &language;
            if (mode == 1) {
                config.wordsToMark = words;
                config.highlightHits = &kMarkHits;
                if (hits != nullptr) {
                    const BookIdentity id = bookIdentity();
                    config.searchHits = cDocSearchHitHooks::current().resultForBook(hits, id.publisher, id.book);
                }
            }
            // Result lines hold the verse as a reader sees it: no note bodies (empty note-marker text).
            const cLString8 none;
            config.noteMarkerText = &none;
            config.verseNumberOverrideText = &none;
            config.update();
            if (renderedSectionText(section, &config, out))
                out.replaceAll("\r\n", " ");
        } else if (html && mode == 0) {
            out.assignCStr("<qs_lang value=\"English\">&nbsp;&nbsp;&nbsp;<a name=\"");
            appendDecimal(out, section);
            out.appendCStr("\"></a></qs_lang><qs_lang value=\"");
            appendDecimal(out, static_cast<std::uint32_t>(reference.language()));
            out.appendCStr("\"><a href=\"");
            appendDecimal(out, section);
            out.appendCStr("\">");
            out.append(reference.spelling());
            out.appendCStr("</a> </qs_lang>");
            if (hits != nullptr && cDocSearchHitHooks::current().isNoteSearch(hits)) {
                out.appendCStr("<qs_lang value=\"English\"><a href=\"note:_");
                appendDecimal(out, (key >> 16) & 0xFF, 3);
                appendDecimal(out, (key >> 8) & 0xFF, 3);
                appendDecimal(out, key & 0xFF, 3);
                out.appendCStr("000\">Note</a> </qs_lang>");
            }
        } else if (!html && mode == 0) {
            out.assign(reference.spelling());
        }
    }
    if (out.isEmpty()) {
        out.assignCStr(html ? "<p>Error</p>" : "Error");
        return false;
    }
    return true;
}

std::uint32_t cBibleDoc::WordOccursInXSections(const cLString8& word)
{
    const std::uint32_t n = wordNumberInList(word);
    if (n == kNoWord)
        return 0;
    cBitVector sections(GetNumSections());
    std::uint32_t count = 0;
    m_bookFile->concordance().lookupWord(n, count, sections);
    std::uint32_t verses = 0;
    for (std::uint32_t s = sections.first(1); s != cBitVector::kNone; s = sections.nextAfter(s, 1))
        if ((bibleKeyForSection(s) & 0xFF) != 0)
            ++verses;
    return verses;
}

// --- bookmarks, notes, refresh ---

bool cBibleDoc::bookmarkSection(const cBookmark& bookmark, std::uint32_t& section)
{
    section = kNone;
    if (!bookmark.isBibleBookmark())
        return cBookDoc::bookmarkSection(bookmark, section);
    cBibleRef verse(bookmark.packedKey());
    if (!verse.setTranslation(translationNumber()))
        return false;
    const std::uint32_t s = sectionForKey(verse.startKey());
    if (s == 0)
        return false;
    section = s;
    return true;
}

bool cBibleDoc::hasBibleNote(const cRenderParams& location)
{
    cNoteDoc* notes = noteDoc();
    if (notes == nullptr || !(location.options() & cRenderParams::kBibleKey))
        return false;
    return notes->hasBibleNoteInReference(cBibleRef(location.getOption0002()));
}

bool cBibleDoc::readBibleNote(const cRenderParams& location, cBibleNote& note)
{
    cNoteDoc* notes = noteDoc();
    const std::uint32_t key = location.getOption0002();
    if (notes != nullptr && (location.options() & cRenderParams::kBibleKey) &&
        notes->hasBibleNoteInReference(cBibleRef(key)))
        return notes->readBibleNoteInReference(cBibleRef(key), note);
    note.clear();
    note.booknum = static_cast<std::int32_t>(key >> 16);
    note.chapter = static_cast<std::int32_t>((key >> 8) & 0xFF);
    note.verse = static_cast<std::int32_t>(key & 0xFF);
    return false;
}

bool cBibleDoc::NeedsRefresh(std::uint32_t key)
{
    if (changed())
        return true;
    cBibleRef verse(key);
    if (!verse.setTranslation(translationNumber()))
        return false;
    const std::uint32_t section = sectionForKey(verse.startKey());
    if (section != 0 && m_markedFirst != kNone && m_markedLast != kNone && m_markedFirst <= section &&
        section <= m_markedLast) {
        MarkDisplayChanged();
        return true;
    }
    return false;
}

// --- words of a verse ---

std::unique_ptr<cWordList8> cBibleDoc::WordListForVerse(
    const cBibleRef& reference, const cHTMLRenderConfiguration* config, std::uint32_t mask)
{
    std::uint32_t first = 0, last = 0;
    if (!SectionRangeForVerse(reference, first, last))
        return nullptr;
    return CollectSectionWords(first, last, config, mask & 0xFFFF);
}

std::unique_ptr<cWordAttributeList> cBibleDoc::WordAttributesForWord(const cLString16& word)
{
    if (!IsOpen() || m_bookFile == nullptr ||
        (GetSupportFlags() & (kDocSupportsStrongsGreek | kDocSupportsStrongsHebrew | kDocSupportsWordAttributes)) == 0)
        return nullptr;
    cBitVector* a = nullptr;
    std::uint32_t count = 0;
    const std::uint32_t w = CanonicalWordNumber(word, false);
    if (w != kNone)
        SearchMainConcordanceByWordNumber(w, a, count);
    std::unique_ptr<cBitVector> setA(a);
    cBitVector* b = nullptr;
    const unsigned short u0 = word.charAt(0);
    const unsigned short u1 = word.charAt(1);
    const bool digit = u1 >= '0' && u1 <= '9';
    cLString16 rest(word, 1, word.length() - 1);
    if (supports(kDocSupportsWordAttributes)) {
        SearchWordAttributeConcordance(word, b, count);
    } else if (word.length() >= 2 && digit && (u0 == 'H' || u0 == 'h') && supports(kDocSupportsStrongsHebrew)) {
        SearchStrongsHebrewConcordance(rest, b, count);
    } else if (word.length() >= 2 && digit && (u0 == 'G' || u0 == 'g') && supports(kDocSupportsStrongsGreek)) {
        SearchStrongsGreekConcordance(rest, b, count);
    }
    std::unique_ptr<cBitVector> setB(b);
    if (setA == nullptr && setB == nullptr)
        return nullptr;
    cBitVector all(GetNumSections());
    if (setA != nullptr)
        all.orVector(*setA);
    if (setB != nullptr)
        all.orVector(*setB);
    auto list = std::make_unique<cWordAttributeList>();
    std::vector<std::string> seen;
    cBkWordLinks links(*m_bookFile);
    const std::u16string text(reinterpret_cast<const char16_t*>(word.chars()), static_cast<size_t>(word.length()));
    for (std::uint32_t s = all.first(1); s != cBitVector::kNone; s = all.nextAfter(s, 1))
        links.collectWordAttributes(w, setB != nullptr || w == kNone ? text : std::u16string(), s, *list, seen);
    if (list->empty())
        return nullptr;
    return list;
}

// --- name lists ---

std::int32_t cBibleDoc::getBookNameSpellingLists(
    bool abbreviated, const cWordList8*& list, const cLIntArray*& sections, bool allSpellings)
{
    list = nullptr;
    sections = nullptr;
    cLIntArray unused;
    if (allSpellings) {
        if (!m_allBuilt) {
            bibleBookNameSpellings(abbreviated, m_allSpellings, unused, true);
            m_allBuilt = true;
        }
        list = &m_allSpellings;
        return m_allSpellings.count();
    }
    cWordList8& names = abbreviated ? m_abbreviations : m_fullNames;
    bool& built = abbreviated ? m_abbreviationsBuilt : m_fullBuilt;
    if (!built) {
        bibleBookNameSpellings(abbreviated, names, m_sectionsFilled ? unused : m_bookSections, false);
        m_sectionsFilled = true;
        built = true;
    }
    list = &names;
    sections = &m_bookSections;
    return names.count();
}

void cBibleDoc::bibleBookNameSpellings(bool abbreviated, cWordList8& list, cLIntArray& sections, bool allSpellings)
{
    list.removeAll();
    sections.removeAll();
    if (!IsOpen() || m_bookFile == nullptr)
        return;
    // The books in the Bible's order (which need not be their numbers'), each from its first verse
    // (chapter 1, or where the tables start the book: Psalm 151 at 151:1).
    std::vector<std::pair<std::uint32_t, std::uint32_t>> books;  // section, key
    for (std::uint32_t book = 1; book <= 255; ++book) {
        std::uint32_t key = (book << 16) | (1 << 8) | 1;
        std::uint32_t section = sectionForKey(key);
        if (section == 0) {
            key = cBibleRef(static_cast<packedBibleKey>((book << 16) | 0xFFFF)).startKey();
            section = (key >> 16) == book ? sectionForKey(key) : 0;
        }
        if (section != 0)
            books.emplace_back(section, key);
    }
    std::sort(books.begin(), books.end());
    for (const auto& [section, key] : books) {
        cBibleRef reference(key);
        reference.setTranslation(translationNumber());
        reference.setLanguage(static_cast<int>(GetLanguage()));
        if (!allSpellings) {
            // The lists are in the reference tables' Latin-1, which the library reads as Windows-1252.
            reference.formatSpelling(kSpellBookOnly | (abbreviated ? 0u : kSpellFullNames));
            // A book that shares its name with another (Psalm 151 beside the Psalms) goes by its chapter.
            if (list.indexOf(reference.spelling()) >= 0) {
                cBibleRef chapter(static_cast<packedBibleKey>(key | 0xFF));
                chapter.setTranslation(translationNumber());
                chapter.setLanguage(static_cast<int>(GetLanguage()));
                chapter.formatSpelling(abbreviated ? 0u : kSpellFullNames);
                reference = chapter;
            }
            if (!reference.spelling().isEmpty()) {
                list.addCopy(reference.spelling());
                sections.add(static_cast<std::int32_t>(section));
            }
            continue;
        }
        int nameNumber = 0, chapter = 0, verse = 0;
        if (!reference.getStartBookChapterVerse(nameNumber, chapter, verse))
            continue;
        int index = -1;
        for (int guard = 0; guard < 256; ++guard) {
            const std::string spelling = reference.nextAlternativeSpelling(nameNumber, index, false);
            if (spelling.empty())
                break;
            cLString8 s(spelling.c_str());
            if (list.indexOf(s) < 0) {
                list.addCopy(s);
                sections.add(static_cast<std::int32_t>(section));
            }
        }
    }
}

void cBibleDoc::bibleChapterNameSpellings(std::int32_t book, cWordList8& list, cLIntArray& sections)
{
    list.removeAll();
    sections.removeAll();
    for (std::uint32_t chapter = 1; chapter <= 253 && book > 0 && book < 256; ++chapter) {
        const std::uint32_t key = (static_cast<std::uint32_t>(book) << 16) | (chapter << 8) | 1;
        const std::uint32_t section = sectionForKey(key);
        if (section == 0)
            continue;
        cLString8 name;
        name.formatInt32(static_cast<std::int32_t>(chapter));
        list.addCopy(name);
        sections.add(static_cast<std::int32_t>(section));
    }
}

void cBibleDoc::bibleVerseNameSpellings(std::int32_t book, std::int32_t chapter, cWordList8& list, cLIntArray& sections)
{
    list.removeAll();
    sections.removeAll();
    if (book <= 0 || book > 255 || chapter <= 0 || chapter > 253)
        return;
    for (std::uint32_t verse = 1; verse <= 253; ++verse) {
        const std::uint32_t key =
            (static_cast<std::uint32_t>(book) << 16) | (static_cast<std::uint32_t>(chapter) << 8) | verse;
        const std::uint32_t section = sectionForKey(key);
        if (section == 0)
            continue;
        cLString8 name;
        name.formatInt32(static_cast<std::int32_t>(verse));
        list.addCopy(name);
        sections.add(static_cast<std::int32_t>(section));
    }
}
