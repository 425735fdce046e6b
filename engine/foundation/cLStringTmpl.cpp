#include "engine/foundation/cLStringTmpl.h"

#include "engine/foundation/CharacterClasses.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <limits>
#include <new>
#include <type_traits>
#include <vector>

namespace {

// The empty sentinel of each form: {share count 0, terminator 0}. Never written or freed.
template <typename T> T gSentinel[2] = {T(0), T(0)};

// Longest string either form holds: the buffer (share count, characters, terminator) must stay
// within the signed 32-bit range.
constexpr std::int64_t kMaxLength = std::numeric_limits<std::int32_t>::max() - 2;

template <typename T> std::uint32_t uval(T c)
{
    return static_cast<std::make_unsigned_t<T>>(c);
}

template <typename T> std::int32_t unitLength(const T* s)
{
    if (s == nullptr)
        return 0;
    const T* p = s;
    while (*p != 0)
        ++p;
    if (p - s > kMaxLength)
        throw std::bad_alloc();
    return static_cast<std::int32_t>(p - s);
}

template <typename T> bool pointsInto(const T* p, const T* begin, std::int64_t units)
{
    std::less<const T*> less;
    return p != nullptr && !less(p, begin) && less(p, begin + units);
}

// Lower-case partner of one unit; the narrow form reads the unit as a Latin-1 character.
std::uint32_t lowerUnit(char c)
{
    return toLowerChar8(static_cast<unsigned char>(c));
}
std::uint32_t lowerUnit(unsigned short u)
{
    return toLowerChar16(u);
}

// Length of a well-formed UTF-8 sequence of 2 to 4 bytes at p (at most `avail` bytes readable, a
// terminator stopping the scan earlier), with its value; 0 when p holds no such sequence. Three-byte
// encoded surrogates count as well-formed here, as older data holds them.
int wellFormedSequence(const char* p, std::int64_t avail, std::uint32_t& value)
{
    const std::uint32_t lead = uval(p[0]);
    int need;
    std::uint32_t v;
    std::uint32_t minimum;
    if (lead >= 0xC2 && lead <= 0xDF) {
        need = 1, v = lead & 0x1F, minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        need = 2, v = lead & 0x0F, minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        need = 3, v = lead & 0x07, minimum = 0x10000;
    } else {
        return 0;
    }
    if (avail < need + 1)
        return 0;
    for (int k = 1; k <= need; ++k) {
        const std::uint32_t b = uval(p[k]);
        if ((b & 0xC0) != 0x80)
            return 0;
        v = (v << 6) | (b & 0x3F);
    }
    if (v < minimum || v > 0x10FFFF)
        return 0;
    value = v;
    return need + 1;
}

// Reads one character for case-insensitive comparison and returns its lower-case partner.
// Narrow: a well-formed UTF-8 sequence is one character folded as the code point it encodes, any
// other byte a Latin-1 character, so UTF-8 and Latin-1 text both fold correctly.
std::uint32_t foldedNext(const char*& p, std::int64_t avail)
{
    const std::uint32_t b = uval(*p);
    if (b >= 0x80) {
        std::uint32_t cp = 0;
        if (int n = wellFormedSequence(p, avail, cp); n != 0) {
            p += n;
            return cp <= 0xFFFF ? toLowerChar16(static_cast<std::uint16_t>(cp)) : cp;
        }
    }
    ++p;
    return toLowerChar8(static_cast<unsigned char>(b));
}

std::uint32_t foldedNext(const unsigned short*& p, std::int64_t)
{
    return toLowerChar16(*p++);
}

// Case-insensitive match of pattern[0..patLen) at h (hAvail units readable); writes the number of
// units of h that matched.
template <typename T>
bool matchIgnoreCase(const T* h, std::int64_t hAvail, const T* pattern, std::int32_t patLen, std::int32_t& matched)
{
    const T* h0 = h;
    const T* p = pattern;
    const T* pEnd = pattern + patLen;
    while (p < pEnd) {
        const std::int64_t used = h - h0;
        if (used >= hAvail)
            return false;
        if (foldedNext(h, hAvail - used) != foldedNext(p, pEnd - p))
            return false;
    }
    matched = static_cast<std::int32_t>(h - h0);
    return true;
}

int digitValue(std::uint32_t c)
{
    if (c >= '0' && c <= '9')
        return static_cast<int>(c - '0');
    if (c >= 'a' && c <= 'z')
        return static_cast<int>(c - 'a' + 10);
    if (c >= 'A' && c <= 'Z')
        return static_cast<int>(c - 'A' + 10);
    return -1;
}

constexpr char kDigits[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";

bool isHighSurrogate(std::uint32_t u)
{
    return u >= 0xD800 && u <= 0xDBFF;
}
bool isLowSurrogate(std::uint32_t u)
{
    return u >= 0xDC00 && u <= 0xDFFF;
}

int utf8Length(std::uint32_t cp)
{
    if (cp < 0x80)
        return 1;
    if (cp < 0x800)
        return 2;
    if (cp < 0x10000 || cp > 0x10FFFF)
        return 3;
    return 4;
}

// The next code point of UTF-16 text: a high surrogate followed by a low one is one character;
// any other unit stands alone.
std::uint32_t nextCodePoint(const unsigned short* units, std::int32_t n, std::int32_t& i)
{
    const std::uint32_t u = units[i++];
    if (isHighSurrogate(u) && i < n && isLowSurrogate(units[i])) {
        const std::uint32_t low = units[i++];
        return 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00);
    }
    return u;
}

template <bool Bounded> int decodeOne(const char* bytes, const char* end, std::uint32_t& out)
{
    if (Bounded && bytes >= end) {
        out = 0;
        return 0;
    }
    const std::uint32_t lead = uval(bytes[0]);
    int need;
    std::uint32_t v;
    if (lead < 0xC0 || lead >= 0xF8) {
        out = lead;
        return 1;
    }
    if (lead <= 0xDF)
        need = 1, v = lead & 0x1F;
    else if (lead <= 0xEF)
        need = 2, v = lead & 0x0F;
    else
        need = 3, v = lead & 0x07;
    for (int k = 1; k <= need; ++k) {
        // A terminator is not a continuation byte, so an unbounded read stops at it.
        if (Bounded && bytes + k >= end) {
            out = lead;
            return 1;
        }
        const std::uint32_t b = uval(bytes[k]);
        if ((b & 0xC0) != 0x80) {
            out = lead;
            return 1;
        }
        v = (v << 6) | (b & 0x3F);
    }
    out = v;
    return need + 1;
}

void putLE32(unsigned char* p, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<unsigned char>(v >> (8 * i));
}

std::uint32_t getLE32(const unsigned char* p)
{
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}

const char kDefaultTrimSet8[] = " \t\n\r";
const unsigned short kDefaultTrimSet16[] = {' ', '\t', '\n', '\r', 0};

const char* defaultTrimSet(char)
{
    return kDefaultTrimSet8;
}
const unsigned short* defaultTrimSet(unsigned short)
{
    return kDefaultTrimSet16;
}

template <typename T> bool inSet(T c, const T* set)
{
    for (const T* s = set; *s != 0; ++s)
        if (*s == c)
            return true;
    return false;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// UTF-8 of single characters

int encodeUTF8Char(std::uint32_t u, char* out)
{
    if (u > 0x10FFFF)
        u = 0xFFFD;
    auto byte = [](std::uint32_t v) { return static_cast<char>(static_cast<unsigned char>(v)); };
    if (u < 0x80) {
        out[0] = byte(u);
        return 1;
    }
    if (u < 0x800) {
        out[0] = byte(0xC0 | u >> 6);
        out[1] = byte(0x80 | (u & 0x3F));
        return 2;
    }
    if (u < 0x10000) {
        out[0] = byte(0xE0 | u >> 12);
        out[1] = byte(0x80 | ((u >> 6) & 0x3F));
        out[2] = byte(0x80 | (u & 0x3F));
        return 3;
    }
    out[0] = byte(0xF0 | u >> 18);
    out[1] = byte(0x80 | ((u >> 12) & 0x3F));
    out[2] = byte(0x80 | ((u >> 6) & 0x3F));
    out[3] = byte(0x80 | (u & 0x3F));
    return 4;
}

int decodeUTF8Char(const char* bytes, std::uint32_t& out)
{
    return decodeOne<false>(bytes, nullptr, out);
}

int decodeUTF8Char(const char* bytes, const char* end, std::uint32_t& out)
{
    return decodeOne<true>(bytes, end, out);
}

// ---------------------------------------------------------------------------------------------
// Buffer management

template <typename T> bool cLStringTmpl<T>::isOnSentinel() const
{
    return m_buffer == gSentinel<T>;
}

template <typename T> bool cLStringTmpl<T>::isShared() const
{
    return !isOnSentinel() && uval(m_buffer[0]) > 1;
}

template <typename T> void cLStringTmpl<T>::releaseBuffer()
{
    if (!isOnSentinel()) {
        if (uval(m_buffer[0]) > 1)
            m_buffer[0] = static_cast<T>(m_buffer[0] - 1);
        else
            delete[] m_buffer;
    }
    m_buffer = gSentinel<T>;
    m_chars = gSentinel<T> + 1;
    m_capacity = 0;
    m_length = 0;
}

template <typename T> void cLStringTmpl<T>::clearCache() const
{
    delete m_utf8Cache;
    m_utf8Cache = nullptr;
}

template <typename T> void cLStringTmpl<T>::appendUnits(const T* units, std::int32_t n, std::int32_t hint)
{
    if (n < 0)
        n = 0;
    std::int64_t target = std::int64_t(m_length) + n;
    if (hint > target)
        target = hint;
    if (target > kMaxLength)
        throw std::bad_alloc();
    // A shared buffer is never written: it is copied first.
    if ((target >= m_capacity || isShared()) && target > 0) {
        T* fresh = new T[static_cast<std::size_t>(target) + 2];
        fresh[0] = T(1);
        std::memcpy(fresh + 1, m_chars, (static_cast<std::size_t>(m_length) + 1) * sizeof(T));
        if (!isOnSentinel() && pointsInto<T>(units, m_buffer, std::int64_t(m_capacity) + 1))
            units = fresh + (units - m_buffer);
        const std::int32_t keptLength = m_length;
        releaseBuffer();
        m_buffer = fresh;
        m_chars = fresh + 1;
        m_capacity = static_cast<std::int32_t>(target + 1);
        m_length = keptLength;
    }
    if (n >= 1 && units != nullptr) {
        std::memmove(m_chars + m_length, units, static_cast<std::size_t>(n) * sizeof(T));
        m_length += n;
        m_chars[m_length] = T(0);
    }
}

template <typename T> void cLStringTmpl<T>::setLengthAndAppendTail(std::int32_t newLength, std::int32_t tailStart)
{
    if (isOnSentinel())
        return;
    if (isShared())
        appendUnits(nullptr, 0, -1);
    const std::int32_t tail = std::max(0, m_length - tailStart);
    std::memmove(m_chars + newLength, m_chars + tailStart, static_cast<std::size_t>(tail) * sizeof(T));
    m_length = newLength + tail;
    m_chars[m_length] = T(0);
}

// ---------------------------------------------------------------------------------------------
// Construction

template <typename T> cLStringTmpl<T>::cLStringTmpl() : m_chars(gSentinel<T> + 1), m_buffer(gSentinel<T>)
{
}

template <typename T> cLStringTmpl<T>::cLStringTmpl(const T* text) : cLStringTmpl()
{
    appendUnits(text, unitLength(text), -1);
}

template <typename T> cLStringTmpl<T>::cLStringTmpl(const cLStringTmpl* other) : cLStringTmpl()
{
    if (other != nullptr)
        appendUnits(other->m_chars, other->m_length, -1);
}

template <typename T> cLStringTmpl<T>::cLStringTmpl(const cLStringTmpl& other) : cLStringTmpl()
{
    appendUnits(other.m_chars, other.m_length, -1);
}

template <typename T>
cLStringTmpl<T>::cLStringTmpl(cLStringTmpl&& other) noexcept
    : m_capacity(other.m_capacity),
      m_length(other.m_length),
      m_chars(other.m_chars),
      m_buffer(other.m_buffer),
      m_utf8Cache(other.m_utf8Cache)
{
    other.m_buffer = gSentinel<T>;
    other.m_chars = gSentinel<T> + 1;
    other.m_capacity = 0;
    other.m_length = 0;
    other.m_utf8Cache = nullptr;
}

template <typename T>
cLStringTmpl<T>::cLStringTmpl(const cLStringTmpl& source, std::int32_t start, std::int32_t count) : cLStringTmpl()
{
    if (start < 0 || start >= source.m_length)
        return;
    const std::int32_t avail = source.m_length - start;
    const std::int32_t n = (count < 0 || count > avail) ? avail : count;
    appendUnits(source.m_chars + start, n, -1);
}

template <typename T> cLStringTmpl<T>::cLStringTmpl(const cLStringTmpl& a, const T* b) : cLStringTmpl()
{
    const std::int32_t bLength = unitLength(b);
    const std::int64_t total = std::int64_t(a.m_length) + bLength;
    if (total > kMaxLength)
        throw std::bad_alloc();
    appendUnits(a.m_chars, a.m_length, static_cast<std::int32_t>(total));
    appendUnits(b, bLength, -1);
}

template <typename T> cLStringTmpl<T>::cLStringTmpl(const cLStringTmpl& a, const cLStringTmpl& b) : cLStringTmpl()
{
    const std::int64_t total = std::int64_t(a.m_length) + b.m_length;
    if (total > kMaxLength)
        throw std::bad_alloc();
    appendUnits(a.m_chars, a.m_length, static_cast<std::int32_t>(total));
    appendUnits(b.m_chars, b.m_length, -1);
}

template <typename T>
cLStringTmpl<T>::cLStringTmpl(const T* a, const cLStringTmpl& b) requires std::same_as<T, char> : cLStringTmpl()
{
    if constexpr (std::same_as<T, char>) {
        const std::int32_t aLength = unitLength(a);
        const std::int64_t total = std::int64_t(aLength) + b.m_length;
        if (total > kMaxLength)
            throw std::bad_alloc();
        appendUnits(a, aLength, static_cast<std::int32_t>(total));
        appendUnits(b.m_chars, b.m_length, -1);
    }
}

template <typename T> cLStringTmpl<T>::~cLStringTmpl()
{
    release();
}

template <typename T> cLStringTmpl<T>& cLStringTmpl<T>::operator=(const cLStringTmpl& other)
{
    return assign(other);
}

template <typename T> cLStringTmpl<T>& cLStringTmpl<T>::operator=(cLStringTmpl&& other) noexcept
{
    if (this == &other)
        return *this;
    release();
    std::swap(m_capacity, other.m_capacity);
    std::swap(m_length, other.m_length);
    std::swap(m_chars, other.m_chars);
    std::swap(m_buffer, other.m_buffer);
    std::swap(m_utf8Cache, other.m_utf8Cache);
    return *this;
}

template <typename T> cLStringTmpl<T> cLStringTmpl<T>::leftCopy(std::int32_t n) const
{
    return cLStringTmpl(*this, 0, n);
}

template <typename T> cLStringTmpl<T> cLStringTmpl<T>::rightCopy(std::int32_t n) const
{
    n = std::clamp(n, 0, m_length);
    return cLStringTmpl(*this, m_length - n, n);
}

template <typename T>
void cLStringTmpl<T>::extractSubstring(cLStringTmpl& target, std::int32_t start, std::int32_t count) const
{
    if (&target == this) {
        cLStringTmpl copy(*this);
        copy.extractSubstring(target, start, count);
        return;
    }
    target.makeEmpty();
    if (start < 0 || start >= m_length)
        return;
    const std::int32_t avail = m_length - start;
    target.appendUnits(m_chars + start, (count < 0 || count > avail) ? avail : count, -1);
}

template <typename T> void cLStringTmpl<T>::leftInto(cLStringTmpl& target, std::int32_t n) const
{
    extractSubstring(target, 0, n);
}

// ---------------------------------------------------------------------------------------------
// Assignment and appending

template <typename T> cLStringTmpl<T>& cLStringTmpl<T>::assign(const cLStringTmpl& other)
{
    if (this == &other)
        return *this;
    makeEmpty();
    appendUnits(other.m_chars, other.m_length, -1);
    return *this;
}

template <typename T> cLStringTmpl<T>& cLStringTmpl<T>::assignCStr(const T* text)
{
    if (pointsInto<T>(text, m_buffer, std::int64_t(m_capacity) + 1) && !isOnSentinel()) {
        const cLStringTmpl copy(text);
        return assign(copy);
    }
    makeEmpty();
    appendUnits(text, unitLength(text), -1);
    return *this;
}

template <typename T> cLStringTmpl<T>& cLStringTmpl<T>::assignChar(T ch)
{
    makeEmpty();
    appendUnits(&ch, 1, -1);
    return *this;
}

template <typename T>
cLStringTmpl<T>& cLStringTmpl<T>::assignFromUTF16(
    const unsigned short* utf16, std::int32_t count) requires std::same_as<T, char>
{
    if constexpr (std::same_as<T, char>) {
        makeEmpty();
        if (utf16 == nullptr)
            return *this;
        const std::int32_t n = count < 0 ? unitLength(utf16) : count;
        std::int64_t bytes = 0;
        for (std::int32_t i = 0; i < n;)
            bytes += utf8Length(nextCodePoint(utf16, n, i));
        if (bytes == 0)
            return *this;
        if (bytes > kMaxLength)
            throw std::bad_alloc();
        reserve(static_cast<std::int32_t>(bytes) + 1);
        std::int32_t written = 0;
        for (std::int32_t i = 0; i < n;)
            written += encodeUTF8Char(nextCodePoint(utf16, n, i), m_chars + written);
        m_length = written;
        m_chars[m_length] = 0;
        return *this;
    } else {
        return *this;
    }
}

template <typename T>
cLStringTmpl<T>& cLStringTmpl<T>::assignFromUTF16(
    const cLStringTmpl<unsigned short>& utf16) requires std::same_as<T, char>
{
    if constexpr (std::same_as<T, char>) {
        return assignFromUTF16(utf16.chars(), utf16.length());
    } else {
        return *this;
    }
}

template <typename T>
cLStringTmpl<T>& cLStringTmpl<T>::assignFromUTF8(
    const char* utf8, std::int32_t count) requires std::same_as<T, unsigned short>
{
    if constexpr (std::same_as<T, unsigned short>) {
        makeEmpty();
        if (utf8 == nullptr)
            return *this;
        const std::int32_t n = count < 0 ? unitLength(utf8) : count;
        const char* end = utf8 + n;
        std::int64_t units = 0;
        std::uint32_t cp = 0;
        for (const char* p = utf8; p < end;) {
            p += decodeUTF8Char(p, end, cp);
            units += (cp > 0xFFFF && cp <= 0x10FFFF) ? 2 : 1;
        }
        if (units == 0)
            return *this;
        reserve(static_cast<std::int32_t>(units) + 1);
        std::int32_t written = 0;
        for (const char* p = utf8; p < end;) {
            p += decodeUTF8Char(p, end, cp);
            if (cp > 0x10FFFF) {
                m_chars[written++] = 0xFFFD;  // beyond Unicode: not representable in UTF-16
            } else if (cp > 0xFFFF) {
                cp -= 0x10000;
                m_chars[written++] = static_cast<unsigned short>(0xD800 + (cp >> 10));
                m_chars[written++] = static_cast<unsigned short>(0xDC00 + (cp & 0x3FF));
            } else {
                m_chars[written++] = static_cast<unsigned short>(cp);
            }
        }
        m_length = written;
        m_chars[m_length] = 0;
        return *this;
    } else {
        return *this;
    }
}

template <typename T>
cLStringTmpl<T>& cLStringTmpl<T>::assignFromUTF8(
    const cLStringTmpl<char>& utf8) requires std::same_as<T, unsigned short>
{
    if constexpr (std::same_as<T, unsigned short>) {
        return assignFromUTF8(utf8.chars(), utf8.length());
    } else {
        return *this;
    }
}

template <typename T>
cLStringTmpl<T>& cLStringTmpl<T>::adoptBuffer(
    char* buffer, std::int32_t size, std::int32_t length) requires std::same_as<T, char>
{
    if constexpr (std::same_as<T, char>) {
        if (buffer == m_buffer)
            return *this;
        releaseBuffer();
        if (buffer == nullptr || size < 2) {
            delete[] buffer;
            return *this;
        }
        m_buffer = buffer;
        m_chars = buffer + 1;
        m_buffer[0] = 1;
        m_capacity = size - 1;
        const std::int32_t room = size - 2;  // characters that fit before the last byte
        if (length < 0) {
            const void* zero = std::memchr(m_chars, 0, static_cast<std::size_t>(m_capacity));
            length = zero != nullptr ? static_cast<std::int32_t>(static_cast<const char*>(zero) - m_chars) : room;
        }
        m_length = std::min(length, room);
        m_chars[m_length] = 0;
        return *this;
    } else {
        return *this;
    }
}

template <typename T> cLStringTmpl<T>& cLStringTmpl<T>::append(const cLStringTmpl& other)
{
    appendUnits(other.m_chars, other.m_length, -1);
    return *this;
}

template <typename T> cLStringTmpl<T>& cLStringTmpl<T>::appendChar(T ch)
{
    appendUnits(&ch, 1, -1);
    return *this;
}

template <typename T> cLStringTmpl<T>& cLStringTmpl<T>::appendCStr(const T* text)
{
    appendUnits(text, unitLength(text), -1);
    return *this;
}

template <typename T> cLStringTmpl<T>& cLStringTmpl<T>::appendChars(const T* units, std::int32_t count)
{
    if (units == nullptr)
        return *this;
    appendUnits(units, count < 0 ? unitLength(units) : count, -1);
    return *this;
}

// Appends `n` copies of `fill`, allocating the final size once.
template <typename T> void cLStringTmpl<T>::appendFill(T fill, std::int64_t n)
{
    if (n <= 0)
        return;
    const std::int64_t target = std::int64_t(m_length) + n;
    if (target > kMaxLength)
        throw std::bad_alloc();
    appendUnits(nullptr, 0, static_cast<std::int32_t>(target));
    std::fill(m_chars + m_length, m_chars + target, fill);
    m_length = static_cast<std::int32_t>(target);
    m_chars[m_length] = T(0);
}

// ---------------------------------------------------------------------------------------------
// Editing in place

template <typename T>
cLStringTmpl<T>& cLStringTmpl<T>::replaceRange(std::int32_t position, const T* text, std::int32_t count)
{
    if (position < 0 || position > m_length)
        return *this;
    if (!isOnSentinel() && pointsInto<T>(text, m_buffer, std::int64_t(m_capacity) + 1)) {
        const cLStringTmpl copy(text);
        return replaceRange(position, copy.m_chars, count);
    }
    const std::int32_t textLength = unitLength(text);
    std::int32_t k = count < 0 ? textLength : count;
    k = std::min(k, m_length - position);
    const std::int32_t oldLength = m_length;
    const std::int64_t newLength = std::int64_t(oldLength) + textLength - k;
    if (newLength == 0 && oldLength == 0)
        return *this;
    if (newLength > oldLength)
        appendFill(T(' '), newLength - oldLength);
    else if (isShared())
        appendUnits(nullptr, 0, -1);
    if (k != textLength)
        std::memmove(m_chars + position + textLength, m_chars + position + k,
            static_cast<std::size_t>(oldLength - position - k) * sizeof(T));
    if (textLength > 0)
        std::memcpy(m_chars + position, text, static_cast<std::size_t>(textLength) * sizeof(T));
    m_length = static_cast<std::int32_t>(newLength);
    m_chars[m_length] = T(0);
    return *this;
}

template <typename T>
cLStringTmpl<T>& cLStringTmpl<T>::replaceRangeWithChar(std::int32_t position, T ch, std::int32_t count)
{
    const T text[2] = {ch, T(0)};
    return replaceRange(position, text, count);
}

template <typename T> std::int32_t cLStringTmpl<T>::insertCStr(const T* text, std::int32_t position)
{
    if (text == nullptr || position < 0 || position > m_length)
        return m_length;
    replaceRange(position, text, 0);
    return m_length;
}

template <typename T> std::int32_t cLStringTmpl<T>::insertChar(T ch, std::int32_t position)
{
    const T text[2] = {ch, T(0)};
    return insertCStr(text, position);
}

template <typename T> std::int32_t cLStringTmpl<T>::deleteRange(std::int32_t position, std::int32_t count)
{
    if (position < 0 || position >= m_length || count == 0)
        return m_length;
    const std::int32_t avail = m_length - position;
    const std::int32_t n = (count < 0 || count > avail) ? avail : count;
    setLengthAndAppendTail(position, position + n);
    return m_length;
}

template <typename T> void cLStringTmpl<T>::truncate(std::int32_t n)
{
    if (n < 0 || n >= m_length)
        return;
    setLengthAndAppendTail(n, m_length);
}

template <typename T> void cLStringTmpl<T>::keepRight(std::int32_t n)
{
    if (n < 0 || n >= m_length)
        return;
    setLengthAndAppendTail(0, m_length - n);
}

template <typename T> void cLStringTmpl<T>::keepRange(std::int32_t start, std::int32_t count)
{
    if (start > m_length) {
        makeEmpty();
        return;
    }
    if (start < 0)
        start = 0;
    const std::int32_t avail = m_length - start;
    const std::int32_t n = (count < 0 || count > avail) ? avail : count;
    truncate(start + n);
    if (start > 0)
        setLengthAndAppendTail(0, start);
}

template <typename T> void cLStringTmpl<T>::padTo(std::int32_t n, T fill)
{
    if (n > m_length)
        appendFill(fill, std::int64_t(n) - m_length);
}

template <typename T> std::int32_t cLStringTmpl<T>::replaceChar(T ch, T replacement)
{
    std::int32_t found = 0;
    for (std::int32_t i = 0; i < m_length; ++i)
        if (m_chars[i] == ch)
            ++found;
    if (found == 0)
        return 0;
    if (isShared())
        appendUnits(nullptr, 0, -1);
    if (replacement != T(0)) {
        std::replace(m_chars, m_chars + m_length, ch, replacement);
    } else {
        m_length = static_cast<std::int32_t>(std::remove(m_chars, m_chars + m_length, ch) - m_chars);
        m_chars[m_length] = T(0);
    }
    return found;
}

// First occurrence of text[0..textLength) at or after start; writes the matched length (which can
// differ from textLength in a case-insensitive narrow search mixing UTF-8 and Latin-1).
template <typename T>
static std::int32_t findUnits(const T* hay, std::int32_t hayLength, const T* text, std::int32_t textLength,
    std::int32_t start, bool ignoreCase, std::int32_t& matched)
{
    if (text == nullptr || textLength <= 0 || start < 0 || start >= hayLength)
        return -1;
    if (std::int64_t(start) + textLength > hayLength)
        return -1;
    if (!ignoreCase) {
        for (std::int32_t i = start; i <= hayLength - textLength; ++i) {
            if (hay[i] == text[0] &&
                std::memcmp(hay + i, text, static_cast<std::size_t>(textLength) * sizeof(T)) == 0) {
                matched = textLength;
                return i;
            }
        }
        return -1;
    }
    for (std::int32_t i = start; i < hayLength; ++i)
        if (matchIgnoreCase(hay + i, hayLength - i, text, textLength, matched))
            return i;
    return -1;
}

template <typename T> std::int32_t cLStringTmpl<T>::replaceAll(const T* find, const T* replacement, bool ignoreCase)
{
    // Copies, as either text may lie inside this string.
    const cLStringTmpl pattern(find);
    const cLStringTmpl with(replacement);
    if (pattern.isEmpty())
        return 0;
    std::int32_t replaced = 0;
    std::int32_t position = 0;
    std::int32_t matched = 0;
    while ((position = findUnits(
                m_chars, m_length, pattern.m_chars, pattern.m_length, position, ignoreCase, matched)) >= 0) {
        replaceRange(position, with.m_chars, matched);
        position += with.m_length;
        ++replaced;
    }
    return replaced;
}

template <typename T> std::int32_t cLStringTmpl<T>::replaceAllIgnoreCase(const T* find, const T* replacement)
{
    return replaceAll(find, replacement, true);
}

template <typename T> void cLStringTmpl<T>::trimLeft(const T* set)
{
    if (set == nullptr)
        set = defaultTrimSet(T(0));
    if (*set == 0)
        return;
    std::int32_t k = 0;
    while (k < m_length && inSet(m_chars[k], set))
        ++k;
    if (k > 0)
        setLengthAndAppendTail(0, k);
}

template <typename T> void cLStringTmpl<T>::trimRight(const T* set)
{
    if (set == nullptr)
        set = defaultTrimSet(T(0));
    if (*set == 0)
        return;
    std::int32_t k = m_length;
    while (k > 0 && inSet(m_chars[k - 1], set))
        --k;
    truncate(k);
}

template <typename T> void cLStringTmpl<T>::trimLeadingPunctuation() requires std::same_as<T, unsigned short>
{
    if constexpr (std::same_as<T, unsigned short>) {
        std::int32_t k = 0;
        while (k < m_length && (isBlankChar16(m_chars[k]) || isPunctuationChar16(m_chars[k])))
            ++k;
        if (k > 0)
            setLengthAndAppendTail(0, k);
    }
}

template <typename T> void cLStringTmpl<T>::trimTrailingPunctuation() requires std::same_as<T, unsigned short>
{
    if constexpr (std::same_as<T, unsigned short>) {
        std::int32_t k = m_length;
        while (k > 0 && (isBlankChar16(m_chars[k - 1]) || isPunctuationChar16(m_chars[k - 1])))
            --k;
        truncate(k);
    }
}

template <typename T> void cLStringTmpl<T>::toLowerCase()
{
    if (m_length == 0)
        return;
    if (isShared())
        appendUnits(nullptr, 0, -1);
    if constexpr (std::same_as<T, unsigned short>) {
        for (std::int32_t i = 0; i < m_length; ++i)
            m_chars[i] = toLowerChar16(m_chars[i]);
    } else {
        // UTF-8 sequences are lowered as the characters they encode (when the partner has an encoding
        // of the same length, which holds for every pair of the tables); other bytes as Latin-1.
        for (std::int32_t i = 0; i < m_length;) {
            std::uint32_t cp = 0;
            const int n = uval(m_chars[i]) >= 0x80 ? wellFormedSequence(m_chars + i, m_length - i, cp) : 0;
            if (n == 0) {
                m_chars[i] = static_cast<char>(toLowerChar8(static_cast<unsigned char>(m_chars[i])));
                ++i;
                continue;
            }
            if (cp <= 0xFFFF) {
                const std::uint32_t lower = toLowerChar16(static_cast<std::uint16_t>(cp));
                if (lower != cp && utf8Length(lower) == n)
                    encodeUTF8Char(lower, m_chars + i);
            }
            i += n;
        }
    }
}

template <typename T> void cLStringTmpl<T>::toLowerCase(cLStringTmpl& result, cLStringTmpl& source)
{
    source.toLowerCase();
    result.assign(source);
}

template <typename T> void cLStringTmpl<T>::toUpperCase() requires std::same_as<T, unsigned short>
{
    if constexpr (std::same_as<T, unsigned short>) {
        if (m_length == 0)
            return;
        if (isShared())
            appendUnits(nullptr, 0, -1);
        for (std::int32_t i = 0; i < m_length; ++i)
            m_chars[i] = toUpperChar16(m_chars[i]);
    }
}

template <typename T>
void cLStringTmpl<T>::toUpperCase(cLStringTmpl& result, cLStringTmpl& source) requires std::same_as<T, unsigned short>
{
    if constexpr (std::same_as<T, unsigned short>) {
        source.toUpperCase();
        result.assign(source);
    }
}

template <typename T> void cLStringTmpl<T>::makeEmpty()
{
    if (isOnSentinel())
        return;
    if (isShared()) {
        releaseBuffer();
        return;
    }
    m_length = 0;
    m_chars[0] = T(0);
}

template <typename T> void cLStringTmpl<T>::reserve(std::int32_t n)
{
    if (m_capacity >= n || isShared())
        return;
    if (n > kMaxLength + 1)
        throw std::bad_alloc();
    T* fresh = new T[static_cast<std::size_t>(n) + 1];
    fresh[0] = T(1);
    std::memcpy(fresh + 1, m_chars, (static_cast<std::size_t>(m_length) + 1) * sizeof(T));
    const std::int32_t keptLength = m_length;
    releaseBuffer();
    m_buffer = fresh;
    m_chars = fresh + 1;
    m_capacity = n;
    m_length = keptLength;
}

template <typename T> void cLStringTmpl<T>::release()
{
    releaseBuffer();
    clearCache();
}

// ---------------------------------------------------------------------------------------------
// Search and comparison

template <typename T> std::int32_t cLStringTmpl<T>::findChar(T ch, std::int32_t start, bool ignoreCase) const
{
    if (start < 0 || start >= m_length)
        return -1;
    if (!ignoreCase) {
        for (std::int32_t i = start; i < m_length; ++i)
            if (m_chars[i] == ch)
                return i;
        return -1;
    }
    const std::uint32_t folded = lowerUnit(ch);
    for (std::int32_t i = start; i < m_length; ++i)
        if (lowerUnit(m_chars[i]) == folded)
            return i;
    return -1;
}

template <typename T> std::int32_t cLStringTmpl<T>::reverseFindChar(T ch, std::int32_t start, bool ignoreCase) const
{
    if (m_length == 0)
        return -1;
    if (start < 0 || start >= m_length)
        start = m_length - 1;
    const std::uint32_t folded = ignoreCase ? lowerUnit(ch) : uval(ch);
    for (std::int32_t i = start; i >= 0; --i) {
        const std::uint32_t c = ignoreCase ? lowerUnit(m_chars[i]) : uval(m_chars[i]);
        if (c == folded)
            return i;
    }
    return -1;
}

template <typename T> std::int32_t cLStringTmpl<T>::findCStr(const T* text, std::int32_t start, bool ignoreCase) const
{
    if (text == nullptr || *text == 0)
        return -1;
    if (start < 0 || start >= m_length)
        return -1;
    // The pattern's length is only measured as far as it could still fit.
    std::int32_t textLength = 0;
    while (text[textLength] != 0) {
        if (++textLength > m_length - start)
            return -1;
    }
    std::int32_t matched = 0;
    return findUnits(m_chars, m_length, text, textLength, start, ignoreCase, matched);
}

template <typename T> std::int32_t cLStringTmpl<T>::findAnyOf(const T* set, std::int32_t start) const
{
    if (set == nullptr || *set == 0 || start < 0)
        return -1;
    for (std::int32_t i = start; i < m_length; ++i)
        if (inSet(m_chars[i], set))
            return i;
    return -1;
}

template <typename T> int cLStringTmpl<T>::compareChars(const T* a, const T* b, bool ignoreCase, std::int32_t limit)
{
    static const T kEmpty[1] = {T(0)};
    if (a == nullptr)
        a = kEmpty;
    if (b == nullptr)
        b = kEmpty;
    const std::int64_t bound = limit < 0 ? std::numeric_limits<std::int64_t>::max() : limit;
    const T* a0 = a;
    const T* b0 = b;
    while (a - a0 < bound && b - b0 < bound) {
        const std::uint32_t ca = uval(*a);
        const std::uint32_t cb = uval(*b);
        if (ca == 0 || cb == 0)
            return ca == cb ? 0 : (ca == 0 ? -1 : 1);
        std::uint32_t fa = ca, fb = cb;
        if (ignoreCase) {
            fa = foldedNext(a, bound - (a - a0));
            fb = foldedNext(b, bound - (b - b0));
        } else {
            ++a, ++b;
        }
        if (fa != fb)
            return fa < fb ? -1 : 1;
    }
    return 0;
}

template <typename T> int cLStringTmpl<T>::compare(const T* text) const
{
    return compareChars(m_chars, text, false, -1);
}

template <typename T> int cLStringTmpl<T>::compareIgnoreCase(const T* text) const
{
    return compareChars(m_chars, text, true, -1);
}

template <typename T> int cLStringTmpl<T>::comparePrefix(const T* text, std::int32_t n) const
{
    return compareChars(m_chars, text, false, n);
}

template <typename T> int cLStringTmpl<T>::compareIgnoreCasePrefix(const T* text, std::int32_t n) const
{
    return compareChars(m_chars, text, true, n);
}

template <typename T> bool cLStringTmpl<T>::equals(const cLStringTmpl& other) const
{
    return m_length == other.m_length &&
        std::memcmp(m_chars, other.m_chars, static_cast<std::size_t>(m_length) * sizeof(T)) == 0;
}

template <typename T> bool cLStringTmpl<T>::equalsCStr(const T* text) const
{
    if (text == nullptr)
        return m_length == 0;
    for (std::int32_t i = 0; i < m_length; ++i)
        if (text[i] == 0 || text[i] != m_chars[i])
            return false;
    return text[m_length] == 0;
}

// ---------------------------------------------------------------------------------------------
// Numbers

template <typename T>
bool cLStringTmpl<T>::parseInt64(std::int64_t& value, int radix, std::int32_t start, std::int32_t count) const
{
    value = 0;
    if (radix < 2 || radix > 36 || start < 0 || start >= m_length)
        return false;
    const std::int64_t end = count < 0 ? m_length : std::min<std::int64_t>(m_length, std::int64_t(start) + count);
    std::int64_t i = start;
    bool negative = false;
    if (radix == 10 && m_chars[i] == T('-')) {
        negative = true;
        if (++i >= end)
            return false;
    }
    std::uint64_t magnitude = 0;
    const std::uint64_t r = static_cast<std::uint64_t>(radix);
    for (; i < end; ++i) {
        const int d = digitValue(uval(m_chars[i]));
        if (d < 0 || d >= radix)
            break;
        if (magnitude > (std::numeric_limits<std::uint64_t>::max() - static_cast<std::uint64_t>(d)) / r)
            return false;  // overflow: the result is 0
        magnitude = magnitude * r + static_cast<std::uint64_t>(d);
    }
    if (negative) {
        // The most negative 64-bit value is the only one whose magnitude has the top bit set.
        if (magnitude > (std::uint64_t(1) << 63))
            return false;
        value = static_cast<std::int64_t>(0 - magnitude);
        return i == end && magnitude != 0;
    }
    value = static_cast<std::int64_t>(magnitude);
    return i == end;
}

template <typename T> std::int32_t cLStringTmpl<T>::toInt32(int radix, std::int32_t start, std::int32_t count) const
{
    std::int64_t value = 0;
    parseInt64(value, radix, start, count);
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(value)));
}

