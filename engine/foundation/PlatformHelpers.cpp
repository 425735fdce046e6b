#include "engine/foundation/PlatformHelpers.h"

#include "engine/foundation/CharacterClasses.h"

#include <algorithm>
#include <atomic>
#include <cstring>

namespace {

std::atomic<std::int32_t> gBusySections {0};

unsigned char byteOf(char c)
{
    return static_cast<unsigned char>(c);
}

// Latin-1 letters inside the engine's punctuation block 0xA0-0xBF: the feminine and
// masculine ordinals and the micro sign.
bool isLatin1Letter(unsigned char b)
{
    return b == 0xAA || b == 0xB5 || b == 0xBA;
}

}  // namespace

std::int32_t safeStrlen(const char* s)
{
    if (s == nullptr)
        return 0;
    const std::size_t n = std::strlen(s);
    return n > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<std::int32_t>(n);
}

char* safeStrcpy(char* dst, const char* src)
{
    if (dst != nullptr && src != nullptr)
        std::strcpy(dst, src);
    return dst;
}

int safeStrcmp(const char* a, const char* b)
{
    if (a == nullptr)
        return b == nullptr ? 0 : -1;
    if (b == nullptr)
        return 1;
    const int r = std::strcmp(a, b);
    return r < 0 ? -1 : (r > 0 ? 1 : 0);
}

void safeMemCopy(void* dst, const void* src, std::int32_t n)
{
    if (dst != nullptr && src != nullptr && n > 0)
        std::memcpy(dst, src, static_cast<std::size_t>(n));
}

void safeMemMove(void* dst, const void* src, std::int32_t n)
{
    if (dst != nullptr && src != nullptr && n > 0)
        std::memmove(dst, src, static_cast<std::size_t>(n));
}

void safeMemSet(void* dst, int byte, std::int32_t n)
{
    if (dst != nullptr && n > 0)
        std::memset(dst, byte & 0xFF, static_cast<std::size_t>(n));
}

void reverseBytes(void* buf, std::int32_t n)
{
    if (buf == nullptr || n < 2)
        return;
    auto* p = static_cast<unsigned char*>(buf);
    std::reverse(p, p + n);
}

char charToLower(char c)
{
    return static_cast<char>(toLowerChar8(byteOf(c)));
}

bool isLowerChar(char c)
{
    const unsigned char b = byteOf(c);
    return b == 0xB5 || isLowerCaseChar8(b);  // the micro sign is a lower-case letter
}

bool isAsciiDigitChar(char c)
{
    return c >= '0' && c <= '9';
}

bool isSpaceChar(char c)
{
    const unsigned char b = byteOf(c);
    return (b >= 9 && b <= 13) || b == ' ' || b == 0x85 || b == 0xA0;
}

bool isPunctChar(char c)
{
    const unsigned char b = byteOf(c);
    if (b == 0xA0 || isLatin1Letter(b))
        return false;  // no-break space is a space
    return isPunctuationChar8(b);
}

void beginBusySection()
{
    gBusySections.fetch_add(1, std::memory_order_relaxed);
}

void endBusySection()
{
    gBusySections.fetch_sub(1, std::memory_order_relaxed);
}

std::int32_t busySectionCount()
{
    return gBusySections.load(std::memory_order_relaxed);
}
