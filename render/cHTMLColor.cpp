#include "render/cHTMLColor.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

namespace {

// Row number = id; never reorder (ids are stored in the user-data database).
constexpr HighlightColorRow kColorTable[kHighlightColorRowCount] = {
    {0, 0x00000000, "<default>"},
    {1, 0xFFFFFFFF, "Transparent"},
    {2, 0x00FFB6C1, "Light Pink"},
    {3, 0x00FFC0CB, "Pink"},
    {4, 0x00DC143C, "Crimson"},
    {5, 0x00FFF0F5, "Lavender Blush"},
    {6, 0x00DB7093, "Pale Violet Red"},
    {7, 0x00FF69B4, "Hot Pink"},
    {8, 0x00FF1493, "Deep Pink"},
    {9, 0x00C71585, "Medium Violet Red"},
    {10, 0x00DA70D6, "Orchid"},
    {11, 0x00D8BFD8, "Thistle"},
    {12, 0x00DDA0DD, "Plum"},
    {13, 0x00EE82EE, "Violet"},
    {14, 0x00FF00FF, "Fuchsia"},
    {15, 0x008B008B, "Dark Magenta"},
    {16, 0x00800080, "Purple"},
    {17, 0x00BA55D3, "Medium Orchid"},
    {18, 0x009400D3, "Dark Violet"},
    {19, 0x009932CC, "Dark Orchid"},
    {20, 0x004B0082, "Indigo"},
    {21, 0x008A2BE2, "Blue Violet"},
    {22, 0x009370DB, "Medium Purple"},
    {23, 0x007B68EE, "Medium Slate Blue"},
    {24, 0x006A5ACD, "Slate Blue"},
    {25, 0x00483D8B, "Dark Slate Blue"},
    {26, 0x00F8F8FF, "Ghost White"},
    {27, 0x00E6E6FA, "Lavender"},
    {28, 0x000000FF, "Blue"},
    {29, 0x000000CD, "Medium Blue"},
    {30, 0x0000008B, "Dark Blue"},
    {31, 0x00000080, "Navy"},
    {32, 0x00191970, "Midnight Blue"},
    {33, 0x004169E1, "Royal Blue"},
    {34, 0x006495ED, "Cornflower Blue"},
    {35, 0x00B0C4DE, "Light Steel Blue"},
    {36, 0x00778899, "Light Slate Gray"},
    {37, 0x00708090, "Slate Gray"},
    {38, 0x001E90FF, "Dodger Blue"},
    {39, 0x00F0F8FF, "Alice Blue"},
    {40, 0x004682B4, "Steel Blue"},
    {41, 0x0087CEFA, "Light Sky Blue"},
    {42, 0x0087CEEB, "Sky Blue"},
    {43, 0x0000BFFF, "Deep Sky Blue"},
    {44, 0x00ADD8E6, "Light Blue"},
    {45, 0x00B0E0E6, "Powder Blue"},
    {46, 0x005F9EA0, "Cadet Blue"},
    {47, 0x0000CED1, "Dark Turquoise"},
    {48, 0x00F0FFFF, "Azure"},
    {49, 0x00E0FFFF, "Light Cyan"},
    {50, 0x00AFEEEE, "Pale Turquoise"},
    {51, 0x0000FFFF, "Aqua"},
    {52, 0x00008B8B, "Dark Cyan"},
    {53, 0x00008080, "Teal"},
    {54, 0x002F4F4F, "Dark Slate Gray"},
    {55, 0x0048D1CC, "Medium Turquoise"},
    {56, 0x0020B2AA, "Light Seagreen"},
    {57, 0x0040E0D0, "Turquoise"},
    {58, 0x007FFFD4, "Aquamarine"},
    {59, 0x0066CDAA, "Medium Aquamarine"},
    {60, 0x0000FA9A, "Medium Spring Green"},
    {61, 0x00F5FFFA, "Mint Cream"},
    {62, 0x0000FF7F, "Spring Green"},
    {63, 0x003CB371, "Medium Seagreen"},
    {64, 0x002E8B57, "Sea Green"},
    {65, 0x00F0FFF0, "Honey Dew"},
    {66, 0x008FBC8F, "Dark Sea Green"},
    {67, 0x0098FB98, "Pale Green"},
    {68, 0x0090EE90, "Light Green"},
    {69, 0x0032CD32, "Lime Green"},
    {70, 0x0000FF00, "Lime"},
    {71, 0x00228B22, "Forest Green"},
    {72, 0x00008000, "Green"},
    {73, 0x00006400, "Dark Green"},
    {74, 0x007CFC00, "Lawn Green"},
    {75, 0x007FFF00, "Chartreuse"},
    {76, 0x00ADFF2F, "Green Yellow"},
    {77, 0x00556B2F, "Dark Olive Green"},
    {78, 0x009ACD32, "Yellow Green"},
    {79, 0x006B8E23, "Olive Drab"},
    {80, 0x00FFFFF0, "Ivory"},
    {81, 0x00F5F5DC, "Beige"},
    {82, 0x00FFFFE0, "Light Yellow"},
    {83, 0x00FAFAD2, "Light Goldenrod Yellow"},
    {84, 0x00FFFF00, "Yellow"},
    {85, 0x00808000, "Olive"},
    {86, 0x00BDB76B, "Dark Khaki"},
    {87, 0x00EEE8AA, "Pale Goldenrod"},
    {88, 0x00FFFACD, "Lemon Chiffon"},
    {89, 0x00F0E68C, "Khaki"},
    {90, 0x00FFD700, "Gold"},
    {91, 0x00FFF8DC, "Cornsilk"},
    {92, 0x00DAA520, "Goldenrod"},
    {93, 0x00B8860B, "Dark Goldenrod"},
    {94, 0x00FFFAF0, "Floral White"},
    {95, 0x00FDF5E6, "Old Lace"},
    {96, 0x00F5DEB3, "Wheat"},
    {97, 0x00FFA500, "Orange"},
    {98, 0x00FFE4B5, "Moccasin"},
    {99, 0x00FFEFD5, "Papaya Whip"},
    {100, 0x00FFEBCD, "Blanched Almond"},
    {101, 0x00FFDEAD, "Navajo White"},
    {102, 0x00FAEBD7, "Antique White"},
    {103, 0x00D2B48C, "Tan"},
    {104, 0x00DEB887, "Burlywood"},
    {105, 0x00FF8C00, "Dark Orange"},
    {106, 0x00FFE4C4, "Bisque"},
    {107, 0x00FAF0E6, "Linen"},
    {108, 0x00CD853F, "Peru"},
    {109, 0x00FFDAB9, "Peach Puff"},
    {110, 0x00F4A460, "Sandy Brown"},
    {111, 0x00D2691E, "Chocolate"},
    {112, 0x008B4513, "Saddle Brown"},
    {113, 0x00FFF5EE, "Seashell"},
    {114, 0x00A0522D, "Sienna"},
    {115, 0x00FFA07A, "Light Salmon"},
    {116, 0x00FF7F50, "Coral"},
    {117, 0x00FF4500, "Orange Red"},
    {118, 0x00E9967A, "Dark Salmon"},
    {119, 0x00FF6347, "Tomato"},
    {120, 0x00FA8072, "Salmon"},
    {121, 0x00FFE4E1, "Misty Rose"},
    {122, 0x00F08080, "Light Coral"},
    {123, 0x00FFFAFA, "Snow"},
    {124, 0x00BC8F8F, "Rosy Brown"},
    {125, 0x00CD5C5C, "Indian Red"},
    {126, 0x00FF0000, "Red"},
    {127, 0x00A52A2A, "Brown"},
    {128, 0x00B22222, "Firebrick"},
    {129, 0x008B0000, "Dark Red"},
    {130, 0x00800000, "Maroon"},
    {131, 0x00FFFFFF, "White"},
    {132, 0x00F5F5F5, "White Smoke"},
    {133, 0x00DCDCDC, "Gainsboro"},
    {134, 0x00D3D3D3, "Light Gray"},
    {135, 0x00C0C0C0, "Silver"},
    {136, 0x00A9A9A9, "Dark Gray"},
    {137, 0x00808080, "Gray"},
    {138, 0x00696969, "Dim Gray"},
    {139, 0x00000000, "Black"},
    {140, 0x00000000, "<end-marker>"},
};

// Names that CSS spells with "grey" besides "gray".
constexpr struct {
    const char* alias;
    const char* target;
} kGreyAliases[] = {
    {"darkgrey", "darkgray"},
    {"darkslategrey", "darkslategray"},
    {"dimgrey", "dimgray"},
    {"grey", "gray"},
    {"lightgrey", "lightgray"},
    {"lightslategrey", "lightslategray"},
    {"slategrey", "slategray"},
};

constexpr std::size_t kNamedRowCount = kHighlightColorRowCount - 2;  // rows 1-139
constexpr std::size_t kNameIndexCount = kNamedRowCount + std::size(kGreyAliases);

std::string compactLowerName(std::string_view name)
{
    std::string out;
    out.reserve(name.size());
    for (char c : name) {
        if (c == ' ')
            continue;
        out.push_back((c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c);
    }
    return out;
}

struct Indexes {
    std::array<HighlightRgbIndexRow, kNamedRowCount> byRgb {};
    std::array<HtmlColorNameIndexRow, kNameIndexCount> byName {};

    Indexes()
    {
        for (std::size_t r = 1; r <= kNamedRowCount; ++r)
            byRgb[r - 1] = {kColorTable[r].rgb, static_cast<std::uint32_t>(r)};
        std::sort(byRgb.begin(), byRgb.end(), [](const auto& a, const auto& b) { return a.rgb < b.rgb; });

        std::size_t n = 0;
        auto add = [&](const std::string& name, std::size_t row) {
            HtmlColorNameIndexRow& entry = byName[n++];
            std::memset(entry.name, 0, sizeof entry.name);
            std::memcpy(entry.name, name.data(), std::min(name.size(), sizeof entry.name - 1));
            entry.row = static_cast<std::uint8_t>(row);
        };
        for (std::size_t r = 1; r <= kNamedRowCount; ++r)
            add(compactLowerName(kColorTable[r].name), r);
        for (const auto& alias : kGreyAliases) {
            std::size_t target = 0;
            for (std::size_t r = 1; r <= kNamedRowCount && target == 0; ++r)
                if (compactLowerName(kColorTable[r].name) == alias.target)
                    target = r;
            add(alias.alias, target);
        }
        std::sort(
            byName.begin(), byName.end(), [](const auto& a, const auto& b) { return std::strcmp(a.name, b.name) < 0; });
    }
};

const Indexes& indexes()
{
    static const Indexes built;
    return built;
}

// The value of one hexadecimal digit; any other character gives its low four bits.
std::uint32_t hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return static_cast<std::uint32_t>(c - '0');
    if (c >= 'a' && c <= 'f')
        return static_cast<std::uint32_t>(c - 'a' + 10);
    if (c >= 'A' && c <= 'F')
        return static_cast<std::uint32_t>(c - 'A' + 10);
    return static_cast<std::uint32_t>(static_cast<unsigned char>(c)) & 0x0F;
}

constexpr std::array<const char*, 12> kStyleNames = {
    "Bold",
    "Italic",
    "",
    "Underline",
    "",
    "",
    "",
    "Dotted Underline",
    "",
    "",
    "",
    "Dashed Underline",
};

}  // namespace

