#include "engine/docbase/cSourceDoc.h"

#include "engine/bookfile/cBkWordLinks.h"
#include "engine/foundation/cMsgBox.h"
#include "engine/references/cBibleRef.h"
#include "search/core/cBitVector.h"
#include "search/core/cSearchWordList.h"

namespace {
void trace(const char* line)
{
    cMsgBox::trace(line);
}
}  // namespace

cSourceDoc::cSourceDoc() = default;

cSourceDoc::~cSourceDoc() = default;

cNoteDoc* cSourceDoc::noteDoc()
{
    return cNoteDocProvider::current().noteDoc();
}

void cSourceDoc::SetPathName(const cLString16& path)
{
    if (IsOpen())
        Close();
    m_path.assign(path);
}

bool cSourceDoc::IsSameFile(const cSourceDoc& other) const
{
    return m_path.length() == other.m_path.length() && m_path.compareIgnoreCase(other.m_path.chars()) == 0;
}

void cSourceDoc::GetTitleW(cLString16& out, bool /*abbreviated*/)
{
    if (!IsOpen() || m_path.isEmpty())
        out.assignFromUTF8("None");
    else
        CopyPathName(out);
}

void cSourceDoc::GetTitle(cLString8& out, bool /*abbreviated*/)
{
    if (!IsOpen() || m_path.isEmpty())
        out.assignCStr("None");
    else
        out.assignFromUTF16(m_path);
}

bool cSourceDoc::GetStrongsPairs(std::uint16_t& a, std::uint16_t& b, std::uint16_t& c, std::uint16_t& d)
{
    a = b = c = d = 0;
    return false;
}

bool cSourceDoc::Open()
{
    trace("Starting cSourceDoc::Open()\r");
    m_open = true;
    return true;
}

void cSourceDoc::Close()
{
    trace("Starting cSourceDoc::Close()\r");
    m_open = false;
}

bool cSourceDoc::GetLocationName(cLString16& out, bool, bool, const cRenderParams*)
{
    out.makeEmpty();
    return false;
}

void cSourceDoc::GetBookID(std::uint16_t& publisher, std::uint16_t& book, std::uint8_t& edition, std::uint8_t& revision)
{
    publisher = 0xFFFF;
    book = 0xFFFF;
    edition = 0xFF;
    revision = 0xFF;
}

BookIdentity cSourceDoc::bookIdentity()
{
    BookIdentity id;
    GetBookID(id.publisher, id.book, id.edition, id.revision);
    return id;
}

void cSourceDoc::SearchMainConcordance(const cLString16&, cBitVector*&, std::uint32_t& count)
{
    count = 0;
}

void cSourceDoc::SearchMainConcordanceByWordNumber(std::uint32_t, cBitVector*&, std::uint32_t& count)
{
    count = 0;
}

void cSourceDoc::SearchStrongsHebrewConcordance(const cLString16&, cBitVector*&, std::uint32_t& count)
{
    count = 0;
}

void cSourceDoc::SearchStrongsGreekConcordance(const cLString16&, cBitVector*&, std::uint32_t& count)
{
    count = 0;
}

void cSourceDoc::SearchWordAttributeConcordance(const cLString16&, cBitVector*&, std::uint32_t& count)
{
    count = 0;
}

std::uint32_t cSourceDoc::ApplyLimitExpression(
    const cLString16&, cBitVector*& holder, cLIntArray& colours, std::uint32_t, std::uint32_t, bool)
{
    holder = nullptr;
    colours.removeAll();
    return 0;
}

std::uint32_t cSourceDoc::ApplyLimitExpression(const cLString16& expression, cBitVector*& holder,
    cLIntArray& limitWords, std::uint32_t first, std::uint32_t last, const cBibleRef* reference, bool flag)
{
    limitWords.removeAll();
    cLIntArray colours;
    const std::uint32_t r = ApplyLimitExpression(expression, holder, colours, first, last, flag);
    if (r != 0 || holder == nullptr || reference == nullptr || !reference->hasRanges())
        return r;
    // Only the sections of the reference's verses stay.
    cBitVector inside(holder->size());
    for (const bibleRefRange* range = reference->firstRange(); range != nullptr; range = range->next) {
        cBibleRef single(*reference);
        single.removeAllRanges();
        single.appendRangeCopy(*range);
        std::uint32_t a = 0, b = 0;
        if (SectionRangeForBibleKey(single, a, b) && a != 0)
            inside.setRange(a, b < a ? a : b);
    }
    holder->andVector(inside);
    return 0;
}

bool cSourceDoc::IsPhrasePresentInSection(
    std::uint32_t section, const cSearchWordList& phrase, const cLIntArray& limitWords)
{
    if (!IsPhrasePresentInSection(phrase, section))
        return false;
    for (std::int32_t i = 0; i < limitWords.count(); ++i) {
        cSearchWordList one;
        one.appendItem(nullptr, static_cast<std::uint32_t>(limitWords.getAt(i)), false, nullptr);
        if (!IsPhrasePresentInSection(one, section))
            return false;
    }
    return true;
}

bool cSourceDoc::GetSearchResultText(std::uint32_t, std::uint32_t, bool, std::uint32_t, const cMultiBookSearchHits*,
    const cSearchWordList*, cLString8& out)
{
    out.assignCStr("ERROR");
    return false;
}

std::uint32_t cSourceDoc::GetDisplayedSectionRange(std::uint32_t& first, std::uint32_t& last)
{
    first = last = kNone;
    return kNone;
}

bool cSourceDoc::SectionRangeForVerse(const cBibleRef& reference, std::uint32_t& first, std::uint32_t& last)
{
    first = last = 0;
    if (!reference.hasRanges())
        return false;
    if (reference.rangeCount() == 1)
        return SectionRangeForBibleKey(reference, first, last);
    cBibleRef single(reference);
    single.truncateRangesFrom(single.firstRange()->next);
    return SectionRangeForBibleKey(single, first, last);
}

bool cSourceDoc::SectionRangeForBibleKey(const cBibleRef&, std::uint32_t& first, std::uint32_t& last)
{
    first = last = 0;
    return false;
}

std::unique_ptr<cWordAttributeList> cSourceDoc::WordAttributesForWord(const cLString16&)
{
    return nullptr;
}

void cSourceDoc::GetPageText(cLString8& out, bool centred)
{
    out.assignCStr(centred ? "<p align=\"center\">" : "<p>");
    cLString8 utf8;
    utf8.assignFromUTF16(m_path);
    out.append(utf8);
    out.appendCStr("</p>");
}

void cSourceDoc::copyFrom(const cSourceDoc& other)
{
    m_path.assign(other.m_path);
    m_open = other.m_open;
    m_changed = 1;
}
