#include "engine/bookfile/BkText.h"

#include "engine/foundation/CharacterClasses.h"
#include "engine/foundation/cLStringTmpl.h"

namespace BkText {

void appendUtf8(std::string& out, uint32_t c)
{
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        if (c > 0x10FFFF)
            c = 0xFFFD;
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

std::u16string utf8ToUtf16(const std::string& s)
{
    std::u16string out;
    out.reserve(s.size());
    const char* p = s.data();
    const char* end = p + s.size();
    while (p < end) {
        uint32_t c = 0;
        p += decodeUTF8Char(p, end, c);
        if (c > 0x10FFFF) {
            out.push_back(0xFFFD);
        } else if (c >= 0x10000) {
            c -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(c));
        }
    }
    return out;
}

std::string utf16ToUtf8(const std::u16string& s)
{
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        uint32_t c = s[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            ++i;
        }
        appendUtf8(out, c);
    }
    return out;
}

char16_t foldChar(char16_t c)
{
    return static_cast<char16_t>(toLowerChar16(c));
}

int compareIgnoringCase(const std::u16string& a, const std::u16string& b, size_t n)
{
    size_t la = std::min(a.size(), n), lb = std::min(b.size(), n);
    for (size_t i = 0; i < la && i < lb; ++i) {
        char16_t x = foldChar(a[i]), y = foldChar(b[i]);
        if (x != y)
            return x < y ? -1 : 1;
    }
    return la == lb ? 0 : (la < lb ? -1 : 1);
}

int compareIgnoringCase(const std::u16string& a, const std::u16string& b)
{
    return compareIgnoringCase(a, b, std::u16string::npos);
}

bool equalIgnoringCase8(const std::string& a, const std::string& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (toLowerChar8(static_cast<unsigned char>(a[i])) != toLowerChar8(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

}  // namespace BkText