std::span<const HighlightColorRow> highlightColorTable()
{
    return kColorTable;
}
std::span<const HighlightRgbIndexRow> highlightRgbIndex()
{
    return indexes().byRgb;
}
std::span<const HtmlColorNameIndexRow> htmlColorNameIndex()
{
    return indexes().byName;
}

void cHTMLColor::setFromHighlightColorId(std::uint32_t id)
{
    m_rgb = id < kHighlightColorRowCount ? kColorTable[id].rgb : 0;
    m_id = id;
}

void cHTMLColor::setFromColorText(std::string_view text)
{
    if (!text.empty() && text[0] == '#') {
        if (text.size() >= 7) {
            const std::uint32_t red = hexDigit(text[1]) << 4 | hexDigit(text[2]);
            const std::uint32_t green = hexDigit(text[3]) << 4 | hexDigit(text[4]);
            const std::uint32_t blue = hexDigit(text[5]) << 4 | hexDigit(text[6]);
            m_rgb = red << 16 | green << 8 | blue;
            m_id = highlightIdForRGB(static_cast<std::uint8_t>(red), static_cast<std::uint8_t>(green),
                static_cast<std::uint8_t>(blue), false);
            return;
        }
    }
    const std::uint32_t row = htmlColorNameRow(compactLowerName(text));
    m_rgb = kColorTable[row].rgb;
    m_id = kColorTable[row].id;
}

