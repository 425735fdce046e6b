// Peak memory (resident set) of opening a book and of rendering one chapter of it, for the KJV and
// the two commentaries. Peak RSS only grows within a process, so each case runs in a child process of
// its own (this program started again with QS_BENCH_MEMORY_CASE set); the `baseline` case does
// nothing, and `over_baseline_KiB` is a case's peak less the baseline's. Times are not the point here.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstring>

#include "bench/engine/SampleLibrary.h"

namespace {

constexpr const char* kCaseVariable = "QS_BENCH_MEMORY_CASE";

// What a case does. Rendering renders the Bible's Psalm 119 or a commentary's largest chapter.
struct MemoryCase {
    const char* name;
    const char* book;  // null: baseline
    bool render;
};

constexpr MemoryCase kCases[] = {
    {"baseline", nullptr, false},
    {"open_KJV", sample::kKJV, false},
    {"open_Scofield", sample::kScofield, false},
    {"open_TreasuryOfDavid", sample::kTreasury, false},
    {"render_KJV_Psalm119", sample::kKJV, true},
    {"render_Scofield_chapter", sample::kScofield, true},
    {"render_TreasuryOfDavid_chapter", sample::kTreasury, true},
};

// In the child: runs the case and prints "<peak KiB> <status>"; the status is "ok" or what failed.
int runCase(const char* name)
{
    for (const MemoryCase& c : kCases) {
        if (std::strcmp(c.name, name) != 0)
            continue;
        std::string status = "ok";
        if (c.book != nullptr) {
            cBkBookFile* book = nullptr;
            const std::string path = sample::bookPath(c.book);
            if (acquireBookFile(BkText::utf8ToUtf16(path), book) != 0) {
                status = "cannot-open";
            } else if (c.render) {
                const bool bible = std::strcmp(c.book, sample::kKJV) == 0;
                const auto runs = bible ? sample::bibleChapters(*book) : sample::commentaryChapters(*book);
                sample::BlockRun run {};
                for (const sample::BlockRun& r : runs)
                    if (bible ? r.key == ((19u << 16) | (119u << 8))
                              : r.endBlock - r.firstBlock > run.endBlock - run.firstBlock)
                        run = r;
                std::string html;
                if (sample::renderBlocks(*book, run, bible, html) == 0)
                    status = "rendered-nothing";
            }
            if (book != nullptr)
                releaseBookFile(book);
        }
        std::printf("%ld %s\n", sample::peakRssKiB(), status.c_str());
        return 0;
    }
    std::printf("0 unknown-case\n");
    return 1;
}

// In the parent: the child's peak in KiB, or -1 with `status` saying why.
long measure(const char* name, std::string& status)
{
    char self[PATH_MAX] = {};
    const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0) {
        status = "cannot find this program";
        return -1;
    }
    const std::string command = std::string(kCaseVariable) + "=" + name + " '" + self + "'";
    std::FILE* child = ::popen(command.c_str(), "r");
    if (child == nullptr) {
        status = "cannot start the child";
        return -1;
    }
    long kib = -1;
    char text[64] = {};
    if (std::fscanf(child, "%ld %63s", &kib, text) != 2)
        kib = -1;
    ::pclose(child);
    status = text;
    return status == "ok" ? kib : -1;
}

long baselineKiB()
{
    static const long kib = [] {
        std::string status;
        return measure("baseline", status);
    }();
    return kib;
}

void BM_PeakMemory(benchmark::State& state, const char* name)
{
    long kib = -1;
    std::string status;
    for (auto _ : state)
        kib = measure(name, status);
    if (kib < 0) {
        state.SkipWithError((std::string(name) + ": " + status).c_str());
        return;
    }
    state.counters["peak_RSS_KiB"] = static_cast<double>(kib);
    state.counters["over_baseline_KiB"] = static_cast<double>(kib - baselineKiB());
}

}  // namespace

int main(int argc, char** argv)
{
    if (const char* name = std::getenv(kCaseVariable))
        return runCase(name);
    for (const MemoryCase& c : kCases)
        benchmark::RegisterBenchmark((std::string("BM_PeakMemory/") + c.name).c_str(), BM_PeakMemory, c.name)
            ->Iterations(1)
            ->Unit(benchmark::kMillisecond);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
