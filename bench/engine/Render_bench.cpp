// Rendering on the sample library.
//  - Every chapter of the KJV in turn, as display HTML (parser over the book's stored block trees,
//    block renderer, section text writer for the text nodes): one iteration renders all of them, and
//    the per-chapter time is the iteration time over `chapters`.
//  - The text alone of every KJV chapter through the section text writer (no parse trees).
//  - One chapter (Psalm 119, the longest) and one commentary chapter of each commentary.

#include <benchmark/benchmark.h>

#include "bench/engine/SampleLibrary.h"
#include "engine/bookfile/cBkSectionTextWriter.h"

namespace {

void BM_RenderAllKJVChapters(benchmark::State& state)
{
    sample::HeldBook kjv(sample::kKJV);
    if (!kjv.usable(state))
        return;
    const std::vector<sample::BlockRun> chapters = sample::bibleChapters(*kjv);
    std::string html;
    size_t bytes = 0, empty = 0;
    for (auto _ : state) {
        bytes = 0;
        empty = 0;
        for (const sample::BlockRun& c : chapters) {
            const size_t n = sample::renderBlocks(*kjv, c, true, html);
            bytes += n;
            empty += n == 0 ? 1 : 0;
        }
        benchmark::DoNotOptimize(bytes);
    }
    state.counters["chapters"] = static_cast<double>(chapters.size());
    state.counters["html_MB"] = static_cast<double>(bytes) / 1e6;
    state.SetBytesProcessed(static_cast<int64_t>(bytes) * state.iterations());
    if (empty != 0)
        state.SkipWithError((std::to_string(empty) + " chapters rendered nothing").c_str());
}
BENCHMARK(BM_RenderAllKJVChapters)->Unit(benchmark::kMillisecond);

void BM_SectionTextAllKJVChapters(benchmark::State& state)
{
    sample::HeldBook kjv(sample::kKJV);
    if (!kjv.usable(state))
        return;
    const uint32_t sections = kjv->sections().sectionCount();
    std::vector<uint32_t> starts(sections, 0);
    for (uint32_t s = 0; s < sections; ++s) {
        uint32_t block = 0;
        kjv->sections().getSectionStart(s, block, starts[s]);
    }
    std::string text;
    size_t bytes = 0;
    for (auto _ : state) {
        bytes = 0;
        for (uint32_t s = 1; s < sections; ++s) {
            text.clear();
            cBkSectionTextWriter::renderTextRangeToHTML(*kjv, starts[s], false, nullptr, text);
            bytes += text.size();
        }
        benchmark::DoNotOptimize(bytes);
    }
    state.counters["sections"] = sections;
    state.SetBytesProcessed(static_cast<int64_t>(bytes) * state.iterations());
}
BENCHMARK(BM_SectionTextAllKJVChapters)->Unit(benchmark::kMillisecond);

void renderOne(benchmark::State& state, const char* book, bool bible, uint32_t wantedKey)
{
    sample::HeldBook held(book);
    if (!held.usable(state))
        return;
    const std::vector<sample::BlockRun> runs = bible ? sample::bibleChapters(*held) : sample::commentaryChapters(*held);
    if (runs.empty()) {
        state.SkipWithError("no chapters found");
        return;
    }
    // The Bible chapter asked for; in a commentary the run with the most blocks.
    sample::BlockRun run = runs.front();
    for (const sample::BlockRun& r : runs)
        if (bible ? r.key == wantedKey : r.endBlock - r.firstBlock > run.endBlock - run.firstBlock)
            run = r;
    std::string html;
    size_t bytes = 0;
    for (auto _ : state) {
        bytes = sample::renderBlocks(*held, run, bible, html);
        benchmark::DoNotOptimize(bytes);
    }
    state.counters["blocks"] = run.endBlock - run.firstBlock;
    state.counters["html_KB"] = static_cast<double>(bytes) / 1e3;
    if (bytes == 0)
        state.SkipWithError("the chapter rendered nothing");
}

void BM_RenderChapter(benchmark::State& state, const char* book, bool bible, uint32_t key)
{
    renderOne(state, book, bible, key);
}
BENCHMARK_CAPTURE(BM_RenderChapter, KJV_Psalm119, sample::kKJV, true, (19u << 16) | (119u << 8))
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_RenderChapter, KJV_John3, sample::kKJV, true, (43u << 16) | (3u << 8))
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_RenderChapter, Scofield_largest, sample::kScofield, false, 0u)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_RenderChapter, TreasuryOfDavid_largest, sample::kTreasury, false, 0u)
    ->Unit(benchmark::kMicrosecond);

}  // namespace