void cHTMLColor::getRGBComponents(std::uint8_t& red, std::uint8_t& green, std::uint8_t& blue) const
{
    red = static_cast<std::uint8_t>(m_rgb >> 16);
    green = static_cast<std::uint8_t>(m_rgb >> 8);
    blue = static_cast<std::uint8_t>(m_rgb);
}

std::uint32_t highlightIdForRGB(std::uint8_t red, std::uint8_t green, std::uint8_t blue, bool transparent)
{
    const std::uint32_t rgb = transparent
        ? kTransparentRGB
        : (static_cast<std::uint32_t>(red) << 16 | static_cast<std::uint32_t>(green) << 8 | blue);
    const auto& index = indexes().byRgb;
    const auto it = std::lower_bound(
        index.begin(), index.end(), rgb, [](const HighlightRgbIndexRow& row, std::uint32_t v) { return row.rgb < v; });
    return (it != index.end() && it->rgb == rgb) ? it->row : 0;
}

std::uint32_t htmlColorNameRow(std::string_view name)
{
    // Longer names than the index holds cannot match; compare as C strings of the index.
    if (name.size() >= sizeof(HtmlColorNameIndexRow::name))
        return 0;
    const auto& index = indexes().byName;
    const auto it = std::lower_bound(index.begin(), index.end(), name,
        [](const HtmlColorNameIndexRow& row, std::string_view v) { return std::string_view(row.name) < v; });
    return (it != index.end() && std::string_view(it->name) == name) ? it->row : 0;
}

