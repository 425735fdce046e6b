#include "render/cHTMLColor.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace {

// The named colours in table order (rows 1-139), written out independently of the table.
const std::vector<std::pair<const char*, std::uint32_t>> kExpectedColors = {
    {"Transparent", 0xFFFFFFFF},
    {"Light Pink", 0xFFB6C1},
    {"Pink", 0xFFC0CB},
    {"Crimson", 0xDC143C},
    {"Lavender Blush", 0xFFF0F5},
    {"Pale Violet Red", 0xDB7093},
    {"Hot Pink", 0xFF69B4},
    {"Deep Pink", 0xFF1493},
    {"Medium Violet Red", 0xC71585},
    {"Orchid", 0xDA70D6},
    {"Thistle", 0xD8BFD8},
    {"Plum", 0xDDA0DD},
    {"Violet", 0xEE82EE},
    {"Fuchsia", 0xFF00FF},
    {"Dark Magenta", 0x8B008B},
    {"Purple", 0x800080},
    {"Medium Orchid", 0xBA55D3},
    {"Dark Violet", 0x9400D3},
    {"Dark Orchid", 0x9932CC},
    {"Indigo", 0x4B0082},
    {"Blue Violet", 0x8A2BE2},
    {"Medium Purple", 0x9370DB},
    {"Medium Slate Blue", 0x7B68EE},
    {"Slate Blue", 0x6A5ACD},
    {"Dark Slate Blue", 0x483D8B},
    {"Ghost White", 0xF8F8FF},
    {"Lavender", 0xE6E6FA},
    {"Blue", 0x0000FF},
    {"Medium Blue", 0x0000CD},
    {"Dark Blue", 0x00008B},
    {"Navy", 0x000080},
    {"Midnight Blue", 0x191970},
    {"Royal Blue", 0x4169E1},
    {"Cornflower Blue", 0x6495ED},
    {"Light Steel Blue", 0xB0C4DE},
    {"Light Slate Gray", 0x778899},
    {"Slate Gray", 0x708090},
    {"Dodger Blue", 0x1E90FF},
    {"Alice Blue", 0xF0F8FF},
    {"Steel Blue", 0x4682B4},
    {"Light Sky Blue", 0x87CEFA},
    {"Sky Blue", 0x87CEEB},
    {"Deep Sky Blue", 0x00BFFF},
    {"Light Blue", 0xADD8E6},
    {"Powder Blue", 0xB0E0E6},
    {"Cadet Blue", 0x5F9EA0},
    {"Dark Turquoise", 0x00CED1},
    {"Azure", 0xF0FFFF},
    {"Light Cyan", 0xE0FFFF},
    {"Pale Turquoise", 0xAFEEEE},
    {"Aqua", 0x00FFFF},
    {"Dark Cyan", 0x008B8B},
    {"Teal", 0x008080},
    {"Dark Slate Gray", 0x2F4F4F},
    {"Medium Turquoise", 0x48D1CC},
    {"Light Seagreen", 0x20B2AA},
    {"Turquoise", 0x40E0D0},
    {"Aquamarine", 0x7FFFD4},
    {"Medium Aquamarine", 0x66CDAA},
    {"Medium Spring Green", 0x00FA9A},
    {"Mint Cream", 0xF5FFFA},
    {"Spring Green", 0x00FF7F},
    {"Medium Seagreen", 0x3CB371},
    {"Sea Green", 0x2E8B57},
    {"Honey Dew", 0xF0FFF0},
    {"Dark Sea Green", 0x8FBC8F},
    {"Pale Green", 0x98FB98},
    {"Light Green", 0x90EE90},
    {"Lime Green", 0x32CD32},
    {"Lime", 0x00FF00},
    {"Forest Green", 0x228B22},
    {"Green", 0x008000},
    {"Dark Green", 0x006400},
    {"Lawn Green", 0x7CFC00},
    {"Chartreuse", 0x7FFF00},
    {"Green Yellow", 0xADFF2F},
    {"Dark Olive Green", 0x556B2F},
    {"Yellow Green", 0x9ACD32},
    {"Olive Drab", 0x6B8E23},
    {"Ivory", 0xFFFFF0},
    {"Beige", 0xF5F5DC},
    {"Light Yellow", 0xFFFFE0},
    {"Light Goldenrod Yellow", 0xFAFAD2},
    {"Yellow", 0xFFFF00},
    {"Olive", 0x808000},
    {"Dark Khaki", 0xBDB76B},
    {"Pale Goldenrod", 0xEEE8AA},
    {"Lemon Chiffon", 0xFFFACD},
    {"Khaki", 0xF0E68C},
    {"Gold", 0xFFD700},
    {"Cornsilk", 0xFFF8DC},
    {"Goldenrod", 0xDAA520},
    {"Dark Goldenrod", 0xB8860B},
    {"Floral White", 0xFFFAF0},
    {"Old Lace", 0xFDF5E6},
    {"Wheat", 0xF5DEB3},
    {"Orange", 0xFFA500},
    {"Moccasin", 0xFFE4B5},
    {"Papaya Whip", 0xFFEFD5},
    {"Blanched Almond", 0xFFEBCD},
    {"Navajo White", 0xFFDEAD},
    {"Antique White", 0xFAEBD7},
    {"Tan", 0xD2B48C},
    {"Burlywood", 0xDEB887},
    {"Dark Orange", 0xFF8C00},
    {"Bisque", 0xFFE4C4},
    {"Linen", 0xFAF0E6},
    {"Peru", 0xCD853F},
    {"Peach Puff", 0xFFDAB9},
    {"Sandy Brown", 0xF4A460},
    {"Chocolate", 0xD2691E},
    {"Saddle Brown", 0x8B4513},
    {"Seashell", 0xFFF5EE},
    {"Sienna", 0xA0522D},
    {"Light Salmon", 0xFFA07A},
    {"Coral", 0xFF7F50},
    {"Orange Red", 0xFF4500},
    {"Dark Salmon", 0xE9967A},
    {"Tomato", 0xFF6347},
    {"Salmon", 0xFA8072},
    {"Misty Rose", 0xFFE4E1},
    {"Light Coral", 0xF08080},
    {"Snow", 0xFFFAFA},
    {"Rosy Brown", 0xBC8F8F},
    {"Indian Red", 0xCD5C5C},
    {"Red", 0xFF0000},
    {"Brown", 0xA52A2A},
    {"Firebrick", 0xB22222},
    {"Dark Red", 0x8B0000},
    {"Maroon", 0x800000},
    {"White", 0xFFFFFF},
    {"White Smoke", 0xF5F5F5},
    {"Gainsboro", 0xDCDCDC},
    {"Light Gray", 0xD3D3D3},
    {"Silver", 0xC0C0C0},
    {"Dark Gray", 0xA9A9A9},
    {"Gray", 0x808080},
    {"Dim Gray", 0x696969},
    {"Black", 0x000000},
};

