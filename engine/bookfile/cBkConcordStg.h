// cBkConcordStg: a concordance of a book (layout in BkConcordFormat.h): for each word number of its
// word list, the ascending section numbers that hold the word.
// Reads hold the container mutex for a whole entry, since they move the stream's shared position.

#pragma once

#include <functional>

#include "engine/bookfile/BkConcordFormat.h"
#include "engine/bookfile/cBkSubstorageSupport.h"

class cBitVector;

class cBkConcordStg : public cBkSubstorageSupport {
public:
    explicit cBkConcordStg(uint32_t tag);

    // The base open under the container mutex; section or count widths outside 1..4 are malformed (220).
    uint32_t open(cBkStreamFile* container) override;
    uint32_t openNamed(cBkStreamFile* container, const char* name) override;

    uint32_t entryCount() const { return bkGetLE32(m_hdr + BkConcordFormat::kEntryCount); }
    // The number of sections that hold word w; 0 past the entry count.
    uint32_t sectionCount(uint32_t w);
    uint8_t sectionNumberWidth() const { return m_hdr[BkConcordFormat::kSectionWidth]; }

    // The number of sections of the book (set by the book file once its section table is open; 0, the
    // default, leaves the entries unbounded). A word is in a section at most once, so an entry decodes
    // no more sections than this, and none from this number on: a damaged count or gap then cannot
    // make one entry run through the rest of the stream.
    void setSectionLimit(uint32_t sections) { m_sectionLimit = sections; }

    // Clears the vector and sets the bit of every section of word w; count = the entry's count.
    // Nothing happens when the vector has no storage or w is past the entry count.
    void lookupWord(uint32_t w, uint32_t& count, cBitVector& vector);
    // Writes the sections in section-number width, little-endian. When byteSize is too small nothing is
    // written and byteSize becomes the size needed. w past the entry count leaves everything untouched.
    // Calls `sink` with each section of word w in order; false when w is past the entry count.
    bool forEachSection(uint32_t w, uint32_t& count, const std::function<void(uint32_t)>& sink);

private:
    uint32_t finishOpen(uint32_t r);
    // The caller holds the container mutex. Calls sink(section) for every section of entry w; false
    // when w is past the entry count. The coded gaps are read in chunks and decoded from memory.
    template <typename Sink> bool decodeEntry(uint32_t w, uint32_t& count, Sink&& sink);

    uint8_t m_hdr[BkConcordFormat::kHeaderSize] = {};
    uint32_t m_bases[4] = {};
    uint32_t m_counts[4] = {};
    uint32_t m_sectionLimit = 0;
};
