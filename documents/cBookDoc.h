// cBookDoc: the document of a book file. It shares the book file of its path through the
// open-book-file cache, answers titles, identity and capabilities from the book's header, keeps the
// reader's current location, names locations, walks the contents tree, searches the book's
// concordances and limit expressions, and writes result lines, excerpts, word lists and link lists.
//
// The library builds a plain cBookDoc only to probe a file (bookKindFromHeader) and then the document
// of the book's kind: cBibleDoc, cDateDoc or cTOCDoc.
//
// Threads: opened, navigated and rendered on the main thread. The query operations (concordances,
// limits, result lines, word lists) may run on search threads at the same time; they use only the
// book file, whose storages lock their own reads, and values of their own. The kind and translation
// caches are atomic.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/docbase/cRenderParams.h"
#include "engine/docbase/cSourceDoc.h"
#include "render/cHTMLBlockRenderer.h"

class cBkBookFile;
class cBkConcordStg;
class cBkWordListStg;
struct cBkTextRangeOptions;

// Renders one block of a book as display HTML, appending to `out`: parses the block through the
// book's node source and hands the tree to the block renderer with the prepared context. Replaceable
// (tests observe the context through it); null restores the block renderer.
using cBookBlockRenderer = void (*)(cBkBookFile& book, std::int32_t block, std::string& out, std::uint16_t language,
    bool rightToLeft, const cHTMLRenderConfiguration* config, cHTMLBlockRenderContext& context);

class cBookDoc : public cSourceDoc {
public:
    // Book kinds (bookKindFromHeader).
    enum : std::uint32_t { kKindNotOpen = 0, kKindBible = 1, kKindDated = 2, kKindBook = 3 };
    // GoTo results.
    enum : std::uint32_t { kUnchanged = 215, kNotOpen = 217, kNoReading = 225, kVerseNotFound = 226 };
    // The reader's version, compared with a book's minimum reader version.
    static constexpr std::uint8_t kReaderMajor = 1;
    static constexpr std::uint8_t kReaderMinor = 78;

    // Contents path of a section: depth d and entries 1..d (entry d the section itself).
    struct ContentsPath {
        static constexpr std::uint32_t kMaxDepth = 9;
        std::uint32_t depth = 0;
        std::uint32_t entries[kMaxDepth + 1] = {kNone, kNone, kNone, kNone, kNone, kNone, kNone, kNone, kNone, kNone};
    };

    cBookDoc();
    ~cBookDoc() override;

    bool Open() override;
    void Close() override;
    void GetTitleW(cLString16& out, bool abbreviated) override;
    void GetTitle(cLString8& out, bool abbreviated) override;
    void GetFullTitle(cLString8& out) override;
    bool GetStrongsPairs(std::uint16_t& a, std::uint16_t& b, std::uint16_t& c, std::uint16_t& d) override;
    std::uint32_t GetLanguage() override;
    void GetSortTitle(cLString8& out) override;
    void GetSubtitle(cLString8& out) override;
    std::uint8_t GetBookType() override;
    void SetMarkedRange(std::uint32_t first, std::uint32_t last) override;
    std::uint32_t GoTo(const cRenderParams& params) override;
    cRenderParams* GetCurrentLocation() override;
    bool GetLocationName(cLString16& out, bool withTitle, bool flag, const cRenderParams* params) override;
    void GetBookID(
        std::uint16_t& publisher, std::uint16_t& book, std::uint8_t& edition, std::uint8_t& revision) override;
    std::uint32_t GetNumSections() override;
    std::uint32_t GetSupportFlags() override;

