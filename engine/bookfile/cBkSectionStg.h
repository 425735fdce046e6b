// cBkSectionStg: the "SECT" storage, where each section starts (layout in BkSectionFormat.h).
// Every operation takes the container mutex around its reads.

#pragma once

#include "engine/bookfile/BkSectionFormat.h"
#include "engine/bookfile/cBkSubstorageSupport.h"

class cBkSectionStg : public cBkSubstorageSupport {
public:
    cBkSectionStg();
    // The base open; field widths outside 1..4, records beyond the stream and records whose first
    // blocks or text offsets do not ascend are malformed (220).
    uint32_t open(cBkStreamFile* container) override;
    // The text offset of the last section after a successful open (0 for none): the book file checks
    // it against the text end.
    uint32_t lastTextOffset() const { return m_lastTextOffset; }

    uint32_t sectionCount() const;
    // For i < N sets both outputs (zeroed, then read); otherwise leaves them untouched.
    void getSectionStart(uint32_t i, uint32_t& firstBlock, uint32_t& textOffset);
    // The section whose blocks include `block` (the first of a run sharing a first block), or none.
    uint32_t sectionForBlock(uint32_t& section, uint32_t block);
    uint32_t sectionForBlock(uint32_t block);
    // The last section of the run that shares the first block of sectionForBlock(block); none when none.
    uint32_t lastSectionForBlock(uint32_t block);
    // The section that ends before `block` starts: sectionForBlock, minus 1 when it starts at `block`.
    void sectionEndingBeforeBlock(uint32_t block, uint32_t& section);
    uint32_t sectionForTextOffset(uint32_t offset);

private:
    // The caller holds the container mutex.
    uint32_t checkAscending();
    void readRecord(uint32_t i, uint32_t& firstBlock, uint32_t& textOffset);
    uint32_t firstBlockOf(uint32_t i);
    uint32_t findForBlock(uint32_t block);

    uint8_t m_hdr[BkSectionFormat::kHeaderSize] = {};
    uint32_t m_lastTextOffset = 0;
};
