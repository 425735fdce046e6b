#include "engine/bookfile/BkTextTokens.h"

#include <algorithm>
#include <cstring>

#include "engine/bookfile/cBkBookFile.h"

using namespace BkTextFormat;

cBkTextTokenReader::cBkTextTokenReader(cBkBookFile& book) : m_book(book), m_textEnd(book.text().textSize())
{
    const uint8_t major = book.genInfo().fileMajor(), minor = book.genInfo().fileMinor();
    m_escapeBase = (major != 0 && minor <= 20) ? kWordEscapeBaseOld : kWordEscapeBase;
}

bool cBkTextTokenReader::readBytes(uint32_t position, uint8_t* out, uint32_t count)
{
    if (position >= m_textEnd || count > m_textEnd - position)
        return false;
    if (position >= m_heldStart && position - m_heldStart <= m_held.size() &&
        count <= m_held.size() - (position - m_heldStart)) {
        std::memcpy(out, m_held.data() + (position - m_heldStart), count);
        return true;
    }
    uint32_t done = 0;
    while (done < count) {
        // Reads below the text storage's cache size go through its cache.
        uint32_t n = count - done;
        if (n > 64)
            n = 64;
        uint32_t got = n;
        m_book.text().readText(position + done, out + done, got);
        if (got != n)
            return false;
        done += n;
    }
    return true;
}

bool cBkTextTokenReader::holdRange(uint32_t start, uint32_t end)
{
    m_held.clear();
    m_heldStart = 0;
    if (end > m_textEnd)
        end = m_textEnd;
    if (start >= end)
        return false;
    const uint32_t length = std::min(end - start, kMostHeld);
    std::vector<uint8_t> bytes(length);
    uint32_t got = length;
    m_book.text().readText(start, bytes.data(), got);
    if (got != length)
        return false;
    m_held = std::move(bytes);
    m_heldStart = start;
    return true;
}

bool cBkTextTokenReader::byteAt(uint32_t position, uint8_t& b)
{
    return readBytes(position, &b, 1);
}

bool cBkTextTokenReader::be16(uint32_t position, uint32_t& v)
{
    uint8_t b[2];
    if (!readBytes(position, b, 2))
        return false;
    v = static_cast<uint32_t>(b[0]) << 8 | b[1];
    return true;
}

bool cBkTextTokenReader::be32(uint32_t position, uint32_t& v)
{
    uint8_t b[4];
    if (!readBytes(position, b, 4))
        return false;
    v = static_cast<uint32_t>(b[0]) << 24 | static_cast<uint32_t>(b[1]) << 16 | static_cast<uint32_t>(b[2]) << 8 | b[3];
    return true;
}

bool cBkTextTokenReader::attributeValue(uint32_t& at, uint32_t& value, bool allowNone, bool& present)
{
    if (!be16(at, value))
        return false;
    at += 2;
    present = true;
    if (value == 0xFFFF) {
        if (!be32(at, value))
            return false;
        at += 4;
    } else if (allowNone && value == 0xFFFE) {
        present = false;
        value = 0;
    }
    return true;
}

