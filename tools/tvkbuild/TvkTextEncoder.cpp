#include "tools/tvkbuild/TvkTextEncoder.h"

#include <algorithm>
#include <stdexcept>

#include "engine/bookfile/BkText.h"
#include "engine/bookfile/BkTextFormat.h"
#include "engine/foundation/CharacterClasses.h"

using TvkEncode::Bytes;

namespace {

bool isSpaceUnit(char16_t u)
{
    return u == ' ' || u == '\t' || u == '\n' || u == '\r' || u == 0xA0;
}

// Letters, marks and digits; beyond ASCII, anything the character tables do not call punctuation (so
// that letters the tables do not list, such as polytonic Greek, stay inside their words).
bool isWordUnit(char16_t u)
{
    return isLetterOrMarkChar16(u) || isDigitChar16(u) || isCombiningChar16(u) || (u >= 0xD800 && u < 0xE000) ||
        (u >= 0x80 && !isPunctuationChar16(u) && !isSpaceUnit(u));
}

bool isApostrophe(char16_t u)
{
    return u == '\'' || u == 0x2019;
}

// Lower-cases a word and finds the capitalisation code that restores it.
void capitalise(TvkTextPiece& p, const std::u16string& orig)
{
    std::u16string lower = orig;
    for (auto& c : lower)
        c = toLowerChar16(c);
    p.text = BkText::utf16ToUtf8(orig);
    if (lower == orig)
        return;
    auto upperMatches = [&](size_t i) { return toUpperChar16(lower[i]) == orig[i]; };
    bool restFirst = upperMatches(0);
    for (size_t i = 1; i < orig.size() && restFirst; ++i)
        restFirst = lower[i] == orig[i];
    const std::string lowered = BkText::utf16ToUtf8(lower);
    if (restFirst) {
        p.text = lowered;
        p.capital = BkTextFormat::kCapitalInitial;
        return;
    }
    bool all = true;
    for (size_t i = 0; i < orig.size() && all; ++i)
        all = upperMatches(i);
    if (all) {
        p.text = lowered;
        p.capital = BkTextFormat::kCapitalAll;
        return;
    }
    // By mask: one step per upper-cased character (which moves past it) or per byte otherwise.
    uint32_t mask = 0;
    int step = 31;
    for (size_t i = 0; i < orig.size(); ++i) {
        const std::string one = BkText::utf16ToUtf8(lower.substr(i, 1));
        if (lower[i] != orig[i]) {
            if (!upperMatches(i) || step < 0)
                return;  // kept as written
            mask |= 1u << step;
            --step;
        } else {
            step -= static_cast<int>(one.size());
        }
    }
    p.text = lowered;
    p.capital = BkTextFormat::kCapitalMask;
    p.mask = mask;
}

void appendBE16(Bytes& b, uint32_t v)
{
    b.push_back(static_cast<uint8_t>(v >> 8));
    b.push_back(static_cast<uint8_t>(v));
}

void appendWordToken(Bytes& b, uint32_t w, int shortIndex, uint32_t escapeBase)
{
    using namespace BkTextFormat;
    if (shortIndex >= 0) {
        b.push_back(static_cast<uint8_t>(shortIndex));
    } else if (w <= kWordTwoByteMax) {
        b.push_back(static_cast<uint8_t>(0x40 | (w >> 8)));
        b.push_back(static_cast<uint8_t>(w));
    } else if (w - kWordEscape16Base <= 0xFFFF) {
        b.push_back(kWordEscape16);
        appendBE16(b, w - kWordEscape16Base);
    } else if (w >= escapeBase && w - escapeBase <= 0xFFFF) {
        b.push_back(0x7F);
        b.push_back(0xFF);
        appendBE16(b, w - escapeBase);
    } else {
        throw std::invalid_argument("too many distinct words for the text encoding");
    }
}

void appendPunctuationToken(Bytes& b, uint32_t p, int shortIndex, bool before, bool after)
{
    using namespace BkTextFormat;
    const uint8_t lead =
        static_cast<uint8_t>(kPunctuation | (before ? kPunctBlankBefore : 0) | (after ? kPunctBlankAfter : 0));
    if (shortIndex >= 0) {
        b.push_back(static_cast<uint8_t>(lead | shortIndex));
    } else if (p < 0xFF) {
        b.push_back(lead | kPunctEscapeNibble);
        b.push_back(static_cast<uint8_t>(p));
    } else if (p < 510) {
        b.push_back(lead | kPunctEscapeNibble);
        b.push_back(0xFF);
        b.push_back(static_cast<uint8_t>(p - 255));
    } else if (p - 510 <= 0xFFFF) {
        b.push_back(lead | kPunctEscapeNibble);
        b.push_back(0xFF);
        b.push_back(0xFF);
        appendBE16(b, p - 510);
    } else {
        throw std::invalid_argument("too many distinct punctuation strings");
    }
}

// The most frequent strings first (at most n), for the one-byte tokens.
std::vector<uint32_t> frequent(
    const std::map<std::string, uint32_t>& counts, const std::map<std::string, uint32_t>& numbers, size_t n)
{
    std::vector<std::pair<uint32_t, uint32_t>> byCount;  // (count, number)
    for (const auto& [text, count] : counts)
        byCount.emplace_back(count, numbers.at(text));
    std::sort(byCount.begin(), byCount.end(),
        [](auto a, auto b) { return a.first != b.first ? a.first > b.first : a.second < b.second; });
    std::vector<uint32_t> out;
    for (size_t i = 0; i < byCount.size() && i < n; ++i)
        out.push_back(byCount[i].second);
    return out;
}

int indexIn(const std::vector<uint32_t>& values, uint32_t n)
{
    auto it = std::find(values.begin(), values.end(), n);
    return it == values.end() ? -1 : static_cast<int>(it - values.begin());
}

// Sorted as the reader searches, each numbered by its place.
std::vector<std::string> numbered(
    const std::map<std::string, uint32_t>& counts, std::map<std::string, uint32_t>& number)
{
    std::vector<std::string> out;
    for (const auto& e : counts)
        out.push_back(e.first);
    out = TvkEncode::sortedWords(out);
    for (uint32_t i = 0; i < out.size(); ++i)
        number[out[i]] = i;
    return out;
}

}  // namespace