template <typename T> std::int64_t cLStringTmpl<T>::toInt64(int radix, std::int32_t start, std::int32_t count) const
{
    std::int64_t value = 0;
    parseInt64(value, radix, start, count);
    return value;
}

template <typename T>
int cLStringTmpl<T>::formatMagnitude(
    std::uint64_t magnitude, bool negative, int radix, bool append, std::int32_t minWidth, bool zeroFill)
{
    if (radix < 2 || radix > 36)
        return 0;
    const std::uint64_t r = static_cast<std::uint64_t>(radix);
    std::int32_t digits = 1;
    for (std::uint64_t m = magnitude; m >= r; m /= r)
        ++digits;
    const std::int32_t width = std::max(minWidth, digits + (negative ? 1 : 0));
    if (!append)
        makeEmpty();
    appendFill(zeroFill ? T('0') : T(' '), width);
    // Digits from the last position leftwards; the sign right before the first digit.
    T* out = m_chars + m_length;
    for (std::int32_t k = 0; k < digits; ++k) {
        *--out = T(kDigits[magnitude % r]);
        magnitude /= r;
    }
    if (negative)
        *--out = T('-');
    return 1;
}

template <typename T>
int cLStringTmpl<T>::formatInt32(
    std::int32_t value, int radix, bool append, std::int32_t minWidth, bool zeroFill, bool isUnsigned)
{
    const bool negative = !isUnsigned && radix == 10 && value < 0;
    const std::uint64_t magnitude = negative ? static_cast<std::uint64_t>(-std::int64_t(value))
                                             : static_cast<std::uint64_t>(static_cast<std::uint32_t>(value));
    return formatMagnitude(magnitude, negative, radix, append, minWidth, zeroFill);
}

