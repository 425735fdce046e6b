// cHighlightColorNameRecord: one row of HighlightColorNames, the user's own name for a highlight
// colour or highlight style (the 16-bit colour value stored in VerseHighlights).
//
// A plain value owned by one thread at a time.
#pragma once

#include <cstdint>

#include "engine/foundation/cLStringTmpl.h"
#include "userdata/cDBRecord.h"

class cHighlightColorNameRecord : public cDBRecord {
public:
    cHighlightColorNameRecord() { clear(); }

    // Base fields, colornum 0, name emptied.
    void clear() override
    {
        cDBRecord::clear();
        colornum = 0;
        name.makeEmpty();
    }

    std::uint16_t colornum = 0;
    cLString16 name;
};
