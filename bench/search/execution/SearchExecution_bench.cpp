// Search runs on the compiled KJV, in process, one benchmark per query kind (the book opened once,
// the run repeated), and one query over every book of the sample library. Each benchmark reports the
// sections it found in its "sections" counter, so a speed-up that loses hits shows.
//
// QS_LIBRARY_DIR names another library folder; a missing book skips the benchmark.

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "search/core/TextFolding.h"
#include "search/execution/SearchRun.h"
#include "search/execution/SourceTupleSearchBook.h"

#ifndef QS_LIBRARY_DIR
#define QS_LIBRARY_DIR ""
#endif

namespace {

std::string libraryDir()
{
    if (const char* env = std::getenv("QS_LIBRARY_DIR"); env != nullptr && *env != '\0')
        return env;
    return QS_LIBRARY_DIR;
}

std::shared_ptr<SourceTupleSearchBook> openBook(const std::string& file)
{
    // Held until the process ends and never destroyed: a book closed among the exit handlers would
    // reach engine tables that are gone by then.
    static auto* open = new std::map<std::string, std::shared_ptr<SourceTupleSearchBook>>;
    auto it = open->find(file);
    if (it != open->end())
        return it->second;
    auto book = SourceTupleSearchBook::openFile(libraryDir() + "/" + file);
    (*open)[file] = book;
    return book;
}

struct Query {
    const char* name;
    const char16_t* text;
    const char* interpretation;
    const char* wordform;
    const char16_t* limits;
};

const Query kQueries[] = {
    {"word", u"love", "all", "exact", nullptr},
    {"and", u"love faith", "all", "exact", nullptr},
    {"or", u"love OR charity", "all", "exact", nullptr},
    {"not", u"love -hate", "all", "exact", nullptr},
    {"phrase", u"\"the Lord is my shepherd\"", "all", "exact", nullptr},
    {"phrase_common", u"\"the Lord said\"", "all", "exact", nullptr},
    {"exact_unquoted", u"son of man", "exact", "exact", nullptr},
    {"wildcard", u"lov*", "all", "exact", nullptr},
    {"wildcard_inner", u"be*ed", "all", "exact", nullptr},
    {"stem", u"loving", "all", "stem", nullptr},
    {"sound_alike", u"Jerusalem", "all", "metaphone", nullptr},
    {"stem_or_sound", u"loving", "all", "stemormeta", nullptr},
    {"strongs", u"G26", "all", "exact", nullptr},
    {"strongs_word", u"love:G26", "all", "exact", nullptr},
    {"limited_range", u"love", "all", "exact", u"Matthew-John"},
    {"goto", u"John 3:16", "goto", nullptr, nullptr},
    // Four words that no verse holds together, then the same four followed by 28 more words of the
    // book: the words after the empty intersection cost nothing.
    {"and_4_none", u"Methuselah love faith mercy", "all", "exact", nullptr},
    {"and_32_none",
        u"Methuselah love faith mercy grace peace truth light life death heaven earth water fire bread wine "
        u"blood king priest temple city house land people servant word spirit power glory kingdom mountain sea",
        "all", "exact", nullptr},
};

void BM_KjvQuery(benchmark::State& state, const Query& q)
{
    const auto book = openBook("KJV.tvk");
    if (book == nullptr) {
        state.SkipWithError("KJV.tvk is missing; build the library target");
        return;
    }
    const SearchSpecification parsed(q.text);
    SearchOptions options;
    options.interpretation = q.interpretation;
    if (q.wordform != nullptr)
        options.wordform = q.wordform;
    if (q.limits != nullptr)
        options.searchlimits = std::u16string(q.limits);
    uint32_t found = 0;
    for (auto _ : state) {
        std::unique_ptr<BitVector> hits = searchrun::searchResults(parsed, *book, options, 1);
        found = hits != nullptr ? hits->count(true) : 0;
        benchmark::DoNotOptimize(hits);
    }
    state.counters["sections"] = found;
}

// The standard runs of the study pane's find, one after another, as the pool would run them.
void BM_KjvStandardRuns(benchmark::State& state)
{
    const auto book = openBook("KJV.tvk");
    if (book == nullptr) {
        state.SkipWithError("KJV.tvk is missing; build the library target");
        return;
    }
    const SearchSpecification parsed(u"love one another");
    for (auto _ : state) {
        for (const searchrun::StandardRun& r : searchrun::standardRuns()) {
            SearchOptions options;
            options.interpretation = r.interpretation;
            if (r.wordform != nullptr)
                options.wordform = r.wordform;
            benchmark::DoNotOptimize(searchrun::searchResults(parsed, *book, options, 1));
        }
    }
}

// "All Words" over every book of the sample library.
void BM_WholeLibrary(benchmark::State& state, const char16_t* text)
{
    std::vector<std::shared_ptr<SourceTupleSearchBook>> books;
    for (const auto& entry : std::filesystem::directory_iterator(libraryDir()))
        if (entry.path().extension() == ".tvk")
            if (auto book = openBook(entry.path().filename().string()))
                books.push_back(book);
    if (books.empty()) {
        state.SkipWithError("the sample library is missing; build the library target");
        return;
    }
    const SearchSpecification parsed(text);
    SearchOptions options;
    options.interpretation = "all";
    uint32_t found = 0;
    for (auto _ : state) {
        found = 0;
        for (const auto& book : books) {
            std::unique_ptr<BitVector> hits = searchrun::searchResults(parsed, *book, options, 1);
            found += hits != nullptr ? hits->count(true) : 0;
        }
    }
    state.counters["books"] = static_cast<double>(books.size());
    state.counters["sections"] = found;
}

const bool kRegistered = [] {
    for (const Query& q : kQueries)
        benchmark::RegisterBenchmark((std::string("BM_KjvQuery/") + q.name).c_str(), BM_KjvQuery, q)
            ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("BM_KjvStandardRuns", BM_KjvStandardRuns)->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("BM_WholeLibrary/love", BM_WholeLibrary, u"love")->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("BM_WholeLibrary/grace_peace", BM_WholeLibrary, u"grace peace")
        ->Unit(benchmark::kMillisecond);
    return true;
}();

}  // namespace
