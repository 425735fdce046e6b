#include "engine/foundation/CharacterClasses.h"

#include "engine/foundation/LanguageSupport.h"

#include <array>

namespace {

struct Fold {
    int flag = 0;
    std::uint16_t upper = 0;
    std::uint16_t lower = 0;
    std::uint16_t base = 0;
};

constexpr Fold letter(std::uint32_t upper, std::uint32_t lower, std::uint32_t base)
{
    return Fold {
        1, static_cast<std::uint16_t>(upper), static_cast<std::uint16_t>(lower), static_cast<std::uint16_t>(base)};
}

// A letter of a range whose capitals sit on even units and small letters on odd ones.
constexpr Fold pair(std::uint32_t u, std::uint32_t base)
{
    return letter(u & ~1u, u | 1u, base);
}
// The same with capitals on odd units (the L/N and Z runs of Latin Extended-A).
constexpr Fold oddPair(std::uint32_t u, std::uint32_t base)
{
    return (u & 1u) ? letter(u, u + 1, base) : letter(u - 1, u, base);
}
// A letter without case partners.
constexpr Fold caseless(std::uint32_t u, std::uint32_t base)
{
    return letter(u, u, base);
}
constexpr std::uint32_t evenOdd(std::uint32_t u, char even, char odd)
{
    return static_cast<unsigned char>((u & 1u) ? odd : even);
}

constexpr bool punctuation8(std::uint32_t c)
{
    return (c >= 33 && c <= 47) || (c >= 58 && c <= 64) || (c >= 91 && c <= 96) || (c >= 123 && c <= 126) ||
        (c >= 0xA0 && c <= 0xBF && c != 0xAD) || c == 0xD7 || c == 0xF7;
}

constexpr bool punctuation16(std::uint32_t u)
{
    if (u < 0x100)
        return punctuation8(u);
    switch (u) {
    case 0x0374:
    case 0x0375:
    case 0x037A:
    case 0x037E:
    case 0x0384:
    case 0x0385:
    case 0x0387:
    case 0x03D7:
    case 0x03F0:
    case 0x03F1:
    case 0x03F2:
    case 0x05BE:
    case 0x05C0:
    case 0x05C3:
    case 0x05F3:
    case 0x05F4:
        return true;
    default:
        break;
    }
    if (u >= 0x2000 && u <= 0x20CF)
        return true;
    return u >= 0x2100 && u <= 0x27FF && u != 0x25CC;
}

constexpr bool digit(std::uint32_t c)
{
    return c >= '0' && c <= '9';
}

constexpr std::uint32_t latin1Base(std::uint32_t x)
{
    // Capitals 0xC0-0xDE and small letters 0xE0-0xFE share one layout, 32 apart.
    const bool small = x >= 0xE0;
    const std::uint32_t c = small ? x - 32 : x;
    char b = 0;
    if (c >= 0xC0 && c <= 0xC5)
        b = 'A';
    else if (c == 0xC7)
        b = 'C';
    else if (c >= 0xC8 && c <= 0xCB)
        b = 'E';
    else if (c >= 0xCC && c <= 0xCF)
        b = 'I';
    else if (c == 0xD0)
        b = 'D';
    else if (c == 0xD1)
        b = 'N';
    else if ((c >= 0xD2 && c <= 0xD6) || c == 0xD8)
        b = 'O';
    else if (c >= 0xD9 && c <= 0xDC)
        b = 'U';
    else if (c == 0xDD)
        b = 'Y';
    if (b == 0)
        return x;  // 0xC6, 0xDE and their small forms keep themselves
    return small ? static_cast<std::uint32_t>(b) + 32 : static_cast<std::uint32_t>(b);
}

constexpr Fold fold8(std::uint32_t x)
{
    if (x >= 'A' && x <= 'Z')
        return letter(x, x + 32, x);
    if (x >= 'a' && x <= 'z')
        return letter(x - 32, x, x);
    if (x >= 0xC0 && x <= 0xDE && x != 0xD7)
        return letter(x, x + 32, latin1Base(x));
    if (x == 0xDF)
        return letter('S', 0xDF, 0xDF);
    if (x >= 0xE0 && x <= 0xFE && x != 0xF7)
        return letter(x - 32, x, latin1Base(x));
    if (x == 0xFF)
        return letter(0x178, 0xFF, 'y');
    if (digit(x) || punctuation8(x))
        return Fold {1, 0, 0, static_cast<std::uint16_t>(x)};
    return Fold {};
}

constexpr Fold foldGreek(std::uint32_t u)
{
    switch (u) {
    case 0x386:
        return letter(u, 0x3AC, 0x391);
    case 0x388:
        return letter(u, 0x3AD, 0x395);
    case 0x389:
        return letter(u, 0x3AE, 0x397);
    case 0x38A:
        return letter(u, 0x3AF, 0x399);
    case 0x38C:
        return letter(u, 0x3CC, 0x39F);
    case 0x38E:
        return letter(u, 0x3CD, 0x3A5);
    case 0x38F:
        return letter(u, 0x3CE, 0x3A9);
    case 0x390:
        return caseless(u, 0x3B9);
    case 0x3AA:
        return letter(u, u + 32, 0x399);
    case 0x3AB:
        return letter(u, u + 32, 0x3A5);
    case 0x3AC:
        return letter(0x386, u, 0x3B1);
    case 0x3AD:
        return letter(0x388, u, 0x3B5);
    case 0x3AE:
        return letter(0x389, u, 0x3B7);
    case 0x3AF:
        return letter(0x38A, u, 0x3B9);
    case 0x3B0:
        return caseless(u, 0x3C5);
    case 0x3C2:
        return letter(0x3A3, u, u);  // final sigma
    case 0x3CA:
        return letter(0x3AA, u, 0x3B9);
    case 0x3CB:
        return letter(0x3AB, u, 0x3C5);
    case 0x3CC:
        return letter(0x38C, u, 0x3BF);
    case 0x3CD:
        return letter(0x38E, u, 0x3C5);
    case 0x3CE:
        return letter(0x38F, u, 0x3C9);
    case 0x3D0:
        return caseless(u, 0x3B2);
    case 0x3D1:
        return caseless(u, 0x3B8);
    case 0x3D2:
    case 0x3D3:
    case 0x3D4:
        return caseless(u, 0x3A5);
    case 0x3D5:
        return caseless(u, 0x3C6);
    case 0x3D6:
        return caseless(u, 0x3C0);
    case 0x3F3:
        return caseless(u, u);
    default:
        break;
    }
    if (u >= 0x391 && u <= 0x3A9 && u != 0x3A2)
        return letter(u, u + 32, u);
    if (u >= 0x3B1 && u <= 0x3C9)
        return letter(u - 32, u, u);
    if (u >= 0x3DA && u <= 0x3EF)
        return pair(u, u);  // Coptic letters in the Greek block
    return Fold {};
}

constexpr Fold foldLatinExtended(std::uint32_t u)
{
    if (u <= 0x105)
        return pair(u, evenOdd(u, 'A', 'a'));
    if (u <= 0x10D)
        return pair(u, evenOdd(u, 'C', 'c'));
    if (u <= 0x111)
        return pair(u, evenOdd(u, 'D', 'd'));
    if (u <= 0x11B)
        return pair(u, evenOdd(u, 'E', 'e'));
    if (u <= 0x123)
        return pair(u, evenOdd(u, 'G', 'g'));
    if (u <= 0x127)
        return pair(u, evenOdd(u, 'H', 'h'));
    if (u <= 0x131)
        return pair(u, evenOdd(u, 'I', 'i'));
    if (u <= 0x133)
        return pair(u, u);
    if (u <= 0x135)
        return pair(u, evenOdd(u, 'J', 'j'));
    if (u <= 0x137)
        return pair(u, evenOdd(u, 'K', 'k'));
    if (u == 0x138)
        return caseless(u, u);
    if (u <= 0x148) {
        const bool isL = u < 0x143;
        return oddPair(u, (u & 1u) ? (isL ? 'L' : 'N') : (isL ? 'l' : 'n'));
    }
    if (u == 0x149)
        return caseless(u, u);
    if (u <= 0x14B)
        return pair(u, evenOdd(u, 'N', 'n'));
    if (u <= 0x151)
        return pair(u, evenOdd(u, 'O', 'o'));
    if (u <= 0x153)
        return pair(u, u);
    if (u <= 0x159)
        return pair(u, evenOdd(u, 'R', 'r'));
    if (u <= 0x161)
        return pair(u, evenOdd(u, 'S', 's'));
    if (u <= 0x167)
        return pair(u, evenOdd(u, 'T', 't'));
    if (u <= 0x173)
        return pair(u, evenOdd(u, 'U', 'u'));
    if (u <= 0x175)
        return pair(u, evenOdd(u, 'W', 'w'));
    if (u <= 0x177)
        return pair(u, evenOdd(u, 'Y', 'y'));
    if (u == 0x178)
        return letter(0x178, 0xFF, 'Y');
    if (u <= 0x17E)
        return oddPair(u, (u & 1u) ? 'Z' : 'z');
    if (u == 0x17F)
        return caseless(u, u);
    return Fold {};
}

constexpr Fold fold16(std::uint32_t u)
{
    if (u < 0x100)
        return fold8(u);
    Fold f {};
    if (u <= 0x17F)
        f = foldLatinExtended(u);
    else if (u == 0x192)
        f = letter(0x191, 0x192, 'f');
    else if (u >= 0x1FA && u <= 0x1FF) {
        const std::uint32_t base = u == 0x1FA ? 'A' : u == 0x1FB ? 'a' : u == 0x1FE ? 'O' : u == 0x1FF ? 'o' : u;
        f = pair(u, base);
    } else if (u >= 0x2B0 && u <= 0x2EE)
        f = caseless(u, u);
    else if (u >= 0x386 && u <= 0x3F3)
        f = foldGreek(u);
    else if ((u >= 0x5D0 && u <= 0x5EA) || (u >= 0x5F0 && u <= 0x5F2) || u == 0x25CC)
        f = caseless(u, u);
    if (f.flag)
        return f;
    if (punctuation16(u))
        return Fold {1, 0, 0, static_cast<std::uint16_t>(u)};
    return Fold {};
}

// Every unit with a fold lies below U+0600 except U+25CC, so case partners below that bound are
// looked up in tables built at compile time; the remaining units map to themselves.
constexpr std::uint32_t kTableSize = 0x600;

struct CaseTables {
    std::array<std::uint16_t, kTableSize> lower {};
    std::array<std::uint16_t, kTableSize> upper {};
};

constexpr CaseTables makeCaseTables()
{
    CaseTables t;
    for (std::uint32_t u = 0; u < kTableSize; ++u) {
        const Fold f = fold16(u);
        t.lower[u] = (f.flag && f.lower != 0) ? f.lower : static_cast<std::uint16_t>(u);
        t.upper[u] = (f.flag && f.upper != 0) ? f.upper : static_cast<std::uint16_t>(u);
    }
    return t;
}

constexpr CaseTables kCaseTables = makeCaseTables();

int output(const Fold& f, std::uint16_t& upper, std::uint16_t& lower, std::uint16_t& base)
{
    upper = f.upper;
    lower = f.lower;
    base = f.base;
    return f.flag;
}

bool letterOrMark(const Fold& f, std::uint16_t u)
{
    if (f.flag && (u == f.upper || u == f.lower))
        return true;
    return isCombiningChar16(u);
}

}  // namespace

