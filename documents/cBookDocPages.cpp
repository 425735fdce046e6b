// cBookDoc: paging requests, the book's own pages, and notes and bookmarks at a location.
#include <cstdio>
#include <string>

#include "documents/cBookDoc.h"
#include "engine/bookfile/cBkBookFile.h"
#include "userdata/cBookNote.h"
#include "userdata/cBookmark.h"
#include "userdata/cNoteDoc.h"

namespace {
void appendRow(cLString8& out, const char* label, const std::string& value)
{
    out.appendCStr("<tr><td>");
    out.appendCStr(label);
    out.appendCStr("</td><td>");
    cBookDoc::appendHtmlEscaped(out, value);
    out.appendCStr("</td></tr>");
}

const char* const kFlagNames[] = {"Bookmarks", "BibleBookmarks", "VerseLimits", "Notes", "WordLookup", "BibleLookup",
    "Copyright", "BibleSync", "DateLookup", "StrongsGreek", "StrongsHebrew", "TextHtml", "DailyReadings", "IsBible",
    "IsSearchResults", "IsFakeJournalDoc", "WordAttributes"};
}  // namespace

std::uint32_t cBookDoc::requestPaging(std::uint32_t option)
{
    cRenderParams request;
    request.setOptions(request.options() | option);
    return GoTo(request);
}

std::uint32_t cBookDoc::requestPosition(std::uint32_t position, std::uint32_t total)
{
    cRenderParams request;
    const std::uint64_t value = total == 0 ? 0 : static_cast<std::uint64_t>(position) * 100 / total;
    request.setOption08000000(static_cast<std::uint32_t>(value));
    return GoTo(request);
}

std::uint32_t cBookDoc::requestPage(std::uint32_t page)
{
    cRenderParams request;
    request.setOption1000();
    request.setOption04000000(page);
    return GoTo(request);
}

bool cBookDoc::currentHasPaging(std::uint32_t mask) const
{
    return (m_current.options() & mask) != 0;
}

std::uint32_t cBookDoc::currentPageKey(cLString8& out) const
{
    out.makeEmpty();
    if (!(m_current.options() & cRenderParams::kLocationName))
        return 0;
    m_current.getLocationName(out);
    return 1;
}

void cBookDoc::propertiesPageText(cLString8& out)
{
    out.makeEmpty();
    if (!IsOpen() || m_bookFile == nullptr)
        return;
    cBkGenInfoStg& info = m_bookFile->genInfo();
    std::string name;
    info.bookName(name, true);
    char buf[64];
    out.appendCStr("<table>");
    appendRow(out, "Title", name);
    std::snprintf(buf, sizeof buf, "%u.%u", info.fileMajor(), info.fileMinor());
    appendRow(out, "File version", buf);
    std::snprintf(buf, sizeof buf, "%u.%u", info.minimumReaderMajor(), info.minimumReaderMinor());
    appendRow(out, "Reader version needed", buf);
    std::snprintf(buf, sizeof buf, "%u/%u/%u/%u", info.publisherId(), info.bookId(), info.edition(), info.revision());
    appendRow(out, "Identity", buf);
    for (const cBkStreamEntry& e : m_bookFile->container().directory()) {
        std::string tag;
        for (int i = 0; i < 4; ++i) {
            const char c = static_cast<char>((e.id >> (8 * i)) & 0xFF);
            tag.push_back(c >= 0x20 && c < 0x7F ? c : '.');
        }
        const std::string named = e.name();
        std::snprintf(buf, sizeof buf, "%u bytes", e.length);
        appendRow(out, "Stream", tag + (named.empty() ? "" : " " + named) + ": " + buf);
    }
    const std::uint32_t flags = GetSupportFlags();
    std::string capabilities;
    for (std::uint32_t i = 0; i < sizeof kFlagNames / sizeof kFlagNames[0]; ++i)
        if (flags & (1u << i))
            capabilities += (capabilities.empty() ? "" : ", ") + std::string(kFlagNames[i]);
    appendRow(out, "Capabilities", capabilities);
    out.appendCStr("</table>");
}

std::uint32_t cBookDoc::currentLocationSection()
{
    const cRenderParams* location = GetCurrentLocation();
    return location != nullptr ? location->getOption0008() : kNone;
}

bool cBookDoc::fillBookmarkForBlock(std::uint32_t block, cBookmark& bookmark)
{
    if (!IsOpen() || m_bookFile == nullptr)
        return false;
    const std::uint32_t section = m_bookFile->sections().sectionForBlock(block);
    if (section == kNone)
        return false;
    const BookIdentity id = bookIdentity();
    bookmark.setBookSection(id.publisher, id.book, id.edition, static_cast<std::int32_t>(section), 0);
    return true;
}

void cBookDoc::appendHtmlEscaped(cLString8& out, const std::string& text)
{
    for (const char c : text) {
        switch (c) {
        case '<':
            out.appendCStr("&lt;");
            break;
        case '>':
            out.appendCStr("&gt;");
            break;
        case '&':
            out.appendCStr("&amp;");
            break;
        case '"':
            out.appendCStr("&quot;");
            break;
        default:
            out.appendChar(c);
        }
    }
}
