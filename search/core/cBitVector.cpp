#include "search/core/cBitVector.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <utility>
#include <vector>

#include "search/core/RecordIO.h"

namespace {

// Largest bit count a file record may declare: far above any book's section count,
// low enough that a corrupt record cannot make us allocate without limit.
constexpr uint32_t kMaxRecordBits = 1u << 28;

enum RangeOp { kRangeSet, kRangeClear, kRangeFlip };

inline uint8_t bitMask(uint32_t i)
{
    return static_cast<uint8_t>(0x80u >> (i & 7));
}

// Bit count of a 64-bit word without relying on a hardware instruction (the build
// targets plain x86-64, where std::popcount becomes a library call).
inline uint32_t popcount64(uint64_t w)
{
    w = w - ((w >> 1) & 0x5555555555555555ull);
    w = (w & 0x3333333333333333ull) + ((w >> 2) & 0x3333333333333333ull);
    w = (w + (w >> 4)) & 0x0F0F0F0F0F0F0F0Full;
    return static_cast<uint32_t>((w * 0x0101010101010101ull) >> 56);
}

inline uint32_t popcount8(uint8_t b)
{
    return popcount64(b);
}

uint32_t popcountBytes(const uint8_t* p, uint32_t n)
{
    uint32_t total = 0;
    uint32_t i = 0;
    for (; i + 8 <= n; i += 8) {
        uint64_t w;
        std::memcpy(&w, p + i, 8);
        total += popcount64(w);
    }
    for (; i < n; ++i)
        total += popcount8(p[i]);
    return total;
}

// Combines n bytes of src into dst a word at a time.
template <typename Op> void combineBytes(uint8_t* dst, const uint8_t* src, uint32_t n, Op op)
{
    uint32_t i = 0;
    for (; i + 8 <= n; i += 8) {
        uint64_t a, b;
        std::memcpy(&a, dst + i, 8);
        std::memcpy(&b, src + i, 8);
        a = op(a, b);
        std::memcpy(dst + i, &a, 8);
    }
    for (; i < n; ++i)
        dst[i] = static_cast<uint8_t>(op(uint64_t {dst[i]}, uint64_t {src[i]}));
}

void putU32(std::vector<uint8_t>& out, uint32_t v)
{
    for (int k = 0; k < 4; ++k)
        out.push_back(static_cast<uint8_t>(v >> (8 * k)));
}

uint32_t getLE(const uint8_t* p, uint32_t width)
{
    uint32_t v = 0;
    for (uint32_t k = 0; k < width; ++k)
        v |= static_cast<uint32_t>(p[k]) << (8 * k);
    return v;
}

}  // namespace

cBitVector::cBitVector(uint32_t bitCount)
{
    allocate(bitCount);
}

cBitVector::cBitVector(const cBitVector& other)
{
    assign(other);
}

cBitVector::cBitVector(cBitVector&& other) noexcept
    : m_bytes(std::exchange(other.m_bytes, nullptr)),
      m_bitCount(std::exchange(other.m_bitCount, 0)),
      m_byteCount(std::exchange(other.m_byteCount, 0))
{
    for (int v = 0; v < 2; ++v) {
        m_cursorPos[v] = other.m_cursorPos[v];
        m_cursorOrd[v] = other.m_cursorOrd[v];
        m_count[v] = other.m_count[v];
    }
    other.invalidateCache();
}

cBitVector& cBitVector::operator=(const cBitVector& other)
{
    if (this != &other)
        assign(other);
    return *this;
}

cBitVector& cBitVector::operator=(cBitVector&& other) noexcept
{
    if (this != &other) {
        delete[] m_bytes;
        m_bytes = std::exchange(other.m_bytes, nullptr);
        m_bitCount = std::exchange(other.m_bitCount, 0);
        m_byteCount = std::exchange(other.m_byteCount, 0);
        for (int v = 0; v < 2; ++v) {
            m_cursorPos[v] = other.m_cursorPos[v];
            m_cursorOrd[v] = other.m_cursorOrd[v];
            m_count[v] = other.m_count[v];
        }
        other.invalidateCache();
    }
    return *this;
}

cBitVector::~cBitVector()
{
    delete[] m_bytes;
}

void cBitVector::invalidateCursors()
{
    m_cursorPos[0] = m_cursorPos[1] = kNone;
    m_cursorOrd[0] = m_cursorOrd[1] = kNone;
}

