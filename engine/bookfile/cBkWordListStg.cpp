#include "engine/bookfile/cBkWordListStg.h"

#include <algorithm>
#include <mutex>

#include "engine/bookfile/BkText.h"
#include "search/core/WildcardPattern.h"

using namespace BkWordListFormat;

namespace {
std::mutex g_wordMutex8;
std::mutex g_wordMutex16;

constexpr char16_t kWildcards[] = u"?*_[";

size_t firstWildcard(const std::u16string& p)
{
    return p.find_first_of(kWildcards);
}
}  // namespace

cBkWordListStg::cBkWordListStg(uint32_t tag) : cBkSubstorageSupport(tag, m_hdr, kHeaderSize)
{
    m_hdr[kUnused] = 1;
    m_hdr[kValueWidth] = kDefaultValueWidth;
    m_hdr[kEncoding] = kReadableEncoding;
}

uint32_t cBkWordListStg::open(cBkStreamFile* container)
{
    resetCache();
    cBkContainerLock lock(container);
    return finishOpen(openUnlocked(container));
}

uint32_t cBkWordListStg::openNamed(cBkStreamFile* container, const char* name)
{
    resetCache();
    cBkContainerLock lock(container);
    return finishOpen(openNamedUnlocked(container, name));
}

// Taken before the container mutex: the word mutexes (UTF-16, then 8-bit) always come first.
void cBkWordListStg::resetCache()
{
    std::lock_guard<std::mutex> wl16(g_wordMutex16);
    std::lock_guard<std::mutex> wl(g_wordMutex8);
    m_word16Start = std::vector<uint32_t>();
    m_word16Length = std::vector<uint32_t>();
    m_word16Text = std::u16string();
    m_cache.clear();
    m_caching = false;
    m_wordStart = std::vector<uint32_t>();
    m_wordLength = std::vector<uint32_t>();
    m_wordText = std::string();
}

uint32_t cBkWordListStg::finishOpen(uint32_t r)
{
    m_values.clear();
    cBkTieredOffsetIndex::decode(m_hdr + kIndex, m_bases, m_counts);
    if (r != 0)
        return r;
    // Every word takes at least a byte, so a count beyond the stream's size is a lie that would
    // make scans over the list endless.
    if ((wordCount() > 0 && groupSize() == 0) || wordCount() > m_container->size(m_streamId))
        return BkResult::kMalformed;
    const uint32_t v = bkGetLE32(m_hdr + kValueCount);
    if (v == 0)
        return BkResult::kOK;
    const unsigned width = m_hdr[kValueWidth];
    const uint64_t table = bkGetLE32(m_hdr + kValueTable);
    if (width < 1 || width > 4 || table + static_cast<uint64_t>(v) * width > m_container->size(m_streamId))
        return BkResult::kMalformed;
    m_values.resize(v);
    if (uint32_t rr = m_container->seek(m_streamId, static_cast<uint32_t>(table))) {
        m_values.clear();
        return rr;
    }
    uint8_t chunk[4096];
    const uint32_t perChunk = sizeof(chunk) / width;
    for (uint32_t i = 0; i < v;) {
        uint32_t n = std::min(perChunk, v - i);
        if (uint32_t rr = m_container->read(m_streamId, n * width, chunk)) {
            m_values.clear();
            return rr;
        }
        for (uint32_t k = 0; k < n; ++k)
            m_values[i + k] = bkGetLE(chunk + k * width, width);
        i += n;
    }
    return BkResult::kOK;
}

uint32_t cBkWordListStg::wordValue(uint32_t i) const
{
    return i < m_values.size() ? m_values[i] : BkResult::kNone;
}

// The caller holds the 8-bit word mutex.
void cBkWordListStg::decodeWord(uint32_t w, std::string& out)
{
    out.clear();
    const uint32_t G = groupSize();
    if (m_container == nullptr || m_hdr[kEncoding] != kReadableEncoding || G == 0 || w >= wordCount())
        return;
    if (w < m_wordStart.size() && m_wordStart[w] != BkResult::kNone) {
        out.assign(m_wordText, m_wordStart[w], m_wordLength[w]);
        return;
    }
    if (m_caching && m_cache.lookup(w, out))
        return;
    {
        cBkContainerLock lock(m_container);
        decodeGroup(w, out);
    }
    if (m_caching)
        m_cache.add(w, out);
}

void cBkWordListStg::keepWord(uint32_t w, const std::string& word)
{
    // Empty words stay undecoded: an unreadable word reads as empty and is tried again next time.
    if (word.empty() || m_wordText.size() + word.size() > kMaxKeptText)
        return;
    if (m_wordStart.empty()) {
        m_wordStart.assign(wordCount(), BkResult::kNone);
        m_wordLength.assign(wordCount(), 0);
    }
    if (m_wordStart[w] != BkResult::kNone)
        return;
    m_wordStart[w] = static_cast<uint32_t>(m_wordText.size());
    m_wordLength[w] = static_cast<uint32_t>(word.size());
    m_wordText += word;
}

