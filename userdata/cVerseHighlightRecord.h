// cVerseHighlightRecord: one row of VerseHighlights, the colours of one highlighted Bible verse. Each
// colour is a highlight colour id (0 to 140) or a highlight style code (0x8002 to 0x8018).
//
// A plain value owned by one thread at a time.
#pragma once

#include <cstdint>

#include "userdata/cDBRecord.h"

class cBibleRef;

class cVerseHighlightRecord : public cDBRecord {
public:
    cVerseHighlightRecord() { clear(); }

    // Base fields, then bcv and both colours 0.
    void clear() override;
    // Clears the record, then takes the first verse of the reference (24-bit key) and the colours.
    void setVerse(const cBibleRef& reference, std::uint16_t fore, std::uint16_t back);

    std::uint32_t bcv = 0;  // book << 16 | chapter << 8 | verse
    std::uint16_t forecolor = 0;
    std::uint16_t backcolor = 0;
};