void cBitVector::invalidateCache()
{
    invalidateCursors();
    m_count[0] = m_count[1] = kNone;
}

void cBitVector::allocate(uint32_t bitCount)
{
    delete[] m_bytes;
    m_bytes = nullptr;
    m_bitCount = bitCount;
    m_byteCount = static_cast<uint32_t>((static_cast<uint64_t>(bitCount) + 7) / 8);
    invalidateCache();
    if (bitCount == 0)
        return;
    m_bytes = new uint8_t[m_byteCount]();
    m_count[0] = bitCount;
    m_count[1] = 0;
}

void cBitVector::reallocate(uint32_t bitCount)
{
    if (bitCount <= m_bitCount)
        return;
    const uint32_t newBytes = static_cast<uint32_t>((static_cast<uint64_t>(bitCount) + 7) / 8);
    auto* fresh = new uint8_t[newBytes]();
    if (m_bytes) {
        std::memcpy(fresh, m_bytes, m_byteCount);
        // Spare bits of the old last byte may hold anything (setAll fills them);
        // the added positions must start clear.
        if (m_bitCount & 7)
            fresh[m_byteCount - 1] &= static_cast<uint8_t>(0xFFu << (8 - (m_bitCount & 7)));
    }
    delete[] m_bytes;
    const uint32_t added = bitCount - m_bitCount;
    m_bytes = fresh;
    m_bitCount = bitCount;
    m_byteCount = newBytes;
    if (m_count[0] != kNone)
        m_count[0] += added;
    else if (m_count[1] == kNone && added == bitCount)
        m_count[0] = bitCount, m_count[1] = 0;
}

void cBitVector::set(uint32_t i)
{
    if (i >= m_bitCount)
        return;
    m_bytes[i >> 3] |= bitMask(i);
    invalidateCache();
}

void cBitVector::clear(uint32_t i)
{
    if (i >= m_bitCount)
        return;
    m_bytes[i >> 3] &= static_cast<uint8_t>(~bitMask(i));
    invalidateCache();
}

bool cBitVector::test(uint32_t i) const
{
    return i < m_bitCount && (m_bytes[i >> 3] & bitMask(i)) != 0;
}

uint32_t cBitVector::andBit(uint32_t value, uint32_t i)
{
    if (i >= m_bitCount)
        return 0;
    invalidateCache();
    if (value)
        return test(i) ? 1 : 0;
    m_bytes[i >> 3] &= static_cast<uint8_t>(~bitMask(i));
    return 0;
}

void cBitVector::setAll()
{
    if (!m_bytes)
        return;
    std::memset(m_bytes, 0xFF, m_byteCount);
    invalidateCursors();
    m_count[0] = 0;
    m_count[1] = m_bitCount;
}

void cBitVector::clearAll()
{
    if (!m_bytes)
        return;
    std::memset(m_bytes, 0, m_byteCount);
    invalidateCursors();
    m_count[0] = m_bitCount;
    m_count[1] = 0;
}

void cBitVector::flipAll()
{
    if (!m_bytes)
        return;
    for (uint32_t k = 0; k < m_byteCount; ++k)
        m_bytes[k] = static_cast<uint8_t>(~m_bytes[k]);
    invalidateCursors();
    std::swap(m_count[0], m_count[1]);
}

void cBitVector::applyRange(uint32_t a, uint32_t b, int op)
{
    if (a > b || a >= m_bitCount)
        return;
    b = std::min(b, m_bitCount - 1);
    invalidateCache();
    uint32_t i = a;
    while (i <= b) {
        if ((i & 7) == 0 && b - i >= 7) {
            uint8_t& byte = m_bytes[i >> 3];
            byte = op == kRangeSet ? 0xFF : op == kRangeClear ? 0x00 : static_cast<uint8_t>(~byte);
            if (b - i == 7)
                break;  // i + 8 could wrap past 0xFFFFFFFF
            i += 8;
            continue;
        }
        uint8_t& byte = m_bytes[i >> 3];
        if (op == kRangeSet)
            byte |= bitMask(i);
        else if (op == kRangeClear)
            byte &= static_cast<uint8_t>(~bitMask(i));
        else
            byte ^= bitMask(i);
        if (i == b)
            break;
        ++i;
    }
}

