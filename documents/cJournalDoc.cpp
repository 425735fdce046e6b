#include "documents/cJournalDoc.h"

#include "userdata/cBookNote.h"
#include "userdata/cNoteDoc.h"

cJournalDoc::cJournalDoc() = default;

cJournalDoc::~cJournalDoc()
{
    cJournalDoc::Close();
}

bool cJournalDoc::Open()
{
    setOpenFlag(true);
    m_kind = kKindBook;
    return true;
}

void cJournalDoc::Close()
{
    cBookDoc::Close();
}

void cJournalDoc::GetTitleW(cLString16& out, bool abbreviated)
{
    out.assignFromUTF8(abbreviated ? "(JOURNAL)" : "Journal Notes");
}

void cJournalDoc::GetTitle(cLString8& out, bool abbreviated)
{
    out.assignCStr(abbreviated ? "JOURNAL" : "Journal Notes");
}

void cJournalDoc::GetFullTitle(cLString8& out)
{
    GetTitle(out, false);
}

void cJournalDoc::GetBookID(
    std::uint16_t& publisher, std::uint16_t& book, std::uint8_t& edition, std::uint8_t& revision)
{
    publisher = kPublisher;
    book = kBook;
    edition = kEdition;
    revision = kRevision;
}

std::uint32_t cJournalDoc::GetNumSections()
{
    cNoteDoc* notes = noteDoc();
    const std::int64_t highest = notes != nullptr ? notes->highestBookNoteRecid() : 0;
    if (highest < 0 || highest >= 0xFFFFFFFF)
        return 1;
    return static_cast<std::uint32_t>(highest) + 1;
}

std::uint32_t cJournalDoc::GetSupportFlags()
{
    return IsOpen() ? static_cast<std::uint32_t>(kDocSupportsIsFakeJournalDoc) : 0u;
}

bool cJournalDoc::GetSearchResultText(std::uint32_t section, std::uint32_t mode, bool html, std::uint32_t,
    const cMultiBookSearchHits*, const cSearchWordList*, cLString8& out)
{
    out.makeEmpty();
    if (html)
        return true;
    if (mode != 0)
        return false;
    cNoteDoc* notes = noteDoc();
    cBookNote note;
    note.recid = noteIdForSection(section);
    // A deleted note keeps its row as a tombstone until the next sync; it is no entry any more.
    if (section != 0 && notes != nullptr && notes->readBookNoteByRecid(note) && note.deleted == 0) {
        out.assignFromUTF16(note.formname);
        return true;
    }
    out.assignCStr("Journal Entry ");
    out.formatInt64(section, 10, true);
    out.appendCStr(" (Error)");
    return false;
}
