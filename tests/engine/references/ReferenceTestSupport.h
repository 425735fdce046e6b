// Helpers for the reference tests: table files from strings, and a guard that puts every
// table back to its built-in default.
#pragma once

#include "engine/references/cBibleRef.h"
#include "engine/references/cBibleRefTables.h"

#include <cstdio>
#include <memory>
#include <string>

struct FileCloser {
    void operator()(std::FILE* f) const
    {
        if (f)
            std::fclose(f);
    }
};
using TableFile = std::unique_ptr<std::FILE, FileCloser>;

// An open stream over a copy of `text` (tmpfile, so the text may hold any bytes).
inline TableFile tableFile(const std::string& text)
{
    std::FILE* f = std::tmpfile();
    if (f) {
        std::fwrite(text.data(), 1, text.size(), f);
        std::rewind(f);
    }
    return TableFile(f);
}

// A table file with the given header values and rows (a title line is added).
inline std::string tableText(int version, int count, const std::string& rows, const std::string& eol = "\n")
{
    std::string out = "*** reference table" + eol + "+++ Header" + eol;
    if (version >= 0)
        out += "Version=" + std::to_string(version) + eol;
    if (count >= 0)
        out += "Count=" + std::to_string(count) + eol;
    out += "--- End" + eol + "+++ Data" + eol + "\"Column\",\"Titles\"" + eol;
    std::string::size_type start = 0;
    while (start < rows.size()) {
        const auto nl = rows.find('\n', start);
        out += rows.substr(start, nl == std::string::npos ? std::string::npos : nl - start) + eol;
        if (nl == std::string::npos)
            break;
        start = nl + 1;
    }
    out += "--- End" + eol;
    return out;
}

inline void resetAllReferenceTables()
{
    for (int i = 0; i < kBibleRefTableCount; ++i)
        cBibleRefTables::resetTable(static_cast<BibleRefTable>(i), 1);
}

inline std::string spell(cBibleRef& ref, std::uint32_t flags)
{
    ref.formatSpelling(flags);
    return ref.spellingText();
}

inline std::string spellKey(packedBibleKey key, std::uint32_t flags)
{
    cBibleRef ref(key);
    return spell(ref, flags);
}

inline cBibleRef parsed(const char* text, int* result = nullptr, std::int32_t* position = nullptr, int language = 1033)
{
    cBibleRef ref;
    ref.setLanguage(language);
    std::int32_t pos = 0;
    const int r = ref.parse(text, pos);
    if (result)
        *result = r;
    if (position)
        *position = pos;
    return ref;
}
