// Character helpers shared by the reference parser and the spelling writer. Texts are
// UTF-8, except that a byte which does not begin a complete UTF-8 sequence stands for the
// Latin-1 character of that byte (the built-in book names are Latin-1).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/foundation/cStartupHook.h"

// Named character entities in typed reference text ("Cr&oacute;nicas"). The default knows the
// Latin-1 letters; the application installs the full markup table at start-up.
class cBibleRefEntityLookup : public cStartupHook<cBibleRefEntityLookup> {
public:
    virtual ~cBibleRefEntityLookup() = default;
    // The entity's code point, or 0 when unknown.
    virtual std::uint32_t entity(const char* name, std::size_t length) const;
};

class cBibleRefText {
public:
    // Decodes one character of [p, end); `bytes` receives its length (at least 1).
    static std::uint32_t decode(const char* p, const char* end, int& bytes);
    // Lower-case partner for case-insensitive comparison.
    static std::uint32_t fold(std::uint32_t c);
    static bool isLetter(std::uint32_t c);
    static bool isValidUTF8(const std::string& text);
    // The text in UTF-8: Latin-1 bytes are converted; text that already is UTF-8 is kept.
    static std::string toUTF8(const std::string& text);
    // The text in Latin-1 when it is UTF-8 whose characters all have a Latin-1 form; any other text
    // (ASCII, Latin-1 already, or UTF-8 beyond Latin-1) is kept as it is.
    static std::string toLatin1IfPossible(const std::string& text);
    // The first n characters of a text.
    static std::string firstChars(const std::string& text, int n);
    // A named entity at p ("&name;"): its character and length, or 0.
    static std::uint32_t entityAt(const char* p, const char* end, int& bytes);
    // Case-insensitive prefix test of `word` at p (characters folded).
    static bool matchesWordAt(const char* p, const char* end, const std::string& word, int& bytes);
};
