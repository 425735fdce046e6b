// cBkTextStg: the "TEXT" storage, the book's token stream (layout in BkTextFormat.h).
//
// Small reads go through a 100-byte read cache, since the section text writer reads a few bytes at a
// time. The cache is filled and read under the container mutex, so search threads and the rendering
// thread may read the same book at once.

#pragma once

#include <memory>

#include "engine/bookfile/BkTextFormat.h"
#include "engine/bookfile/cBkSubstorageSupport.h"

class cBkTextStg : public cBkSubstorageSupport {
public:
    static constexpr uint32_t kCacheSize = 100;

    cBkTextStg();
    // Frees the read cache, then the base open; a text end beyond the stream is malformed (220).
    uint32_t open(cBkStreamFile* container) override;

    // The text end: the stream position just past the last text byte.
    uint32_t textSize() const { return bkGetLE32(m_hdr); }

    // Copies `count` bytes of text at `position` into `buffer`. Nothing is ever read at or past the
    // text end: a request that does not fit, or whose read fails, sets `count` to 0.
    void readText(uint32_t position, uint8_t* buffer, uint32_t& count);

private:
    uint8_t m_hdr[BkTextFormat::kHeaderSize] = {};
    std::unique_ptr<uint8_t[]> m_cache;
    uint32_t m_cacheStart = 0;
    uint32_t m_cacheLength = 0;
};