    // --- queries: concordances, section look-ups, limits ---
    void SearchMainConcordance(const cLString16& word, cBitVector*& holder, std::uint32_t& count) override;
    void SearchMainConcordanceByWordNumber(
        std::uint32_t wordNumber, cBitVector*& holder, std::uint32_t& count) override;
    void SearchStrongsHebrewConcordance(const cLString16& word, cBitVector*& holder, std::uint32_t& count) override;
    void SearchStrongsGreekConcordance(const cLString16& word, cBitVector*& holder, std::uint32_t& count) override;
    void SearchWordAttributeConcordance(const cLString16& word, cBitVector*& holder, std::uint32_t& count) override;
    std::uint32_t WordOccursInXSections(const cLString8& word) override;
    using cSourceDoc::IsPhrasePresentInSection;
    bool IsPhrasePresentInSection(const cSearchWordList& phrase, std::uint32_t section) override;
    using cSourceDoc::ApplyLimitExpression;
    std::uint32_t ApplyLimitExpression(const cLString16& expression, cBitVector*& holder, cLIntArray& colours,
        std::uint32_t first, std::uint32_t last, bool flag) override;
    std::uint32_t CanonicalWordNumber(const cLString16& word, bool mode) override;
    bool SectionRangeForBibleKey(const cBibleRef& reference, std::uint32_t& first, std::uint32_t& last) override;
    bool BookmarkBelongsToBook(const cBookmark& bookmark) override;
    // The section of a bookmark of this book; false for bookmarks of other books.
    virtual bool bookmarkSection(const cBookmark& bookmark, std::uint32_t& section);

    // --- result lines, excerpts, links, word lists ---
    bool GetSearchResultText(std::uint32_t section, std::uint32_t mode, bool html, std::uint32_t reserved,
        const cMultiBookSearchHits* hits, const cSearchWordList* words, cLString8& out) override;
    std::uint32_t GetDisplayedSectionRange(std::uint32_t& first, std::uint32_t& last) override;
    std::unique_ptr<cWordList8> CollectSectionWords(
        std::uint32_t first, std::uint32_t last, const cHTMLRenderConfiguration* config, std::uint32_t mask) override;
    std::unique_ptr<cBibleRefList> BibleLinksListForSection(
        std::uint32_t section, const char* translation, const cHTMLRenderConfiguration* config) override;
    // The Bible references that the "bible:" links of a section text lead to, in order, read in the
    // given translation; null when there are none.
    static std::unique_ptr<cBibleRefList> bibleLinksInText(
        const cLString8& text, const char* translation, const cHTMLRenderConfiguration* config);

    // --- operations the book kinds add ---
    // Adopts an already opened book file (one reference, now the document's) with its kind.
    virtual bool AttachBookFile(cBkBookFile* bookFile, std::uint32_t kind);
    virtual bool HasChildren(std::uint32_t section);
    virtual void GetPositionNameForTitleBar(cLString8& out, std::uint32_t section, bool includeSection, bool reverse);
    virtual bool NeedsRefresh(std::uint32_t section);

    // --- non-virtual ---
    std::uint32_t bookKindFromHeader();
    // Copy-from of the base, then a reference of its own to the other's book file, and the other's
    // option byte, current location, kind and translation.
    void bookDocCopyFrom(const cBookDoc& other);
    bool matchesBookID(std::uint16_t publisher, std::uint16_t book);
    // The translation number of the book's abbreviation (0 when it names none).
    std::int32_t translationNumber();
    std::uint32_t currentSection();
    // The section jump: the location becomes the section (with the anchor, when not null); 215 when
    // the anchor is already one of the shown location's anchors.
    std::uint32_t goToSection(std::uint32_t section, const char* anchor);
    bool contentsPath(std::uint32_t section, ContentsPath& path);
    bool collectSectionPathAndChildren(std::uint32_t section, cLIntArray& array);
    bool childSectionsOf(std::uint32_t section, cLIntArray& array);
    // The display HTML of one block; always 1 (an empty text when the block cannot be loaded).
    std::uint32_t htmlTextForBlockCore(std::uint32_t block, const cHTMLRenderConfiguration* config, cLString8& out);

