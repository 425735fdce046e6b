// Opening books of the sample library.
//  - Cold: the KJV is not in the open-book-file cache, so every storage header and table is read and
//    checked again. With `evicted` the file's pages are also dropped from the system's page cache
//    before each open (posix_fadvise), so the reads come from the disk.
//  - Warm: another reference to a book the cache already holds.
//  - As a document: the Bible document's open and close around the book file.
//  - The whole library: every book of the folder, opened and then released.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include "bench/engine/SampleLibrary.h"
#include "documents/cBibleDoc.h"
#include "engine/bookfile/BkEngineStrings.h"

namespace {

void evictFromPageCache(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY);
    if (fd < 0)
        return;
    ::fdatasync(fd);
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
    ::close(fd);
}

bool openable(benchmark::State& state, const std::string& path)
{
    cBkBookFile* book = nullptr;
    const uint32_t r = acquireBookFile(BkText::utf8ToUtf16(path), book);
    if (book == nullptr) {
        state.SkipWithError(("cannot open " + path + " (error " + std::to_string(r) + ")").c_str());
        return false;
    }
    releaseBookFile(book);
    return true;
}

void BM_OpenKJVCold(benchmark::State& state)
{
    const std::string path = sample::bookPath(sample::kKJV);
    if (!openable(state, path))
        return;
    const std::u16string path16 = BkText::utf8ToUtf16(path);
    const bool evict = state.range(0) != 0;
    for (auto _ : state) {
        if (evict) {
            state.PauseTiming();
            evictFromPageCache(path);
            state.ResumeTiming();
        }
        cBkBookFile* book = nullptr;
        acquireBookFile(path16, book);
        benchmark::DoNotOptimize(book);
        releaseBookFile(book);
    }
}
BENCHMARK(BM_OpenKJVCold)->ArgName("evicted")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void BM_OpenKJVWarm(benchmark::State& state)
{
    sample::HeldBook held(sample::kKJV);
    if (!held.usable(state))
        return;
    const std::u16string path16 = BkText::utf8ToUtf16(held.path());
    for (auto _ : state) {
        cBkBookFile* book = nullptr;
        acquireBookFile(path16, book);
        benchmark::DoNotOptimize(book);
        releaseBookFile(book);
    }
}
BENCHMARK(BM_OpenKJVWarm);

// The Bible document as the library opens it: Open (which acquires the book file and reads what the
// document keeps from its header) and Close. With `held`, another holder keeps the book file open.
void BM_OpenKJVDocument(benchmark::State& state)
{
    const std::string path = sample::bookPath(sample::kKJV);
    if (!openable(state, path))
        return;
    std::unique_ptr<sample::HeldBook> held;
    if (state.range(0) != 0)
        held = std::make_unique<sample::HeldBook>(sample::kKJV);
    cLString16 path16;
    bkAssign(path16, BkText::utf8ToUtf16(path));
    for (auto _ : state) {
        cBibleDoc doc;
        doc.SetPathName(path16);
        if (!doc.Open()) {
            state.SkipWithError("the Bible document did not open");
            break;
        }
        doc.Close();
    }
}
BENCHMARK(BM_OpenKJVDocument)->ArgName("held")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void BM_OpenWholeLibrary(benchmark::State& state)
{
    const std::vector<std::string> paths = sample::allBooks();
    if (paths.empty()) {
        state.SkipWithError(("no books in " + sample::libraryDir()).c_str());
        return;
    }
    std::vector<std::u16string> paths16;
    for (const std::string& p : paths)
        paths16.push_back(BkText::utf8ToUtf16(p));
    std::vector<cBkBookFile*> books(paths16.size(), nullptr);
    size_t opened = 0;
    for (auto _ : state) {
        opened = 0;
        for (size_t i = 0; i < paths16.size(); ++i)
            if (acquireBookFile(paths16[i], books[i]) == 0)
                ++opened;
        for (cBkBookFile*& b : books)
            if (b != nullptr)
                releaseBookFile(b);
    }
    state.counters["books"] = static_cast<double>(opened);
    if (opened != paths.size())
        state.SkipWithError("some books of the library did not open");
}
BENCHMARK(BM_OpenWholeLibrary)->Unit(benchmark::kMillisecond);

}  // namespace
