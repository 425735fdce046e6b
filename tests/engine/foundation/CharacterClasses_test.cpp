#include "engine/foundation/CharacterClasses.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdint>
#include <initializer_list>
#include <ostream>
#include <string>

namespace {

struct Folded {
    int flag;
    std::uint16_t upper, lower, base;
    bool operator==(const Folded&) const = default;
};

Folded fold16(std::uint16_t u)
{
    Folded f {};
    f.flag = latin1CaseFold16(u, f.upper, f.lower, f.base);
    return f;
}

Folded fold8(unsigned char c)
{
    Folded f {};
    f.flag = latin1CaseFold8(c, f.upper, f.lower, f.base);
    return f;
}

void PrintTo(const Folded& f, std::ostream* os)
{
    *os << "{" << f.flag << ", " << std::hex << f.upper << ", " << f.lower << ", " << f.base << "}";
}

}  // namespace

TEST(CharacterClasses, Latin1Letters)
{
    EXPECT_EQ(fold8('A'), (Folded {1, 'A', 'a', 'A'}));
    EXPECT_EQ(fold8('z'), (Folded {1, 'Z', 'z', 'z'}));
    EXPECT_EQ(fold8(0xC0), (Folded {1, 0xC0, 0xE0, 'A'}));
    EXPECT_EQ(fold8(0xC5), (Folded {1, 0xC5, 0xE5, 'A'}));
    EXPECT_EQ(fold8(0xC6), (Folded {1, 0xC6, 0xE6, 0xC6}));  // Æ keeps itself as base
    EXPECT_EQ(fold8(0xC7), (Folded {1, 0xC7, 0xE7, 'C'}));
    EXPECT_EQ(fold8(0xD0), (Folded {1, 0xD0, 0xF0, 'D'}));
    EXPECT_EQ(fold8(0xD8), (Folded {1, 0xD8, 0xF8, 'O'}));
    EXPECT_EQ(fold8(0xDE), (Folded {1, 0xDE, 0xFE, 0xDE}));
    EXPECT_EQ(fold8(0xDF), (Folded {1, 'S', 0xDF, 0xDF}));
    EXPECT_EQ(fold8(0xE9), (Folded {1, 0xC9, 0xE9, 'e'}));
    EXPECT_EQ(fold8(0xF1), (Folded {1, 0xD1, 0xF1, 'n'}));
    EXPECT_EQ(fold8(0xF8), (Folded {1, 0xD8, 0xF8, 'o'}));
    EXPECT_EQ(fold8(0xFD), (Folded {1, 0xDD, 0xFD, 'y'}));
    EXPECT_EQ(fold8(0xFE), (Folded {1, 0xDE, 0xFE, 0xFE}));
    EXPECT_EQ(fold8(0xFF), (Folded {1, 0x178, 0xFF, 'y'}));
    // Multiplication and division signs are punctuation, not letters.
    EXPECT_EQ(fold8(0xD7), (Folded {1, 0, 0, 0xD7}));
    EXPECT_EQ(fold8(0xF7), (Folded {1, 0, 0, 0xF7}));
    EXPECT_EQ(fold8('7'), (Folded {1, 0, 0, '7'}));
    EXPECT_EQ(fold8(0xAD), (Folded {}));
    EXPECT_EQ(fold8('\t'), (Folded {}));
    EXPECT_EQ(fold8(0x85), (Folded {}));

    // The 16-bit fold agrees with the 8-bit one on the whole Latin-1 range.
    for (int c = 0; c < 256; ++c)
        EXPECT_EQ(fold16(static_cast<std::uint16_t>(c)), fold8(static_cast<unsigned char>(c))) << c;

    EXPECT_EQ(toUpperChar16(0xDF), 'S');
    EXPECT_EQ(toUpperChar8(0xDF), 'S');
    EXPECT_EQ(toUpperChar16(0xFF), 0x178);
    EXPECT_EQ(toUpperChar8(0xFF), 0xFF);
    EXPECT_EQ(toLowerChar8(0xC9), 0xE9);
    EXPECT_EQ(toLowerChar8('5'), '5');
    EXPECT_TRUE(isLowerCaseChar8('a'));
    EXPECT_TRUE(isLowerCaseChar8(0xDF));
    EXPECT_FALSE(isLowerCaseChar8('A'));
    EXPECT_FALSE(isLowerCaseChar8('1'));
}

