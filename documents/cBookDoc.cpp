#include "documents/cBookDoc.h"

#include <mutex>
#include <string>

#include "engine/bookfile/cBkBookFile.h"
#include "engine/foundation/cMsgBox.h"
#include "engine/references/cBibleRef.h"

namespace {
// A contents walk never takes more steps than the table has entries (a cycle in the links of a
// malformed book ends it).
std::uint32_t walkLimit(cBkBookFile* book)
{
    return book->toc().entryCount() + 1;
}

void appendUtf8AsUtf16(cLString16& out, const std::string& text)
{
    cLString16 wide;
    wide.assignFromUTF8(text.c_str(), static_cast<std::int32_t>(text.size()));
    out.append(wide);
}
}  // namespace

cBookDoc::cBookDoc()
{
    m_current.reset();
    m_current.setOption0008(1);
}

cBookDoc::~cBookDoc()
{
    cBookDoc::Close();
}

bool cBookDoc::Open()
{
    if (IsOpen())
        return true;
    m_kind = 0;
    m_translation = -1;
    if (m_bookFile != nullptr)
        releaseBookFile(m_bookFile);
    const std::uint32_t r = acquireBookFile(path(), m_bookFile, 0);
    if (r == 0 && m_bookFile != nullptr) {
        setOpenFlag(true);
        return true;
    }
    if (r == 214)
        return false;
    cLString8 utf8;
    GetPathNameUTF8(utf8);
    cMsgBox box;
    switch (r) {
    case 208:
        box.show(208, 0x10, utf8.chars(), kReaderMajor, kReaderMinor, 0, 0);
        break;
    case 209:
        box.show(209, 0x10, utf8.chars());
        break;
    case 220:
        box.show(212, 0x30, utf8.chars());
        break;
    case 222:
        box.show(213, 0x30, utf8.chars());
        break;
    case 223:
        // The cache hands out no book-file object on failure, so the file-id pair is never known.
        box.show(211, 0x30, utf8.chars());
        break;
    default:
        box.show(static_cast<std::int32_t>(r), 0x10);
        break;
    }
    return false;
}

void cBookDoc::Close()
{
    if (!IsOpen())
        return;
    m_kind = 0;
    m_translation = -1;
    setOpenFlag(false);
    m_current.reset();
    m_current.setOption0008(0);
    if (m_bookFile != nullptr)
        releaseBookFile(m_bookFile);
}

bool cBookDoc::AttachBookFile(cBkBookFile* bookFile, std::uint32_t kind)
{
    if (m_bookFile != nullptr && m_bookFile != bookFile)
        releaseBookFile(m_bookFile);
    m_bookFile = bookFile;
    m_kind = kind;
    m_translation = -1;
    setOpenFlag(true);
    return true;
}

void cBookDoc::bookDocCopyFrom(const cBookDoc& other)
{
    copyFrom(other);
    if (m_bookFile != nullptr)
        releaseBookFile(m_bookFile);
    if (other.m_bookFile != nullptr && acquireBookFile(other.path(), m_bookFile, 0) != 0)
        setOpenFlag(false);
    if (m_bookFile == nullptr)
        setOpenFlag(false);
    m_current.assign(other.m_current);
    m_kind = other.m_kind.load();
    m_translation = other.m_translation.load();
}

// --- titles and identity ---

void cBookDoc::GetTitle(cLString8& out, bool abbreviated)
{
    if (!IsOpen() || m_bookFile == nullptr) {
        cSourceDoc::GetTitle(out, abbreviated);
        return;
    }
    m_bookFile->genInfo().abbreviatedTitle(out, false);
    if (abbreviated && !out.isEmpty())
        return;
    cLString8 name;
    m_bookFile->genInfo().bookName(name, false);
    if (!out.isEmpty())
        out.appendCStr(": ");
    out.append(name);
}

void cBookDoc::GetTitleW(cLString16& out, bool abbreviated)
{
    if (!IsOpen() || m_bookFile == nullptr) {
        cSourceDoc::GetTitleW(out, abbreviated);
        return;
    }
    cLString8 utf8;
    GetTitle(utf8, abbreviated);
    out.assignFromUTF8(utf8);
}

void cBookDoc::GetFullTitle(cLString8& out)
{
    if (!IsOpen() || m_bookFile == nullptr) {
        cSourceDoc::GetFullTitle(out);
        return;
    }
    m_bookFile->genInfo().bookName(out, true);
}

