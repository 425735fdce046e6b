// BkTextTokens: the one tokenizer of the "TEXT" token stream (byte layout in BkTextFormat.h). The
// section text writer, the word-link and phrase tests and the attribute collector all read tokens
// through it, so every reader agrees on every token's length.
//
// cBkTextTokenReader reads the text of one book file through cBkTextStg::readText and never reads at
// or past the text end: a token whose bytes do not all lie before the text end is not read at all
// (read() answers false), whatever its lead byte says.
//
// Not shared between threads: each walk makes its own reader. Text reads take the container mutex.

#pragma once

#include <cstdint>
#include <vector>

#include "engine/bookfile/BkTextFormat.h"

class cBkBookFile;

// One decoded token. Fields that a kind does not use stay 0.
struct cBkTextToken {
    enum class Kind : uint8_t { Word, Punctuation, Markup };

    uint32_t position = 0;  // the token's first byte
    uint32_t length = 0;    // all its bytes, payload included
    uint8_t lead = 0;       // the first byte
    Kind kind = Kind::Word;

    // Word: the word number in the main word list. Punctuation: the number in the punctuation list.
    // Language run (0xCB): the language number. Strong's (0xCC/0xCD): the number.
    // Attribute (0xCF/0xD0): the first value.
    uint32_t number = 0;
    bool blankBefore = false, blankAfter = false;  // punctuation
    uint8_t suffix = 0;                            // Strong's suffix (0 = none)
    uint8_t definition = 0;                        // attribute definition index
    bool hasSecond = false, hasThird = false;      // 0xD0 values other than "none"
    uint32_t second = 0, third = 0;
    uint8_t capital = 0;        // capitalisation kind (low three bits)
    uint32_t mask = 0;          // capitalisation mask (kind 7)
    uint32_t payloadStart = 0;  // reference record (length field first) or literal bytes
    uint32_t payloadLength = 0;

    uint32_t next() const { return position + length; }
    bool isWord() const { return kind == Kind::Word; }
    bool isPunctuation() const { return kind == Kind::Punctuation; }
    bool isStrongs() const { return lead == BkTextFormat::kStrongsHebrew || lead == BkTextFormat::kStrongsGreek; }
    bool isAttribute() const { return lead == BkTextFormat::kAttribute || lead == BkTextFormat::kAttributeWithTexts; }
    bool isInvalid() const { return lead >= 0xF8 && lead <= 0xFE; }
};

class cBkTextTokenReader {
public:
    explicit cBkTextTokenReader(cBkBookFile& book);

    // The text end: no token byte lies at or past it.
    uint32_t textEnd() const { return m_textEnd; }

    // Decodes the token at `position`. False, with `token` undefined, when the token does not lie
    // wholly before the text end.
    bool read(uint32_t position, cBkTextToken& token);

    // Copies `count` bytes at `position` into `out`; false when they do not lie before the text end.
    bool readBytes(uint32_t position, uint8_t* out, uint32_t count);

    // Reads the text from `start` up to `end` (cut at the text end and at kMostHeld bytes) into
    // memory at once, so that the tokens there are decoded without a read of the book file each
    // (the file's own cache holds a hundred bytes); reads outside the range go to the file as
    // before. A later call replaces the range. False, holding nothing, when the range cannot be read.
    bool holdRange(uint32_t start, uint32_t end);
    static constexpr uint32_t kMostHeld = 64 * 1024;

private:
    bool byteAt(uint32_t position, uint8_t& b);
    bool be16(uint32_t position, uint32_t& v);
    bool be32(uint32_t position, uint32_t& v);
    // A u16 value that reads 0xFFFF is followed by the u32 value; `at` moves past what was read.
    bool attributeValue(uint32_t& at, uint32_t& value, bool allowNone, bool& present);

    cBkBookFile& m_book;
    uint32_t m_textEnd;
    uint32_t m_escapeBase;        // added to the u16 of a 0x7F 0xFF word token
    std::vector<uint8_t> m_held;  // the text from m_heldStart on (holdRange)
    uint32_t m_heldStart = 0;
};
