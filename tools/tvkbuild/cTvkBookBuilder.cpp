#include "tools/tvkbuild/cTvkBookBuilder.h"

#include <algorithm>
#include <stdexcept>

#include "engine/bookfile/BkInfoFormat.h"
#include "engine/bookfile/BkNodeFormat.h"
#include "engine/bookfile/BkStreamFormat.h"
#include "engine/bookfile/BkSyncFormat.h"
#include "engine/bookfile/BkText.h"
#include "engine/bookfile/BkTextFormat.h"
#include "engine/foundation/CharacterClasses.h"
#include "tools/tvkbuild/cTvkContainerWriter.h"

using TvkEncode::Bytes;

namespace {

// Element, attribute and value codes of the display markup that the compiler writes.
constexpr uint8_t kTagP = 46;
constexpr uint8_t kTagText = 75;
constexpr uint32_t kAttrType = 111;
constexpr uint32_t kValueVerse = 116;

bool isWordChar(uint32_t c)
{
    if (c == 0x200B)
        return false;
    if (c >= 0x80)
        return true;
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isSpace(uint32_t c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// Decodes one UTF-8 character at s[i]; returns its length.
size_t nextChar(const std::string& s, size_t i, uint32_t& c)
{
    std::u16string one;
    uint8_t b = static_cast<uint8_t>(s[i]);
    size_t n = b >= 0xF0 && b < 0xF8 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
    if (i + n > s.size())
        n = 1;
    std::u16string u = BkText::utf8ToUtf16(s.substr(i, n));
    if (u.size() == 1 || (u.size() == 2 && u[0] >= 0xD800 && u[0] < 0xDC00)) {
        c = u.size() == 1 ? u[0] : 0x10000 + ((u[0] - 0xD800) << 10) + (u[1] - 0xDC00);
        return n;
    }
    c = b;
    return 1;
}

// Lower-cases a word and finds the capitalisation code that restores it.
void capitalise(cTvkBookBuilder::Piece& p, const std::string& original)
{
    const std::u16string orig = BkText::utf8ToUtf16(original);
    std::u16string lower = orig;
    for (auto& c : lower)
        c = toLowerChar16(c);
    p.text = original;
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
        std::string one = BkText::utf16ToUtf8(lower.substr(i, 1));
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

void addPair(cTvkContainerWriter& w, const std::set<std::string>& omitted, uint32_t& nextNamedId,
    const std::string& wordsName, const std::string& concName, bool named,
    const std::map<std::string, std::set<uint32_t>>& entries)
{
    std::vector<std::string> words;
    for (const auto& e : entries)
        words.push_back(e.first);
    words = TvkEncode::sortedWords(words);
    std::vector<std::vector<uint32_t>> sections;
    for (const auto& word : words)
        sections.emplace_back(entries.at(word).begin(), entries.at(word).end());
    if (named) {
        w.addStream(nextNamedId++, TvkEncode::wordList(words), wordsName);
        w.addStream(nextNamedId++, TvkEncode::concordance(sections), concName);
        return;
    }
    if (!omitted.count(wordsName))
        w.addStream(bkTag(wordsName.c_str()), TvkEncode::wordList(words));
    if (!omitted.count(concName))
        w.addStream(bkTag(concName.c_str()), TvkEncode::concordance(sections));
}

}  // namespace

cTvkBookBuilder::cTvkBookBuilder()
{
    info.fileMajor = BkInfoFormat::kCurrentFileMajor;
    info.fileMinor = BkInfoFormat::kCurrentFileMinor;
}

uint32_t cTvkBookBuilder::addSection(const Section& section)
{
    m_sections.push_back(section);
    return static_cast<uint32_t>(m_sections.size());
}

void cTvkBookBuilder::setReadings(const std::vector<uint32_t>& sections, uint8_t month, uint8_t day)
{
    m_readings = sections;
    m_month = month;
    m_day = day;
}

void cTvkBookBuilder::addLookupWord(const std::string& word, uint32_t section)
{
    m_lookupWords[word].insert(section);
}

void cTvkBookBuilder::addVerseLookup(uint32_t key, uint32_t section, uint32_t endKey)
{
    std::string text = BkSyncFormat::verseKeyText(key);
    if (endKey != 0)
        text += BkSyncFormat::verseKeyText(endKey);
    m_verseLookup[text].insert(section);
}

void cTvkBookBuilder::addIndexPair(const std::string& words, const std::string& concordance,
    const std::map<std::string, std::set<uint32_t>>& entries, bool named)
{
    m_pairs.push_back({words, concordance, named, entries});
}

void cTvkBookBuilder::addImage(const std::string& name, const std::vector<uint8_t>& bytes)
{
    m_images.emplace_back(name, bytes);
}

void cTvkBookBuilder::addBibleRefFile(const std::string& name, const std::vector<uint8_t>& bytes)
{
    m_bibleRef.emplace_back(name, bytes);
}

void cTvkBookBuilder::omitStream(const std::string& tag)
{
    m_omitted.insert(tag);
}

void cTvkBookBuilder::replaceStream(const std::string& tag, const std::vector<uint8_t>& bytes)
{
    m_replaced[tag] = bytes;
}

std::vector<cTvkBookBuilder::Piece> cTvkBookBuilder::cutText(const std::string& text)
{
    std::vector<Piece> pieces;
    size_t i = 0;
    bool spaceBefore = false;
    while (i < text.size()) {
        uint32_t c;
        size_t n = nextChar(text, i, c);
        if (isSpace(c)) {
            spaceBefore = true;
            if (!pieces.empty())
                pieces.back().blankAfter = true;
            i += n;
            continue;
        }
        const bool word = isWordChar(c);
        size_t end = i;
        while (end < text.size()) {
            uint32_t d;
            size_t m = nextChar(text, end, d);
            if (isSpace(d) || isWordChar(d) != word)
                break;
            end += m;
        }
        Piece p {word ? Piece::Word : Piece::Punctuation, text.substr(i, end - i), 0, 0, spaceBefore, false, false};
        if (word)
            capitalise(p, text.substr(i, end - i));
        pieces.push_back(p);
        spaceBefore = false;
        i = end;
    }
    return pieces;
}

std::vector<uint8_t> cTvkBookBuilder::build() const
{
    using namespace BkTextFormat;
    const bool bible = kind == Kind::Bible;
    TvkEncode::InfoFields fields = info;
    fields.flags = static_cast<uint8_t>((fields.flags & ~(BkInfoFormat::kFlagBible | BkInfoFormat::kBookTypeMask)) |
        (bible ? BkInfoFormat::kFlagBible : 0) |
        (kind == Kind::Dated ? BkInfoFormat::kBookTypeDated << BkInfoFormat::kBookTypeShift : 0));
    if (fields.bookName.empty())
        fields.bookName = fields.abbreviatedTitle.empty() ? "Untitled" : fields.abbreviatedTitle;
    if (fields.abbreviatedTitle.empty())
        fields.abbreviatedTitle = fields.bookName;

    // Cut every section's text; section 0 is the root and has none.
    std::vector<std::vector<Piece>> cut(1);
    std::map<std::string, uint32_t> wordCounts, punctCounts;
    for (const Section& s : m_sections) {
        cut.push_back(cutText(s.text));
        for (const Piece& p : cut.back())
            ++(p.type == Piece::Word ? wordCounts : punctCounts)[p.text];
    }
    std::vector<std::string> words, punct;
    for (const auto& e : wordCounts)
        words.push_back(e.first);
    for (const auto& e : punctCounts)
        punct.push_back(e.first);
    words = TvkEncode::sortedWords(words);
    punct = TvkEncode::sortedWords(punct);
    std::map<std::string, uint32_t> wordNumber, punctNumber;
    for (uint32_t i = 0; i < words.size(); ++i)
        wordNumber[words[i]] = i;
    for (uint32_t i = 0; i < punct.size(); ++i)
        punctNumber[punct[i]] = i;
    const std::vector<uint32_t> wordValues = frequent(wordCounts, wordNumber, kWordShortMax + 1u);
    const std::vector<uint32_t> punctValues = frequent(punctCounts, punctNumber, 15);
    auto shortIndex = [](const std::vector<uint32_t>& values, uint32_t n) {
        auto it = std::find(values.begin(), values.end(), n);
        return it == values.end() ? -1 : static_cast<int>(it - values.begin());
    };
    const uint32_t escapeBase =
        (fields.fileMajor != 0 && fields.fileMinor <= 20) ? kWordEscapeBaseOld : kWordEscapeBase;

    Bytes tokens;
    std::vector<std::pair<uint32_t, uint32_t>> sectionStarts;
    std::vector<std::vector<uint32_t>> wordSections(words.size());
    for (uint32_t s = 0; s < cut.size(); ++s) {
        const uint32_t offset = static_cast<uint32_t>(kHeaderSize + tokens.size());
        sectionStarts.emplace_back(s, offset);
        for (const Piece& p : cut[s]) {
            if (p.type == Piece::Word) {
                if (p.capital != 0) {
                    tokens.push_back(static_cast<uint8_t>(kCapitalFirst | p.capital));
                    if (p.capital == kCapitalMask)
                        for (int k = 3; k >= 0; --k)
                            tokens.push_back(static_cast<uint8_t>(p.mask >> (8 * k)));
                }
                const uint32_t w = wordNumber.at(p.text);
                appendWordToken(tokens, w, shortIndex(wordValues, w), escapeBase);
                if (wordSections[w].empty() || wordSections[w].back() != s)
                    wordSections[w].push_back(s);
            } else {
                const uint32_t n = punctNumber.at(p.text);
                appendPunctuationToken(tokens, n, shortIndex(punctValues, n), p.blankBefore, p.blankAfter);
            }
        }
        tokens.push_back(kEndOfSection);
    }

    std::vector<TvkEncode::TocEntry> toc {{0, fields.bookName}};
    std::vector<std::pair<uint32_t, uint32_t>> sync {{0, 0}};
    std::vector<TvkEncode::Node> blocks;
    for (uint32_t s = 0; s < cut.size(); ++s) {
        TvkEncode::Node p {kTagP, {}, {}};
        if (s > 0) {
            const Section& sec = m_sections[s - 1];
            toc.push_back({sec.level, sec.title});
            if (bible) {
                if (sec.verseKey <= sync.back().first && s > 1)
                    throw std::invalid_argument("Bible sections must ascend by verse key");
                sync.emplace_back(sec.verseKey, s);
                if ((sec.verseKey & 0xFF) != 0) {
                    TvkEncode::Node marker {BkNodeFormat::kSyncTag, {}, {}};
                    marker.attributes.push_back(TvkEncode::NodeAttribute::withCode(kAttrType, kValueVerse));
                    marker.attributes.push_back(TvkEncode::NodeAttribute::withNumber(BkNodeFormat::kSyncValueAttribute,
                        static_cast<int32_t>(sec.verseKey & 0x7FFFFF) | ((sec.verseKey & 0x800000) ? -0x800000 : 0)));
                    p.children.push_back(marker);
                }
            }
        }
        TvkEncode::Node textNode {kTagText, {TvkEncode::NodeAttribute::textAt(sectionStarts[s].second)}, {}};
        p.children.push_back(textNode);
        blocks.push_back(p);
    }

    cTvkContainerWriter w;
    std::map<std::string, Bytes> streams;
    streams["INFO"] = TvkEncode::info(fields);
    streams["SECT"] = TvkEncode::sections(sectionStarts);
    streams["PAGE"] = TvkEncode::page();
    streams["TEXT"] = TvkEncode::text(tokens);
    streams["TOFC"] = TvkEncode::toc(toc);
    const bool oldSync = fields.fileMajor < 2 && fields.fileMinor < BkSyncFormat::kNewHeaderMinor;
    streams["SYNC"] = TvkEncode::verseSync(sync, 3, 4, oldSync);
    streams["WRDS"] = TvkEncode::wordList(words, 16, wordValues);
    streams["CONC"] = TvkEncode::concordance(wordSections);
    streams["PUNC"] = TvkEncode::wordList(punct, 16, punctValues);
    streams["NODE"] = TvkEncode::nodes(blocks);
    if (kind == Kind::Dated || !m_readings.empty())
        streams["DATE"] = TvkEncode::dateSync(m_readings, m_month, m_day);
    for (const char* tag : {"INFO", "SECT", "PAGE", "TEXT", "TOFC", "SYNC", "WRDS", "CONC", "PUNC", "NODE", "DATE"}) {
        auto it = m_replaced.find(tag);
        if (m_omitted.count(tag))
            continue;
        if (it != m_replaced.end())
            w.addStream(bkTag(tag), it->second);
        else if (streams.count(tag))
            w.addStream(bkTag(tag), streams[tag]);
    }
    uint32_t nextNamedId = 0x7F000001u;
    if (!m_lookupWords.empty())
        addPair(w, m_omitted, nextNamedId, "WSYN", "WSCN", false, m_lookupWords);
    if (!m_verseLookup.empty())
        addPair(w, m_omitted, nextNamedId, "VSYN", "VSCN", false, m_verseLookup);
    for (const Pair& pair : m_pairs)
        addPair(w, m_omitted, nextNamedId, pair.words, pair.concordance, pair.named, pair.entries);
    for (const auto& [tag, bytes] : m_replaced)
        if (!w.hasStream(bkTag(tag.c_str())) && tag.size() <= 4)
            w.addStream(bkTag(tag.c_str()), bytes);
    if (!m_images.empty())
        w.addStream(nextNamedId++, TvkEncode::embeddedFiles(m_images), "IMAGES");
    if (!m_bibleRef.empty())
        w.addStream(nextNamedId++, TvkEncode::embeddedFiles(m_bibleRef), "BIBLEREF");
    return w.build();
}

bool cTvkBookBuilder::writeFile(const std::string& path, std::string* error) const
{
    try {
        if (tvkWriteFile(path, build()))
            return true;
        if (error != nullptr)
            *error = "cannot write " + path;
    } catch (const std::exception& e) {
        if (error != nullptr)
            *error = e.what();
    }
    return false;
}