bool cBookDoc::GetStrongsPairs(std::uint16_t& a, std::uint16_t& b, std::uint16_t& c, std::uint16_t& d)
{
    if (!IsOpen() || m_bookFile == nullptr)
        return cSourceDoc::GetStrongsPairs(a, b, c, d);
    cBkGenInfoStg& info = m_bookFile->genInfo();
    a = info.strongsHebrewFirst();
    b = info.strongsHebrewSecond();
    c = info.strongsGreekFirst();
    d = info.strongsGreekSecond();
    return true;
}

std::uint32_t cBookDoc::GetLanguage()
{
    if (!IsOpen() || m_bookFile == nullptr)
        return 1033;
    return m_bookFile->genInfo().languageNumber();
}

void cBookDoc::GetSortTitle(cLString8& out)
{
    if (!IsOpen() || m_bookFile == nullptr)
        return cSourceDoc::GetSortTitle(out);
    m_bookFile->genInfo().sortTitle(out, false, false);
}

void cBookDoc::GetSubtitle(cLString8& out)
{
    if (!IsOpen() || m_bookFile == nullptr)
        return cSourceDoc::GetSubtitle(out);
    m_bookFile->genInfo().subtitle(out, false);
}

std::uint8_t cBookDoc::GetBookType()
{
    if (!IsOpen() || m_bookFile == nullptr)
        return 0;
    return m_bookFile->genInfo().bookType();
}

void cBookDoc::GetBookID(std::uint16_t& publisher, std::uint16_t& book, std::uint8_t& edition, std::uint8_t& revision)
{
    if (!IsOpen() || m_bookFile == nullptr) {
        cSourceDoc::GetBookID(publisher, book, edition, revision);
        return;
    }
    cBkGenInfoStg& info = m_bookFile->genInfo();
    publisher = info.publisherId();
    book = info.bookId();
    edition = info.edition();
    revision = info.revision();
}

bool cBookDoc::matchesBookID(std::uint16_t publisher, std::uint16_t book)
{
    const BookIdentity id = bookIdentity();
    return id.publisher == publisher && id.book == book;
}

std::uint32_t cBookDoc::GetNumSections()
{
    if (!IsOpen() || m_bookFile == nullptr)
        return 0;
    return m_bookFile->sections().sectionCount();
}

bool cBookDoc::isBibleHeader()
{
    return IsOpen() && m_bookFile != nullptr && m_bookFile->genInfo().headerFlag0();
}

std::uint32_t cBookDoc::bookKindFromHeader()
{
    const std::uint32_t cached = m_kind.load();
    if (cached != 0)
        return cached;
    std::uint32_t kind = kKindNotOpen;
    if (IsOpen() && m_bookFile != nullptr) {
        if (m_bookFile->genInfo().headerFlag0())
            kind = kKindBible;
        else if (m_bookFile->genInfo().bookType() == 3)
            kind = kKindDated;
        else
            kind = kKindBook;
    }
    m_kind = kind;
    return kind;
}

std::uint32_t cBookDoc::GetSupportFlags()
{
    if (!IsOpen())
        return 0;
    if (m_bookFile == nullptr)
        return 0x49;
    std::uint32_t flags = kDocSupportsBookmarks | kDocSupportsNotes | kDocSupportsCopyright;
    if (m_bookFile->syncWords() != nullptr)
        flags |= kDocSupportsWordLookup;
    if (m_bookFile->verseSyncWords() != nullptr)
        flags |= kDocSupportsBibleSync;
    if (m_bookFile->dateSync().isOpened() && m_bookFile->dateSync().readingCount() != 0)
        flags |= kDocSupportsDateLookup;
    cBkGenInfoStg& info = m_bookFile->genInfo();
    if (info.hasStrongsGreek())
        flags |= kDocSupportsStrongsGreek;
    if (info.hasStrongsHebrew())
        flags |= kDocSupportsStrongsHebrew;
    if (info.hasWordAttributeDefs())
        flags |= kDocSupportsWordAttributes;
    return flags;
}

std::int32_t cBookDoc::translationNumber()
{
    std::int32_t t = m_translation.load();
    if (t >= 0)
        return t;
    cLString8 abbreviation;
    if (IsOpen() && m_bookFile != nullptr)
        m_bookFile->genInfo().abbreviatedTitle(abbreviation, false);
    int number = 0;
    std::int32_t position = 0;
    if (abbreviation.isEmpty() || !cBibleRef::matchTranslationAbbreviation(abbreviation.chars(), position, number))
        number = 0;
    if (number < 0)
        number = 0;
    m_translation = number;
    return number;
}