void cBkWordListStg::decodeGroup(uint32_t w, std::string& out)
{
    const uint32_t G = groupSize();
    const uint32_t first = w - w % G;
    const uint32_t last = static_cast<uint32_t>(std::min<uint64_t>(static_cast<uint64_t>(first) + G, wordCount()));
    auto finish = [](std::string word) {
        if (!word.empty() && static_cast<uint8_t>(word[0]) == kMarkedWordByte)
            word[0] = static_cast<char>(kMarkedWord8);
        return word;
    };
    const uint32_t at = lookupIndex(w / G, m_counts, m_bases);
    uint8_t n = 0;
    if (m_container->seekAndRead(m_streamId, 1, &n, at) != 0)
        return;
    uint8_t bytes[256];
    if (m_container->read(m_streamId, n, bytes) != 0)
        return;
    const std::string base(reinterpret_cast<char*>(bytes), std::min<uint32_t>(n, kMaxFirstWord));
    std::string word = finish(base);
    keepWord(first, word);
    if (w == first)
        out = word;
    for (uint32_t v = first + 1; v < last; ++v) {
        uint8_t code = 0;
        if (m_container->read(m_streamId, 1, &code) != 0)
            return;
        if (code != 0) {
            const uint32_t shared = code >> 4, follow = code & 0x0F;
            if (m_container->read(m_streamId, follow, bytes) != 0)
                return;
            word = finish(base.substr(0, shared) + std::string(reinterpret_cast<char*>(bytes), follow));
        } else {
            std::string whole;
            if (m_container->readString(m_streamId, whole, m_container->tell(m_streamId)) != 0)
                return;
            word = finish(std::move(whole));
        }
        keepWord(v, word);
        if (v == w)
            out = word;
    }
}

void cBkWordListStg::wordForNumber(uint32_t w, std::string& out)
{
    std::lock_guard<std::mutex> lock(g_wordMutex8);
    decodeWord(w, out);
}

void cBkWordListStg::wordForNumber(uint32_t w, std::u16string& out)
{
    std::lock_guard<std::mutex> lock16(g_wordMutex16);
    if (w < m_word16Start.size() && m_word16Start[w] != BkResult::kNone) {
        out.assign(m_word16Text, m_word16Start[w], m_word16Length[w]);
        return;
    }
    std::string word;
    wordForNumber(w, word);
    if (!word.empty() && static_cast<uint8_t>(word[0]) == kMarkedWord8) {
        out = kMarkedWord16;
        out += BkText::utf8ToUtf16(word.substr(1));
    } else {
        out = BkText::utf8ToUtf16(word);
    }
    // Kept like the 8-bit form (empty words are not: they are tried again).
    if (out.empty() || w >= wordCount() || m_word16Text.size() + out.size() > kMaxKeptText / 2)
        return;
    if (m_word16Start.empty()) {
        m_word16Start.assign(wordCount(), BkResult::kNone);
        m_word16Length.assign(wordCount(), 0);
    }
    m_word16Start[w] = static_cast<uint32_t>(m_word16Text.size());
    m_word16Length[w] = static_cast<uint32_t>(out.size());
    m_word16Text += out;
}

uint32_t cBkWordListStg::wordNumberForString(const std::u16string& s, bool partial)
{
    if (partial && s.empty())
        return 0;
    const uint32_t W = wordCount();
    if (W == 0)
        return BkResult::kNone;
    uint32_t lo = 0, hi = W;
    std::u16string m, prev;
    while (lo < hi) {
        const uint32_t mid = lo + (hi - lo) / 2;
        wordForNumber(mid, m);
        int cmp;
        if (!partial) {
            cmp = BkText::compareIgnoringCase(m, s);
            if (cmp == 0)
                return mid;
        } else {
            cmp = BkText::compareIgnoringCase(m, s, s.size());
            if (cmp == 0) {
                if (lo + hi < 2)
                    return 0;
                wordForNumber(mid - 1, prev);
                if (BkText::compareIgnoringCase(prev, s, s.size()) != 0)
                    return mid;
                cmp = 1;
            }
        }
        if (cmp < 0)
            lo = mid + 1;
        else
            hi = mid;
    }
    return BkResult::kNone;
}

int32_t cBkWordListStg::firstWildcardMatch(const std::u16string& p)
{
    const bool negated = !p.empty() && p[0] == u'-';
    const size_t wild = firstWildcard(p);
    if (wild == std::u16string::npos && !negated) {
        uint32_t w = wordNumberForString(p, false);
        return w == BkResult::kNone ? -1 : static_cast<int32_t>(w);
    }
    if (negated)
        return nextWildcardMatch(p, -1);
    uint32_t w = wordNumberForString(p.substr(0, wild), true);
    if (w == BkResult::kNone)
        return -1;
    return nextWildcardMatch(p, static_cast<int32_t>(w) - 1);
}

int32_t cBkWordListStg::nextWildcardMatch(const std::u16string& p, int32_t after)
{
    const bool negated = !p.empty() && p[0] == u'-';
    const size_t wild = firstWildcard(p);
    if (wild == std::u16string::npos && !negated)
        return -1;
    const std::u16string prefix = negated ? std::u16string() : p.substr(0, wild);
    const uint32_t W = wordCount();
    std::u16string word;
    for (int64_t w = static_cast<int64_t>(after) + 1; w < W && w <= INT32_MAX; ++w) {
        wordForNumber(static_cast<uint32_t>(w), word);
        if (!prefix.empty() && BkText::compareIgnoringCase(word, prefix, prefix.size()) != 0)
            return -1;
        if (matchSearchPattern(p.c_str(), word.c_str(), 0))
            return static_cast<int32_t>(w);
    }
    return -1;
}
