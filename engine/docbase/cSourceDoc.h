// cSourceDoc: the abstract document of one book or pseudo-book (the journal, the notes).
//
// Everything the library's book handle and the search subsystem know about a book comes through the
// virtual operations below. The base answers each one with a neutral value ("None" titles, empty
// strings, 0, 0xFFFFFFFF, null); a derived document replaces what it can answer. Every operation of a
// closed document answers the base's value, never fails.
//
// Ownership: lists and vectors handed out by the query operations belong to the caller. The
// process-wide note document is not owned here.
//
// Threads: documents are created, opened and navigated on the main thread; search threads call the
// concordance, limit and result-text operations of a shared document. The base holds no lock; what a
// derived document reads of its book file is guarded by the book file's own mutexes.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "engine/bookfile/cBkWordLinks.h"
#include "engine/foundation/cLIntArray.h"
#include "engine/foundation/cLObjectArray.h"
#include "engine/foundation/cLStringTmpl.h"
#include "engine/foundation/cStartupHook.h"
#include "engine/references/cBibleRef.h"
#include "search/core/DocSupportsFlags.h"

class cBitVector;
class cBookmark;
class cHTMLRenderConfiguration;
class cMultiBookSearchHits;
class cNoteDoc;
class cRenderParams;
class cSearchExpressionResult;
class cSearchWordList;

// Publisher id, book id, edition, revision; unknown is all ones.
struct BookIdentity {
    std::uint16_t publisher = 0xFFFF;
    std::uint16_t book = 0xFFFF;
    std::uint8_t edition = 0xFF;
    std::uint8_t revision = 0xFF;
};

// What the documents ask of a search's hit set. The search subsystem installs its answers; without
// them no hit set is a note search and none holds a result for a book.
class cDocSearchHitHooks : public cStartupHook<cDocSearchHitHooks> {
public:
    virtual ~cDocSearchHitHooks() = default;
    virtual bool isNoteSearch(const cMultiBookSearchHits* /*hits*/) const { return false; }
    virtual const cSearchExpressionResult* resultForBook(
        const cMultiBookSearchHits* /*hits*/, std::uint16_t /*publisher*/, std::uint16_t /*book*/) const
    {
        return nullptr;
    }
};

// Where the documents find the process-wide note document (user notes of books and Bibles). The
// application installs the note document it opened at start-up, before any book opens.
class cNoteDocProvider : public cStartupHook<cNoteDocProvider> {
public:
    virtual ~cNoteDocProvider() = default;
    virtual cNoteDoc* noteDoc() const { return nullptr; }
};

// The provider that answers one note document, not owned (what the application and tests install:
// cNoteDocProvider::install(std::make_shared<cFixedNoteDocProvider>(notes))).
class cFixedNoteDocProvider final : public cNoteDocProvider {
public:
    explicit cFixedNoteDocProvider(cNoteDoc* notes) : m_notes(notes) { }
    cNoteDoc* noteDoc() const override { return m_notes; }

private:
    cNoteDoc* m_notes;
};

using cWordList8 = cLObjectArray<cLString8>;
using cBibleRefList = cLObjectArray<cBibleRef>;
using cWordAttributeList = std::vector<std::unique_ptr<cBkWordAttributeEntry>>;

class cSourceDoc {
public:
    static constexpr std::uint32_t kNone = 0xFFFFFFFF;

    cSourceDoc();
    virtual ~cSourceDoc();
    cSourceDoc(const cSourceDoc&) = delete;
    cSourceDoc& operator=(const cSourceDoc&) = delete;

    // A copy that opens the same book file; null for kinds that cannot be copied.
    virtual cSourceDoc* Clone() const { return nullptr; }
    virtual bool IsOpen() const { return m_open; }
    // Closes an open document first; the path changes only while closed.
    virtual void SetPathName(const cLString16& path);
    virtual cLString16 GetPathName() const { return m_path; }
    virtual void CopyPathName(cLString16& out) const { out.assign(m_path); }
    virtual void GetPathNameUTF8(cLString8& out) const { out.assignFromUTF16(m_path); }
    virtual void ClearPathName() { m_path.makeEmpty(); }
    virtual bool HasPathName() const { return !m_path.isEmpty(); }
    // Paths equal ignoring letter case.
    virtual bool IsSameFile(const cSourceDoc& other) const;

    virtual void GetTitleW(cLString16& out, bool abbreviated);
    virtual void GetTitle(cLString8& out, bool abbreviated);
    virtual void GetFullTitle(cLString8& out) { GetTitle(out, false); }
    virtual bool GetStrongsPairs(std::uint16_t& a, std::uint16_t& b, std::uint16_t& c, std::uint16_t& d);
    virtual std::uint32_t GetLanguage() { return 1033; }
    virtual void GetSortTitle(cLString8& out) { out.makeEmpty(); }
    virtual void GetSubtitle(cLString8& out) { out.makeEmpty(); }

    virtual bool Open();
    virtual void Close();
    virtual std::uint8_t GetBookType() { return 0; }
    virtual void MarkDisplayChanged() { m_changed = 1; }
    virtual void MarkLocationChanged() { m_changed = 1; }
    virtual void SetMarkedRange(std::uint32_t /*first*/, std::uint32_t /*last*/) { }