// --- location ---

void cBookDoc::SetMarkedRange(std::uint32_t first, std::uint32_t last)
{
    if (first != m_markedFirst || last != m_markedLast)
        MarkDisplayChanged();
    m_markedFirst = first;
    m_markedLast = last;
}

std::uint32_t cBookDoc::currentSection()
{
    if (m_current.options() & cRenderParams::kSection)
        return m_current.getOption0008();
    acknowledgeChange();
    return 1;
}

bool cBookDoc::identityMatches(const cRenderParams& params)
{
    std::uint16_t publisher, book;
    std::uint8_t edition, revision;
    GetBookID(publisher, book, edition, revision);
    const auto p = static_cast<std::uint16_t>(params.getOption0040Publisher());
    const auto b = static_cast<std::uint16_t>(params.getOption0040Book());
    const auto e = static_cast<std::uint8_t>(params.getOption0040Edition());
    return p == publisher && b == book && (e == edition || e == 0xFF);
}

std::uint32_t cBookDoc::bibleKeyForSection(std::uint32_t section)
{
    if (!IsOpen() || m_bookFile == nullptr)
        return 0;
    return m_bookFile->verseSync().keyOfRecord(section) & 0xFFFFFF;
}

std::uint32_t cBookDoc::goToSection(std::uint32_t section, const char* anchor)
{
    if (!IsOpen() || m_bookFile == nullptr)
        return kNone;
    // A section the book does not have is nothing to go to.
    if (section >= GetNumSections())
        return kNone;
    cRenderParams kept(m_current);
    m_current.reset();
    m_current.setOption0008(section);
    if (anchor != nullptr)
        m_current.setOption0020(anchor);
    std::uint32_t firstBlock = kNone, textOffset = 0;
    m_bookFile->sections().getSectionStart(section, firstBlock, textOffset);
    m_current.setOption0100(firstBlock);
    if (isBibleHeader()) {
        const std::uint32_t key = bibleKeyForSection(section);
        m_current.setOption0002(key);
        if (anchor == nullptr) {
            cLString8 hex;
            hex.formatInt32(static_cast<std::int32_t>(key), 16, false, 6, true, true);
            m_current.setOption0020(hex.chars());
        }
    }
    if (m_current.options() & cRenderParams::kAnchor) {
        cLString8 value;
        if (kept.pairs().findValue(m_current.getOption0020(), value) != 0) {
            m_current.assign(kept);
            return kUnchanged;
        }
    }
    MarkLocationChanged();
    return 0;
}

std::uint32_t cBookDoc::goToNamedLocation(const cRenderParams& params)
{
    if (m_current.options() & cRenderParams::kLocationName) {
        cLString8 shown, wanted;
        m_current.getLocationName(shown);
        params.getLocationName(wanted);
        if (shown.equals(wanted))
            return kUnchanged;
    }
    m_current.assign(params);
    MarkLocationChanged();
    return 0;
}

std::uint32_t cBookDoc::GoTo(const cRenderParams& params)
{
    if (!IsOpen() || m_bookFile == nullptr)
        return kNone;
    const std::uint32_t o = params.options();
    if (o & cRenderParams::kLocationName)
        return goToNamedLocation(params);
    const bool hasIdentity = (o & cRenderParams::kIdentity) != 0;
    const bool hasSection = (o & cRenderParams::kSection) != 0;
    const bool hasAnchor = (o & cRenderParams::kAnchor) != 0;
    if (!hasIdentity || identityMatches(params)) {
        if (hasSection)
            return goToSection(params.getOption0008(), hasAnchor ? params.getOption0020() : nullptr);
        if (hasAnchor) {
            if (!hasIdentity)
                return goToSection(currentSection(), params.getOption0020());
            const std::int32_t s = m_bookFile->toc().sectionForTocPath(params.getOption0020());
            if (s < 0)
                return 0;
            return goToSection(static_cast<std::uint32_t>(s), nullptr);
        }
    }
    if ((o & (cRenderParams::kBibleKey | cRenderParams::kReferenceText)) && supports(kDocSupportsBibleSync)) {
        cBibleRef reference;
        reference.setTranslation(translationNumber());
        reference.setLanguage(static_cast<int>(GetLanguage()));
        if (o & cRenderParams::kBibleKey) {
            reference.setFromKey(params.getOption0002());
        } else {
            std::int32_t position = 0;
            reference.parse(params.getOption0001(), position);
        }
        std::uint32_t first = 0, last = 0;
        if (reference.hasRanges() && sectionRangeForBibleRef(reference, 7, first, last))
            return goToSection(first, nullptr);
    }
    if ((o & cRenderParams::kWideText) && params.getOption0080() != nullptr && supports(kDocSupportsWordLookup)) {
        cLString16 word(params.getOption0080());
        std::uint32_t first = 0, last = 0;
        if (dictionaryWordToSectionRange(word, true, first, last))
            return goToSection(first, nullptr);
    }
    const std::uint32_t paging = cRenderParams::kPageFlag0400 | cRenderParams::kPageFlag0200 |
        cRenderParams::kPageFlag1000 | cRenderParams::kPageFlag0800 | cRenderParams::kValue2;
    if ((o & paging) == 0)
        return kNone;
    m_current.assign(params);
    MarkLocationChanged();
    return 0;
}

