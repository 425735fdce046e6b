#include "engine/bookfile/cBkGenInfoStg.h"

#include <cstring>

#include "engine/bookfile/BkText.h"

using namespace BkInfoFormat;

uint32_t cBkInfoEntityLookup::entity(const std::string& name) const
{
    static const struct {
        const char* name;
        uint32_t code;
    } table[] = {{"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}, {"nbsp", 0xA0}, {"copy", 0xA9},
        {"reg", 0xAE}, {"trade", 0x2122}, {"ndash", 0x2013}, {"mdash", 0x2014}, {"lsquo", 0x2018}, {"rsquo", 0x2019},
        {"ldquo", 0x201C}, {"rdquo", 0x201D}, {"hellip", 0x2026}, {"middot", 0xB7}, {"para", 0xB6}, {"sect", 0xA7},
        {"deg", 0xB0}};
    for (const auto& e : table)
        if (name == e.name)
            return e.code;
    return 0;
}

cBkGenInfoStg::cBkGenInfoStg() : cBkSubstorageSupport(bkTag("INFO"), m_hdr, kHeaderSize)
{
}

std::string cBkGenInfoStg::decodeEntities(const std::string& text)
{
    const cBkInfoEntityLookup& lookup = cBkInfoEntityLookup::current();
    std::string out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        if (text[i] == '&') {
            size_t semi = text.find(';', i + 1);
            if (semi != std::string::npos && semi > i + 1 && semi - i <= 32) {
                std::string name = text.substr(i + 1, semi - i - 1);
                if (uint32_t code = lookup.entity(name)) {

                    BkText::appendUtf8(out, code);
                    i = semi + 1;
                    continue;
                }
            }
        }
        out.push_back(text[i++]);
    }
    return out;
}

uint32_t cBkGenInfoStg::open(cBkStreamFile* container)
{
    uint32_t r;
    {
        cBkContainerLock lock(container);
        r = openUnlocked(container);
    }
    if (r != 0)
        return r;
    if (hasChecksumTest(fileMajor(), fileMinor()))
        return checkChecksum();
    return BkResult::kOK;
}

uint32_t cBkGenInfoStg::readHeader()
{
    uint32_t r = cBkSubstorageSupport::readHeader();
    if (r != 0)
        return r;
    const uint8_t M = m_hdr[kFileMajor];
    const uint8_t m = m_hdr[kFileMinor];
    auto clear = [this](uint32_t from, uint32_t to) { std::memset(m_hdr + from, 0, to - from + 1); };
    if (M == 1) {
        if (m <= 30)
            clear(60, 67);
        if (m <= 32)
            clear(68, 95);
        if (m <= 33)
            clear(96, 99);
        if (m <= 34)
            clear(100, 103);
    } else if (M == 0) {
        clear(60, 103);
    }
    bool oldLayout = false;
    if (M == 0 || (M == 1 && m <= 35)) {
        clear(104, 123);
        if (m < 13 || m == 20) {
            clear(kLanguage, kLanguage + 1);
            oldLayout = true;
        }
    }
    if (!oldLayout) {
        std::swap(m_hdr[kFlags], m_hdr[kLayoutMarker]);
        if (m_hdr[kLayoutMarker] != kNewLayoutMarker)
            r = BkResult::kMalformed;
    }
    static const uint16_t noBibleBooks[][2] = {{1, 223}, {1, 224}, {1, 225}, {101, 281}, {101, 286}, {101, 287}};
    for (const auto& p : noBibleBooks)
        if (u16(kPublisherId) == p[0] && u16(kBookId) == p[1])
            clear(kBibleBooks, kBibleBooks + 3);
    return r;
}

uint32_t cBkGenInfoStg::checkChecksum()
{
    static const uint32_t order[7] = {
        kAbbreviatedTitle, kBookName, kCopyright, kAuthor, kPublisher, kPublisherCity, kPublisherDate};
    std::string strings[7];
    for (int i = 0; i < 7; ++i)
        readField(order[i], strings[i], false);
    std::string ranges;
    readField(kBookRanges, ranges, false);
    uint32_t sum = checksumSum(m_hdr, strings, ranges);
    std::string stored;
    readField(kChecksum, stored, false);
    if (stored.empty())
        return BkResult::kOK;
    uint32_t value = 0;
    if (!unscrambleChecksum(stored, value) || value != sum)
        return BkResult::kMalformed;
    return BkResult::kOK;
}

uint16_t cBkGenInfoStg::publisherId() const
{
    return isAttached() ? u16(kPublisherId) : 0xFFFF;
}
uint16_t cBkGenInfoStg::bookId() const
{
    return isAttached() ? u16(kBookId) : 0xFFFF;
}
uint8_t cBkGenInfoStg::edition() const
{
    return isAttached() ? m_hdr[kEdition] : 0xFF;
}
uint8_t cBkGenInfoStg::revision() const
{
    return isAttached() ? m_hdr[kRevision] : 0xFF;
}

uint32_t cBkGenInfoStg::languageNumber() const
{
    uint16_t n = u16(kLanguage);
    return n == 0 ? 1033 : n;
}

const std::string& cBkGenInfoStg::languageName()
{
    if (!m_languageNameMade) {
        uint16_t n = u16(kLanguage);
        if (n == 0 || n == 1033)
            m_languageName = "English";
        else if (n == 10)
            m_languageName = "Spanish";
        else if (n == 535)
            m_languageName = "Greek";
        else
            m_languageName = "Language " + std::to_string(n);
        m_languageNameMade = true;
    }
    return m_languageName;
}

void cBkGenInfoStg::readField(uint32_t fieldOffset, std::string& out, bool decode, uint32_t* result)
{
    out.clear();
    if (result != nullptr)
        *result = BkResult::kOK;
    uint32_t position = u32(fieldOffset);
    if (!isAttached() || position == 0)
        return;
    uint32_t r;
    {
        cBkContainerLock lock(m_container);
        r = m_container->readString(m_streamId, out, position);
    }
    if (result != nullptr)
        *result = r;
    if (r != 0)
        out.clear();
    else if (decode)
        out = decodeEntities(out);
}

void cBkGenInfoStg::bookName(std::string& out, bool decode, uint32_t* result)
{
    readField(kBookName, out, decode, result);
}

void cBkGenInfoStg::sortTitle(std::string& out, bool decode, bool fallback)
{
    readField(kSortTitle, out, decode);
    if (out.empty() && fallback)
        abbreviatedTitle(out, decode);
}

void cBkGenInfoStg::bookRangesString(std::string& out, bool decode)
{
    readField(kBookRanges, out, decode);
    if (u32(kBookRanges) == 0 && headerFlag0())
        out = "OT=\"Gen-Mal\" NT=\"Mat-Rev\" Bible=\"Gen-Rev\"";
}

bool cBkGenInfoStg::hasWordAttributeDefs()
{
    if (!isAttached() || u32(kWordAttributeDefs) == 0)
        return false;
    std::string s;
    wordAttributeDefsString(s, false);
    return !s.empty();
}

const cBkWordAttributeDefs& cBkGenInfoStg::wordAttributeDefs()
{
    if (!m_defs) {
        std::string s;
        wordAttributeDefsString(s, false);
        m_defs = std::make_unique<cBkWordAttributeDefs>(s);
    }
    return *m_defs;
}
