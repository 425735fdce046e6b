// cJournalDoc: the user's journal notes presented as a pseudo-book. It has no book file, a fixed
// identity and titles, and one section per journal note: a section number is the record id of a
// book note of the process-wide note document, and the reverse.
#pragma once

#include <cstdint>

#include "documents/cBookDoc.h"

class cJournalDoc : public cBookDoc {
public:
    static constexpr std::uint16_t kPublisher = 24326;
    static constexpr std::uint16_t kBook = 15184;
    static constexpr std::uint8_t kEdition = 1;
    static constexpr std::uint8_t kRevision = 1;

    cJournalDoc();
    ~cJournalDoc() override;

    bool Open() override;
    void Close() override;
    void GetTitleW(cLString16& out, bool abbreviated) override;
    void GetTitle(cLString8& out, bool abbreviated) override;
    void GetFullTitle(cLString8& out) override;
    void GetSortTitle(cLString8& out) override { out.makeEmpty(); }
    void GetSubtitle(cLString8& out) override { out.makeEmpty(); }
    void GetBookID(
        std::uint16_t& publisher, std::uint16_t& book, std::uint8_t& edition, std::uint8_t& revision) override;
    std::uint32_t GetNumSections() override;
    bool GetSearchResultText(std::uint32_t section, std::uint32_t mode, bool html, std::uint32_t reserved,
        const cMultiBookSearchHits* hits, const cSearchWordList* words, cLString8& out) override;
    std::uint32_t GetSupportFlags() override;

    static std::int64_t sectionForNoteId(std::int64_t noteId) { return noteId; }
    static std::int64_t noteIdForSection(std::int64_t section) { return section; }
};