int latin1CaseFold8(unsigned char c, std::uint16_t& upper, std::uint16_t& lower, std::uint16_t& base)
{
    return output(fold8(c), upper, lower, base);
}

int latin1CaseFold16(std::uint16_t u, std::uint16_t& upper, std::uint16_t& lower, std::uint16_t& base)
{
    return output(fold16(u), upper, lower, base);
}

unsigned char toLowerChar8(unsigned char c)
{
    return static_cast<unsigned char>(kCaseTables.lower[c]);
}

std::uint16_t toLowerChar16(std::uint16_t u)
{
    return u < kTableSize ? kCaseTables.lower[u] : u;
}

unsigned char toUpperChar8(unsigned char c)
{
    const std::uint16_t up = kCaseTables.upper[c];
    return up > 0xFF ? c : static_cast<unsigned char>(up);
}

std::uint16_t toUpperChar16(std::uint16_t u)
{
    return u < kTableSize ? kCaseTables.upper[u] : u;
}

bool isPunctuationChar8(unsigned char c)
{
    return punctuation8(c);
}
bool isPunctuationChar16(std::uint16_t u)
{
    return punctuation16(u);
}
bool isBlankChar8(unsigned char c)
{
    return c == '\t' || c == ' ';
}
bool isBlankChar16(std::uint16_t u)
{
    return u == '\t' || u == ' ';
}
bool isDigitChar8(unsigned char c)
{
    return digit(c);
}
bool isDigitChar16(std::uint16_t u)
{
    return digit(u);
}
bool isControlChar8(unsigned char c)
{
    return isControlChar16(c);
}
bool isControlChar16(std::uint16_t u)
{
    return (u < 32 && u != '\t') || (u >= 127 && u <= 159) || u == 0xAD;
}

bool isLowerCaseChar8(unsigned char c)
{
    const Fold f = fold8(c);
    return f.flag && f.lower == c;
}

bool isLetterOrMarkChar8(unsigned char c)
{
    return letterOrMark(fold8(c), c);
}
bool isLetterOrMarkChar16(std::uint16_t u)
{
    return letterOrMark(fold16(u), u);
}

bool isCombiningChar8(unsigned char c)
{
    return isCombiningChar16(c);
}
bool isCombiningChar16(std::uint16_t u)
{
    return combiningClassForCharacter(u, kLanguageAny) != 0;
}
