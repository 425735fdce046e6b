// cBkTOCStg: the "TOFC" storage, the book's table of contents (layout in BkTocFormat.h).
// Results: 0, a stream result code, -1 (index past the table or no such link), -2 (links unreadable).
// Every operation takes the container mutex around its reads.

#pragma once

#include <string>

#include "engine/bookfile/BkTocFormat.h"
#include "engine/bookfile/cBkSubstorageSupport.h"

class cBkTOCStg : public cBkSubstorageSupport {
public:
    cBkTOCStg();
    // The base open; a link width outside 1..4 is malformed (220).
    uint32_t open(cBkStreamFile* container) override;

    uint32_t entryCount() const { return bkGetLE32(m_hdr + BkTocFormat::kCount); }

    int32_t readEntry(uint32_t i, uint8_t& level, std::string& title);
    int32_t readEntry(uint32_t i, uint8_t& level, cLString8& title)
    {
        std::string s;
        const int32_t r = readEntry(i, level, s);
        bkAssign(title, s);
        return r;
    }
    int32_t sectionForTocPath(const cLString8& path) { return sectionForTocPath(bkStd(path)); }
    int32_t sectionForTocPath(const char* path) { return sectionForTocPath(std::string(path != nullptr ? path : "")); }
    // Links that are none read as 0xFFFFFFFF.
    int32_t readLinks(uint32_t i, uint32_t& link2, uint32_t& link1, uint32_t& link3);
    // The section of a "\"-separated path of titles, or -1.
    int32_t sectionForTocPath(const std::string& path);

private:
    // The caller holds the container mutex.
    int32_t readEntryUnlocked(uint32_t i, uint8_t& level, std::string& title);
    int32_t readLinksUnlocked(uint32_t i, uint32_t& link2, uint32_t& link1, uint32_t& link3);

    uint8_t m_hdr[BkTocFormat::kHeaderSize] = {};
    uint32_t m_bases[4] = {};
    uint32_t m_counts[4] = {};
};