bool highlightColorNameForId(std::uint32_t id, std::uint32_t& rgbOut, std::string& nameOut)
{
    if (id >= kHighlightColorRowCount) {
        rgbOut = 0;
        nameOut.clear();
        return false;
    }
    rgbOut = kColorTable[id].rgb;
    nameOut = kColorTable[id].name;
    return true;
}

std::string highlightValueName(std::uint32_t value)
{
    if (value < kHighlightColorRowCount)
        return kColorTable[value].name;
    if (value >= kHighlightStyleBold && value <= kHighlightStyleDashedUnderline && (value & 1) == 0)
        return kStyleNames[(value - kHighlightStyleBold) / 2];
    return {};
}

std::string highlightStyleClassName(std::uint32_t value)
{
    return compactLowerName(highlightValueName(value));
}

std::uint16_t parseHighlightStyleName(std::string_view text)
{
    if (text == "Bold")
        return kHighlightStyleBold;
    if (text == "Italic")
        return kHighlightStyleItalic;
    if (text == "Underline")
        return kHighlightStyleUnderline;
    if (text == "Dotted Underline" || text == "Strike")
        return kHighlightStyleDottedUnderline;
    if (text == "Dashed Underline" || text == "Underline Strike" || text == "Strike Underline")
        return kHighlightStyleDashedUnderline;
    return 0;
}

void formatRomanNumeral(std::int32_t number, bool lowerCase, std::string& out)
{
    static constexpr struct {
        std::int32_t value;
        const char* letters;
    } kPairs[] = {{1000, "M"}, {900, "CM"}, {500, "D"}, {400, "CD"}, {100, "C"}, {90, "XC"}, {50, "L"}, {40, "XL"},
        {10, "X"}, {9, "IX"}, {5, "V"}, {4, "IV"}, {1, "I"}};
    out.clear();
    if (number <= 0 || number >= 4000) {
        out.assign(15, 'X');
    } else {
        for (const auto& pair : kPairs) {
            while (number >= pair.value) {
                out += pair.letters;
                number -= pair.value;
            }
        }
    }
    if (lowerCase)
        for (char& c : out)
            c = static_cast<char>(c - 'A' + 'a');
}
