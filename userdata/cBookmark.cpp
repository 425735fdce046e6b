#include "userdata/cBookmark.h"

#include "engine/docbase/cRenderParams.h"

void cBookmark::clear()
{
    cDBRecord::clear();
    kind = kNone;
    book = chapter = verse = 0;
    pubid = bookid = 0;
    edition = 0;
    section = -1;
    catid = 0;
}

void cBookmark::setBibleVerse(std::uint32_t packedKey, std::uint16_t category)
{
    clear();
    kind = kBibleVerse;
    book = (packedKey >> 16) & 0xFF;
    chapter = (packedKey >> 8) & 0xFF;
    verse = packedKey & 0xFF;
    catid = category;
}

void cBookmark::setBookSection(
    std::uint16_t publisher, std::uint16_t book_, std::uint8_t edition_, std::int32_t section_, std::uint16_t category)
{
    clear();
    kind = kBookSection;
    pubid = publisher;
    bookid = book_;
    edition = edition_;
    section = section_;
    catid = category;
}

bool cBookmark::getLocation(cRenderParams& params) const
{
    params.reset();
    if (kind == kBookSection) {
        params.setOption0040(
            static_cast<std::int16_t>(pubid), static_cast<std::int16_t>(bookid), static_cast<std::int16_t>(edition));
        params.setOption0008(static_cast<std::uint32_t>(section));
        return true;
    }
    if (kind == kBibleVerse) {
        params.setOption0002(packedKey());
        return true;
    }
    return false;
}