cRenderParams* cBookDoc::GetCurrentLocation()
{
    if (!IsOpen() || m_bookFile == nullptr)
        return nullptr;
    acknowledgeChange();
    if (!(m_current.options() & cRenderParams::kSection))
        return nullptr;
    std::uint16_t publisher, book;
    std::uint8_t edition, revision;
    GetBookID(publisher, book, edition, revision);
    m_reported.reset();
    m_reported.setOption0040(
        static_cast<std::int16_t>(publisher), static_cast<std::int16_t>(book), static_cast<std::int16_t>(edition));
    m_reported.setOption0008(m_current.getOption0008());
    if (m_current.options() & cRenderParams::kAnchor)
        m_reported.setOption0020(m_current.getOption0020());
    return &m_reported;
}

// --- contents ---

bool cBookDoc::contentsPath(std::uint32_t section, ContentsPath& path)
{
    path = ContentsPath();
    if (!IsOpen() || m_bookFile == nullptr)
        return false;
    cBkTOCStg& toc = m_bookFile->toc();
    std::uint8_t level = 0;
    std::string title;
    if (toc.readEntry(section, level, title) != 0)
        return false;
    std::uint32_t i = section;
    // Below the ninth level the record keeps the deepest nine entries: the section and the eight
    // entries above it.
    const std::uint32_t d = level > ContentsPath::kMaxDepth ? ContentsPath::kMaxDepth : level;
    path.depth = d;
    if (d == 0)
        return false;
    path.entries[d] = i;
    for (std::uint32_t k = d - 1; k >= 1; --k) {
        std::uint32_t link2 = kNone, link1 = kNone, link3 = kNone;
        // A parent comes before its children in the contents (document order).
        if (toc.readLinks(i, link2, link1, link3) != 0 || link3 == kNone || link3 >= i) {
            path.depth = 0;
            return false;
        }
        i = link3;
        path.entries[k] = i;
    }
    return true;
}

const cRenderParams* cBookDoc::locationToName(const cRenderParams* params)
{
    if (!IsOpen() || m_bookFile == nullptr)
        return nullptr;
    if (params != nullptr)
        return params;
    return (m_current.options() & cRenderParams::kSection) ? &m_current : nullptr;
}

bool cBookDoc::GetLocationName(cLString16& out, bool withTitle, bool flag, const cRenderParams* params)
{
    const cRenderParams* location = locationToName(params);
    if (location == nullptr || !(location->options() & cRenderParams::kSection) ||
        ((location->options() & cRenderParams::kIdentity) && !identityMatches(*location)))
        return cSourceDoc::GetLocationName(out, withTitle, flag, params);
    ContentsPath cp;
    if (!contentsPath(location->getOption0008(), cp))
        return cSourceDoc::GetLocationName(out, withTitle, flag, params);
    out.makeEmpty();
    if (withTitle) {
        GetTitleW(out, true);
        if (!out.isEmpty())
            out.appendCStr(cLString16(": ").chars());
    }
    cBkTOCStg& toc = m_bookFile->toc();
    for (std::uint32_t k = cp.depth; k >= 1; --k) {
        std::uint8_t level = 0;
        std::string title;
        toc.readEntry(cp.entries[k], level, title);
        if (k != cp.depth)
            out.appendCStr(cLString16("; ").chars());
        appendUtf8AsUtf16(out, title);
    }
    return true;
}

