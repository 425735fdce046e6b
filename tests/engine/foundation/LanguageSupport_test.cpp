#include "engine/foundation/LanguageSupport.h"

#include "engine/foundation/UnicodeTables.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace {

cLString16 units(std::initializer_list<std::uint16_t> list)
{
    cLString16 s;
    for (std::uint16_t u : list)
        s.appendChar(u);
    return s;
}

std::vector<std::uint16_t> unitsOf(const cLString16& s)
{
    return std::vector<std::uint16_t>(s.chars(), s.chars() + s.length());
}

std::string text(const cLString8& s)
{
    return std::string(s.chars(), static_cast<std::size_t>(s.length()));
}

using U = std::vector<std::uint16_t>;

constexpr std::uint16_t kAlpha = 0x03B1, kAcute = 0x0301, kGrave = 0x0300, kPsili = 0x0313;
constexpr std::uint16_t kBet = 0x05D1, kShin = 0x05E9, kDagesh = 0x05BC, kPatah = 0x05B7, kShinDot = 0x05C1,
                        kQamats = 0x05B8;

}  // namespace

TEST(LanguageSupport, TablesHaveTheirRowsInOrder)
{
    using namespace UnicodeTables;
    int general = 0, greek = 0;
    for (std::size_t i = 0; i < kCombiningClassRowCount; ++i) {
        const CombiningClassRow& r = kCombiningClassRows[i];
        EXPECT_NE(r.combiningClass, 0u);
        if (r.language == 0)
            ++general;
        if (r.language == kLanguageGreek)
            ++greek;
        if (i > 0) {
            const CombiningClassRow& p = kCombiningClassRows[i - 1];
            EXPECT_TRUE(p.character < r.character || (p.character == r.character && p.language < r.language));
        }
    }
    EXPECT_EQ(general, 602);
    EXPECT_EQ(greek, 6);
    EXPECT_EQ(kCombiningClassRows[0].character, 0x0300);
    EXPECT_EQ(kCombiningClassRows[kCombiningClassRowCount - 1].character, 0xFE26);
    for (std::size_t i = 1; i < kDecompositionRowCount; ++i)
        EXPECT_LT(kDecompositionRows[i - 1].character, kDecompositionRows[i].character);
    EXPECT_EQ(kDecompositionRows[0].character, 0x00C0);
    EXPECT_EQ(kDecompositionRows[kDecompositionRowCount - 1].character, 0xFB4E);
}

TEST(LanguageSupport, CombiningClassesWithLanguageOverrides)
{
    EXPECT_EQ(combiningClassForCharacter(kAcute, kLanguageGreek), 2299u);
    EXPECT_EQ(combiningClassForCharacter(kAcute, kLanguageEnglish), 2300u);
    EXPECT_EQ(combiningClassForCharacter(kAcute, kLanguageAny), 2300u);
    EXPECT_EQ(combiningClassForCharacter(kPsili, kLanguageGreek), 2298u);
    EXPECT_EQ(combiningClassForCharacter(0x0308, kLanguageGreek), 2298u);
    EXPECT_EQ(combiningClassForCharacter(0x0342, kLanguageGreek), 2299u);
    EXPECT_EQ(combiningClassForCharacter(0x0345, kLanguageGreek), 2400u);  // no override: general row
    EXPECT_EQ(combiningClassForCharacter(0x05B0, kLanguageHebrew), 100u);
    EXPECT_EQ(combiningClassForCharacter(kDagesh, kLanguageHebrew), 210u);
    EXPECT_EQ(combiningClassForCharacter('a', kLanguageAny), 0u);
    EXPECT_EQ(combiningClassForCharacter(0xFE26, kLanguageAny), 2300u);
    EXPECT_EQ(combiningClassForCharacter(0xFE27, kLanguageAny), 0u);  // a later Unicode addition
    EXPECT_EQ(combiningClassForCharacter(0xFFFF, kLanguageAny), 0u);
    EXPECT_EQ(combiningClassForCharacter(0x0000, kLanguageAny), 0u);
}

