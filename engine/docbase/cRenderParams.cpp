#include "engine/docbase/cRenderParams.h"

cRenderParams::cRenderParams() = default;

cRenderParams::cRenderParams(const cRenderParams& other)
{
    assign(other);
}

cRenderParams& cRenderParams::operator=(const cRenderParams& other)
{
    assign(other);
    return *this;
}

void cRenderParams::assign(const cRenderParams& other)
{
    if (&other == this)
        return;
    m_pairs.assign(other.m_pairs);
    m_options = other.m_options;
    m_requests = other.m_requests;
    m_referenceText.assign(other.m_referenceText);
    m_bibleKey = other.m_bibleKey;
    m_linkText.assign(other.m_linkText);
    m_blockIndex = other.m_blockIndex;
    m_section = other.m_section;
    m_date = other.m_date;
    m_anchor.assign(other.m_anchor);
    m_publisher = other.m_publisher;
    m_book = other.m_book;
    m_edition = other.m_edition;
    m_wideText.assign(other.m_wideText);
    m_locationName.assign(other.m_locationName);
    m_firstBlock = other.m_firstBlock;
    m_secondBlock = other.m_secondBlock;
    m_rangeFirst = other.m_rangeFirst;
    m_rangeSecond = other.m_rangeSecond;
    m_value1 = other.m_value1;
    m_value2 = other.m_value2;
    m_value3 = other.m_value3;
}

void cRenderParams::reset()
{
    m_options = kInitialOptions;
    m_requests = 0;
    m_firstBlock = 0;
    m_secondBlock = 0;
    m_pairs.removeAll();
}

bool cRenderParams::testOptions(std::uint32_t word, std::uint32_t mask) const
{
    if (mask != 0)
        return (word & mask) != 0;
    return m_options == 0 && m_requests == 0;
}

void cRenderParams::setText(cLString8& field, const char* text, std::uint32_t bit)
{
    if (text == nullptr) {
        field.makeEmpty();
        m_options &= ~bit;
        return;
    }
    field.assignCStr(text);
    m_options |= bit;
}

void cRenderParams::setOption0001(const char* referenceText)
{
    setText(m_referenceText, referenceText, kReferenceText);
}

void cRenderParams::setOption0002(std::uint32_t bibleKey)
{
    m_bibleKey = bibleKey & 0xFFFFFF;
    m_options |= kBibleKey;
}

void cRenderParams::setOption0004(const char* linkText)
{
    setText(m_linkText, linkText, kLinkText);
}

void cRenderParams::setOption0008(std::uint32_t section)
{
    m_section = section;
    m_options |= kSection;
}

void cRenderParams::setOption0010(const cSimpleDate& date)
{
    m_date = date;
    m_options |= kDate;
}

void cRenderParams::setOption0020(const char* anchor)
{
    if (anchor == nullptr)
        return;
    m_anchor.assignCStr(anchor);
    if (m_anchor.isEmpty()) {
        m_options &= ~kAnchor;
    } else {
        m_options |= kAnchor;
    }
}

void cRenderParams::setOption0040(std::int16_t publisher, std::int16_t book, std::int16_t edition)
{
    m_publisher = publisher;
    m_book = book;
    m_edition = edition;
    m_options |= kIdentity;
}

void cRenderParams::setOption0040WithValue(
    std::int16_t publisher, std::int16_t book, std::int16_t edition, std::uint32_t reading)
{
    setOption0040(publisher, book, edition);
    m_value3 = reading;
    m_options |= kReloadStartDate | kReadingNumber;
}

void cRenderParams::setOption0080(const unsigned short* wideText)
{
    if (wideText == nullptr) {
        m_wideText.makeEmpty();
        m_options &= ~kWideText;
        return;
    }
    m_wideText.assignCStr(wideText);
    m_options |= kWideText;
}

void cRenderParams::setOption0100(std::uint32_t blockIndex)
{
    m_blockIndex = blockIndex;
    m_options |= kBlockIndex;
}

void cRenderParams::setLocationName(const char* name)
{
    setText(m_locationName, name, kLocationName);
}

void cRenderParams::setBlockPair(std::uint32_t first, std::uint32_t second)
{
    m_firstBlock = first;
    m_secondBlock = second;
    m_options = (m_options | kBlockPair) & ~kRangePair;
}

void cRenderParams::setOption8000(std::uint32_t a, std::uint32_t b)
{
    m_rangeFirst = a;
    m_rangeSecond = b;
    m_options |= kRangePair;
}

void cRenderParams::setOption04000000(std::uint32_t value)
{
    m_value1 = value;
    m_options |= kValue1;
}

void cRenderParams::setOption08000000(std::uint32_t value)
{
    m_value2 = value;
    m_options |= kValue2;
}

const char* cRenderParams::getOption0001() const
{
    return has(kReferenceText) ? m_referenceText.chars() : nullptr;
}
std::uint32_t cRenderParams::getOption0002() const
{
    return has(kBibleKey) ? m_bibleKey : 0;
}
const char* cRenderParams::getOption0004() const
{
    return has(kLinkText) ? m_linkText.chars() : nullptr;
}
std::uint32_t cRenderParams::getOption0008() const
{
    return has(kSection) ? m_section : kNone;
}
const cSimpleDate* cRenderParams::getOption0010() const
{
    return has(kDate) ? &m_date : nullptr;
}
const char* cRenderParams::getOption0020() const
{
    return has(kAnchor) ? m_anchor.chars() : "";
}
std::int16_t cRenderParams::getOption0040Publisher() const
{
    return has(kIdentity) ? m_publisher : 0;
}
std::int16_t cRenderParams::getOption0040Book() const
{
    return has(kIdentity) ? m_book : 0;
}
std::int16_t cRenderParams::getOption0040Edition() const
{
    return has(kIdentity) ? m_edition : 0;
}
const unsigned short* cRenderParams::getOption0080() const
{
    return has(kWideText) ? m_wideText.chars() : nullptr;
}
std::uint32_t cRenderParams::getOption0100() const
{
    return has(kBlockIndex) ? m_blockIndex : kNone;
}
std::uint32_t cRenderParams::firstBlockOfPair() const
{
    return has(kBlockPair) ? m_firstBlock : kNone;
}
std::uint32_t cRenderParams::secondBlockOfPair() const
{
    return has(kBlockPair) ? m_secondBlock : kNone;
}
std::uint32_t cRenderParams::getOption8000First() const
{
    return has(kRangePair) ? m_rangeFirst : kNone;
}
std::uint32_t cRenderParams::getOption8000Second() const
{
    return has(kRangePair) ? m_rangeSecond : kNone;
}
std::uint32_t cRenderParams::getOption01000000() const
{
    return has(kReadingNumber) ? m_value3 : 0;
}
