// cBibleRef: a Bible reference (one or more passages, e.g. "Gen 1:1-3, 5; Ex 2") in the
// engine's book numbering: a translation, a language for book names, an ordered list of
// ranges and a cached display text (its spelling). It parses typed references and link
// strings, decodes compact reference records (bibleRefRecord.h), maps itself between the
// versifications of translations and writes every text form the program shows.
//
// The reference tables (cBibleRefTables.h) are process-wide; every operation takes the
// current table snapshot once, so a table loaded meanwhile on another thread never changes
// under it. A cBibleRef itself is not shared between threads.
#pragma once

#include "engine/foundation/cLIntArray.h"
#include "engine/foundation/cLStringTmpl.h"
#include "engine/references/cBibleRefTables.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Packed Bible key: book << 16 | chapter << 8 | verse. Chapter 255 = the whole book and 254 =
// the last chapter; verse 255 = the whole chapter and 254 = the last verse. 0 = no reference.
using packedBibleKey = std::uint32_t;

inline constexpr packedBibleKey makeBibleKey(int book, int chapter, int verse)
{
    return (static_cast<packedBibleKey>(book & 0xFF) << 16) | (static_cast<packedBibleKey>(chapter & 0xFF) << 8) |
        static_cast<packedBibleKey>(verse & 0xFF);
}
inline constexpr int bibleKeyBook(packedBibleKey key)
{
    return static_cast<int>((key >> 16) & 0xFF);
}
inline constexpr int bibleKeyChapter(packedBibleKey key)
{
    return static_cast<int>((key >> 8) & 0xFF);
}
inline constexpr int bibleKeyVerse(packedBibleKey key)
{
    return static_cast<int>(key & 0xFF);
}

// Spelling flag word of formatSpelling.
enum bibleRefSpellingFlags : std::uint32_t {
    kSpellFullNames = 0x1,           // full book names; long chapter words
    kSpellUTF8 = 0x2,                // UTF-8 output (names are stored as Latin-1)
    kSpellTranslation = 0x10,        // append the translation abbreviation
    kSpellTranslationParens = 0x20,  // ... in parentheses
    kSpellTranslationName = 0x40,    // ... by its full name
    kSpellSeparatorDot = 0x80,       // chapter-verse separator "."
    kSpellSeparatorBlank = 0x100,    // chapter-verse separator " " (0x80 wins; default ":")
    kSpellKeyLink = 0x200,           // wrap each range in a "bible:" key link
    kSpellChapterAlways = 0x400,     // chapter and separator for one-chapter books too
    kSpellBookOnly = 0x1000,
    kSpellChapterOnly = 0x2000,
    kSpellVerseOnly = 0x4000,
    kSpellNoVerse = 0x8000,  // no separator and no verse
    kSpellNoBook = 0x10000,
    kSpellLinkTag = 0x20000,     // <LINK BIBLE=...> tag form
    kSpellTextLink = 0x40000,    // link whose target is the range's own text
    kSpellSpoken = 0x80000,      // implies 0x1 and 0x100; ordinals, " and ", " to "
    kSpellTypedText = 0x100000,  // keep the typed text (implies 0x200)
};

// Display hints carried by a compact reference record.
inline constexpr std::uint32_t kBibleRefHintNoBook = 0x10000;
inline constexpr std::uint32_t kBibleRefHintVerseOnly = 0x4000;

// One range of a reference. Chapter or verse -1 = from the first (start) or the whole
// (end markers -2 = to the last); parts are verse part letters, 0 = none.
struct bibleRefRange {
    std::int32_t startBook = -1, startChapter = -1, startVerse = -1;
    std::uint8_t startPart = 0;
    std::int32_t endBook = -2, endChapter = -2, endVerse = -2;
    std::uint8_t endPart = 0;
    std::int32_t textStart = -1, textEnd = -1;  // byte offsets in the parsed text
    std::optional<std::string> typedText;       // the range as typed
    std::optional<std::string> followingText;   // typed between this range and the next
    bibleRefRange* next = nullptr;

    bool sameFields(const bibleRefRange& other) const;
};

class cBibleRef {
public:
    cBibleRef();
    explicit cBibleRef(packedBibleKey key);
    explicit cBibleRef(const bibleRefRange* node);  // null gives an empty reference
    cBibleRef(const cBibleRef& other);
    cBibleRef& operator=(const cBibleRef& other);
    virtual ~cBibleRef();

