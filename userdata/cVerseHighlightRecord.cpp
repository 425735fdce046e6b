#include "userdata/cVerseHighlightRecord.h"

#include "engine/references/cBibleRef.h"

void cVerseHighlightRecord::clear()
{
    cDBRecord::clear();
    bcv = 0;
    forecolor = 0;
    backcolor = 0;
}

void cVerseHighlightRecord::setVerse(const cBibleRef& reference, std::uint16_t fore, std::uint16_t back)
{
    clear();
    bcv = reference.startKey() & 0xFFFFFF;
    forecolor = fore;
    backcolor = back;
}