void cBitVector::setRange(uint32_t a, uint32_t b)
{
    applyRange(a, b, kRangeSet);
}
void cBitVector::clearRange(uint32_t a, uint32_t b)
{
    applyRange(a, b, kRangeClear);
}
void cBitVector::flipRange(uint32_t a, uint32_t b)
{
    applyRange(a, b, kRangeFlip);
}

uint32_t cBitVector::countRange(uint32_t a, uint32_t b, uint32_t value) const
{
    if (a > b || a >= m_bitCount)
        return 0;
    b = std::min(b, m_bitCount - 1);
    const uint32_t firstByte = a >> 3;
    const uint32_t lastByte = b >> 3;
    const uint8_t headMask = static_cast<uint8_t>(0xFFu >> (a & 7));
    const uint8_t tailMask = static_cast<uint8_t>(0xFFu << (7 - (b & 7)));
    uint32_t ones;
    if (firstByte == lastByte) {
        ones = popcount8(m_bytes[firstByte] & headMask & tailMask);
    } else {
        ones = popcount8(m_bytes[firstByte] & headMask);
        ones += popcountBytes(m_bytes + firstByte + 1, lastByte - firstByte - 1);
        ones += popcount8(m_bytes[lastByte] & tailMask);
    }
    return value ? ones : (b - a + 1) - ones;
}

void cBitVector::recomputeCounts() const
{
    const uint32_t ones = countRange(0, m_bitCount == 0 ? 0 : m_bitCount - 1, 1);
    m_count[1] = ones;
    m_count[0] = m_bitCount - ones;
}

uint32_t cBitVector::count(uint32_t value) const
{
    const int v = value ? 1 : 0;
    if (m_count[v] == kNone)
        recomputeCounts();
    return m_count[v];
}

bool cBitVector::anyInRange(uint32_t a, uint32_t b) const
{
    if (a > b || a >= m_bitCount)
        return false;
    b = std::min(b, m_bitCount - 1);
    uint32_t i = a;
    while (true) {
        if ((i & 7) == 0 && b - i >= 7) {
            if (m_bytes[i >> 3])
                return true;
            if (b - i == 7)
                return false;
            i += 8;
            continue;
        }
        if (m_bytes[i >> 3] & bitMask(i))
            return true;
        if (i == b)
            return false;
        ++i;
    }
}

// Both scans look at whole bytes: the bits of one byte that are still in play are
// masked, inverted when clear bits are wanted, and the nearest one is found by
// counting zeros; a byte holding only the unwanted value is passed at once.
uint32_t cBitVector::nextAfter(uint32_t position, uint32_t value) const
{
    if (position == kNone - 1)
        return kNone;
    uint32_t i = position == kNone ? 0 : position + 1;
    while (i < m_bitCount) {
        uint8_t b = value ? m_bytes[i >> 3] : static_cast<uint8_t>(~m_bytes[i >> 3]);
        b &= static_cast<uint8_t>(0xFFu >> (i & 7));
        const uint32_t byteStart = i & ~7u;
        if (b) {
            const uint32_t p = byteStart + static_cast<uint32_t>(std::countl_zero(b));
            return p < m_bitCount ? p : kNone;  // spare bits of the last byte do not count
        }
        if (byteStart > m_bitCount - 8 || m_bitCount < 8)
            break;
        i = byteStart + 8;
    }
    return kNone;
}

uint32_t cBitVector::previousBefore(uint32_t position, uint32_t value) const
{
    if (m_bitCount == 0 || position == 0)
        return kNone;
    // p is the highest position still to be looked at.
    uint32_t p = position == kNone || position > m_bitCount ? m_bitCount - 1 : position - 1;
    while (true) {
        uint8_t b = value ? m_bytes[p >> 3] : static_cast<uint8_t>(~m_bytes[p >> 3]);
        b &= static_cast<uint8_t>(0xFFu << (7 - (p & 7)));
        const uint32_t byteStart = p & ~7u;
        if (b)
            return byteStart + 7 - static_cast<uint32_t>(std::countr_zero(b));
        if (byteStart == 0)
            return kNone;
        p = byteStart - 1;
    }
}

uint32_t cBitVector::first(uint32_t value) const
{
    const int v = value ? 1 : 0;
    const uint32_t p = nextAfter(kNone, value);
    if (p != kNone) {
        m_cursorPos[v] = p;
        m_cursorOrd[v] = 0;
    }
    return p;
}