std::string compact(const std::string& name)
{
    std::string out;
    for (char c : name)
        if (c != ' ')
            out.push_back(static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c));
    return out;
}

TEST(HighlightColorTable, EveryNamedColourAtItsRow)
{
    const auto table = highlightColorTable();
    ASSERT_EQ(table.size(), 141u);
    ASSERT_EQ(kExpectedColors.size(), 139u);
    EXPECT_STREQ(table[0].name, "<default>");
    EXPECT_EQ(table[0].rgb, 0u);
    EXPECT_STREQ(table[140].name, "<end-marker>");
    EXPECT_EQ(table[140].rgb, 0u);
    std::set<std::uint32_t> rgbs;
    for (std::uint32_t row = 0; row < 141; ++row)
        EXPECT_EQ(table[row].id, row);
    for (std::size_t i = 0; i < kExpectedColors.size(); ++i) {
        const std::uint32_t row = static_cast<std::uint32_t>(i + 1);
        SCOPED_TRACE(kExpectedColors[i].first);
        EXPECT_STREQ(table[row].name, kExpectedColors[i].first);
        EXPECT_EQ(table[row].rgb, kExpectedColors[i].second);
        rgbs.insert(table[row].rgb);

        // Each colour is found by its spec, its name and its rgb, and gives its class name.
        cHTMLColor byName;
        byName.setFromColorText(kExpectedColors[i].first);
        EXPECT_EQ(byName.highlightColorId(), row);
        EXPECT_EQ(byName.rgb(), kExpectedColors[i].second);
        EXPECT_EQ(htmlColorNameRow(compact(kExpectedColors[i].first)), row);
        const std::uint32_t rgb = kExpectedColors[i].second;
        EXPECT_EQ(highlightIdForRGB(static_cast<std::uint8_t>(rgb >> 16), static_cast<std::uint8_t>(rgb >> 8),
                      static_cast<std::uint8_t>(rgb), rgb == 0xFFFFFFFF),
            row);
        EXPECT_EQ(highlightStyleClassName(row), compact(kExpectedColors[i].first));
        std::uint32_t rgbOut = 1;
        std::string nameOut;
        EXPECT_TRUE(highlightColorNameForId(row, rgbOut, nameOut));
        EXPECT_EQ(rgbOut, rgb);
        EXPECT_EQ(nameOut, kExpectedColors[i].first);
    }
    EXPECT_EQ(rgbs.size(), 139u);  // no two rows share an rgb
}