TEST(CharacterClasses, LatinExtended)
{
    EXPECT_EQ(fold16(0x100), (Folded {1, 0x100, 0x101, 'A'}));
    EXPECT_EQ(fold16(0x101), (Folded {1, 0x100, 0x101, 'a'}));
    EXPECT_EQ(fold16(0x10D), (Folded {1, 0x10C, 0x10D, 'c'}));
    EXPECT_EQ(fold16(0x131), (Folded {1, 0x130, 0x131, 'i'}));
    EXPECT_EQ(fold16(0x133), (Folded {1, 0x132, 0x133, 0x133}));
    EXPECT_EQ(fold16(0x134), (Folded {1, 0x134, 0x135, 'J'}));
    EXPECT_EQ(fold16(0x137), (Folded {1, 0x136, 0x137, 'k'}));
    EXPECT_EQ(fold16(0x138), (Folded {1, 0x138, 0x138, 0x138}));
    // L and N with capitals on odd units.
    EXPECT_EQ(fold16(0x139), (Folded {1, 0x139, 0x13A, 'L'}));
    EXPECT_EQ(fold16(0x142), (Folded {1, 0x141, 0x142, 'l'}));
    EXPECT_EQ(fold16(0x143), (Folded {1, 0x143, 0x144, 'N'}));
    EXPECT_EQ(fold16(0x148), (Folded {1, 0x147, 0x148, 'n'}));
    EXPECT_EQ(fold16(0x149), (Folded {1, 0x149, 0x149, 0x149}));
    EXPECT_EQ(fold16(0x14B), (Folded {1, 0x14A, 0x14B, 'n'}));
    EXPECT_EQ(fold16(0x152), (Folded {1, 0x152, 0x153, 0x152}));
    EXPECT_EQ(fold16(0x161), (Folded {1, 0x160, 0x161, 's'}));
    EXPECT_EQ(fold16(0x175), (Folded {1, 0x174, 0x175, 'w'}));
    EXPECT_EQ(fold16(0x176), (Folded {1, 0x176, 0x177, 'Y'}));
    EXPECT_EQ(fold16(0x178), (Folded {1, 0x178, 0xFF, 'Y'}));
    EXPECT_EQ(fold16(0x179), (Folded {1, 0x179, 0x17A, 'Z'}));
    EXPECT_EQ(fold16(0x17E), (Folded {1, 0x17D, 0x17E, 'z'}));
    EXPECT_EQ(fold16(0x17F), (Folded {1, 0x17F, 0x17F, 0x17F}));
    EXPECT_EQ(fold16(0x180), (Folded {}));
    EXPECT_EQ(fold16(0x191), (Folded {}));
    EXPECT_EQ(fold16(0x192), (Folded {1, 0x191, 0x192, 'f'}));
    EXPECT_EQ(fold16(0x1FA), (Folded {1, 0x1FA, 0x1FB, 'A'}));
    EXPECT_EQ(fold16(0x1FD), (Folded {1, 0x1FC, 0x1FD, 0x1FD}));
    EXPECT_EQ(fold16(0x1FF), (Folded {1, 0x1FE, 0x1FF, 'o'}));
    EXPECT_EQ(fold16(0x2B0), (Folded {1, 0x2B0, 0x2B0, 0x2B0}));
    EXPECT_EQ(fold16(0x2EE), (Folded {1, 0x2EE, 0x2EE, 0x2EE}));
    EXPECT_EQ(fold16(0x2EF), (Folded {}));
}