uint32_t cBitVector::last(uint32_t value) const
{
    const int v = value ? 1 : 0;
    const uint32_t p = previousBefore(kNone, value);
    if (p != kNone) {
        m_cursorPos[v] = p;
        m_cursorOrd[v] = count(value) - 1;
    }
    return p;
}

uint32_t cBitVector::nth(uint32_t k, uint32_t value) const
{
    const int v = value ? 1 : 0;
    if (m_bitCount == 0)
        return kNone;
    const uint32_t total = count(value);
    if (k >= total)
        return kNone;
    uint32_t o = m_cursorOrd[v];
    uint32_t p = m_cursorPos[v];
    if (o == kNone) {
        if (total - k < k) {
            o = total;
            p = kNone;
        } else {
            p = kNone;  // before the beginning; the first step yields ordinal 0
        }
    }
    if (o == k)
        return p;
    if (o != kNone && o > k) {
        while (o > k) {
            p = previousBefore(p, value);
            --o;
            if (p == kNone)
                break;  // cache disagreed with the bits; give up cleanly
        }
    } else {
        while (o == kNone || o < k) {
            p = nextAfter(p, value);
            o = o == kNone ? 0 : o + 1;
            if (p == kNone)
                break;
        }
    }
    if (p == kNone) {
        m_cursorPos[v] = m_cursorOrd[v] = kNone;
        return kNone;
    }
    m_cursorPos[v] = p;
    m_cursorOrd[v] = o;
    return p;
}

cBitVector& cBitVector::andVector(const cBitVector& other)
{
    const uint32_t common = std::min(m_byteCount, other.m_byteCount);
    if (common)
        combineBytes(m_bytes, other.m_bytes, common, [](uint64_t a, uint64_t b) { return a & b; });
    for (uint32_t k = common; k < m_byteCount; ++k)
        m_bytes[k] = 0;
    invalidateCache();
    return *this;
}

cBitVector& cBitVector::orVector(const cBitVector& other)
{
    const uint32_t common = std::min(m_byteCount, other.m_byteCount);
    if (common)
        combineBytes(m_bytes, other.m_bytes, common, [](uint64_t a, uint64_t b) { return a | b; });
    invalidateCache();
    return *this;
}

cBitVector& cBitVector::xorVector(const cBitVector& other)
{
    const uint32_t common = std::min(m_byteCount, other.m_byteCount);
    if (common)
        combineBytes(m_bytes, other.m_bytes, common, [](uint64_t a, uint64_t b) { return a ^ b; });
    invalidateCache();
    return *this;
}

cBitVector& cBitVector::mask(const cBitVector& other)
{
    const uint32_t common = std::min(m_byteCount, other.m_byteCount);
    if (common)
        combineBytes(m_bytes, other.m_bytes, common, [](uint64_t a, uint64_t b) { return a & ~b; });
    invalidateCache();
    return *this;
}

void cBitVector::widen(uint32_t distance)
{
    cBitVector fresh(m_bitCount);
    uint64_t coveredTo = 0;  // positions below this are already set in fresh
    for (uint32_t p = nextAfter(kNone, 1); p != kNone; p = nextAfter(p, 1)) {
        const uint64_t from = std::max<uint64_t>(p > distance ? p - distance : 0, coveredTo);
        const uint64_t to = std::min<uint64_t>(static_cast<uint64_t>(p) + distance, m_bitCount - 1);
        if (from <= to)
            fresh.setRange(static_cast<uint32_t>(from), static_cast<uint32_t>(to));
        coveredTo = to + 1;
        if (to == m_bitCount - 1)
            break;
    }
    *this = std::move(fresh);
}

void cBitVector::assign(const cBitVector& other)
{
    if (this == &other)
        return;
    uint8_t* fresh = other.m_bytes ? new uint8_t[other.m_byteCount] : nullptr;
    if (fresh)
        std::memcpy(fresh, other.m_bytes, other.m_byteCount);
    delete[] m_bytes;
    m_bytes = fresh;
    m_bitCount = other.m_bitCount;
    m_byteCount = other.m_byteCount;
    for (int v = 0; v < 2; ++v) {
        m_cursorPos[v] = other.m_cursorPos[v];
        m_cursorOrd[v] = other.m_cursorOrd[v];
        m_count[v] = other.m_count[v];
    }
}