    // Same translation and ranges (book, chapter, verse and parts).
    bool operator==(const cBibleRef& other) const;

    // --- Model -------------------------------------------------------------------------
    void setFromKey(packedBibleKey key);
    void setLanguage(int language)
    {
        m_language = static_cast<std::uint16_t>(language);
        m_spelledWith = -1;  // book names change with the language
    }
    int language() const { return m_language; }
    // 10 for Spanish book names, else 1033.
    int nameListLanguage() const { return m_language == kLanguageSpanish ? kLanguageSpanish : kLanguageEnglish; }
    std::uint32_t translation() const { return m_translation; }
    std::uint32_t hints() const { return m_hints; }
    bool hasRanges() const { return m_first != nullptr; }
    static bool isSpan(const bibleRefRange* node);
    bibleRefRange* firstRange() const { return m_first; }
    static bibleRefRange* nextRange(const bibleRefRange* node) { return node ? node->next : nullptr; }
    int rangeCount() const;
    // Appends a new range (fields at their "new node" values) and returns it.
    bibleRefRange* appendRange();
    // Appends a copy of a range (with its texts).
    bibleRefRange* appendRangeCopy(const bibleRefRange& range);
    void truncateRangesFrom(bibleRefRange* node);
    void removeAllRanges();

    packedBibleKey startKey() const;
    static packedBibleKey startKeyOf(const bibleRefRange* node);
    packedBibleKey endKey() const { return endKeyOf(m_first); }
    static packedBibleKey endKeyOf(const bibleRefRange* node);

    bool getStartBookChapterVerse(int& nameNumber, int& chapter, int& verse) const;

    // The next book-name spelling (abbreviations and variants) after `index`; a negative
    // index starts over. Empty past the last.
    std::string nextAlternativeSpelling(int nameNumber, int& index, bool utf8) const;

    // --- Spelling ----------------------------------------------------------------------
    void formatSpelling(std::uint32_t flags);
    const char* spellingText() const { return m_spelling.chars(); }
    const cLString8& spelling() const { return m_spelling; }
    // Callers that edit a range in place through firstRange() drop the cached text with this.
    void invalidateSpelling() { m_spelledWith = -1; }

    int nextChapter();  // 0 = moved, 1 = unchanged
    int nextBook();     // 0 = moved, 1 = unchanged
    static bool isOneChapterBook(int book);
    int generalCategory() const;
    int detailedCategory() const;

    // --- Parsing and links -------------------------------------------------------------
    // Parses reference text from `position`; 0 when the whole text was taken, else 1 with
    // `position` at the first character not taken.
    int parse(const char* text, std::int32_t& position);
    // As parse, each book name read in the reference's own list or, where that matches less of the
    // text, the other language's ("Romans 8:28" in a Spanish Bible, "Amós 9:14-Ob 8" in an English
    // one); the language the reference spells in stays its own.
    int parseInEitherLanguage(const char* text, std::int32_t& position);
    bool parseLinkString(const char* link, const char* translationAbbreviation);
    // Resets the reference and fills it from a compact record of `size` bytes.
    void decodeRecord(const std::uint8_t* record, std::size_t size);
    static bool matchTranslationAbbreviation(const char* text, std::int32_t& position, int& translation);
    bool setTranslation(int translation);
    bool mapToTranslationNamed(const char* abbreviation);
    void collectEquivalentKeys(cLIntArray& startKeys, cLIntArray& endKeys) const;
    // Book-name match at `position` in the reference's name-list language.
    bool matchBookName(const char* text, std::int32_t& position, int& nameNumber) const;
    static int bookForName(int nameNumber, int translation);

    // Named character entities in typed text are looked up through cBibleRefEntityLookup
    // (engine/references/cBibleRefText.h), which the application installs at start-up.

private:
    friend class cBibleRefParser;
    friend class cBibleRefVersification;

    void copyFrom(const cBibleRef& other);

    std::uint32_t m_translation = 0;
    std::int32_t m_spelledWith = -1;
    std::uint16_t m_language = kLanguageEnglish;
    std::uint32_t m_hints = 0;
    bibleRefRange* m_first = nullptr;
    bibleRefRange* m_last = nullptr;
    cLString8 m_spelling;
};