TEST(CharacterClasses, GreekAndCoptic)
{
    EXPECT_EQ(fold16(0x391), (Folded {1, 0x391, 0x3B1, 0x391}));
    EXPECT_EQ(fold16(0x3A2), (Folded {}));
    EXPECT_EQ(fold16(0x3A3), (Folded {1, 0x3A3, 0x3C3, 0x3A3}));
    EXPECT_EQ(fold16(0x3A9), (Folded {1, 0x3A9, 0x3C9, 0x3A9}));
    EXPECT_EQ(fold16(0x3C2), (Folded {1, 0x3A3, 0x3C2, 0x3C2}));  // final sigma
    EXPECT_EQ(fold16(0x3C3), (Folded {1, 0x3A3, 0x3C3, 0x3C3}));
    EXPECT_EQ(toLowerChar16(0x3A3), 0x3C3);
    EXPECT_EQ(toUpperChar16(0x3C2), 0x3A3);
    // Tonos capitals and small letters lose the accent in the base.
    EXPECT_EQ(fold16(0x386), (Folded {1, 0x386, 0x3AC, 0x391}));
    EXPECT_EQ(fold16(0x38F), (Folded {1, 0x38F, 0x3CE, 0x3A9}));
    EXPECT_EQ(fold16(0x3AC), (Folded {1, 0x386, 0x3AC, 0x3B1}));
    EXPECT_EQ(fold16(0x3AF), (Folded {1, 0x38A, 0x3AF, 0x3B9}));
    EXPECT_EQ(fold16(0x3CC), (Folded {1, 0x38C, 0x3CC, 0x3BF}));
    EXPECT_EQ(fold16(0x3CE), (Folded {1, 0x38F, 0x3CE, 0x3C9}));
    EXPECT_EQ(fold16(0x3AA), (Folded {1, 0x3AA, 0x3CA, 0x399}));
    EXPECT_EQ(fold16(0x3CB), (Folded {1, 0x3AB, 0x3CB, 0x3C5}));
    EXPECT_EQ(fold16(0x390), (Folded {1, 0x390, 0x390, 0x3B9}));
    EXPECT_EQ(fold16(0x3B0), (Folded {1, 0x3B0, 0x3B0, 0x3C5}));
    EXPECT_EQ(fold16(0x3D1), (Folded {1, 0x3D1, 0x3D1, 0x3B8}));
    EXPECT_EQ(fold16(0x3D3), (Folded {1, 0x3D3, 0x3D3, 0x3A5}));
    EXPECT_EQ(fold16(0x3D6), (Folded {1, 0x3D6, 0x3D6, 0x3C0}));
    EXPECT_EQ(fold16(0x3E2), (Folded {1, 0x3E2, 0x3E3, 0x3E2}));  // Coptic shei
    EXPECT_EQ(fold16(0x3EF), (Folded {1, 0x3EE, 0x3EF, 0x3EF}));
    EXPECT_EQ(fold16(0x3F3), (Folded {1, 0x3F3, 0x3F3, 0x3F3}));
    EXPECT_EQ(fold16(0x387), (Folded {1, 0, 0, 0x387}));  // ano teleia: punctuation
    EXPECT_EQ(fold16(0x3F0), (Folded {1, 0, 0, 0x3F0}));
    EXPECT_EQ(fold16(0x3F4), (Folded {}));
    for (std::uint16_t u = 0x391; u <= 0x3A9; ++u) {
        if (u == 0x3A2)
            continue;
        EXPECT_EQ(toUpperChar16(toLowerChar16(u)), u);
    }
}

TEST(CharacterClasses, HebrewAndOthers)
{
    EXPECT_EQ(fold16(0x5D0), (Folded {1, 0x5D0, 0x5D0, 0x5D0}));
    EXPECT_EQ(fold16(0x5EA), (Folded {1, 0x5EA, 0x5EA, 0x5EA}));
    EXPECT_EQ(fold16(0x5F2), (Folded {1, 0x5F2, 0x5F2, 0x5F2}));
    EXPECT_EQ(fold16(0x5EB), (Folded {}));
    EXPECT_EQ(fold16(0x5C3), (Folded {1, 0, 0, 0x5C3}));
    EXPECT_EQ(fold16(0x25CC), (Folded {1, 0x25CC, 0x25CC, 0x25CC}));
    EXPECT_TRUE(isLetterOrMarkChar16(0x5D0));
    EXPECT_TRUE(isLetterOrMarkChar16(0x25CC));

    // Units outside the tables have no fold and map to themselves.
    for (std::uint16_t u : {0x1E00, 0x4E2D, 0xFFFF, 0xD800}) {
        EXPECT_EQ(fold16(u), (Folded {})) << u;
        EXPECT_EQ(toLowerChar16(u), u);
        EXPECT_EQ(toUpperChar16(u), u);
    }
}

