#include "tools/tvkbuild/TvkEncode.h"

#include <algorithm>
#include <stdexcept>

#include "engine/bookfile/BkConcordFormat.h"
#include "engine/bookfile/BkInfoFormat.h"
#include "engine/bookfile/BkNodeFormat.h"
#include "engine/bookfile/BkSectionFormat.h"
#include "engine/bookfile/BkStreamFormat.h"
#include "engine/bookfile/BkSyncFormat.h"
#include "engine/bookfile/BkText.h"
#include "engine/bookfile/BkTextFormat.h"
#include "engine/bookfile/BkTocFormat.h"
#include "engine/bookfile/BkWordListFormat.h"
#include "tools/tvkbuild/cTvkContainerWriter.h"

namespace TvkEncode {

namespace {

void put(Bytes& b, size_t at, uint32_t v, unsigned width)
{
    bkPutLE(&b[at], v, width);
}

void append(Bytes& b, uint32_t v, unsigned width)
{
    const size_t at = b.size();
    b.resize(at + width);
    bkPutLE(&b[at], v, width);
}

void appendBE(Bytes& b, uint32_t v, unsigned width)
{
    for (unsigned i = width; i-- > 0;)
        b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

uint32_t position(const Bytes& b)
{
    if (b.size() > 0xFFFFFFFFu)
        throw std::length_error("a stream holds at most 4 GiB");
    return static_cast<uint32_t>(b.size());
}

// Appends a NUL-terminated string and returns its position, or 0 for an empty one.
uint32_t appendString(Bytes& b, const std::string& s)
{
    if (s.empty())
        return 0;
    if (s.find('\0') != std::string::npos)
        throw std::invalid_argument("a stored string cannot hold a NUL byte");
    const uint32_t at = position(b);
    b.insert(b.end(), s.begin(), s.end());
    b.push_back(0);
    return at;
}

// Bit writer, most significant bit first.
struct BitWriter {
    Bytes bytes;
    int used = 8;
    void bit(uint32_t v)
    {
        if (used == 8) {
            bytes.push_back(0);
            used = 0;
        }
        if (v)
            bytes.back() |= static_cast<uint8_t>(0x80 >> used);
        ++used;
    }
    void bits(uint32_t v, uint32_t count)
    {
        for (uint32_t i = count; i-- > 0;)
            bit((v >> i) & 1u);
    }
};

}  // namespace

uint8_t widthFor(uint32_t v)
{
    return v < 0x100 ? 1 : v < 0x10000 ? 2 : v < 0x1000000 ? 3 : 4;
}

TieredIndex appendTieredIndex(Bytes& stream, const std::vector<uint32_t>& values)
{
    TieredIndex index;
    uint32_t tier = 0;
    std::vector<uint32_t> tierOf(values.size());
    for (size_t i = 0; i < values.size(); ++i) {
        tier = std::max<uint32_t>(tier, widthFor(values[i]) - 1u);
        tierOf[i] = tier;
        ++index.counts[tier];
    }
    size_t i = 0;
    for (uint32_t k = 0; k < 4; ++k) {
        index.bases[k] = position(stream);
        for (uint32_t n = 0; n < index.counts[k]; ++n, ++i)
            append(stream, values[i], k + 1);
    }
    return index;
}

void putTieredIndex(uint8_t* fields, const TieredIndex& index)
{
    for (int k = 0; k < 4; ++k) {
        bkPutLE(fields + 4 * k, index.bases[k], 4);
        bkPutLE(fields + 16 + 4 * k, index.counts[k], 4);
    }
}

Bytes info(const InfoFields& f)
{
    using namespace BkInfoFormat;
    Bytes b(kHeaderSize, 0);
    b[kMinReaderMajor] = f.minReaderMajor;
    b[kMinReaderMinor] = f.minReaderMinor;
    b[kFileMajor] = f.fileMajor;
    b[kFileMinor] = f.fileMinor;
    const std::string* mainStrings[] = {&f.abbreviatedTitle, &f.bookName, &f.copyright, &f.author, &f.publisher,
        &f.publisherCity, &f.publisherDate, &f.bookRanges};
    for (int i = 0; i < 8; ++i)
        put(b, kAbbreviatedTitle + 4u * i, appendString(b, *mainStrings[i]), 4);
    put(b, kSortTitle, appendString(b, f.sortTitle), 4);
    put(b, kSubtitle, appendString(b, f.subtitle), 4);
    put(b, kBibleBooks, appendString(b, f.bibleBooks), 4);
    put(b, kWordAttributeDefs, appendString(b, f.wordAttributeDefs), 4);
    put(b, kStrongsHebrew1, f.strongsHebrew[0], 2);
    put(b, kStrongsHebrew2, f.strongsHebrew[1], 2);
    put(b, kStrongsGreek1, f.strongsGreek[0], 2);
    put(b, kStrongsGreek2, f.strongsGreek[1], 2);
    put(b, kPublisherId, f.publisherId, 2);
    put(b, kBookId, f.bookId, 2);
    b[kEdition] = f.edition;
    b[kByte51] = f.byte51;
    b[kRevision] = f.revision;
    put(b, kLanguage, f.language, 2);
    const uint32_t versionAt[12] = {kBookNameListVersion, kBookNumToNameNumVersion, kTransListVersion,
        kBibleBooksVersion, kNameNumberToBookCategoriesVersion, kVerseMapVersion, kTotalOrderOnBookNumberVersion,
        kFixUpRefMapVersion, kGetKeyMapVersion, kDoMapSpecialCasesMapVersion, kGetChapterNumberSpellingMapVersion,
        kIsOneChapterBookListVersion};
    for (int i = 0; i < 12; ++i)
        put(b, versionAt[i], f.tableVersions[i], 4);
    const bool oldLayout =
        (f.fileMajor == 0 || (f.fileMajor == 1 && f.fileMinor <= 35)) && (f.fileMinor < 13 || f.fileMinor == 20);
    if (oldLayout) {
        b[kFlags] = f.flags;
    } else {
        b[kFlags] = kNewLayoutMarker;
        b[kLayoutMarker] = f.flags;
    }
    if (f.writeChecksum && hasChecksumTest(f.fileMajor, f.fileMinor)) {
        const std::string strings[7] = {
            f.abbreviatedTitle, f.bookName, f.copyright, f.author, f.publisher, f.publisherCity, f.publisherDate};
        const uint32_t sum = checksumSum(b.data(), strings, f.bookRanges);
        put(b, kChecksum, appendString(b, scrambleChecksum(sum)), 4);
    }
    return b;
}

Bytes sections(const std::vector<std::pair<uint32_t, uint32_t>>& records, uint8_t a, uint8_t w)
{
    using namespace BkSectionFormat;
    uint32_t maxBlock = 0, maxOffset = 0;
    for (const auto& r : records) {
        maxBlock = std::max(maxBlock, r.first);
        maxOffset = std::max(maxOffset, r.second);
    }
    if (a == 0)
        a = widthFor(maxBlock);
    if (w == 0)
        w = widthFor(maxOffset);
    Bytes b(kHeaderSize, 0);
    put(b, kCount, static_cast<uint32_t>(records.size()), 4);
    put(b, kRecord0, kHeaderSize, 4);
    b[kBlockWidth] = a;
    b[kOffsetWidth] = w;
    for (const auto& r : records) {
        append(b, r.first, a);
        append(b, r.second, w);
    }
    return b;
}

Bytes text(const Bytes& tokens)
{
    Bytes b(BkTextFormat::kHeaderSize + tokens.size(), 0);
    std::copy(tokens.begin(), tokens.end(), b.begin() + BkTextFormat::kHeaderSize);
    put(b, 0, position(b), 4);
    return b;
}

Bytes page()
{
    Bytes b(BkPageFormat::kHeaderSize, 0);
    for (int i = 0; i < 4; ++i)
        put(b, 4u * i, BkPageFormat::kDefaultField, 4);
    return b;
}

Bytes toc(const std::vector<TocEntry>& entries, uint8_t w, uint8_t x, uint8_t y)
{
    using namespace BkTocFormat;
    const uint32_t E = static_cast<uint32_t>(entries.size());
    std::vector<uint32_t> next(E, BkResult::kNone), previous(E, BkResult::kNone), parent(E, BkResult::kNone);
    std::vector<uint32_t> lastAtLevel;  // per level: the latest entry of the current parent
    for (uint32_t i = 0; i < E; ++i) {
        const uint32_t level = entries[i].level;
        if (i == 0 ? level != 0 : (level < 1 || level > entries[i - 1].level + 1u))
            throw std::invalid_argument("contents levels must start at 0 and rise by at most one");
        lastAtLevel.resize(level + 1, BkResult::kNone);
        if (level > 0) {
            parent[i] = lastAtLevel[level - 1];
            const uint32_t prev = lastAtLevel[level];
            if (prev != BkResult::kNone && parent[prev] == parent[i]) {
                previous[i] = prev;
                next[prev] = i;
            }
        }
        lastAtLevel[level] = i;
        lastAtLevel.resize(level + 1);
    }
    if (w == 0)
        w = E < 0xFF ? 1 : E < 0xFFFF ? 2 : E < 0xFFFFFF ? 3 : 4;
    auto link = [w](uint32_t v) { return v == BkResult::kNone ? bkAllOnes(w) : v; };
    Bytes b(kHeaderSize, 0);
    put(b, kCount, E, 4);
    b[kWidthX] = x;
    b[kWidthY] = y;
    b[kLinkWidth] = w;
    b[kUnused2] = 1;
    std::vector<uint32_t> at(E);
    for (uint32_t i = 0; i < E; ++i) {
        at[i] = position(b);
        append(b, link(next[i]), w);
        append(b, link(previous[i]), w);
        append(b, link(parent[i]), w);
        b.resize(b.size() + x + y, 0);
        b.push_back(entries[i].level);
        b.insert(b.end(), entries[i].title.begin(), entries[i].title.end());
        b.push_back(0);
    }
    {
        // The index is appended first: appending may move the buffer the header field lies in.
        const auto index = appendTieredIndex(b, at);
        putTieredIndex(&b[kIndex], index);
    }
    return b;
}

std::u16string wordSortKey(const std::string& word)
{
    if (!word.empty() && static_cast<uint8_t>(word[0]) == BkWordListFormat::kMarkedWordByte)
        return std::u16string(1, BkWordListFormat::kMarkedWord16) + BkText::utf8ToUtf16(word.substr(1));
    return BkText::utf8ToUtf16(word);
}

std::vector<std::string> sortedWords(std::vector<std::string> words)
{
    std::sort(words.begin(), words.end(), [](const std::string& a, const std::string& b) {
        int c = BkText::compareIgnoringCase(wordSortKey(a), wordSortKey(b));
        return c != 0 ? c < 0 : a < b;
    });
    words.erase(std::unique(words.begin(), words.end()), words.end());
    return words;
}

Bytes wordList(const std::vector<std::string>& words, uint8_t G, const std::vector<uint32_t>& values, uint8_t vw)
{
    using namespace BkWordListFormat;
    if (G == 0 && !words.empty())
        throw std::invalid_argument("a word list needs a group size of at least 1");
    Bytes b(kHeaderSize, 0);
    put(b, kWordCount, static_cast<uint32_t>(words.size()), 4);
    b[kUnused] = 1;
    b[kGroupSize] = G;
    b[kEncoding] = kReadableEncoding;
    std::vector<uint32_t> groupAt;
    for (size_t i = 0; i < words.size(); ++i) {
        const std::string& word = words[i];
        if (word.empty() || word.find('\0') != std::string::npos)
            throw std::invalid_argument("words are not empty and hold no NUL byte");
        if (i % G == 0) {
            if (word.size() > 255)
                throw std::invalid_argument("a group's first word holds at most 255 bytes");
            groupAt.push_back(position(b));
            b.push_back(static_cast<uint8_t>(word.size()));
            b.insert(b.end(), word.begin(), word.end());
            continue;
        }
        const std::string& first = words[i - i % G];
        size_t shared = 0;
        while (shared < first.size() && shared < word.size() && shared < kMaxCodedPart && first[shared] == word[shared])
            ++shared;
        const size_t rest = word.size() - shared;
        if (rest <= kMaxCodedPart && (shared | rest) != 0) {
            b.push_back(static_cast<uint8_t>((shared << 4) | rest));
            b.insert(b.end(), word.begin() + static_cast<std::ptrdiff_t>(shared), word.end());
        } else {
            b.push_back(0);
            b.insert(b.end(), word.begin(), word.end());
            b.push_back(0);
        }
    }
    {
        // The index is appended first: appending may move the buffer the header field lies in.
        const auto index = appendTieredIndex(b, groupAt);
        putTieredIndex(&b[kIndex], index);
    }
    if (!values.empty()) {
        uint32_t maxValue = 0;
        for (uint32_t v : values)
            maxValue = std::max(maxValue, v);
        if (vw == 0)
            vw = widthFor(maxValue);
        b[kValueWidth] = vw;
        put(b, kValueCount, static_cast<uint32_t>(values.size()), 4);
        put(b, kValueTable, position(b), 4);
        for (uint32_t v : values)
            append(b, v, vw);
    } else {
        b[kValueWidth] = vw == 0 ? kDefaultValueWidth : vw;
    }
    return b;
}

Bytes golombBits(const std::vector<uint32_t>& s)
{
    BitWriter out;
    if (s.size() < 3)
        return out.bytes;
    const uint32_t c = static_cast<uint32_t>(s.size());
    const uint32_t span = s.back() - s.front() + 1;
    const BkConcordFormat::GolombParameters p = BkConcordFormat::golombParameters(c, span);
    for (size_t i = 1; i + 1 < s.size(); ++i) {
        const uint32_t gap = s[i] - s[i - 1];
        const uint32_t value = gap - 1;
        const uint32_t q = value / p.b, r = value % p.b;
        for (uint32_t n = 0; n < q; ++n)
            out.bit(1);
        out.bit(0);
        if (p.b < 2)
            continue;
        if (r < p.t)
            out.bits(r, p.k - 1);
        else
            out.bits(r + p.t, p.k);
    }
    return out.bytes;
}

Bytes concordance(const std::vector<std::vector<uint32_t>>& sections, bool compressed, uint8_t sw, uint8_t cw)
{
    using namespace BkConcordFormat;
    uint32_t maxSection = 0, maxCount = 0;
    for (const auto& list : sections) {
        for (size_t i = 0; i < list.size(); ++i) {
            if (i > 0 && list[i] <= list[i - 1])
                throw std::invalid_argument("concordance sections ascend without repeats");
            maxSection = std::max(maxSection, list[i]);
        }
        maxCount = std::max<uint32_t>(maxCount, static_cast<uint32_t>(list.size()));
        if (!list.empty())
            maxCount = std::max(maxCount, list.back() - list.front() + 1);
    }
    if (sw == 0)
        sw = widthFor(maxSection);
    if (cw == 0)
        cw = widthFor(maxCount);
    Bytes b(kHeaderSize, 0);
    put(b, kEntryCount, static_cast<uint32_t>(sections.size()), 4);
    b[kCompressed] = compressed ? 1 : 0;
    b[kSectionWidth] = sw;
    b[kCountWidth] = cw;
    std::vector<uint32_t> at;
    for (const auto& list : sections) {
        at.push_back(position(b));
        const uint32_t c = static_cast<uint32_t>(list.size());
        append(b, c, cw);
        if (c < 3 || !compressed) {
            for (uint32_t s : list)
                append(b, s, sw);
            continue;
        }
        append(b, list.back() - list.front() + 1, cw);
        append(b, list.front(), sw);
        Bytes bits = golombBits(list);
        b.insert(b.end(), bits.begin(), bits.end());
    }
    {
        // The index is appended first: appending may move the buffer the header field lies in.
        const auto index = appendTieredIndex(b, at);
        putTieredIndex(&b[kIndex], index);
    }
    return b;
}

bool followsInBibleOrder(const std::vector<std::pair<uint32_t, uint32_t>>& records, uint32_t key)
{
    const uint32_t last = records.empty() ? 0 : records.back().first;
    if ((key >> 16) == (last >> 16))
        return key > last;
    // Another book: one that has not come before (a group's records must stay together).
    for (const auto& r : records)
        if (r.first != 0 && (r.first >> 16) == (key >> 16))
            return false;
    return true;
}

Bytes verseSync(const std::vector<std::pair<uint32_t, uint32_t>>& records, uint8_t K, uint8_t V, bool oldHeader)
{
    using namespace BkSyncFormat;
    const uint32_t headerSize = oldHeader ? kOldHeaderSize : kHeaderSize;
    if (oldHeader)
        V = 0;
    Bytes b(headerSize, 0);
    put(b, kRecordCount, static_cast<uint32_t>(records.size()), 4);
    put(b, kRecord0, headerSize, 4);
    b[kKeyWidth] = K;
    b[kUnused] = 1;
    if (!oldHeader)
        b[kValueWidth] = V;
    for (const auto& r : records) {
        append(b, r.first, K);
        append(b, r.second, V);
    }
    uint32_t firstGroup = 0xFFFFFFFFu, lastGroup = 0;
    for (size_t i = 1; i < records.size(); ++i) {
        if (i > 1 && records[i].first < records[i - 1].first &&
            !followsInBibleOrder({records.begin(), records.begin() + static_cast<std::ptrdiff_t>(i)}, records[i].first))
            throw std::invalid_argument("verse-sync keys ascend");
        const uint32_t g = groupOf(records[i].first, K);
        firstGroup = std::min(firstGroup, g);
        lastGroup = std::max(lastGroup, g);
    }
    if (records.size() > 1) {
        std::vector<uint32_t> firstRecord(lastGroup - firstGroup + 1, 0);
        for (size_t i = records.size(); i-- > 1;)
            firstRecord[groupOf(records[i].first, K) - firstGroup] = static_cast<uint32_t>(i);
        TieredIndex index = appendTieredIndex(b, firstRecord);
        putTieredIndex(&b[kIndex], index);
        put(b, kGroupCount, static_cast<uint32_t>(firstRecord.size()), 4);
        put(b, kFirstGroup, firstGroup, 4);
    }
    return b;
}

Bytes dateSync(const std::vector<uint32_t>& readingSections, uint8_t month, uint8_t day, uint8_t third)
{
    using namespace BkSyncFormat;
    Bytes b(kDateHeaderSize, 0);
    {
        // The index is appended first: appending may move the buffer the header field lies in.
        const auto index = appendTieredIndex(b, readingSections);
        putTieredIndex(&b[kDateIndex], index);
    }
    put(b, kDateCount, static_cast<uint32_t>(readingSections.size()), 4);
    b[kDateMonth] = month;
    b[kDateDay] = day;
    b[kDateThird] = third;
    return b;
}

NodeAttribute NodeAttribute::withCode(uint32_t code, uint32_t valueCode)
{
    NodeAttribute a;
    a.code = code;
    a.valueCode = valueCode;
    return a;
}
NodeAttribute NodeAttribute::withNumber(uint32_t code, int32_t number)
{
    NodeAttribute a;
    a.code = code;
    a.value = Value::Number;
    a.number = number;
    return a;
}
NodeAttribute NodeAttribute::withText(uint32_t code, const std::string& text)
{
    NodeAttribute a;
    a.code = code;
    a.value = Value::Text;
    a.text = text;
    return a;
}
NodeAttribute NodeAttribute::textAt(uint32_t position)
{
    NodeAttribute a;
    a.code = BkNodeFormat::kLongValue;
    a.value = Value::Long;
    a.longValue = position;
    return a;
}
NodeAttribute NodeAttribute::namedText(const std::string& name, const std::string& text)
{
    NodeAttribute a;
    a.named = true;
    a.name = name;
    a.value = Value::Text;
    a.text = text;
    return a;
}

namespace {

struct NodeWriter {
    Bytes& out;
    Bytes strings;
    unsigned L, S;

