// SampleLibrary: what the engine benchmarks share: where the compiled sample library is, the books
// they open, the chapters of a Bible, the "chapters" of a commentary, and the whole-chapter renderer
// (parser in node mode over the book file, then the block renderer, as the book document renders a
// passage).
//
// The library folder is $QS_LIBRARY_DIR when set, else the build's own library folder. A benchmark
// whose book is missing skips with a message instead of measuring nothing.

#pragma once

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "engine/bookfile/BkText.h"
#include "engine/bookfile/cBkBookFile.h"
#include "render/BookSectionTreeProvider.h"
#include "render/cHTMLBlockRenderer.h"
#include "render/cHTMLParser.h"
#include "render/cHTMLTagElement.h"

#ifndef QS_LIBRARY_DIR
#define QS_LIBRARY_DIR ""
#endif

namespace sample {

inline std::string libraryDir()
{
    if (const char* env = std::getenv("QS_LIBRARY_DIR"); env != nullptr && *env != '\0')
        return env;
    return QS_LIBRARY_DIR;
}

inline std::string bookPath(const char* fileName)
{
    return libraryDir() + "/" + fileName;
}

constexpr const char* kKJV = "KJV.tvk";
// The verse-by-verse commentary and the Psalm-by-Psalm one.
constexpr const char* kScofield = "Scofield.tvk";
constexpr const char* kTreasury = "TreasuryOfDavid.tvk";

// Every book file of the library folder, sorted.
inline std::vector<std::string> allBooks()
{
    std::vector<std::string> out;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(libraryDir(), ec))
        if (e.is_regular_file() && e.path().extension() == ".tvk")
            out.push_back(e.path().string());
    std::sort(out.begin(), out.end());
    return out;
}

// A book held open for the length of a benchmark (one reference in the open-book-file cache).
class HeldBook {
public:
    explicit HeldBook(const char* fileName) : m_path(bookPath(fileName))
    {
        m_result = acquireBookFile(BkText::utf8ToUtf16(m_path), m_book);
    }
    ~HeldBook()
    {
        if (m_book != nullptr)
            releaseBookFile(m_book);
    }
    HeldBook(const HeldBook&) = delete;
    HeldBook& operator=(const HeldBook&) = delete;

    // False (and the benchmark skipped with the reason) when the book did not open.
    bool usable(benchmark::State& state) const
    {
        if (m_book != nullptr)
            return true;
        state.SkipWithError(("cannot open " + m_path + " (error " + std::to_string(m_result) +
            "); build the `library` target or set QS_LIBRARY_DIR")
                                .c_str());
        return false;
    }
    cBkBookFile* get() const { return m_book; }
    cBkBookFile& operator*() const { return *m_book; }
    cBkBookFile* operator->() const { return m_book; }
    const std::string& path() const { return m_path; }

private:
    std::string m_path;
    cBkBookFile* m_book = nullptr;
    uint32_t m_result = 0;
};

// A run of blocks [first, end) rendered as one passage.
struct BlockRun {
    uint32_t key = 0;  // Bible key of a chapter (book << 16 | chapter << 8); 0 for a commentary run
    uint32_t firstBlock = 0;
    uint32_t endBlock = 0;
};

inline uint32_t firstBlockOfSection(cBkBookFile& book, uint32_t section)
{
    uint32_t block = 0, offset = 0;
    book.sections().getSectionStart(section, block, offset);
    return block;
}

// The chapters of a Bible in book order. A chapter starts at the first block of its lowest section
// (its heading where it has one; a book's introduction goes with its first chapter) and runs to the
// first block of the next chapter.
inline std::vector<BlockRun> bibleChapters(cBkBookFile& book)
{
    cBkVerseSyncStg& sync = book.verseSync();
    std::map<uint32_t, uint32_t> firstSection;  // chapter key -> lowest section
    for (uint32_t i = 0; i < sync.recordCount(); ++i) {
        uint8_t keyBytes[4] = {};
        uint32_t section = 0;
        sync.readRecord(i, keyBytes, section);
        const uint32_t key = sync.keyOfRecord(i);
        if ((key >> 16) == 0)
            continue;
        const uint32_t chapter = (key & 0xFF0000u) | (std::max<uint32_t>((key >> 8) & 0xFF, 1) << 8);
        auto [it, added] = firstSection.emplace(chapter, section);
        if (!added && section < it->second)
            it->second = section;
    }
    std::vector<BlockRun> out;
    for (const auto& [key, section] : firstSection)
        out.push_back({key, firstBlockOfSection(book, section), 0});
    std::sort(out.begin(), out.end(), [](const BlockRun& a, const BlockRun& b) { return a.firstBlock < b.firstBlock; });
    const uint32_t blocks = book.nodes().blockCount();
    for (size_t i = 0; i < out.size(); ++i)
        out[i].endBlock = i + 1 < out.size() ? out[i + 1].firstBlock : blocks;
    return out;
}

// The sections of a commentary grouped as the chapters they comment on: consecutive contents entries
// whose titles share the text before the last ':' ("Genesis 1:1", "Genesis 1:3" -> "Genesis 1").
// A book without such titles gives one run per section.
inline std::vector<BlockRun> commentaryChapters(cBkBookFile& book)
{
    std::vector<BlockRun> out;
    std::string lastGroup;
    const uint32_t sections = book.sections().sectionCount();
    for (uint32_t s = 1; s < sections; ++s) {
        uint8_t level = 0;
        std::string title;
        book.toc().readEntry(s, level, title);
        const size_t colon = title.rfind(':');
        const std::string group = colon == std::string::npos ? title + "#" + std::to_string(s) : title.substr(0, colon);
        if (!out.empty() && group == lastGroup)
            continue;
        lastGroup = group;
        out.push_back({0, firstBlockOfSection(book, s), 0});
    }
    const uint32_t blocks = book.nodes().blockCount();
    for (size_t i = 0; i < out.size(); ++i)
        out[i].endBlock = i + 1 < out.size() ? out[i + 1].firstBlock : blocks;
    return out;
}

// Renders blocks [first, end) to display HTML with one block context, as the book document does for
// a passage. Answers the number of bytes written (0 when the blocks did not parse).
inline size_t renderBlocks(cBkBookFile& book, const BlockRun& run, bool bible, std::string& out)
{
    out.clear();
    if (run.endBlock <= run.firstBlock)
        return 0;
    cHTMLParser parser;
    parser.setNodeSource(bookSectionTreeProvider, &book);
    if (!parser.parseSection(run.firstBlock))
        return 0;
    for (uint32_t b = run.firstBlock + 1; b < run.endBlock; ++b) {
        cHTMLTagElement* added = nullptr;
        if (!parser.parseNextSection(&added))
            break;
    }
    cHTMLBlockRenderContext context;
    context.isBible = bible ? 1 : 0;
    cHTMLBlockRenderer::renderItem(parser, parser.rootElement()->firstChild(), out, 1033, false, nullptr, &context);
    if (context.state == cHTMLBlockRenderContext::kVerseSpanOpen)
        out += "</span>";
    return out.size();
}

// The process's peak resident set in KiB.
inline long peakRssKiB()
{
    rusage u {};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

}  // namespace sample