    void concordanceLookup(cBkWordListStg* list, cBkConcordStg* concordance, const cLString16& word,
        std::uint32_t& count, cBitVector*& holder);
    // Mode bits: 0x1 exact key, 0x2 ranges covering the verse, 0x4 ranges from the chapter to its end,
    // 0x8 go on after a step that found hits.
    void verseReferenceConcordanceLookup(cBkWordListStg* list, cBkConcordStg* concordance, const cBibleRef& reference,
        std::uint32_t mode, std::uint32_t& count, cBitVector*& holder);
    // Sets in the holder (made when null) the sections of the range keys ("bbccvvbbccvv") of the key's
    // book that cover the key's verse and start or end in another chapter.
    void addChapterCrossingRanges(
        cBkWordListStg* list, cBkConcordStg* concordance, const cLString8& key, cBitVector*& holder);
    bool bibleKeyToSection(const cBibleRef& reference, std::uint32_t mode, std::uint32_t& first, std::uint32_t& last);
    bool sectionRangeForBibleRef(
        const cBibleRef& reference, std::uint32_t mode, std::uint32_t& first, std::uint32_t& last);
    bool dictionaryWordToSectionRange(
        const cLString16& word, bool allowPartial, std::uint32_t& first, std::uint32_t& last);
    bool sectionRangeForDictionaryWord(
        const cLString8& word, bool allowPartial, std::uint32_t& first, std::uint32_t& last);
    bool sectionRangeForSyncString(
        const cLString8& syncText, bool allowPartial, std::uint32_t& first, std::uint32_t& last);
    // "bbccvv" or "bbccvvbbccvv" (lower-case hex) of a range; an end of 254 is written 255.
    static void syncKeyText(const cBibleRef& reference, cLString8& out);
    void syncKeyTextToBibleRef(cBibleRef& out, const cLString8& text);

    // The marked-up text of a section through the book's section text writer; true when written.
    bool sectionText(
        std::uint32_t section, cLString8& out, cBkTextRangeOptions& options, const cHTMLRenderConfiguration* config);
    static void trimToHitExcerpt(cLString8& text, std::uint32_t wordsBefore, std::uint32_t wordsAfter);
    // Appends a book's plain text (a contents title, a name) to HTML as text: "<", ">", "&" and '"'
    // written as entities.
    static void appendHtmlEscaped(cLString8& out, const std::string& text);
    // The text of a section as a reader sees it, rendered through a render string over the section's
    // blocks: line breaks and list markers kept, notes left out unless the configuration names a note
    // marker, and the marker bytes of words, hits and Strong's numbers kept. True when written.
    bool renderedSectionText(std::uint32_t section, const cHTMLRenderConfiguration* config, cLString8& out);

    static void setBlockRenderer(cBookBlockRenderer renderer);
    // The note link of a book section: "note:_" and the zero-padded identity and section.
    static void noteLinkTarget(
        cLString8& out, std::uint16_t publisher, std::uint16_t book, std::uint8_t edition, std::uint32_t section);

    cBkBookFile* bookFile() const { return m_bookFile; }
    // The first block of a section, and the block that ends its span (exclusive).
    bool sectionBlockSpan(std::uint32_t section, std::uint32_t& firstBlock, std::uint32_t& endBlock);
    bool isBibleHeader();
    // The verse key of a section from the verse-sync storage; 0 when none.
    std::uint32_t bibleKeyForSection(std::uint32_t section);

protected:
    // The number of a word in the book's word list; kNoWord when the book is not open or the list
    // does not hold it.
    static constexpr std::uint32_t kNoWord = 0xFFFFFFFF;
    std::uint32_t wordNumberInList(const cLString8& word);
    // The location a name is asked for (GetLocationName): `params`, or else the current location when
    // it names a section; null when the document is not open or there is neither.
    const cRenderParams* locationToName(const cRenderParams* params);
    // A request for a named location (a generated page such as a search result): 215 when that page
    // is already shown, else it becomes the location.
    std::uint32_t goToNamedLocation(const cRenderParams& params);

    // Identity test of a request: publisher and book equal, edition equal or 0xFF.
    bool identityMatches(const cRenderParams& params);
    // Bits of the user-data part of a limit expression, ANDed into `holder`; 0, or 217 when closed.
    std::uint32_t applyUserDataLimits(const cLString8& limitPart, cBitVector*& holder, cLIntArray& colours,
        std::uint32_t first, std::uint32_t last, bool flag);
    // Sets the bits of the sections first..last that carry a live note of the user.
    void noteSections(cBitVector& hits, std::uint32_t first, std::uint32_t last);
    // Extends `last` over the contents subtree of `first`.
    void extendOverSubtree(std::uint32_t first, std::uint32_t& last);

    cBkBookFile* m_bookFile = nullptr;
    std::atomic<std::uint32_t> m_kind {0};
    std::atomic<std::int32_t> m_translation {-1};
    cRenderParams m_reported;
    cRenderParams m_current;
    std::uint32_t m_markedFirst = kNone;
    std::uint32_t m_markedLast = kNone;
};