bool cBitVector::serialize(int direction, std::FILE* file)
{
    if (!file)
        return false;
    return direction == 0 ? read(file) : write(file);
}

bool cBitVector::write(std::FILE* file) const
{
    const uint32_t w = bitVectorPositionWidth(m_bitCount);
    const uint64_t c0 = static_cast<uint64_t>(count(0)) * w;
    const uint64_t c1 = static_cast<uint64_t>(count(1)) * w;
    const uint64_t b = m_byteCount;
    uint32_t mode = kBitVectorRawBytes;
    if (c0 < c1 && c0 < b)
        mode = kBitVectorClearPositions;
    else if (c1 < c0 && c1 < b)
        mode = kBitVectorSetPositions;

    std::vector<uint8_t> out;
    out.reserve(12 + 4 + m_byteCount + 24);
    putU32(out, kBitVectorRecordVersion);
    putU32(out, m_bitCount);
    putU32(out, mode);
    if (mode == kBitVectorRawBytes) {
        if (m_bytes)
            out.insert(out.end(), m_bytes, m_bytes + m_byteCount);
    } else {
        const uint32_t value = mode == kBitVectorSetPositions ? 1 : 0;
        putU32(out, count(value));
        for (uint32_t p = nextAfter(kNone, value); p != kNone; p = nextAfter(p, value))
            for (uint32_t k = 0; k < w; ++k)
                out.push_back(static_cast<uint8_t>(p >> (8 * k)));
    }
    putU32(out, m_cursorOrd[0]);
    putU32(out, m_cursorOrd[1]);
    putU32(out, m_cursorPos[0]);
    putU32(out, m_cursorPos[1]);
    putU32(out, m_count[0]);
    putU32(out, m_count[1]);
    return std::fwrite(out.data(), 1, out.size(), file) == out.size();
}

bool cBitVector::read(std::FILE* file)
{
    uint32_t version, bitCount, mode;
    if (!RecordIO::readU32(file, version) || version != kBitVectorRecordVersion)
        return false;
    if (!RecordIO::readU32(file, bitCount) || bitCount > kMaxRecordBits)
        return false;
    allocate(bitCount);
    if (!RecordIO::readU32(file, mode))
        return false;
    if (mode != kBitVectorRawBytes && mode != kBitVectorClearPositions && mode != kBitVectorSetPositions)
        return false;

    if (mode == kBitVectorRawBytes) {
        if (m_byteCount && std::fread(m_bytes, 1, m_byteCount, file) != m_byteCount)
            return false;
    } else {
        uint32_t listed;
        if (!RecordIO::readU32(file, listed) || listed > bitCount)
            return false;  // positions are distinct, so more than n cannot be sound
        const bool clearList = mode == kBitVectorClearPositions;
        if (clearList)
            setAll();
        const uint32_t w = bitVectorPositionWidth(bitCount);
        uint8_t chunk[4096];
        const uint32_t perChunk = sizeof chunk / w;
        for (uint32_t done = 0; done < listed;) {
            const uint32_t n = std::min(perChunk, listed - done);
            if (std::fread(chunk, w, n, file) != n)
                return false;
            for (uint32_t k = 0; k < n; ++k) {
                const uint32_t p = getLE(chunk + k * w, w);
                if (p >= bitCount)
                    continue;
                if (clearList)
                    m_bytes[p >> 3] &= static_cast<uint8_t>(~bitMask(p));
                else
                    m_bytes[p >> 3] |= bitMask(p);
            }
            done += n;
        }
    }

    uint32_t trailer[kBitVectorTrailerWords];
    for (uint32_t& word : trailer)
        if (!RecordIO::readU32(file, word))
            return false;

    // The counts are recomputed from the bits; a cursor from the trailer is kept
    // only when it agrees with them, so a damaged record cannot mislead nth().
    invalidateCache();
    recomputeCounts();
    for (int v = 0; v < 2; ++v) {
        const uint32_t ord = trailer[v];
        const uint32_t pos = trailer[2 + v];
        if (ord == kNone || pos >= m_bitCount || test(pos) != (v == 1))
            continue;
        if (countRange(0, pos, static_cast<uint32_t>(v)) - 1 == ord) {
            m_cursorOrd[v] = ord;
            m_cursorPos[v] = pos;
        }
    }
    return true;
}