TEST(CharacterClasses, Classes)
{
    EXPECT_TRUE(isPunctuationChar16(0x387));
    EXPECT_TRUE(isPunctuationChar16(0x5C3));
    EXPECT_TRUE(isPunctuationChar16(0x5BE));
    EXPECT_TRUE(isPunctuationChar16(0x2014));
    EXPECT_TRUE(isPunctuationChar16(0x20AC));
    EXPECT_TRUE(isPunctuationChar16(0x2192));
    EXPECT_FALSE(isPunctuationChar16(0x25CC));
    EXPECT_FALSE(isPunctuationChar16(0x20D0));
    EXPECT_FALSE(isPunctuationChar16(0x2800));
    EXPECT_FALSE(isPunctuationChar16(0x5B0));
    for (int c : std::initializer_list<int> {'!', '/', ':', '@', '[', '`', '{', '~', 0xA0, 0xBF, 0xD7, 0xF7})
        EXPECT_TRUE(isPunctuationChar8(static_cast<unsigned char>(c))) << c;
    for (int c : std::initializer_list<int> {' ', '0', 'a', 0xAD, 0x7F, 0xC0, '\t'})
        EXPECT_FALSE(isPunctuationChar8(static_cast<unsigned char>(c))) << c;

    EXPECT_TRUE(isControlChar8(0xAD));
    EXPECT_TRUE(isControlChar8(0));
    EXPECT_TRUE(isControlChar8(31));
    EXPECT_TRUE(isControlChar16(127));
    EXPECT_TRUE(isControlChar16(159));
    EXPECT_FALSE(isControlChar16(160));
    EXPECT_FALSE(isControlChar8('\t'));
    EXPECT_FALSE(isControlChar8(' '));
    EXPECT_TRUE(isBlankChar8('\t'));
    EXPECT_TRUE(isBlankChar16(' '));
    EXPECT_FALSE(isBlankChar16(0xA0));
    EXPECT_FALSE(isBlankChar8('\n'));
    EXPECT_TRUE(isDigitChar8('0'));
    EXPECT_TRUE(isDigitChar16('9'));
    EXPECT_FALSE(isDigitChar16(0x0660));

    EXPECT_TRUE(isLetterOrMarkChar8('q'));
    EXPECT_TRUE(isLetterOrMarkChar8(0xDF));
    EXPECT_FALSE(isLetterOrMarkChar8('3'));
    EXPECT_FALSE(isLetterOrMarkChar8('.'));
    EXPECT_TRUE(isLetterOrMarkChar16(0x3C9));
    EXPECT_TRUE(isLetterOrMarkChar16(0x301));  // combining acute accent
    EXPECT_TRUE(isLetterOrMarkChar16(0x5B0));  // sheva
    EXPECT_FALSE(isLetterOrMarkChar16(0x4E2D));
    EXPECT_TRUE(isCombiningChar16(0x301));
    EXPECT_TRUE(isCombiningChar16(0x5B0));
    EXPECT_FALSE(isCombiningChar16('a'));
    EXPECT_FALSE(isCombiningChar8(0xE9));
}

TEST(CharacterClasses, IndependentOfTheCLocale)
{
    const char* previous = std::setlocale(LC_ALL, nullptr);
    const std::string saved = previous ? previous : "C";
    for (const char* name : {"C", "tr_TR.UTF-8", "el_GR.ISO-8859-7", "C.UTF-8"}) {
        std::setlocale(LC_ALL, name);  // may fail on this machine; the answers must not change
        EXPECT_EQ(toUpperChar8('i'), 'I');
        EXPECT_EQ(toLowerChar8('I'), 'i');
        EXPECT_EQ(toLowerChar8(0xC9), 0xE9);
        EXPECT_FALSE(isPunctuationChar8(0xE9));
        EXPECT_EQ(toLowerChar16(0x3A3), 0x3C3);
    }
    std::setlocale(LC_ALL, saved.c_str());
}