bool cBkTextTokenReader::read(uint32_t p, cBkTextToken& t)
{
    t = cBkTextToken {};
    t.position = p;
    uint8_t b;
    if (!byteAt(p, b))
        return false;
    t.lead = b;

    if (b < 0x80) {
        t.kind = cBkTextToken::Kind::Word;
        if (b <= kWordShortMax) {
            t.number = m_book.wordList().wordValue(b);
            t.length = 1;
        } else if (b == kWordEscape16) {
            uint32_t v;
            if (!be16(p + 1, v))
                return false;
            t.number = kWordEscape16Base + v;
            t.length = 3;
        } else {
            uint8_t b2;
            if (!byteAt(p + 1, b2))
                return false;
            const uint32_t code = (static_cast<uint32_t>(b) << 8 | b2) & 0x3FFF;
            if (code == 0x3FFF) {
                uint32_t v;
                if (!be16(p + 2, v))
                    return false;
                t.number = m_escapeBase + v;
                t.length = 4;
            } else {
                t.number = code;
                t.length = 2;
            }
        }
        return true;
    }

    if (b < 0xC0) {
        t.kind = cBkTextToken::Kind::Punctuation;
        t.blankBefore = (b & kPunctBlankBefore) != 0;
        t.blankAfter = (b & kPunctBlankAfter) != 0;
        const uint8_t n = b & 0x0F;
        if (n != kPunctEscapeNibble) {
            cBkWordListStg* punctuation = m_book.punctuation();
            t.number = punctuation != nullptr ? punctuation->wordValue(n) : 0xFFFFFFFFu;
            t.length = 1;
            return true;
        }
        uint8_t s;
        if (!byteAt(p + 1, s))
            return false;
        if (s != 0xFF) {
            t.number = s;
            t.length = 2;
            return true;
        }
        uint8_t u;
        if (!byteAt(p + 2, u))
            return false;
        if (u != 0xFF) {
            t.number = 255u + u;
            t.length = 3;
            return true;
        }
        uint32_t v;
        if (!be16(p + 3, v))
            return false;
        t.number = 510u + v;
        t.length = 5;
        return true;
    }

    t.kind = cBkTextToken::Kind::Markup;
    t.length = 1;
    switch (b) {
    case kReference: {
        uint8_t l;
        if (!byteAt(p + 1, l))
            return false;
        uint32_t fieldLength = 1, dataLength = l;
        if (l == 0) {
            if (!be32(p + 2, dataLength))
                return false;
            fieldLength = 5;
        }
        // The record must lie inside the text: its length comes from the file.
        const uint64_t end = static_cast<uint64_t>(p) + 1 + fieldLength + dataLength;
        if (end > m_textEnd)
            return false;
        t.payloadStart = p + 1;
        t.payloadLength = fieldLength + dataLength;
        t.length = 1 + t.payloadLength;
        return true;
    }
    case kLanguage: {
        if (!be16(p + 1, t.number))
            return false;
        t.length = 3;
        return true;
    }
    case kStrongsHebrew: {
        uint32_t v;
        if (!be16(p + 1, v))
            return false;
        t.number = v >> 2;
        t.suffix = static_cast<uint8_t>(v & 3);
        t.length = 3;
        if (t.suffix == 3) {
            if (!byteAt(p + 3, t.suffix))
                return false;
            t.length = 4;
        }
        return true;
    }
    case kStrongsGreek: {
        uint32_t v;
        if (!be16(p + 1, v))
            return false;
        t.number = v >> 3;
        t.suffix = static_cast<uint8_t>(v & 7);
        t.length = 3;
        return true;
    }
    case kAttribute:
    case kAttributeWithTexts: {
        if (!byteAt(p + 1, t.definition))
            return false;
        uint32_t at = p + 2;
        bool present = false;
        if (!attributeValue(at, t.number, false, present))
            return false;
        if (b == kAttributeWithTexts) {
            if (!attributeValue(at, t.second, true, t.hasSecond) || !attributeValue(at, t.third, true, t.hasThird))
                return false;
        }
        t.length = at - p;
        return true;
    }
    case kLiteral: {
        uint8_t n;
        if (!byteAt(p + 1, n))
            return false;
        if (static_cast<uint64_t>(p) + 2 + n > m_textEnd)
            return false;
        t.payloadStart = p + 2;
        t.payloadLength = n;
        t.length = 2u + n;
        return true;
    }
    default:
        break;
    }
    if (b >= kCapitalFirst && b <= kCapitalLast) {
        t.capital = b & 7;
        if (capitalisationHasMask(b)) {
            if (!be32(p + 1, t.mask))
                return false;
            t.length = 5;
        }
    }
    return true;
}
