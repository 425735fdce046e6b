#include "search/core/Metaphone.h"

#include "search/core/TextFolding.h"

namespace {

bool isVowel(char c)
{
    return c == 'A' || c == 'E' || c == 'I' || c == 'O' || c == 'U';
}
bool isFrontVowel(char c)
{
    return c == 'E' || c == 'I' || c == 'Y';
}
bool isAsciiLetter(char16_t c)
{
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
}

// The upper-case letter string to code, and L, the unit count the key is bounded by.
std::string preparedLetters(std::u16string_view word, std::size_t& unitCount)
{
    const std::u16string base = TextFolding::foldToBaseLetters(word);
    std::u16string ascii;
    ascii.reserve(base.size());
    for (char16_t c : base) {
        if (c == 0xE6)
            ascii += u"ae";
        else if (c == 0xC6)
            ascii += u"AE";
        else if (c < 0x80)
            ascii.push_back(c);
    }
    unitCount = ascii.size();
    std::string p;
    p.reserve(ascii.size());
    for (char16_t c : ascii)
        if (isAsciiLetter(c))
            p.push_back(static_cast<char>(c >= u'a' ? c - 32 : c));

    if (p.size() >= 2) {
        const char a = p[0], b = p[1];
        if ((a == 'A' && b == 'E') || (a == 'G' && b == 'N') || (a == 'K' && b == 'N') || (a == 'P' && b == 'N') ||
            (a == 'W' && b == 'R'))
            p.erase(0, 1);
    }
    if (!p.empty() && p[0] == 'X')
        p[0] = 'S';
    if (p.size() >= 2 && p[0] == 'W' && p[1] == 'H')
        p.erase(1, 1);
    if (!p.empty() && p.back() == 'S')
        p.pop_back();
    return p;
}

}  // namespace

std::string metaphoneKey(std::u16string_view word)
{
    std::size_t unitCount = 0;
    const std::string p = preparedLetters(word, unitCount);
    const std::size_t n = p.size();
    auto at = [&](std::size_t k) { return k < n ? p[k] : ' '; };

    std::string key;
    for (std::size_t i = 0; key.size() < 2 * unitCount && i < n; ++i) {
        const char c = p[i];
        const char prev = i > 0 ? p[i - 1] : ' ';
        const char next = at(i + 1), next2 = at(i + 2), next3 = at(i + 3);
        (void)next3;
        if (i == 0 && isVowel(c)) {
            key.push_back(c);
            continue;
        }
        if (c == next)
            continue;
        if (isVowel(c) || c < 'B' || c > 'Z')
            continue;
        switch (c) {
        case 'B':
            if (!(i == n - 1 && prev == 'M'))
                key.push_back('B');
            break;
        case 'C':
            if (prev == 'S' && i >= 2 && isFrontVowel(next))
                break;
            if (i > 0 && next == 'I' && next2 == 'A')
                key.push_back('X');
            else if (isFrontVowel(next))
                key.push_back('S');
            else if (prev == 'S' && i >= 2 && next == 'H')
                key.push_back('K');
            else if (next == 'H')
                key.push_back(i == 0 && !isVowel(next2) ? 'K' : 'X');
            else
                key.push_back(prev == 'C' ? 'C' : 'K');
            break;
        case 'D':
            key.push_back(next == 'G' && isFrontVowel(next2) ? 'J' : 'T');
            break;
        case 'G':
            if (prev == 'D' && isFrontVowel(next))
                break;
            if (i + 4 == n && next == 'N' && next2 == 'E' && next3 == 'D')
                break;
            if (i + 2 == n && next == 'N')
                break;
            if (next == 'H' && i + 2 < n && !isVowel(next2))
                break;
            key.push_back(!isFrontVowel(next) || prev == 'G' ? 'K' : 'J');
            break;
        case 'H':
            if ((isVowel(prev) && !isVowel(next)) || prev == 'C' || prev == 'S' || prev == 'P' || prev == 'T' ||
                prev == 'G')
                break;
            key.push_back('H');
            break;
        case 'K':
            if (prev != 'C')
                key.push_back('K');
            break;
        case 'P':
            key.push_back(next == 'H' ? 'F' : 'P');
            break;
        case 'Q':
            key.push_back('K');
            break;
        case 'S':
            if (i >= 2 && next == 'I' && (next2 == 'O' || next2 == 'A'))
                key.push_back('X');
            else if (next == 'H')
                key.push_back('X');
            else
                key.push_back('S');
            break;
        case 'T':
            if (i >= 2 && next == 'I' && (next2 == 'O' || next2 == 'A'))
                key.push_back('X');
            else if (next == 'H')
                key.push_back(i == 0 && !isVowel(next2) ? 'T' : '0');
            else if (next == 'C' && next2 == 'H' && i + 3 < n)
                break;
            else
                key.push_back('T');
            break;
        case 'V':
            key.push_back('F');
            break;
        case 'W':
        case 'Y':
            if (isVowel(next))
                key.push_back(c);
            break;
        case 'X':
            key += "KS";
            break;
        case 'Z':
            key.push_back('S');
            break;
        default:  // F J L M N R
            key.push_back(c);
            break;
        }
    }
    return key;
}

std::string metaphoneSearchKey(std::u16string_view word)
{
    std::string key = metaphoneKey(word);
    return key.size() < 2 ? std::string(kMetaphonePlaceholder) : key;
}

std::string metaphoneKey(std::string_view utf8Word)
{
    return metaphoneSearchKey(TextFolding::utf8ToUtf16(utf8Word));
}