    // 0 moved, 215 already shown (location unchanged), other codes by kind; 0 in the base.
    virtual std::uint32_t GoTo(const cRenderParams& /*params*/) { return 0; }
    // The document's own block, valid until the next call; null when there is no location.
    virtual cRenderParams* GetCurrentLocation() { return nullptr; }
    virtual bool GetLocationName(cLString16& out, bool withTitle, bool flag, const cRenderParams* params);
    virtual void GetBookID(
        std::uint16_t& publisher, std::uint16_t& book, std::uint8_t& edition, std::uint8_t& revision);
    BookIdentity bookIdentity();
    virtual std::uint32_t GetNumSections() { return 0; }

    // Concordance look-ups. `holder` is the caller's: null asks the call to make a vector (the caller
    // then owns it); otherwise the vector is reused. `count` is the number of sections found.
    virtual void SearchMainConcordance(const cLString16& word, cBitVector*& holder, std::uint32_t& count);
    virtual void SearchMainConcordanceByWordNumber(std::uint32_t wordNumber, cBitVector*& holder, std::uint32_t& count);
    virtual void SearchStrongsHebrewConcordance(const cLString16& word, cBitVector*& holder, std::uint32_t& count);
    virtual void SearchStrongsGreekConcordance(const cLString16& word, cBitVector*& holder, std::uint32_t& count);
    virtual void SearchWordAttributeConcordance(const cLString16& word, cBitVector*& holder, std::uint32_t& count);
    virtual std::uint32_t WordOccursInXSections(const cLString8& /*word*/) { return 0; }
    virtual bool IsPhrasePresentInSection(const cSearchWordList& /*phrase*/, std::uint32_t /*section*/)
    {
        return false;
    }
    // The phrase test of a search term under a limit: the phrase must be present and every word number
    // of `limitWords` must occur in the section too. An empty list is the two-argument test.
    virtual bool IsPhrasePresentInSection(
        std::uint32_t section, const cSearchWordList& phrase, const cLIntArray& limitWords);
    // The sections a limit expression ("BOOKMARK(...)", "COLOR(...)", "NOTE()", a Bible range) allows,
    // into a new vector in `holder` (null when none). `colours` receives the colour codes read.
    virtual std::uint32_t ApplyLimitExpression(const cLString16& expression, cBitVector*& holder, cLIntArray& colours,
        std::uint32_t first, std::uint32_t last, bool flag);
    // The form the search expressions use: as above over first..last, narrowed further to the sections
    // of `reference` in this book when one is given (a re-evaluation after a change to those verses).
    // `limitWords` receives the word numbers the expression demands of every hit; the limit language
    // has no word terms, so it comes back empty. 0 on success, else an engine message code.
    virtual std::uint32_t ApplyLimitExpression(const cLString16& expression, cBitVector*& holder,
        cLIntArray& limitWords, std::uint32_t first, std::uint32_t last, const cBibleRef* reference, bool flag);
    virtual std::uint32_t CanonicalWordNumber(const cLString16& /*word*/, bool /*mode*/) { return kNone; }
    // The line that lists a hit: mode 0 a title, 1 and 2 excerpts of increasing length.
    virtual bool GetSearchResultText(std::uint32_t section, std::uint32_t mode, bool html, std::uint32_t reserved,
        const cMultiBookSearchHits* hits, const cSearchWordList* words, cLString8& out);
    virtual std::uint32_t GetFindProximity() { return 0; }
    virtual std::uint32_t GetDisplayedSectionRange(std::uint32_t& first, std::uint32_t& last);
    virtual bool BookmarkBelongsToBook(const cBookmark& /*bookmark*/) { return false; }
    virtual std::uint32_t ReadingNumberForSection(std::uint32_t /*section*/) { return 0; }
    // Not replaced by any kind: the reference's first range through SectionRangeForBibleKey.
    bool SectionRangeForVerse(const cBibleRef& reference, std::uint32_t& first, std::uint32_t& last);
    // The sections of the reference's first range.
    virtual bool SectionRangeForBibleKey(const cBibleRef& reference, std::uint32_t& first, std::uint32_t& last);
    virtual std::unique_ptr<cWordList8> WordListForVerse(
        const cBibleRef& /*reference*/, const cHTMLRenderConfiguration* /*config*/, std::uint32_t /*mask*/)
    {
        return nullptr;
    }
    virtual std::unique_ptr<cWordList8> CollectSectionWords(std::uint32_t /*first*/, std::uint32_t /*last*/,
        const cHTMLRenderConfiguration* /*config*/, std::uint32_t /*mask*/)
    {
        return nullptr;
    }
    virtual std::unique_ptr<cBibleRefList> BibleLinksListForSection(
        std::uint32_t /*section*/, const char* /*translation*/, const cHTMLRenderConfiguration* /*config*/)
    {
        return nullptr;
    }
    virtual std::unique_ptr<cWordAttributeList> WordAttributesForWord(const cLString16& word);
    virtual std::uint32_t GetSupportFlags() { return 0; }

    // The two page texts of the base: the path in a paragraph, plain and centred.
    virtual void GetPageText(cLString8& out, bool centred);

    // True when every bit of mask is in GetSupportFlags.
    bool supports(std::uint32_t mask) { return (GetSupportFlags() & mask) == mask; }

    bool changed() const { return m_changed != 0; }
    // Called where a pending change is found; nothing to do.
    void acknowledgeChange() { }

    // The process-wide note document (cNoteDocProvider's answer; null until one is installed).
    static cNoteDoc* noteDoc();

protected:
    // Path and open flag of another document; the changed flag is set.
    void copyFrom(const cSourceDoc& other);
    void setOpenFlag(bool open) { m_open = open; }
    const cLString16& path() const { return m_path; }

private:
    cLString16 m_path;
    bool m_open = false;
    std::uint8_t m_changed = 1;
};
