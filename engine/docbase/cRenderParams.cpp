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
    pairs_.assign(other.pairs_);
    options_ = other.options_;
    requests_ = other.requests_;
    referenceText_.assign(other.referenceText_);
    bibleKey_ = other.bibleKey_;
    linkText_.assign(other.linkText_);
    blockIndex_ = other.blockIndex_;
    section_ = other.section_;
    date_ = other.date_;
    anchor_.assign(other.anchor_);
    publisher_ = other.publisher_;
    book_ = other.book_;
    edition_ = other.edition_;
    wideText_.assign(other.wideText_);
    locationName_.assign(other.locationName_);
    firstBlock_ = other.firstBlock_;
    secondBlock_ = other.secondBlock_;
    rangeFirst_ = other.rangeFirst_;
    rangeSecond_ = other.rangeSecond_;
    value1_ = other.value1_;
    value2_ = other.value2_;
    value3_ = other.value3_;
}

void cRenderParams::reset()
{
    options_ = kInitialOptions;
    requests_ = 0;
    firstBlock_ = 0;
    secondBlock_ = 0;
    pairs_.removeAll();
}

bool cRenderParams::testOptions(std::uint32_t word, std::uint32_t mask) const
{
    if (mask != 0)
        return (word & mask) != 0;
    return options_ == 0 && requests_ == 0;
}

void cRenderParams::setText(cLString8& field, const char* text, std::uint32_t bit)
{
    if (text == nullptr) {
        field.makeEmpty();
        options_ &= ~bit;
        return;
    }
    field.assignCStr(text);
    options_ |= bit;
}

void cRenderParams::setOption0001(const char* referenceText)
{
    setText(referenceText_, referenceText, kReferenceText);
}

void cRenderParams::setOption0002(std::uint32_t bibleKey)
{
    bibleKey_ = bibleKey & 0xFFFFFF;
    options_ |= kBibleKey;
}

void cRenderParams::setOption0004(const char* linkText)
{
    setText(linkText_, linkText, kLinkText);
}

void cRenderParams::setOption0008(std::uint32_t section)
{
    section_ = section;
    options_ |= kSection;
}

void cRenderParams::setOption0010(const cSimpleDate& date)
{
    date_ = date;
    options_ |= kDate;
}

void cRenderParams::setOption0020(const char* anchor)
{
    if (anchor == nullptr)
        return;
    anchor_.assignCStr(anchor);
    if (anchor_.isEmpty()) {
        options_ &= ~kAnchor;
    } else {
        options_ |= kAnchor;
    }
}

void cRenderParams::setOption0040(std::int16_t publisher, std::int16_t book, std::int16_t edition)
{
    publisher_ = publisher;
    book_ = book;
    edition_ = edition;
    options_ |= kIdentity;
}

void cRenderParams::setOption0040WithValue(
    std::int16_t publisher, std::int16_t book, std::int16_t edition, std::uint32_t reading)
{
    setOption0040(publisher, book, edition);
    value3_ = reading;
    options_ |= kReloadStartDate | kReadingNumber;
}

void cRenderParams::setOption0080(const unsigned short* wideText)
{
    if (wideText == nullptr) {
        wideText_.makeEmpty();
        options_ &= ~kWideText;
        return;
    }
    wideText_.assignCStr(wideText);
    options_ |= kWideText;
}

void cRenderParams::setOption0100(std::uint32_t blockIndex)
{
    blockIndex_ = blockIndex;
    options_ |= kBlockIndex;
}

void cRenderParams::setLocationName(const char* name)
{
    setText(locationName_, name, kLocationName);
}

void cRenderParams::setBlockPair(std::uint32_t first, std::uint32_t second)
{
    firstBlock_ = first;
    secondBlock_ = second;
    options_ = (options_ | kBlockPair) & ~kRangePair;
}

void cRenderParams::setOption8000(std::uint32_t a, std::uint32_t b)
{
    rangeFirst_ = a;
    rangeSecond_ = b;
    options_ |= kRangePair;
}

void cRenderParams::setOption04000000(std::uint32_t value)
{
    value1_ = value;
    options_ |= kValue1;
}

void cRenderParams::setOption08000000(std::uint32_t value)
{
    value2_ = value;
    options_ |= kValue2;
}

const char* cRenderParams::getOption0001() const
{
    return has(kReferenceText) ? referenceText_.chars() : nullptr;
}
std::uint32_t cRenderParams::getOption0002() const
{
    return has(kBibleKey) ? bibleKey_ : 0;
}
const char* cRenderParams::getOption0004() const
{
    return has(kLinkText) ? linkText_.chars() : nullptr;
}
std::uint32_t cRenderParams::getOption0008() const
{
    return has(kSection) ? section_ : kNone;
}
const cSimpleDate* cRenderParams::getOption0010() const
{
    return has(kDate) ? &date_ : nullptr;
}
const char* cRenderParams::getOption0020() const
{
    return has(kAnchor) ? anchor_.chars() : "";
}
std::int16_t cRenderParams::getOption0040Publisher() const
{
    return has(kIdentity) ? publisher_ : 0;
}
std::int16_t cRenderParams::getOption0040Book() const
{
    return has(kIdentity) ? book_ : 0;
}
std::int16_t cRenderParams::getOption0040Edition() const
{
    return has(kIdentity) ? edition_ : 0;
}
const unsigned short* cRenderParams::getOption0080() const
{
    return has(kWideText) ? wideText_.chars() : nullptr;
}
std::uint32_t cRenderParams::getOption0100() const
{
    return has(kBlockIndex) ? blockIndex_ : kNone;
}
std::uint32_t cRenderParams::firstBlockOfPair() const
{
    return has(kBlockPair) ? firstBlock_ : kNone;
}
std::uint32_t cRenderParams::secondBlockOfPair() const
{
    return has(kBlockPair) ? secondBlock_ : kNone;
}
std::uint32_t cRenderParams::getOption8000First() const
{
    return has(kRangePair) ? rangeFirst_ : kNone;
}
std::uint32_t cRenderParams::getOption8000Second() const
{
    return has(kRangePair) ? rangeSecond_ : kNone;
}
std::uint32_t cRenderParams::getOption01000000() const
{
    return has(kReadingNumber) ? value3_ : 0;
}