TEST(LanguageSupport, DecomposeCharDecomposesTheFirstUnitOnly)
{
    cLString16 out;
    decomposeChar(out, 0x00E9, false);  // Latin-1 stays composed
    EXPECT_EQ(unitsOf(out), U({0x00E9}));
    decomposeChar(out, 0x00E9, true);
    EXPECT_EQ(unitsOf(out), U({'e', kAcute}));
    decomposeChar(out, 0x1F04, false);  // alpha with psili and oxia, two levels
    EXPECT_EQ(unitsOf(out), U({kAlpha, kPsili, kAcute}));
    decomposeChar(out, 0x01D5, false);  // U with diaeresis and macron: the Latin-1 first unit goes too
    EXPECT_EQ(unitsOf(out), U({'U', 0x0308, 0x0304}));
    decomposeChar(out, 0x1F82, false);  // four units
    EXPECT_EQ(unitsOf(out), U({kAlpha, kPsili, kGrave, 0x0345}));
    decomposeChar(out, 'a', true);
    EXPECT_EQ(unitsOf(out), U({'a'}));
    decomposeChar(out, 0xAC00, true);  // Hangul syllables are not in the table
    EXPECT_EQ(unitsOf(out), U({0xAC00}));
    decomposeChar(out, 0xFA6C, true);  // maps outside the BMP: left alone
    EXPECT_EQ(unitsOf(out), U({0xFA6C}));
    decomposeChar(out, 0x212B, true);  // angstrom sign -> A with ring -> A + ring
    EXPECT_EQ(unitsOf(out), U({'A', 0x030A}));
}

TEST(LanguageSupport, GreekMarksTakeTheGreekOrder)
{
    cLString16 out;
    decomposeAndReorder(out, units({kAlpha, kAcute, kPsili}), kLanguageGreek);
    EXPECT_EQ(unitsOf(out), U({kAlpha, kPsili, kAcute}));
    decomposeAndReorder(out, units({kAlpha, kAcute, kPsili}), kLanguageEnglish);  // equal classes keep order
    EXPECT_EQ(unitsOf(out), U({kAlpha, kAcute, kPsili}));
    decomposeAndReorder(out, units({0x1F04, 'x'}), kLanguageGreek);
    EXPECT_EQ(unitsOf(out), U({kAlpha, kPsili, kAcute, 'x'}));
    // Iota subscript (240) goes after the accents in both orders.
    decomposeAndReorder(out, units({kAlpha, 0x0345, kAcute, kPsili}), kLanguageGreek);
    EXPECT_EQ(unitsOf(out), U({kAlpha, kPsili, kAcute, 0x0345}));
}

TEST(LanguageSupport, HebrewPointsTakeCanonicalOrder)
{
    cLString16 out;
    // Dagesh (210) after patah (170).
    decomposeAndReorder(out, units({kBet, kDagesh, kPatah}), kLanguageHebrew);
    EXPECT_EQ(unitsOf(out), U({kBet, kPatah, kDagesh}));
    // Shin with dagesh and shin dot, as one presentation form and as loose marks.
    decomposeAndReorder(out, units({0xFB2C}), kLanguageHebrew);
    EXPECT_EQ(unitsOf(out), U({kShin, kDagesh, kShinDot}));
    decomposeAndReorder(out, units({kShin, kShinDot, kDagesh}), kLanguageHebrew);
    EXPECT_EQ(unitsOf(out), U({kShin, kDagesh, kShinDot}));
    // Marks never cross a letter.
    decomposeAndReorder(out, units({kShin, kQamats, kBet, kDagesh, kPatah}), kLanguageHebrew);
    EXPECT_EQ(unitsOf(out), U({kShin, kQamats, kBet, kPatah, kDagesh}));
}

