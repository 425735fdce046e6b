#include "engine/scramble/StringScramble.h"

#include <cstring>
#include <initializer_list>

#include "engine/scramble/ScramblePads.h"

namespace {

constexpr char kAlphabet[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
constexpr int kAlphabetSize = 62;
constexpr char kHexDigits[] = "0123456789ABCDEF";

int symbolIndex(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'Z')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 36;
    return 0;
}

std::size_t padLength(const char* pad)
{
    return pad ? std::strlen(pad) : 0;
}

// Walks the pad as both directions do: the step starts at offset * 5 and moves one past the pad
// position used, wrapping at the pad's end.
class PadCursor {
public:
    PadCursor(const char* pad, std::size_t length, int offset)
        : m_pad(pad), m_length(length), m_position(static_cast<std::size_t>(offset < 0 ? 0 : offset) * 5)
    {
    }
    int next()
    {
        const std::size_t i = m_position % m_length;
        m_position = i + 1;
        return symbolIndex(m_pad[i]);
    }

private:
    const char* m_pad;
    std::size_t m_length;
    std::size_t m_position;
};

int offsetForText(const cLString8& text)
{
    unsigned long sum = 0;
    for (std::int32_t i = 0; i < text.length(); ++i)
        sum += static_cast<unsigned char>(text.chars()[i]);
    return static_cast<int>(sum % kAlphabetSize);
}

}  // namespace

cLString8 scrambleSymbolForIndex(int index)
{
    cLString8 symbol;
    if (index >= 0 && index < kAlphabetSize)
        symbol.assignChar(kAlphabet[index]);
    return symbol;
}

cLString8 scrambleWithPad(const cLString8& text, int offset, const char* pad)
{
    cLString8 body;
    const std::size_t length = padLength(pad);
    if (length == 0)
        return body;
    body.reserve(text.length() * 2 + 1);
    PadCursor cursor(pad, length, offset);
    for (std::int32_t i = 0; i < text.length(); ++i) {
        const unsigned byte = static_cast<unsigned char>(text.chars()[i]);
        for (const char hex : {kHexDigits[byte >> 4], kHexDigits[byte & 0xF]}) {
            body.appendChar(kAlphabet[(symbolIndex(hex) + cursor.next()) % kAlphabetSize]);
        }
    }
    return body;
}

cLString8 unscrambleWithPad(const cLString8& body, int offset, const char* pad)
{
    cLString8 text;
    const std::size_t length = padLength(pad);
    if (length == 0)
        return text;
    cLString8 hex;
    hex.reserve(body.length() + 1);
    PadCursor cursor(pad, length, offset);
    for (std::int32_t i = 0; i < body.length(); ++i) {
        int d = symbolIndex(body.chars()[i]) - cursor.next();
        if (d < 0)
            d += kAlphabetSize;
        hex.appendChar(kAlphabet[d]);
    }
    text.reserve(hex.length() / 2 + 1);
    for (std::int32_t i = 0; i + 1 < hex.length(); i += 2) {
        // A pair that is not two hexadecimal digits reads as its leading digits, or 0.
        text.appendChar(static_cast<char>(hex.toInt32(16, i, 2)));
    }
    return text;
}

cLString8 scrambleString(const cLString8& text, const char* pad)
{
    if (padLength(pad) == 0)
        return cLString8();
    const int offset = offsetForText(text);
    cLString8 result = scrambleSymbolForIndex(offset);
    result.append(scrambleWithPad(text, offset, pad));
    return result;
}

cLString8 unscrambleString(const cLString8& scrambled, const char* pad)
{
    if (scrambled.length() < 2)
        return cLString8();
    const int offset = symbolIndex(scrambled.chars()[0]);
    return unscrambleWithPad(cLString8(scrambled, 1, -1), offset, pad);
}

cLString8 scrambleStringDefaultPad(const cLString8& text)
{
    return scrambleString(text, ScramblePads::kDefaultScramblePad);
}

cLString8 unscrambleStringDefaultPad(const cLString8& scrambled)
{
    return unscrambleString(scrambled, ScramblePads::kDefaultScramblePad);
}
