// cRenderParams: a document's location, and the request block handed to a document's GoTo.
//
// It says where a document is (section, Bible key, date, anchor, displayed block range) and what a
// navigation request asks for (a typed reference, a link, a named location, a step to the next or
// previous book, chapter or verse, a dated book's reading). The option mask tells which optional
// values are present; the getter of an absent value answers that value's "none" (null, "", 0 or
// 0xFFFFFFFF, as each getter says). Accessors are named after their option bit.
//
// A block lives inside its document (replaced wholesale by assign when the document moves) or is
// built by a caller for one request. Not shared between threads.
#pragma once

#include <cstdint>

#include "engine/foundation/cLStringDictionary.h"
#include "engine/foundation/cLStringTmpl.h"
#include "engine/foundation/cSimpleDate.h"

class cRenderParams {
public:
    // Option bits of the options word.
    enum : std::uint32_t {
        kReferenceText = 0x1,
        kBibleKey = 0x2,
        kLinkText = 0x4,
        kSection = 0x8,
        kDate = 0x10,
        kAnchor = 0x20,
        kIdentity = 0x40,
        kWideText = 0x80,
        kBlockIndex = 0x100,
        kPageFlag0200 = 0x200,
        kPageFlag0400 = 0x400,
        kPageFlag0800 = 0x800,
        kPageFlag1000 = 0x1000,
        kLocationName = 0x2000,
        kBlockPair = 0x4000,
        kRangePair = 0x8000,
        // Dated-book requests, set in the options word by the caller.
        kFirstReading = 0x10000,
        kPreviousReading = 0x20000,
        kNextReading = 0x40000,
        kFirstUnreadReading = 0x80000,
        kPreviousUnreadReading = 0x100000,
        kNextUnreadReading = 0x200000,
        kTodaysReading = 0x400000,
        kReloadStartDate = 0x800000,
        kReadingNumber = 0x1000000,
        kValue1 = 0x4000000,
        kValue2 = 0x8000000,
    };
    // Bits of the requests word.
    enum : std::uint32_t {
        kPreviousBook = 0x1,
        kNextBook = 0x2,
        kPreviousChapter = 0x4,
        kNextChapter = 0x8,
        kPreviousVerse = 0x10,
        kNextVerse = 0x20,
    };
    static constexpr std::uint32_t kInitialOptions = kBlockPair;
    static constexpr std::uint32_t kNone = 0xFFFFFFFF;

    cRenderParams();
    cRenderParams(const cRenderParams& other);
    cRenderParams& operator=(const cRenderParams& other);
    virtual ~cRenderParams() = default;

    // Copies every field, the string pairs included; assigning a block to itself does nothing.
    void assign(const cRenderParams& other);
    // Options back to 0x4000, requests 0, both block numbers 0, the string pairs emptied. The other
    // values stay but count as absent.
    void reset();

    // mask != 0: whether `word` has any bit of mask. mask == 0: whether the block's options and
    // requests are both 0. Callers pass either the options or the requests word.
    bool testOptions(std::uint32_t word, std::uint32_t mask) const;

    std::uint32_t options() const { return m_options; }
    void setOptions(std::uint32_t options) { m_options = options; }
    std::uint32_t requests() const { return m_requests; }
    void setRequests(std::uint32_t requests) { m_requests = requests; }
    cLStringDictionary& pairs() { return m_pairs; }
    const cLStringDictionary& pairs() const { return m_pairs; }

    // --- setters: each stores its value and sets its bit ---
    void setOption0001(const char* referenceText);  // null: clears the bit
    void setOption0002(std::uint32_t bibleKey);     // low 24 bits kept
    void setOption0004(const char* linkText);       // null: clears the bit
    void setOption0008(std::uint32_t section);
    void setOption0010(const cSimpleDate& date);
    // Null: nothing. Otherwise stores the anchor; sets 0x20 when it is not empty, clears it when empty.
    void setOption0020(const char* anchor);
    void setOption0040(std::int16_t publisher, std::int16_t book, std::int16_t edition);
    // The identity and a dated book's reading number: sets 0x40, 0x00800000 and 0x01000000.
    void setOption0040WithValue(std::int16_t publisher, std::int16_t book, std::int16_t edition, std::uint32_t reading);
    void setOption0080(const unsigned short* wideText);  // null: clears the bit
    void setOption0100(std::uint32_t blockIndex);
    void setOption0200() { m_options |= kPageFlag0200; }
    void setOption1000() { m_options |= kPageFlag1000; }
    void setLocationName(const char* name);  // null: empty name, bit cleared
    // Stores the displayed block range, sets 0x4000 and clears 0x8000.
    void setBlockPair(std::uint32_t first, std::uint32_t second);
    void setOption8000(std::uint32_t a, std::uint32_t b);
    void setOption04000000(std::uint32_t value);
    void setOption08000000(std::uint32_t value);

    // --- getters ---
    const char* getOption0001() const;         // null when absent
    std::uint32_t getOption0002() const;       // 0 when absent
    const char* getOption0004() const;         // null when absent
    std::uint32_t getOption0008() const;       // 0xFFFFFFFF when absent
    const cSimpleDate* getOption0010() const;  // null when absent
    const char* getOption0020() const;         // "" when absent
    // Identity values; 0 when absent.
    std::int16_t getOption0040Publisher() const;
    std::int16_t getOption0040Book() const;
    std::int16_t getOption0040Edition() const;
    const unsigned short* getOption0080() const;  // null when absent
    std::uint32_t getOption0100() const;          // 0xFFFFFFFF when absent
    std::uint32_t firstBlockOfPair() const;       // 0xFFFFFFFF when absent
    std::uint32_t secondBlockOfPair() const;      // 0xFFFFFFFF when absent
    std::uint32_t getOption8000First() const;     // 0xFFFFFFFF when absent
    std::uint32_t getOption8000Second() const;    // 0xFFFFFFFF when absent
    std::uint32_t getOption01000000() const;      // 0 when absent
    // The stored values, whatever their bits say.
    std::uint32_t getOption04000000() const { return m_value1; }
    std::uint32_t getOption08000000() const { return m_value2; }
    // Copies the location name, whatever the bit.
    void getLocationName(cLString8& out) const { out.assign(m_locationName); }

private:
    bool has(std::uint32_t bit) const { return (m_options & bit) != 0; }
    void setText(cLString8& field, const char* text, std::uint32_t bit);

    cLStringDictionary m_pairs;
    std::uint32_t m_options = kInitialOptions;
    std::uint32_t m_requests = 0;
    cLString8 m_referenceText;
    std::uint32_t m_bibleKey = 0;
    cLString8 m_linkText;
    std::uint32_t m_blockIndex = 0;
    std::uint32_t m_section = 0;
    cSimpleDate m_date;
    cLString8 m_anchor;
    std::int16_t m_publisher = 0;
    std::int16_t m_book = 0;
    std::int16_t m_edition = 0;
    cLString16 m_wideText;
    cLString8 m_locationName;
    std::uint32_t m_firstBlock = 0;
    std::uint32_t m_secondBlock = 0;
    std::uint32_t m_rangeFirst = 0;
    std::uint32_t m_rangeSecond = 0;
    std::uint32_t m_value1 = 0;
    std::uint32_t m_value2 = 0;
    std::uint32_t m_value3 = 0;
};
