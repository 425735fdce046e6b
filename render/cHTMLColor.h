// Colours and highlight styles as the user data and the renderer speak of them.
//
// A highlight colour value is 16 bits: 0-140 is a highlight colour id (a row of the named-colour
// table), and 0x8002, 0x8004, 0x8008, 0x8010, 0x8018 are highlight style codes (bit 0x8000 set).
// Verse highlights store it as fore- and back-colour, highlight colour names as colornum, so the
// table's row numbers are part of the stored data: never reorder it.
//
// `cHTMLColor` is a plain value: an rgb (0xRRGGBB, 0xFFFFFFFF for "Transparent") and a highlight
// colour id, parsed from a colour text ("#RRGGBB" or a colour name).
//
// Also here: the Roman numeral writer of plain-text list numbering.
//
// All tables are constant; every function is pure and may be called from any thread.

#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

inline constexpr std::uint32_t kHighlightColorRowCount = 141;  // rows 0-140
inline constexpr std::uint32_t kHighlightColorEndMarker = 140;
inline constexpr std::uint32_t kTransparentRGB = 0xFFFFFFFF;

// Highlight style codes.
inline constexpr std::uint16_t kHighlightStyleBold = 0x8002;
inline constexpr std::uint16_t kHighlightStyleItalic = 0x8004;
inline constexpr std::uint16_t kHighlightStyleUnderline = 0x8008;
inline constexpr std::uint16_t kHighlightStyleDottedUnderline = 0x8010;
inline constexpr std::uint16_t kHighlightStyleDashedUnderline = 0x8018;

struct HighlightColorRow {
    std::uint32_t id;   // equals the row number
    std::uint32_t rgb;  // 0xRRGGBB; 0xFFFFFFFF for Transparent
    char name[28];      // NUL-terminated
};

struct HighlightRgbIndexRow {
    std::uint32_t rgb;
    std::uint32_t row;
};

struct HtmlColorNameIndexRow {
    char name[25];  // lower case, no blanks, NUL-terminated
    std::uint8_t row;
};

// The 141 rows: 0 "<default>" (no colour), 1-139 the HTML/CSS named colours, 140 "<end-marker>".
std::span<const HighlightColorRow> highlightColorTable();
// Rows 1-139 by rgb ascending (so Transparent is last).
std::span<const HighlightRgbIndexRow> highlightRgbIndex();
// 146 names (the table's names lower-cased without blanks, plus seven "grey" aliases) in byte order.
std::span<const HtmlColorNameIndexRow> htmlColorNameIndex();

class cHTMLColor {
public:
    cHTMLColor() = default;

    // rgb from the table row when id < 141, else 0; the id is kept as given.
    void setFromHighlightColorId(std::uint32_t id);
    // "#RRGGBB" (at least 7 bytes; later bytes ignored) or a colour name (case and blanks ignored).
    // Anything else gives rgb 0, id 0.
    void setFromColorText(std::string_view text);
    void getRGBComponents(std::uint8_t& red, std::uint8_t& green, std::uint8_t& blue) const;
    std::uint32_t highlightColorId() const { return m_id; }
    std::uint32_t rgb() const { return m_rgb; }

private:
    std::uint32_t m_rgb = 0;
    std::uint32_t m_id = 0;
};

// The id of the table colour with that rgb (0xFFFFFFFF when `transparent`); 0 when none has it.
std::uint32_t highlightIdForRGB(std::uint8_t red, std::uint8_t green, std::uint8_t blue, bool transparent);
// The table row of a colour name as listed in the name index (exact bytes); 0 when absent.
std::uint32_t htmlColorNameRow(std::string_view name);
// The row's rgb and name for ids 0-140. Beyond the table: rgb 0 and an empty name, false.
bool highlightColorNameForId(std::uint32_t id, std::uint32_t& rgbOut, std::string& nameOut);
// The row name for 0-140, the style name for a style code, "" for anything else.
std::string highlightValueName(std::uint32_t value);
// highlightValueName lower-cased without blanks: the class name of highlighted text in pages.
std::string highlightStyleClassName(std::uint32_t value);
// Exact, case-sensitive style names (with the aliases "Strike", "Underline Strike", "Strike
// Underline"); 0 for anything else.
std::uint16_t parseHighlightStyleName(std::string_view text);

// 1-3999 in Roman numerals; 0, negatives and 4000 or more give fifteen "X". lowerCase lower-cases
// the whole result.
void formatRomanNumeral(std::int32_t number, bool lowerCase, std::string& out);