TEST(HighlightColorTable, IndexesAreSortedAndComplete)
{
    const auto byRgb = highlightRgbIndex();
    ASSERT_EQ(byRgb.size(), 139u);
    for (std::size_t i = 1; i < byRgb.size(); ++i)
        EXPECT_LT(byRgb[i - 1].rgb, byRgb[i].rgb);
    EXPECT_EQ(byRgb.back().row, 1u);  // Transparent last
    const auto byName = htmlColorNameIndex();
    ASSERT_EQ(byName.size(), 146u);
    for (std::size_t i = 1; i < byName.size(); ++i)
        EXPECT_LT(std::strcmp(byName[i - 1].name, byName[i].name), 0);
    EXPECT_STREQ(byName.front().name, "aliceblue");
    EXPECT_STREQ(byName.back().name, "yellowgreen");
    const std::pair<const char*, const char*> aliases[] = {{"darkgrey", "darkgray"}, {"darkslategrey", "darkslategray"},
        {"dimgrey", "dimgray"}, {"grey", "gray"}, {"lightgrey", "lightgray"}, {"lightslategrey", "lightslategray"},
        {"slategrey", "slategray"}};
    for (const auto& [alias, name] : aliases) {
        EXPECT_NE(htmlColorNameRow(alias), 0u) << alias;
        EXPECT_EQ(htmlColorNameRow(alias), htmlColorNameRow(name)) << alias;
    }
    EXPECT_EQ(htmlColorNameRow("grey"), 137u);
}

TEST(cHTMLColorSpec, ParsesHexAndNames)
{
    cHTMLColor c;
    c.setFromColorText("#FFB6C1");
    EXPECT_EQ(c.rgb(), 0xFFB6C1u);
    EXPECT_EQ(c.highlightColorId(), 2u);
    c.setFromColorText("#ffb6c1 and more");
    EXPECT_EQ(c.rgb(), 0xFFB6C1u);
    EXPECT_EQ(c.highlightColorId(), 2u);
    c.setFromColorText("#123456");
    EXPECT_EQ(c.rgb(), 0x123456u);
    EXPECT_EQ(c.highlightColorId(), 0u);
    std::uint8_t r = 0, g = 0, b = 0;
    c.getRGBComponents(r, g, b);
    EXPECT_EQ(r, 0x12);
    EXPECT_EQ(g, 0x34);
    EXPECT_EQ(b, 0x56);
    c.setFromColorText("#GZ0000");  // not a digit: its low four bits serve ('G' 0x47 -> 7, 'Z' 0x5A -> 10)
    EXPECT_EQ(c.rgb(), 0x7A0000u);
    for (const char* name : {"Light Pink", "lightpink", "LIGHT PINK", "  light  pink "}) {
        c.setFromColorText(name);
        EXPECT_EQ(c.highlightColorId(), 2u) << name;
    }
    c.setFromColorText("grey");
    EXPECT_EQ(c.highlightColorId(), 137u);
    c.setFromColorText("transparent");
    EXPECT_EQ(c.rgb(), 0xFFFFFFFFu);
    EXPECT_EQ(c.highlightColorId(), 1u);
}

TEST(cHTMLColorSpec, UnknownSpecsGiveNoColour)
{
    for (const char* spec : {"cyan", "", "#12345", "#", "<default>", "aliceblue-ish",
             "a very very very long colour name that is no colour"}) {
        cHTMLColor c;
        c.setFromHighlightColorId(5);
        c.setFromColorText(spec);
        EXPECT_EQ(c.rgb(), 0u) << spec;
        EXPECT_EQ(c.highlightColorId(), 0u) << spec;
    }
    EXPECT_EQ(htmlColorNameRow(std::string_view("gray\0x", 6)), 0u);
}

