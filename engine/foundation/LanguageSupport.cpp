#include "engine/foundation/LanguageSupport.h"

#include "engine/foundation/CharacterClasses.h"
#include "engine/foundation/UnicodeTables.h"
#include "engine/foundation/cLPtrArray.h"
#include "engine/foundation/cPlatformMutex.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <mutex>
#include <vector>

namespace {

using UnicodeTables::CombiningClassRow;
using UnicodeTables::DecompositionRow;
using UnicodeTables::kCombiningClassRowCount;
using UnicodeTables::kCombiningClassRows;
using UnicodeTables::kDecompositionRowCount;
using UnicodeTables::kDecompositionRows;

// Longest full decomposition of one BMP unit is four units; the bound only
// protects the fixed buffer.
constexpr int kMaxDecomposition = 8;

// A decomposition kept on the stack, so the lookups allocate nothing.
struct Decomposed {
    std::uint16_t units[kMaxDecomposition];
    int count = 0;
};

const DecompositionRow* findDecomposition(std::uint16_t ch)
{
    const DecompositionRow* end = kDecompositionRows + kDecompositionRowCount;
    const DecompositionRow* row = std::lower_bound(
        kDecompositionRows, end, ch, [](const DecompositionRow& r, std::uint16_t c) { return r.character < c; });
    return (row != end && row->character == ch) ? row : nullptr;
}

Decomposed decomposeUnit(std::uint16_t ch, bool full)
{
    Decomposed d;
    d.units[0] = ch;
    d.count = 1;
    if (ch < 256 && !full)
        return d;
    // Each step replaces the first unit by its mapping; the table is acyclic, and the
    // buffer bound ends the loop in any case.
    while (const DecompositionRow* row = findDecomposition(d.units[0])) {
        int mapped = 0;
        while (mapped < 2 && row->decomposition[mapped] != 0)
            ++mapped;
        if (mapped == 0 || d.count - 1 + mapped > kMaxDecomposition)
            break;
        std::copy_backward(d.units + 1, d.units + d.count, d.units + d.count - 1 + mapped);
        std::copy(row->decomposition, row->decomposition + mapped, d.units);
        d.count += mapped - 1;
    }
    return d;
}

// Appends the canonical decomposition of one unit: the first unit of its mapping is
// already fully decomposed; each later unit is examined in turn.
void appendDecomposed(cLString16& out, std::uint16_t ch, int depth)
{
    const Decomposed d = decomposeUnit(ch, false);
    out.appendChar(d.units[0]);
    for (int i = 1; i < d.count; ++i) {
        if (depth < kMaxDecomposition)
            appendDecomposed(out, d.units[i], depth + 1);
        else
            out.appendChar(d.units[i]);
    }
}

std::uint16_t baseLetter(std::uint16_t ch)
{
    // The first unit of a full decomposition has no decomposition of its own, so one
    // step reaches the fixed point; the bound guards against a cyclic table.
    for (int step = 0; step < kMaxDecomposition; ++step) {
        const std::uint16_t first = decomposeUnit(ch, true).units[0];
        if (first == ch)
            break;
        ch = first;
    }
    return ch;
}

// The process-wide registry: language numbers and records in two parallel arrays.
struct Registry {
    cPlatformMutex mutex;
    cLPtrArray languages;  // language numbers stored as pointer-sized integers
    cLPtrArray records;

    Registry()
    {
        languages.setCapacity(8);
        records.setCapacity(8);
    }

    // Index of the language, or -1. Called with the mutex held.
    std::int32_t indexOf(std::uint16_t language) const
    {
        for (std::int32_t i = 0; i < languages.count(); ++i)
            if (reinterpret_cast<std::uintptr_t>(languages.elementAt(i)) == language)
                return i;
        return -1;
    }

    const cLanguageDisplayRecord* recordFor(std::uint16_t language) const
    {
        const std::int32_t i = indexOf(language);
        return i < 0 ? nullptr : static_cast<const cLanguageDisplayRecord*>(records.elementAt(i));
    }
};

Registry& registry()
{
    static Registry instance;
    return instance;
}

// The six start-up records; the last stays empty and unregistered.
struct StartupRecords {
    cLanguageDisplayRecord hebrew, transliterated, greek, latin, western, spare;
};

StartupRecords& startupRecords()
{
    static StartupRecords records;
    return records;
}

void fillRecord(cLanguageDisplayRecord& record, const char* font, const char* displayFont, bool rightToLeft)
{
    record.fontName.assignCStr(font);
    record.displayFontName.assignCStr(displayFont);
    record.rightToLeft = rightToLeft ? 1 : 0;
    record.reserved = 0;
}

bool equalsAscii(const cLString16& text, const char* ascii)
{
    std::int32_t i = 0;
    for (; ascii[i] != 0; ++i)
        if (i >= text.length() || text.chars()[i] != static_cast<unsigned char>(ascii[i]))
            return false;
    return i == text.length();
}

}  // namespace

std::uint32_t combiningClassForCharacter(std::uint16_t ch, std::uint16_t language)
{
    const CombiningClassRow* end = kCombiningClassRows + kCombiningClassRowCount;
    const CombiningClassRow* row = std::lower_bound(
        kCombiningClassRows, end, ch, [](const CombiningClassRow& r, std::uint16_t c) { return r.character < c; });
    std::uint32_t generalClass = 0;
    for (; row != end && row->character == ch; ++row) {
        if (row->language == language)
            return row->combiningClass;
        if (row->language == kLanguageAny)
            generalClass = row->combiningClass;
    }
    return generalClass;
}

void decomposeChar(cLString16& out, std::uint16_t ch, bool full)
{
    const Decomposed d = decomposeUnit(ch, full);
    out.makeEmpty();
    out.appendChars(d.units, d.count);
}

