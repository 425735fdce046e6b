// Language support: combining classes (with per-language overrides), canonical
// decomposition and reordering of marks, the fold to base letters used to compare
// words without accents or points, and the registry of language display records
// (font and writing direction per language number).
//
// The tables are constant (UnicodeTables.h) and the text functions are pure, so
// they are safe on any thread. The registry is filled by setUpLanguageFonts at
// start-up and then read by the renderer and search threads; its accesses are
// serialised, so a late registration cannot race with a reader.
#pragma once

#include "engine/foundation/cLStringTmpl.h"

#include <cstdint>

// Language numbers. 0x8000 is added to a base number for transliterated text.
inline constexpr std::uint16_t kLanguageAny = 0;
inline constexpr std::uint16_t kLanguageSpanish = 10;
inline constexpr std::uint16_t kLanguageHebrew = 13;
inline constexpr std::uint16_t kLanguageGreek = 535;
inline constexpr std::uint16_t kLanguageLatin = 551;
inline constexpr std::uint16_t kLanguageEnglish = 1033;
inline constexpr std::uint16_t kLanguageTransliterated = 0x8000;
inline constexpr std::uint16_t kLanguageTransHebrew = 32781;
inline constexpr std::uint16_t kLanguageTransAramaic = 33281;
inline constexpr std::uint16_t kLanguageTransGreek = 33303;
inline constexpr std::uint16_t kLanguageTransGeneric = 33356;

// The canonical combining class times 10 (0 for a starter or an unknown unit); a
// language with its own row for the unit gets that row's class instead.
std::uint32_t combiningClassForCharacter(std::uint16_t ch, std::uint16_t language);

// out = ch, then: unless ch < 256 and `full` is not set, the first unit is replaced
// by its canonical decomposition until it has none. Later units stay as they are.
void decomposeChar(cLString16& out, std::uint16_t ch, bool full);

// Canonical decomposition of every unit (Latin-1 units stay composed), units that a
// decomposition inserts being decomposed in turn. `out` may be `text`.
void decomposeCanonical(cLString16& out, const cLString16& text);

// Canonical ordering: each run of marks is ordered by their class for `language`,
// keeping the order of marks of equal class. `out` may be `text`.
void reorderMarks(cLString16& out, const cLString16& text, std::uint16_t language);

// decomposeCanonical then reorderMarks.
void decomposeAndReorder(cLString16& out, const cLString16& text, std::uint16_t language);

// Removes every mark (non-zero class for language 0) and replaces every other unit
// by the first unit of its full decomposition: "é" -> "e", U+1F04 -> alpha.
// Case is kept. `out` may be `text`.
void foldToBaseLetters(cLString16& out, const cLString16& text);

// The display record of one language. The two pointer fields are free for the
// user interface's font objects; nothing in the engine reads them.
struct cLanguageDisplayRecord {
    void* fontObject = nullptr;          // set for the Hebrew and Greek records
    void* fallbackFontObject = nullptr;  // set for the others
    cLString8 fontName;
    cLString8 displayFontName;
    std::uint8_t rightToLeft = 0;
    std::uint64_t reserved = 0;
};

// Sets the record for the language number (adding the number when new). The record
// is not owned and must outlive every reader (records are normally static).
void registerLanguage(cLanguageDisplayRecord* record, std::uint16_t language);

// The record's right-to-left flag; false when the language is not registered.
bool isRightToLeftLanguage(std::uint16_t language);

// The record's display font name; empty when the language is not registered.
void fontForLanguage(cLString8& out, std::uint16_t language);

// "hebrew", "greek", "latin", "english" and the transliteration names (any case)
// give their numbers; any other text is read as a decimal number and its low 16
// bits are returned (the value of its leading digits; 0 when there are none).
std::uint16_t languageCodeForName(const cLString16& name);
std::uint16_t languageCodeForName(const cLString8& name);

// Registers the start-up records: Hebrew (right to left), Greek, Latin, the
// transliterations, English and Spanish. Safe to call more than once.
void setUpLanguageFonts();