std::vector<TvkTextPiece> tvkCutText(const std::string& text)
{
    const std::u16string u = BkText::utf8ToUtf16(text);
    std::vector<TvkTextPiece> pieces;
    bool spaceBefore = false;
    size_t i = 0;
    while (i < u.size()) {
        if (isSpaceUnit(u[i])) {
            spaceBefore = true;
            if (!pieces.empty())
                pieces.back().blankAfter = true;
            ++i;
            continue;
        }
        const bool word = isWordUnit(u[i]);
        size_t end = i + 1;
        while (end < u.size() && !isSpaceUnit(u[end])) {
            const bool w = isWordUnit(u[end]);
            if (word && !w && isApostrophe(u[end]) && end + 1 < u.size() && isLetterOrMarkChar16(u[end + 1])) {
                end += 2;
                continue;
            }
            if (w != word)
                break;
            ++end;
        }
        TvkTextPiece p;
        p.word = word;
        p.blankBefore = spaceBefore;
        if (word)
            capitalise(p, u.substr(i, end - i));
        else
            p.text = BkText::utf16ToUtf8(u.substr(i, end - i));
        pieces.push_back(std::move(p));
        spaceBefore = false;
        i = end;
    }
    return pieces;
}

size_t tvkLeadingWordBytes(const std::string& text)
{
    // The same word characters as tvkCutText's, apostrophes inside a word among them.
    const std::u16string u = BkText::utf8ToUtf16(text);
    size_t end = 0;
    while (end < u.size() && !isSpaceUnit(u[end])) {
        if (!isWordUnit(u[end])) {
            if (end > 0 && isApostrophe(u[end]) && end + 1 < u.size() && isLetterOrMarkChar16(u[end + 1])) {
                end += 2;
                continue;
            }
            break;
        }
        ++end;
    }
    return BkText::utf16ToUtf8(u.substr(0, end)).size();
}

size_t tvkTrailingWordBytes(const std::string& text)
{
    const std::u16string u = BkText::utf8ToUtf16(text);
    size_t start = u.size();
    while (start > 0) {
        const char16_t c = u[start - 1];
        if (isWordUnit(c)) {
            --start;
            continue;
        }
        // An apostrophe between a word and a letter ("Lord's") is inside the word.
        if (isApostrophe(c) && start >= 2 && start < u.size() && isWordUnit(u[start - 2]) &&
            isLetterOrMarkChar16(u[start])) {
            --start;
            continue;
        }
        break;
    }
    return BkText::utf16ToUtf8(u.substr(start)).size();
}

bool tvkHasWord(const std::string& text)
{
    const std::u16string u = BkText::utf8ToUtf16(text);
    return std::any_of(u.begin(), u.end(), isWordUnit);
}

cTvkTokenWriter::cTvkTokenWriter(const std::map<std::string, uint32_t>& wordCounts,
    const std::map<std::string, uint32_t>& punctuationCounts, uint32_t wordEscapeBase)
    : m_words(numbered(wordCounts, m_wordNumber)),
      m_punctuation(numbered(punctuationCounts, m_punctuationNumber)),
      m_wordValues(frequent(wordCounts, m_wordNumber, BkTextFormat::kWordShortMax + 1u)),
      m_punctuationValues(frequent(punctuationCounts, m_punctuationNumber, 15)),
      m_wordEscapeBase(wordEscapeBase)
{
}

uint32_t cTvkTokenWriter::appendWord(Bytes& tokens, const TvkTextPiece& word) const
{
    using namespace BkTextFormat;
    if (word.capital != 0) {
        tokens.push_back(static_cast<uint8_t>(kCapitalFirst | word.capital));
        if (word.capital == kCapitalMask)
            for (int k = 3; k >= 0; --k)
                tokens.push_back(static_cast<uint8_t>(word.mask >> (8 * k)));
    }
    const uint32_t w = m_wordNumber.at(word.text);
    appendWordToken(tokens, w, indexIn(m_wordValues, w), m_wordEscapeBase);
    return w;
}

void cTvkTokenWriter::appendPunctuation(Bytes& tokens, const TvkTextPiece& punctuation) const
{
    const uint32_t n = m_punctuationNumber.at(punctuation.text);
    appendPunctuationToken(tokens, n, indexIn(m_punctuationValues, n), punctuation.blankBefore, punctuation.blankAfter);
}

std::pair<Bytes, Bytes> tvkIndexPair(const std::map<std::string, std::set<uint32_t>>& entries)
{
    std::vector<std::string> words;
    for (const auto& e : entries)
        words.push_back(e.first);
    words = TvkEncode::sortedWords(words);
    std::vector<std::vector<uint32_t>> sections;
    for (const auto& word : words)
        sections.emplace_back(entries.at(word).begin(), entries.at(word).end());
    return {TvkEncode::wordList(words), TvkEncode::concordance(sections)};
}