    uint32_t stringOffset(const std::string& s)
    {
        if (s.find('\0') != std::string::npos)
            throw std::invalid_argument("a stored string cannot hold a NUL byte");
        const uint32_t at = static_cast<uint32_t>(strings.size());
        if (S < 4 && at >= (1u << (8 * S)))
            throw std::invalid_argument("string offsets exceed their width");
        strings.insert(strings.end(), s.begin(), s.end());
        strings.push_back(0);
        return at;
    }

    void attribute(const NodeAttribute& a, bool more, bool first, bool noChildren)
    {
        using namespace BkNodeFormat;
        const uint32_t c = a.named ? kNamedAttribute : a.code;
        if (!a.named && (c == 0 || c > 127))
            throw std::invalid_argument("attribute codes run from 1 to 127");
        uint32_t v;
        if (c == kLongValue) {
            if (a.value != NodeAttribute::Value::Long || (L < 4 && a.longValue >= (1u << (7 + 8 * (L - 1)))))
                throw std::invalid_argument("attribute 112 holds a long value that fits its width");
            v = a.longValue >> (8 * (L - 1));
        } else if (a.value == NodeAttribute::Value::Number) {
            v = kNumberValue;
        } else if (a.value == NodeAttribute::Value::Text) {
            v = kStringValue;
        } else {
            if (a.valueCode == 0 || a.valueCode >= kNumberValue)
                throw std::invalid_argument("value codes run from 1 to 126");
            v = a.valueCode;
        }
        uint8_t a0 = static_cast<uint8_t>((more ? kMoreAttributes : 0) | ((c >> 1) & 0x3F));
        if (first && noChildren)
            a0 |= kNoChildren;
        out.push_back(a0);
        out.push_back(static_cast<uint8_t>(((c & 1) << 7) | (v & 0x7F)));
        if (c == kLongValue) {
            appendBE(out, a.longValue, L - 1);
            return;
        }
        if (a.named)
            appendBE(out, stringOffset(a.name), S);
        if (a.value == NodeAttribute::Value::Number) {
            if (a.number < -0x800000 || a.number > 0x7FFFFF)
                throw std::invalid_argument("numbers are signed 24-bit");
            appendBE(out, static_cast<uint32_t>(a.number) & 0xFFFFFF, 3);
        } else if (a.value == NodeAttribute::Value::Text) {
            appendBE(out, stringOffset(a.text), S);
        }
    }