TEST(LanguageSupport, CanonicalDecompositionKeepsLatin1AndAliasedOutput)
{
    cLString16 text = units({'C', 'a', 'f', 0x00E9, 0x1E15, 0x0344});
    decomposeCanonical(text, text);  // output may be the input
    // é stays; e with macron and grave -> e macron (Latin Extended) decomposed fully.
    EXPECT_EQ(unitsOf(text), U({'C', 'a', 'f', 0x00E9, 'e', 0x0304, kGrave, 0x0308, kAcute}));
    cLString16 empty;
    decomposeAndReorder(empty, cLString16(), kLanguageAny);
    EXPECT_TRUE(empty.isEmpty());
}

TEST(LanguageSupport, LongRunsOfMarksAreOrderedQuickly)
{
    // A hostile run of marks in reverse order must not take quadratic passes.
    cLString16 text;
    text.reserve(200002);  // the string grows to the exact length otherwise: building it would be the quadratic part
    text.appendChar('a');
    for (int i = 0; i < 200000; ++i)
        text.appendChar(i % 2 ? 0x0345 : 0x0316);  // 240 and 220
    cLString16 out;
    reorderMarks(out, text, kLanguageAny);
    ASSERT_EQ(out.length(), text.length());
    EXPECT_EQ(out.chars()[1], 0x0316);
    EXPECT_EQ(out.chars()[100000], 0x0316);
    EXPECT_EQ(out.chars()[100001], 0x0345);
}

TEST(LanguageSupport, FoldToBaseLetters)
{
    cLString16 out;
    foldToBaseLetters(out, units({0x00E9}));
    EXPECT_EQ(unitsOf(out), U({'e'}));
    foldToBaseLetters(out, units({0x00C9, 'c', 'o', 'l', 0x0065, 0x0301}));  // case is kept
    EXPECT_EQ(unitsOf(out), U({'E', 'c', 'o', 'l', 'e'}));
    foldToBaseLetters(out, units({0x1F04}));
    EXPECT_EQ(unitsOf(out), U({kAlpha}));
    foldToBaseLetters(out, units({0x1F8C}));  // capital alpha, psili, oxia, prosgegrammeni
    EXPECT_EQ(unitsOf(out), U({0x0391}));
    foldToBaseLetters(out, units({kShin, kShinDot, kQamats, kBet, kDagesh, kPatah}));
    EXPECT_EQ(unitsOf(out), U({kShin, kBet}));
    foldToBaseLetters(out, units({0xFB2C, 0xFB31}));
    EXPECT_EQ(unitsOf(out), U({kShin, kBet}));
    foldToBaseLetters(out, units({0x0344, 'x', 0xAC00}));  // a decomposable mark goes too
    EXPECT_EQ(unitsOf(out), U({'x', 0xAC00}));
    cLString16 same = units({'n', 0x0303, 0x00F1});
    foldToBaseLetters(same, same);
    EXPECT_EQ(unitsOf(same), U({'n', 'n'}));
}

TEST(LanguageSupport, LanguageNumbersFromNames)
{
    EXPECT_EQ(languageCodeForName(cLString8("Greek")), 535);
    EXPECT_EQ(languageCodeForName(cLString8("HEBREW")), 13);
    EXPECT_EQ(languageCodeForName(cLString8("latin")), 551);
    EXPECT_EQ(languageCodeForName(cLString8("English")), 1033);
    EXPECT_EQ(languageCodeForName(cLString8("Trans Greek")), 33303);
    EXPECT_EQ(languageCodeForName(cLString8("transgreek")), 33303);
    EXPECT_EQ(languageCodeForName(cLString8("Transliterated Greek")), 33303);
    EXPECT_EQ(languageCodeForName(cLString8("transhebrew")), 32781);
    EXPECT_EQ(languageCodeForName(cLString8("trans hebrew")), 32781);
    EXPECT_EQ(languageCodeForName(cLString8("transliterated hebrew")), 32781);
    EXPECT_EQ(languageCodeForName(cLString8("TransAramaic")), 33281);
    EXPECT_EQ(languageCodeForName(cLString8("trans aramaic")), 33281);
    EXPECT_EQ(languageCodeForName(cLString8("transliterated aramaic")), 33281);
    EXPECT_EQ(languageCodeForName(cLString8("Trans")), 33356);
    EXPECT_EQ(languageCodeForName(cLString8("transliterated")), 33356);
    EXPECT_EQ(languageCodeForName(cLString8("1031")), 1031);
    EXPECT_EQ(languageCodeForName(cLString8("12ab")), 12);
    EXPECT_EQ(languageCodeForName(cLString8("70000")), 70000 & 0xFFFF);
    EXPECT_EQ(languageCodeForName(cLString8("klingon")), 0);
    EXPECT_EQ(languageCodeForName(cLString8("")), 0);
    EXPECT_EQ(languageCodeForName(cLString8(" greek")), 0);  // compared exactly
    EXPECT_EQ(languageCodeForName(cLString8("greeks")), 0);
    EXPECT_EQ(languageCodeForName(cLString16("Greek")), 535);
}