template <typename T>
int cLStringTmpl<T>::formatInt64(
    std::int64_t value, int radix, bool append, std::int32_t minWidth, bool zeroFill, bool isUnsigned)
{
    const bool negative = !isUnsigned && radix == 10 && value < 0;
    const std::uint64_t bits = static_cast<std::uint64_t>(value);
    return formatMagnitude(negative ? 0 - bits : bits, negative, radix, append, minWidth, zeroFill);
}

// ---------------------------------------------------------------------------------------------
// Encodings

template <typename T> const char* cLStringTmpl<T>::utf8Chars() const requires std::same_as<T, unsigned short>
{
    if constexpr (std::same_as<T, unsigned short>) {
        clearCache();
        m_utf8Cache = new cLStringTmpl<char>();
        m_utf8Cache->assignFromUTF16(m_chars, m_length);
        return m_utf8Cache->chars();
    } else {
        return nullptr;
    }
}

template <typename T>
bool cLStringTmpl<T>::serialize(bool write, std::FILE* file) requires std::same_as<T, unsigned short>
{
    if constexpr (std::same_as<T, unsigned short>) {
        if (file == nullptr)
            return false;
        if (write) {
            unsigned char header[8];
            putLE32(header, 1);
            putLE32(header + 4, static_cast<std::uint32_t>(m_length));
            if (std::fwrite(header, 1, sizeof header, file) != sizeof header)
                return false;
            std::vector<unsigned char> bytes(2 * (static_cast<std::size_t>(m_length) + 1));
            for (std::int32_t i = 0; i <= m_length; ++i) {
                bytes[2 * static_cast<std::size_t>(i)] = static_cast<unsigned char>(m_chars[i]);
                bytes[2 * static_cast<std::size_t>(i) + 1] = static_cast<unsigned char>(m_chars[i] >> 8);
            }
            return std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
        }
        unsigned char header[8];
        if (std::fread(header, 1, sizeof header, file) != sizeof header)
            return false;
        if (getLE32(header) != 1)
            return false;
        const std::uint32_t n = getLE32(header + 4);
        if (n > static_cast<std::uint64_t>(kMaxLength))
            return false;
        // Read in bounded chunks so that a corrupt length cannot allocate more than the file holds.
        std::vector<unsigned short> units;
        std::uint64_t remaining = std::uint64_t(n) + 1;
        unsigned char chunk[8192];
        while (remaining > 0) {
            const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(remaining, sizeof chunk / 2));
            if (std::fread(chunk, 2, want, file) != want)
                return false;
            for (std::size_t i = 0; i < want; ++i)
                units.push_back(static_cast<unsigned short>(chunk[2 * i] | chunk[2 * i + 1] << 8));
            remaining -= want;
        }
        // The text ends at the first 0 unit, whatever the stored length says.
        const auto zero = std::find(units.begin(), units.end(), 0);
        makeEmpty();
        appendUnits(units.data(), static_cast<std::int32_t>(zero - units.begin()), -1);
        return true;
    } else {
        return false;
    }
}

// Members of one form keep their bodies behind `if constexpr`: clang instantiates every member of an
// explicitly instantiated class, even one whose constraint its form does not meet.
template class cLStringTmpl<char>;
template class cLStringTmpl<unsigned short>;