    // Writes the record and returns where its children-list position goes (0 when it has none).
    size_t record(const Node& n)
    {
        using namespace BkNodeFormat;
        if (n.tag > kTagMask)
            throw std::invalid_argument("tag codes run from 0 to 127");
        const bool children = !n.children.empty();
        if (!children && n.attributes.empty()) {
            out.push_back(n.tag);
            return 0;
        }
        out.push_back(static_cast<uint8_t>(kExtended | n.tag));
        size_t patch = 0;
        if (children) {
            patch = out.size();
            out.push_back(n.attributes.empty() ? 0 : kHasAttributes);
            out.push_back(0);
            out.push_back(0);
            out.push_back(0);
        }
        for (size_t i = 0; i < n.attributes.size(); ++i)
            attribute(n.attributes[i], i + 1 < n.attributes.size(), i == 0, !children);
        return patch;
    }

    void children(const Node& n, size_t patch)
    {
        const uint32_t at = position(out);
        if (at > BkNodeFormat::kMaxChildrenPosition)
            throw std::length_error("children lists lie below 1 GiB");
        out[patch] = static_cast<uint8_t>((out[patch] & 0xC0) | (at >> 24));
        out[patch + 1] = static_cast<uint8_t>(at >> 16);
        out[patch + 2] = static_cast<uint8_t>(at >> 8);
        out[patch + 3] = static_cast<uint8_t>(at);
        const size_t count = n.children.size();
        if (count > 0xFFFF)
            throw std::invalid_argument("at most 65535 children");
        if (count < BkNodeFormat::kWideCount) {
            out.push_back(static_cast<uint8_t>(count));
        } else {
            out.push_back(BkNodeFormat::kWideCount);
            append(out, static_cast<uint32_t>(count), 2);
        }
        std::vector<size_t> patches;
        for (const Node& child : n.children)
            patches.push_back(record(child));
        for (size_t i = 0; i < count; ++i)
            if (patches[i] != 0)
                children(n.children[i], patches[i]);
    }
};

}  // namespace

Bytes nodes(const std::vector<Node>& blocks, uint8_t longWidth, uint8_t stringWidth)
{
    using namespace BkNodeFormat;
    if (longWidth < 1 || longWidth > 4 || stringWidth < 1 || stringWidth > 4)
        throw std::invalid_argument("widths run from 1 to 4");
    Bytes b(kHeaderSize, 0);
    put(b, kBlockCount, static_cast<uint32_t>(blocks.size()), 4);
    b[kUnused] = 1;
    b[kLongWidth] = longWidth;
    b[kStringWidth] = stringWidth;
    NodeWriter w {b, {}, longWidth, stringWidth};
    std::vector<uint32_t> at;
    for (const Node& block : blocks) {
        at.push_back(position(b));
        size_t patch = w.record(block);
        if (patch != 0)
            w.children(block, patch);
    }
    put(b, kStringBase, position(b), 4);
    b.insert(b.end(), w.strings.begin(), w.strings.end());
    {
        // The index is appended first: appending may move the buffer the header field lies in.
        const auto index = appendTieredIndex(b, at);
        putTieredIndex(&b[kIndex], index);
    }
    return b;
}

Bytes embeddedFiles(const std::vector<std::pair<std::string, Bytes>>& files)
{
    cTvkContainerWriter w;
    uint32_t id = 1;
    for (const auto& f : files)
        w.addStream(id++, f.second, f.first);
    return w.build();
}

}  // namespace TvkEncode
