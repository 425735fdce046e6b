#include "engine/references/cBibleRefText.h"

#include "engine/foundation/CharacterClasses.h"
#include "engine/foundation/cLStringTmpl.h"

#include <cstring>

// The letters among the named entities (the ones a book name can contain).
std::uint32_t cBibleRefEntityLookup::entity(const char* name, std::size_t length) const
{
    static const struct {
        const char* name;
        std::uint16_t code;
    } kLetters[] = {
        {"Agrave", 0xC0},
        {"Aacute", 0xC1},
        {"Acirc", 0xC2},
        {"Atilde", 0xC3},
        {"Auml", 0xC4},
        {"Aring", 0xC5},
        {"AElig", 0xC6},
        {"Ccedil", 0xC7},
        {"Egrave", 0xC8},
        {"Eacute", 0xC9},
        {"Ecirc", 0xCA},
        {"Euml", 0xCB},
        {"Igrave", 0xCC},
        {"Iacute", 0xCD},
        {"Icirc", 0xCE},
        {"Iuml", 0xCF},
        {"ETH", 0xD0},
        {"Ntilde", 0xD1},
        {"Ograve", 0xD2},
        {"Oacute", 0xD3},
        {"Ocirc", 0xD4},
        {"Otilde", 0xD5},
        {"Ouml", 0xD6},
        {"Oslash", 0xD8},
        {"Ugrave", 0xD9},
        {"Uacute", 0xDA},
        {"Ucirc", 0xDB},
        {"Uuml", 0xDC},
        {"Yacute", 0xDD},
        {"THORN", 0xDE},
        {"szlig", 0xDF},
        {"agrave", 0xE0},
        {"aacute", 0xE1},
        {"acirc", 0xE2},
        {"atilde", 0xE3},
        {"auml", 0xE4},
        {"aring", 0xE5},
        {"aelig", 0xE6},
        {"ccedil", 0xE7},
        {"egrave", 0xE8},
        {"eacute", 0xE9},
        {"ecirc", 0xEA},
        {"euml", 0xEB},
        {"igrave", 0xEC},
        {"iacute", 0xED},
        {"icirc", 0xEE},
        {"iuml", 0xEF},
        {"eth", 0xF0},
        {"ntilde", 0xF1},
        {"ograve", 0xF2},
        {"oacute", 0xF3},
        {"ocirc", 0xF4},
        {"otilde", 0xF5},
        {"ouml", 0xF6},
        {"oslash", 0xF8},
        {"ugrave", 0xF9},
        {"uacute", 0xFA},
        {"ucirc", 0xFB},
        {"uuml", 0xFC},
        {"yacute", 0xFD},
        {"thorn", 0xFE},
        {"yuml", 0xFF},
        {"apos", 0x27},
    };
    for (const auto& e : kLetters)
        if (std::strlen(e.name) == length && std::memcmp(e.name, name, length) == 0)
            return e.code;
    return 0;
}

std::uint32_t cBibleRefText::decode(const char* p, const char* end, int& bytes)
{
    if (p >= end) {
        bytes = 0;
        return 0;
    }
    std::uint32_t c = 0;
    bytes = decodeUTF8Char(p, end, c);
    if (bytes < 1) {
        bytes = 1;
        c = static_cast<unsigned char>(*p);
    }
    return c;
}

std::uint32_t cBibleRefText::fold(std::uint32_t c)
{
    return c <= 0xFFFF ? toLowerChar16(static_cast<std::uint16_t>(c)) : c;
}

bool cBibleRefText::isLetter(std::uint32_t c)
{
    return c <= 0xFFFF && isLetterOrMarkChar16(static_cast<std::uint16_t>(c));
}

bool cBibleRefText::isValidUTF8(const std::string& text)
{
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const auto* end = p + text.size();
    while (p < end) {
        const unsigned char c = *p;
        int more = 0;
        if (c < 0x80)
            more = 0;
        else if (c >= 0xC2 && c <= 0xDF)
            more = 1;
        else if (c >= 0xE0 && c <= 0xEF)
            more = 2;
        else if (c >= 0xF0 && c <= 0xF4)
            more = 3;
        else
            return false;
        if (end - p <= more)
            return false;
        for (int i = 1; i <= more; ++i)
            if ((p[i] & 0xC0) != 0x80)
                return false;
        p += more + 1;
    }
    return true;
}

std::string cBibleRefText::toUTF8(const std::string& text)
{
    if (isValidUTF8(text))
        return text;
    std::string out;
    out.reserve(text.size() * 2);
    for (unsigned char c : text) {
        char buffer[4];
        const int n = encodeUTF8Char(c, buffer);
        out.append(buffer, static_cast<std::size_t>(n));
    }
    return out;
}

std::string cBibleRefText::toLatin1IfPossible(const std::string& text)
{
    if (!isValidUTF8(text))
        return text;
    std::string out;
    out.reserve(text.size());
    const char* p = text.data();
    const char* end = p + text.size();
    while (p < end) {
        int bytes = 0;
        const std::uint32_t c = decode(p, end, bytes);
        if (c > 0xFF)
            return text;
        out.push_back(static_cast<char>(c));
        p += bytes;
    }
    return out;
}

std::string cBibleRefText::firstChars(const std::string& text, int n)
{
    const char* p = text.data();
    const char* end = p + text.size();
    const char* q = p;
    for (int i = 0; i < n && q < end; ++i) {
        int bytes = 0;
        decode(q, end, bytes);
        q += bytes;
    }
    return std::string(p, q);
}

std::uint32_t cBibleRefText::entityAt(const char* p, const char* end, int& bytes)
{
    constexpr std::ptrdiff_t kLongestName = 10;
    if (p >= end || *p != '&')
        return 0;
    const char* q = p + 1;
    while (q < end && q - p <= kLongestName + 1 && *q != ';' && *q != '&' && *q != ' ')
        ++q;
    if (q >= end || *q != ';' || q == p + 1)
        return 0;
    const std::uint32_t c = cBibleRefEntityLookup::current().entity(p + 1, static_cast<std::size_t>(q - p - 1));
    if (c == 0)
        return 0;
    bytes = static_cast<int>(q - p + 1);
    return c;
}

bool cBibleRefText::matchesWordAt(const char* p, const char* end, const std::string& word, int& bytes)
{
    const char* w = word.data();
    const char* wend = w + word.size();
    const char* q = p;
    if (w == wend)
        return false;
    while (w < wend) {
        if (q >= end)
            return false;
        int wb = 0, tb = 0;
        const std::uint32_t wc = decode(w, wend, wb);
        const std::uint32_t tc = decode(q, end, tb);
        if (fold(wc) != fold(tc))
            return false;
        w += wb;
        q += tb;
    }
    bytes = static_cast<int>(q - p);
    return true;
}
