// cBkSectionTextWriter: turns a stretch of a book's "TEXT" token stream into display text: UTF-8,
// punctuation HTML-escaped, embedded Bible references spelled (as links when asked), with the marker
// bytes of BkTextMarkers.h where words start, where search hits end and where a word's Strong's
// numbers and attributes stand. The block renderer fills text nodes with it; the section-text
// operations of the documents render whole sections with it.
//
// Threads: a rendering holds the book file's rendering mutex throughout (renderings of one book are
// serialised), and its scratch mutex only while a reference record is decoded. The search hooks
// (cBkSearchHitHooks) are called with the rendering mutex held.

#pragma once

#include <cstdint>
#include <string>

#include "engine/foundation/cLStringTmpl.h"

class cBkBookFile;
struct cBkSectionTextConfiguration;

// What a caller asks of one rendering.
struct cBkTextRangeOptions {
    static constexpr uint32_t kToEndOfSection = 0xFFFFFFFF;

    // Rendering stops before this position; kToEndOfSection: at the end-of-section code.
    uint32_t endPosition = kToEndOfSection;
    // Bracketed passages are written between "[" and "]" when set and left out when clear.
    uint8_t showBrackets = 1;
    // Language runs are wrapped in qs_lang tags when set.
    uint8_t languageTags = 0;
    // Embedded references are written as links when set.
    uint8_t referenceLinks = 1;
};

// The capitalisation transforms of the token stream, in place on UTF-8 text through the engine's
// case tables. An empty text is left unchanged.
void capitalizeFirstLetter(std::string& text);
void capitalizeAllLetters(std::string& text);
void capitalizeAfterHyphens(std::string& text);
// One mask bit per step from the most significant: a set bit upper-cases the character at the
// current byte and moves past it, a clear bit moves on one byte.
void capitalizeByMask(std::string& text, uint32_t mask);

class cBkSectionTextWriter {
public:
    // Renders from `start` and appends to `out` (right to left: inserts each piece at its start).
    // `configuration` and `options` may be null. Never reads past the text end, whatever the bytes
    // say. Always answers 0.
    static uint32_t renderTextRangeToHTML(cBkBookFile& book, uint32_t start, bool rightToLeft,
        const cBkSectionTextConfiguration* configuration, std::string& out,
        const cBkTextRangeOptions* options = nullptr);
    static uint32_t renderTextRangeToHTML(cBkBookFile& book, uint32_t start, bool rightToLeft,
        const cBkSectionTextConfiguration* configuration, cLString8& out, const cBkTextRangeOptions* options = nullptr);
};