void decomposeCanonical(cLString16& out, const cLString16& text)
{
    cLString16 result;
    result.reserve(text.length() + text.length() / 2 + 1);
    for (std::int32_t i = 0; i < text.length(); ++i)
        appendDecomposed(result, text.chars()[i], 0);
    out = std::move(result);
}

void reorderMarks(cLString16& out, const cLString16& text, std::uint16_t language)
{
    const std::int32_t n = text.length();
    std::vector<std::pair<std::uint32_t, std::uint16_t>> units(static_cast<std::size_t>(n));
    for (std::int32_t i = 0; i < n; ++i) {
        const std::uint16_t u = text.chars()[i];
        units[static_cast<std::size_t>(i)] = {combiningClassForCharacter(u, language), u};
    }
    // Swapping adjacent marks until none is out of order is a stable sort of each
    // run of marks by class; starters (class 0) never move.
    auto isMark = [](const auto& p) { return p.first != 0; };
    for (auto it = units.begin(); it != units.end();) {
        auto runStart = std::find_if(it, units.end(), isMark);
        auto runEnd = std::find_if_not(runStart, units.end(), isMark);
        std::stable_sort(runStart, runEnd, [](const auto& a, const auto& b) { return a.first < b.first; });
        it = runEnd;
    }
    cLString16 result;
    result.reserve(n + 1);
    for (const auto& p : units)
        result.appendChar(p.second);
    out = std::move(result);
}

void decomposeAndReorder(cLString16& out, const cLString16& text, std::uint16_t language)
{
    cLString16 decomposed;
    decomposeCanonical(decomposed, text);
    reorderMarks(out, decomposed, language);
}

void foldToBaseLetters(cLString16& out, const cLString16& text)
{
    cLString16 result;
    result.reserve(text.length() + 1);
    for (std::int32_t i = 0; i < text.length(); ++i) {
        const std::uint16_t u = text.chars()[i];
        if (combiningClassForCharacter(u, kLanguageAny) != 0)
            continue;
        result.appendChar(baseLetter(u));
    }
    out = std::move(result);
}

void registerLanguage(cLanguageDisplayRecord* record, std::uint16_t language)
{
    Registry& r = registry();
    std::lock_guard<cPlatformMutex> lock(r.mutex);
    const std::int32_t i = r.indexOf(language);
    if (i >= 0) {
        r.records.setAt(i, record);
        return;
    }
    r.languages.append(reinterpret_cast<void*>(static_cast<std::uintptr_t>(language)));
    r.records.append(record);
}

bool isRightToLeftLanguage(std::uint16_t language)
{
    Registry& r = registry();
    std::lock_guard<cPlatformMutex> lock(r.mutex);
    const cLanguageDisplayRecord* record = r.recordFor(language);
    return record != nullptr && record->rightToLeft != 0;
}

void fontForLanguage(cLString8& out, std::uint16_t language)
{
    Registry& r = registry();
    std::lock_guard<cPlatformMutex> lock(r.mutex);
    const cLanguageDisplayRecord* record = r.recordFor(language);
    if (record == nullptr)
        out.makeEmpty();
    else
        out.assign(record->displayFontName);
}

std::uint16_t languageCodeForName(const cLString16& name)
{
    struct Entry {
        const char* name;
        std::uint16_t language;
    };
    static constexpr Entry kNames[] = {
        {"hebrew", kLanguageHebrew},
        {"greek", kLanguageGreek},
        {"latin", kLanguageLatin},
        {"english", kLanguageEnglish},
        {"transhebrew", kLanguageTransHebrew},
        {"trans hebrew", kLanguageTransHebrew},
        {"transliterated hebrew", kLanguageTransHebrew},
        {"transaramaic", kLanguageTransAramaic},
        {"trans aramaic", kLanguageTransAramaic},
        {"transliterated aramaic", kLanguageTransAramaic},
        {"transgreek", kLanguageTransGreek},
        {"trans greek", kLanguageTransGreek},
        {"transliterated greek", kLanguageTransGreek},
        {"trans", kLanguageTransGeneric},
        {"transliterated", kLanguageTransGeneric},
    };
    cLString16 lower(name);
    lower.toLowerCase();
    for (const Entry& e : kNames)
        if (equalsAscii(lower, e.name))
            return e.language;
    return static_cast<std::uint16_t>(name.toInt32(10));
}

std::uint16_t languageCodeForName(const cLString8& name)
{
    return languageCodeForName(cLString16(name));
}

void setUpLanguageFonts()
{
    // The records are filled once: readers may hold them while a second call runs.
    static std::once_flag once;
    std::call_once(once, [] {
        StartupRecords& s = startupRecords();
        fillRecord(s.hebrew, "Tavrosen Hebrew", "Tavrosen Hebrew", true);
        fillRecord(s.transliterated, "Tahoma", "Tahoma", false);
        fillRecord(s.greek, "Tavrosen Greek", "Tavrosen Greek", false);
        fillRecord(s.latin, "Tahoma", "Tahoma", false);
        fillRecord(s.western, "", "Verdana", false);
        registerLanguage(&s.hebrew, kLanguageHebrew);
        for (std::uint16_t language :
            {kLanguageTransHebrew, kLanguageTransGreek, kLanguageTransGeneric, kLanguageTransAramaic})
            registerLanguage(&s.transliterated, language);
        registerLanguage(&s.greek, kLanguageGreek);
        registerLanguage(&s.latin, kLanguageLatin);
        registerLanguage(&s.western, kLanguageEnglish);
        registerLanguage(&s.western, kLanguageSpanish);
    });
}