void cBookDoc::GetPositionNameForTitleBar(cLString8& out, std::uint32_t section, bool includeSection, bool reverse)
{
    out.makeEmpty();
    if (!IsOpen() || m_bookFile == nullptr)
        return;
    cBkTOCStg& toc = m_bookFile->toc();
    std::uint32_t i = section;
    if (!includeSection) {
        std::uint32_t link2, link1, link3;
        if (toc.readLinks(section, link2, link1, link3) != 0)
            return;
        i = link3;
    }
    bool first = true;
    std::string below;  // the title of the entry the walk came up from
    // Entry 0 is the book itself, not a place in it: the walk ends below it.
    for (std::uint32_t steps = walkLimit(m_bookFile); i != kNone && i != 0 && steps > 0; --steps) {
        std::uint8_t level = 0;
        std::string title;
        if (toc.readEntry(i, level, title) != 0)
            title = "<error>";
        // A title that the one below it opens with says nothing new ("John" over "John 3:16").
        const bool repeated = !first && !title.empty() &&
            (below == title ||
                (below.size() > title.size() && below.compare(0, title.size(), title) == 0 &&
                    below[title.size()] == ' '));
        below = title;
        if (first) {
            out.assignCStr(title.c_str());
            first = false;
        } else if (repeated) {
            // left out
        } else if (reverse) {
            out.appendCStr(" | ");
            out.appendCStr(title.c_str());
        } else {
            cLString8 front(title.c_str());
            front.appendCStr(" | ");
            front.append(out);
            out.assign(front);
        }
        std::uint32_t link2, link1, link3;
        // Parents come before their children: a link that does not go back is damage, and would
        // make the walk repeat one title up to the step limit.
        if (toc.readLinks(i, link2, link1, link3) != 0 || link3 >= i)
            break;
        i = link3;
    }
}

bool cBookDoc::HasChildren(std::uint32_t section)
{
    if (!IsOpen() || m_bookFile == nullptr || section == kNone)
        return false;
    std::uint8_t a = 0, b = 0;
    std::string title;
    if (m_bookFile->toc().readEntry(section, a, title) != 0)
        return false;
    if (m_bookFile->toc().readEntry(section + 1, b, title) != 0)
        return false;
    return b > a;
}

bool cBookDoc::collectSectionPathAndChildren(std::uint32_t section, cLIntArray& array)
{
    array.removeAll();
    array.setCapacity(25, 25);
    if (section == kNone || !IsOpen() || m_bookFile == nullptr)
        return false;
    cBkTOCStg& toc = m_bookFile->toc();
    array.insertAt(0, static_cast<std::int32_t>(section));
    std::uint32_t i = section;
    for (std::uint32_t steps = walkLimit(m_bookFile); steps > 0; --steps) {
        std::uint32_t link2, link1, link3;
        if (toc.readLinks(i, link2, link1, link3) != 0 || link2 == 0 || link2 == kNone || link2 >= i)
            break;
        i = link2;
        array.insertAt(0, static_cast<std::int32_t>(i));
    }
    i = section;
    for (std::uint32_t steps = walkLimit(m_bookFile); steps > 0; --steps) {
        std::uint32_t link2, link1, link3;
        if (toc.readLinks(i, link2, link1, link3) != 0 || link1 == kNone || link1 <= i)
            break;
        i = link1;
        array.add(static_cast<std::int32_t>(i));
    }
    return array.count() > 0;
}

bool cBookDoc::childSectionsOf(std::uint32_t section, cLIntArray& array)
{
    if (!HasChildren(section)) {
        array.removeAll();
        return false;
    }
    return collectSectionPathAndChildren(section + 1, array);
}

bool cBookDoc::NeedsRefresh(std::uint32_t section)
{
    if (changed())
        return true;
    std::uint32_t first = kNone, last = kNone;
    GetDisplayedSectionRange(first, last);
    if (first != kNone && last != kNone && first <= section && section <= last) {
        MarkDisplayChanged();
        return true;
    }
    return false;
}

bool cBookDoc::sectionBlockSpan(std::uint32_t section, std::uint32_t& firstBlock, std::uint32_t& endBlock)
{
    firstBlock = endBlock = kNone;
    if (!IsOpen() || m_bookFile == nullptr)
        return false;
    cBkSectionStg& sections = m_bookFile->sections();
    const std::uint32_t n = sections.sectionCount();
    if (section >= n)
        return false;
    std::uint32_t offset = 0;
    sections.getSectionStart(section, firstBlock, offset);
    if (section + 1 < n)
        sections.getSectionStart(section + 1, endBlock, offset);
    else
        endBlock = m_bookFile->nodes().blockCount();
    return true;
}
