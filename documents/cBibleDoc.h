// cBibleDoc: the document of a Bible book file. Its sections are verses (and the headings before
// them), and the verse-sync storage maps each section to its Bible key (book << 16 | chapter << 8 |
// verse). It adds navigation by book, chapter and verse, going to a reference, Bible limit
// expressions, Bible result lines and note links, and the name lists the library offers for typing
// references.
//
// Threads: as cBookDoc. The name lists are built on first use on the main thread.
#pragma once

#include <string>

#include <cstdint>

#include "documents/cBookDoc.h"
#include "engine/foundation/cStartupHook.h"

class cBibleNote;

// The user default findProximity that Bible documents answer (GetFindProximity). The application
// installs one over its settings at start-up; the default answers 0.
class cFindProximitySetting : public cStartupHook<cFindProximitySetting> {
public:
    virtual ~cFindProximitySetting() = default;
    virtual std::uint32_t findProximity() const { return 0; }
};

class cBibleDoc : public cBookDoc {
public:
    // Navigation kinds (adjacentChapterSection) and the request bit of each.
    enum : std::int32_t {
        kPreviousBookKind = 0,
        kNextBookKind = 1,
        kPreviousChapterKind = 2,
        kNextChapterKind = 3,
        kPreviousVerseKind = 4,
        kNextVerseKind = 5
    };

    cBibleDoc();
    ~cBibleDoc() override;

    cSourceDoc* Clone() const override;
    // Opening (or adopting an opened book file) also brings in the reference tables the Bible
    // carries (cBibleRefTableLoader).
    bool Open() override;
    bool AttachBookFile(cBkBookFile* bookFile, std::uint32_t kind) override;
    void Close() override;
    std::uint32_t GoTo(const cRenderParams& params) override;
    cRenderParams* GetCurrentLocation() override;
    bool GetLocationName(cLString16& out, bool withTitle, bool flag, const cRenderParams* params) override;
    // The key a location is named by: a book heading's key (chapter and verse 0) becomes the whole
    // book, a chapter heading's (verse 0) the whole chapter, so no name shows a verse 0; other keys
    // stay as they are.
    static std::uint32_t headingAsWhole(std::uint32_t key);
    using cBookDoc::ApplyLimitExpression;
    std::uint32_t ApplyLimitExpression(const cLString16& expression, cBitVector*& holder, cLIntArray& colours,
        std::uint32_t first, std::uint32_t last, bool flag) override;
    // A section of no book (front matter such as a preface) is named by its contents title.
    bool GetSearchResultText(std::uint32_t section, std::uint32_t mode, bool html, std::uint32_t abbreviated,
        const cMultiBookSearchHits* hits, const cSearchWordList* words, cLString8& out) override;
    // The verses holding the word: headings and front matter are sections but no verses.
    std::uint32_t WordOccursInXSections(const cLString8& word) override;
    std::uint32_t GetFindProximity() override;
    bool bookmarkSection(const cBookmark& bookmark, std::uint32_t& section) override;
    bool SectionRangeForBibleKey(const cBibleRef& reference, std::uint32_t& first, std::uint32_t& last) override;
    std::unique_ptr<cWordList8> WordListForVerse(
        const cBibleRef& reference, const cHTMLRenderConfiguration* config, std::uint32_t mask) override;
    std::unique_ptr<cWordAttributeList> WordAttributesForWord(const cLString16& word) override;
    std::uint32_t GetSupportFlags() override;
    bool HasChildren(std::uint32_t section) override;
    // `key` is a Bible key here.
    bool NeedsRefresh(std::uint32_t key) override;

    // The section `kind` leads to from the section of `key`; -1 when none.
    std::int32_t adjacentChapterSection(std::int32_t kind, std::uint32_t key);

    // Bible notes of the verse in a location's Bible key, through the process-wide note document.
    bool hasBibleNote(const cRenderParams& location);
    bool readBibleNote(const cRenderParams& location, cBibleNote& note);

    // Name lists for typing references: full names, abbreviations or every spelling. The lists are
    // built on first use and kept; `sections` (not for all spellings) gets each book's first section.
    std::int32_t getBookNameSpellingLists(
        bool abbreviated, const cWordList8*& list, const cLIntArray*& sections, bool allSpellings);
    void bibleBookNameSpellings(bool abbreviated, cWordList8& list, cLIntArray& sections, bool allSpellings);
    void bibleChapterNameSpellings(std::int32_t book, cWordList8& list, cLIntArray& sections);
    void bibleVerseNameSpellings(std::int32_t book, std::int32_t chapter, cWordList8& list, cLIntArray& sections);

    // The section of a Bible key of this Bible's translation (0 when none).
    std::uint32_t sectionForKey(std::uint32_t key);

    // Why a reference (in this Bible's translation) names no passage here, in words for a reader:
    // a range that ends before it starts, or a chapter past the end of a book this Bible holds.
    // Empty when neither is so; a book or verse this Bible lacks is left to the caller.
    struct ReferenceFault {
        std::string description, reason;
        bool empty() const { return description.empty(); }
    };
    ReferenceFault referenceFault(const cBibleRef& reference);
    // The number of chapters of a book of this Bible; 0 when it does not hold the book.
    std::uint32_t chapterCount(std::uint32_t book);

private:
    // A reference in this Bible's translation and language.
    void prepareReference(cBibleRef& reference);

    cWordList8 m_fullNames;
    cWordList8 m_abbreviations;
    cWordList8 m_allSpellings;
    cLIntArray m_bookSections;
    bool m_fullBuilt = false;
    bool m_abbreviationsBuilt = false;
    bool m_allBuilt = false;
    bool m_sectionsFilled = false;
};