TEST(LanguageSupport, RegistryOfDisplayRecords)
{
    cLString8 font("stale");
    fontForLanguage(font, 4321);
    EXPECT_TRUE(font.isEmpty());
    EXPECT_FALSE(isRightToLeftLanguage(4321));

    setUpLanguageFonts();
    setUpLanguageFonts();  // a second call changes nothing
    EXPECT_TRUE(isRightToLeftLanguage(kLanguageHebrew));
    EXPECT_FALSE(isRightToLeftLanguage(kLanguageTransHebrew));
    EXPECT_FALSE(isRightToLeftLanguage(kLanguageGreek));
    const std::pair<std::uint16_t, const char*> fonts[] = {
        {kLanguageHebrew, "Tavrosen Hebrew"},
        {kLanguageGreek, "Tavrosen Greek"},
        {kLanguageLatin, "Tahoma"},
        {kLanguageTransHebrew, "Tahoma"},
        {kLanguageTransAramaic, "Tahoma"},
        {kLanguageTransGreek, "Tahoma"},
        {kLanguageTransGeneric, "Tahoma"},
        {kLanguageEnglish, "Verdana"},
        {kLanguageSpanish, "Verdana"},
    };
    for (const auto& [language, name] : fonts) {
        fontForLanguage(font, language);
        EXPECT_EQ(text(font), name) << language;
    }
    fontForLanguage(font, kLanguageAny);
    EXPECT_TRUE(font.isEmpty());

    // A later registration replaces the record of its language.
    static cLanguageDisplayRecord first, second;
    first.displayFontName.assignCStr("First");
    second.displayFontName.assignCStr("Second");
    second.rightToLeft = 1;
    registerLanguage(&first, 4321);
    fontForLanguage(font, 4321);
    EXPECT_EQ(text(font), "First");
    registerLanguage(&second, 4321);
    fontForLanguage(font, 4321);
    EXPECT_EQ(text(font), "Second");
    EXPECT_TRUE(isRightToLeftLanguage(4321));
    fontForLanguage(font, kLanguageHebrew);
    EXPECT_EQ(text(font), "Tavrosen Hebrew");
}

TEST(LanguageSupport, RegistryReadsWhileOthersRegister)
{
    setUpLanguageFonts();
    static cLanguageDisplayRecord records[64];
    std::atomic<bool> stop {false};
    std::vector<std::thread> readers;
    std::atomic<int> wrong {0};
    for (int t = 0; t < 3; ++t) {
        readers.emplace_back([&] {
            cLString8 font;
            while (!stop.load()) {
                fontForLanguage(font, kLanguageGreek);
                if (text(font) != "Tavrosen Greek")
                    ++wrong;
                if (!isRightToLeftLanguage(kLanguageHebrew))
                    ++wrong;
            }
        });
    }
    for (int i = 0; i < 64; ++i) {
        records[i].displayFontName.assignCStr("Extra");
        registerLanguage(&records[i], static_cast<std::uint16_t>(5000 + i));
    }
    stop.store(true);
    for (auto& t : readers)
        t.join();
    EXPECT_EQ(wrong.load(), 0);
    cLString8 font;
    fontForLanguage(font, 5063);
    EXPECT_EQ(text(font), "Extra");
}