TEST(cHTMLColorIds, FromIdAndNameLookups)
{
    cHTMLColor c;
    EXPECT_EQ(c.rgb(), 0u);
    EXPECT_EQ(c.highlightColorId(), 0u);
    c.setFromHighlightColorId(139);
    EXPECT_EQ(c.rgb(), 0u);
    EXPECT_EQ(c.highlightColorId(), 139u);
    c.setFromHighlightColorId(131);  // White
    EXPECT_EQ(c.rgb(), 0xFFFFFFu);
    c.setFromHighlightColorId(141);
    EXPECT_EQ(c.rgb(), 0u);
    EXPECT_EQ(c.highlightColorId(), 141u);
    c.setFromHighlightColorId(0x8002);
    EXPECT_EQ(c.highlightColorId(), 0x8002u);

    EXPECT_EQ(highlightIdForRGB(0x12, 0x34, 0x56, false), 0u);
    EXPECT_EQ(highlightIdForRGB(0, 0, 0, false), 139u);  // Black, not the rgb-0 marker rows
    EXPECT_EQ(highlightIdForRGB(0x12, 0x34, 0x56, true), 1u);

    std::uint32_t rgb = 7;
    std::string name = "x";
    EXPECT_TRUE(highlightColorNameForId(0, rgb, name));
    EXPECT_EQ(name, "<default>");
    EXPECT_FALSE(highlightColorNameForId(141, rgb, name));
    EXPECT_EQ(rgb, 0u);
    EXPECT_EQ(name, "");
}

TEST(HighlightStyles, NamesClassesAndParsing)
{
    const std::pair<std::uint32_t, const char*> styles[] = {{0x8002, "Bold"}, {0x8004, "Italic"}, {0x8008, "Underline"},
        {0x8010, "Dotted Underline"}, {0x8018, "Dashed Underline"}};
    for (const auto& [code, name] : styles) {
        EXPECT_EQ(highlightValueName(code), name);
        EXPECT_EQ(parseHighlightStyleName(name), code);
    }
    EXPECT_EQ(highlightStyleClassName(0x8002), "bold");
    EXPECT_EQ(highlightStyleClassName(0x8004), "italic");
    EXPECT_EQ(highlightStyleClassName(0x8008), "underline");
    EXPECT_EQ(highlightStyleClassName(0x8010), "dottedunderline");
    EXPECT_EQ(highlightStyleClassName(0x8018), "dashedunderline");
    EXPECT_EQ(highlightStyleClassName(2), "lightpink");
    EXPECT_EQ(highlightStyleClassName(0), "<default>");
    EXPECT_EQ(highlightValueName(140), "<end-marker>");
    // The unused slots of the style table and everything outside both tables are nameless.
    for (std::uint32_t v = 0x8002; v <= 0x8018; ++v) {
        const bool named = v == 0x8002 || v == 0x8004 || v == 0x8008 || v == 0x8010 || v == 0x8018;
        EXPECT_EQ(highlightValueName(v).empty(), !named) << std::hex << v;
    }
    for (std::uint32_t v : {141u, 0x8000u, 0x8001u, 0x8006u, 0x8019u, 0x801Au, 0x8020u, 0xFFFFu, 0xFFFFFFFFu})
        EXPECT_EQ(highlightStyleClassName(v), "") << std::hex << v;

    EXPECT_EQ(parseHighlightStyleName("Strike"), 0x8010);
    EXPECT_EQ(parseHighlightStyleName("Underline Strike"), 0x8018);
    EXPECT_EQ(parseHighlightStyleName("Strike Underline"), 0x8018);
    for (const char* other : {"bold", "BOLD", "Bold ", "", "Dotted underline", "Strikethrough"})
        EXPECT_EQ(parseHighlightStyleName(other), 0) << other;
}

TEST(RomanNumerals, FormatsAndFallsBack)
{
    std::string out = "stale";
    formatRomanNumeral(1994, false, out);
    EXPECT_EQ(out, "MCMXCIV");
    formatRomanNumeral(3999, true, out);
    EXPECT_EQ(out, "mmmcmxcix");
    const std::pair<int, const char*> cases[] = {{1, "I"}, {4, "IV"}, {9, "IX"}, {14, "XIV"}, {40, "XL"}, {90, "XC"},
        {400, "CD"}, {444, "CDXLIV"}, {900, "CM"}, {2024, "MMXXIV"}, {3888, "MMMDCCCLXXXVIII"}};
    for (const auto& [n, roman] : cases) {
        formatRomanNumeral(n, false, out);
        EXPECT_EQ(out, roman) << n;
    }
    for (int n : {0, -1, 4000, 1000000, INT32_MIN}) {
        formatRomanNumeral(n, false, out);
        EXPECT_EQ(out, std::string(15, 'X')) << n;
        formatRomanNumeral(n, true, out);
        EXPECT_EQ(out, std::string(15, 'x')) << n;
    }
}

}  // namespace
