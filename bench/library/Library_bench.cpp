// The library over a folder of 108 books: the first scan (every book opened and classified, the
// archives written), the restore of a later start (the archives read, the files' dates checked, no
// book opened) over the same folder and over a folder of a thousand books, and opening a book's
// document through its record the first time it is asked for.

#include "bench/library/LibraryFolder.h"
#include "library/SourceManager.h"

#include <benchmark/benchmark.h>

#include <memory>

namespace {

SourceManager::Folders folders(const QString& cache, const QString& books = libraryBench::booksFolder())
{
    SourceManager::Folders f;
    f.books = books;
    f.cache = cache;
    f.refused = libraryBench::scratch("refused");
    return f;
}

void BM_ScanFolder(benchmark::State& state)
{
    if (libraryBench::booksFolder().isEmpty()) {
        state.SkipWithError("the sample library is not built");
        return;
    }
    const QString cache = libraryBench::scratch("scan-cache");
    qint64 books = 0;
    for (auto _ : state) {
        state.PauseTiming();
        SourceManager::removeArchiveFiles(cache);
        auto library = std::make_unique<SourceManager>(folders(cache));
        state.ResumeTiming();
        books = library->allSources()->count();
        state.PauseTiming();
        library.reset();
        state.ResumeTiming();
    }
    state.counters["books"] = static_cast<double>(books);
}
BENCHMARK(BM_ScanFolder)->Unit(benchmark::kMillisecond)->Iterations(5);

// range(0): 0 the folder of 108 books, 1 the folder of a thousand.
void BM_RestoreFromArchives(benchmark::State& state)
{
    const QString folder = state.range(0) == 0 ? libraryBench::booksFolder() : libraryBench::thousandBooksFolder();
    if (folder.isEmpty()) {
        state.SkipWithError("the sample library is not built");
        return;
    }
    const QString cache = libraryBench::scratch(QStringLiteral("restore-cache-%1").arg(state.range(0)));
    SourceManager::removeArchiveFiles(cache);
    SourceManager(folders(cache, folder)).allSources();
    qint64 books = 0, opened = 0;
    for (auto _ : state) {
        auto library = std::make_unique<SourceManager>(folders(cache, folder));
        books = library->allSources()->count();
        state.PauseTiming();
        opened = 0;
        for (const auto& t : library->allSources()->array())
            opened += t->isSourceDocAllocated() ? 1 : 0;
        library.reset();
        state.ResumeTiming();
    }
    state.counters["books"] = static_cast<double>(books);
    state.counters["opened"] = static_cast<double>(opened);
}
BENCHMARK(BM_RestoreFromArchives)->Arg(0)->Arg(1)->ArgName("thousand")->Unit(benchmark::kMillisecond);

void BM_FirstDocumentOpen(benchmark::State& state)
{
    if (libraryBench::booksFolder().isEmpty()) {
        state.SkipWithError("the sample library is not built");
        return;
    }
    const QString cache = libraryBench::scratch("open-cache");
    SourceManager::removeArchiveFiles(cache);
    SourceManager(folders(cache)).allSources();
    SourceManager library(folders(cache));
    const QString file = libraryBench::sampleBooks().at(state.range(0));
    const auto tuple = library.allSources()->tupleForFileName(QStringLiteral("1-") + file);
    if (tuple == nullptr) {
        state.SkipWithError("book not listed");
        return;
    }
    state.SetLabel(file.toStdString());
    for (auto _ : state) {
        auto doc = tuple->sourceDoc();
        benchmark::DoNotOptimize(doc.get());
        state.PauseTiming();
        // Letting go of the only hold closes the book, so the next round opens it afresh.
        doc.reset();
        tuple->releaseSourceDoc();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_FirstDocumentOpen)->DenseRange(0, 8)->Unit(benchmark::kMillisecond);

}  // namespace
