#include "search/core/TextFolding.h"

#include <algorithm>

#include "search/core/generated/UnicodeTables.h"

namespace TextFolding {
namespace {

bool inRanges(const UnicodeTables::UnitRange* ranges, std::size_t count, char16_t c)
{
    const auto* end = ranges + count;
    const auto* it =
        std::upper_bound(ranges, end, c, [](char16_t v, const UnicodeTables::UnitRange& r) { return v < r.first; });
    return it != ranges && c <= (it - 1)->last;
}

}  // namespace

bool isBlank(char16_t c)
{
    return c == u' ' || c == u'\t';
}

bool isCombiningMark(char16_t c)
{
    return c >= 0x0300 && inRanges(UnicodeTables::kCombiningMarks, UnicodeTables::kCombiningMarksCount, c);
}

bool isWhitespaceOrNewline(char16_t c)
{
    return inRanges(UnicodeTables::kWhitespace, UnicodeTables::kWhitespaceCount, c);
}

bool isPunctuation(char16_t c)
{
    return inRanges(UnicodeTables::kPunctuation, UnicodeTables::kPunctuationCount, c);
}

bool isApostrophe(char16_t c)
{
    switch (c) {
    case u'\'':
    case u'`':
    case u'\u00B4':
    case u'\u02B9':
    case u'\u02BC':
    case u'\u2018':
    case u'\u2019':
    case u'\u201B':
    case u'\u2032':
    case u'\uFF07':
        return true;
    default:
        return false;
    }
}

std::u16string withApostrophe(std::u16string_view text, char16_t apostrophe)
{
    std::u16string out(text);
    for (char16_t& c : out)
        if (isApostrophe(c))
            c = apostrophe;
    return out;
}

char16_t toLower(char16_t c)
{
    if (c < 0x80)
        return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c;
    const auto* begin = UnicodeTables::kLowerCase;
    const auto* end = begin + UnicodeTables::kLowerCaseCount;
    const auto* it =
        std::lower_bound(begin, end, c, [](const UnicodeTables::CaseMapping& m, char16_t v) { return m.upper < v; });
    return (it != end && it->upper == c) ? it->lower : c;
}

char16_t toLowerLatin1(char16_t c)
{
    if ((c >= u'A' && c <= u'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7))
        return static_cast<char16_t>(c + 32);
    return c;
}

std::u16string foldToBaseLetters(std::u16string_view text)
{
    std::u16string out;
    out.reserve(text.size());
    const auto* begin = UnicodeTables::kBaseLetters;
    const auto* end = begin + UnicodeTables::kBaseLettersCount;
    for (char16_t c : text) {
        if (c < 0xC0) {
            out.push_back(c);
            continue;
        }
        if (isCombiningMark(c))
            continue;
        // The Greek final sigma is the letter sigma: "ΛΟΓΟΣ" lower-cased reads "λογοσ".
        if (c == u'\u03C2') {
            out.push_back(u'\u03C3');
            continue;
        }
        const auto* it =
            std::lower_bound(begin, end, c, [](const UnicodeTables::BaseLetter& b, char16_t v) { return b.unit < v; });
        if (it != end && it->unit == c)
            out.append(it->base, it->length);
        else
            out.push_back(c);
    }
    return out;
}

std::u16string utf8ToUtf16(std::string_view text)
{
    std::u16string out;
    out.reserve(text.size());
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t n = text.size();
    std::size_t i = 0;
    while (i < n) {
        const char32_t lead = s[i];
        // 0xC0-0xDF, 0xE0-0xEF and 0xF0-0xF7 start 2-, 3- and 4-byte sequences; any other byte
        // stands for itself.
        const int extra = lead >= 0xC0 && lead < 0xE0 ? 1
            : lead >= 0xE0 && lead < 0xF0             ? 2
            : lead >= 0xF0 && lead < 0xF8             ? 3
                                                      : 0;
        char32_t cp = extra == 3 ? (lead & 0x07u) : extra == 2 ? (lead & 0x0Fu) : (lead & 0x1Fu);
        bool ok = extra > 0 && i + static_cast<std::size_t>(extra) < n;
        for (int k = 1; ok && k <= extra; ++k) {
            if ((s[i + k] & 0xC0) != 0x80)
                ok = false;
            else
                cp = (cp << 6) | (s[i + k] & 0x3Fu);
        }
        if (!ok) {
            // Not a sequence, or one cut short: the lead byte as a Latin-1 character.
            out.push_back(static_cast<char16_t>(lead));
            ++i;
            continue;
        }
        i += static_cast<std::size_t>(extra) + 1;
        if (cp > 0x10FFFF) {
            out.push_back(0xFFFD);
        } else if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
    }
    return out;
}

std::string utf16ToUtf8(std::u16string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t cp = text[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        }
        // A lone surrogate is written as its own three-byte sequence, which decodes back to it.
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}

}  // namespace TextFolding
