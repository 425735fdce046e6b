// Hit-set operations at the size of a whole Bible (31,102 verses) and stemming
// throughput over a dictionary word list.

#include <benchmark/benchmark.h>

#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "search/core/EarlyEnglishStemmer.h"
#include "search/core/Metaphone.h"
#include "search/core/TextFolding.h"
#include "search/core/WildcardPattern.h"
#include "search/core/WordStemming.h"
#include "search/core/cBitVector.h"

namespace {

constexpr uint32_t kBibleVerses = 31102;

cBitVector randomHits(uint32_t seed, int percent)
{
    std::mt19937 rng(seed);
    cBitVector v(kBibleVerses);
    for (uint32_t i = 0; i < kBibleVerses; ++i)
        if (static_cast<int>(rng() % 100) < percent)
            v.set(i);
    return v;
}

std::vector<std::string> words()
{
    std::vector<std::string> out;
    std::ifstream in("/usr/share/dict/words");
    for (std::string line; std::getline(in, line) && out.size() < 50000;)
        out.push_back(prepareWordForStemming(line, kStemLanguageEnglish));
    if (out.empty())
        for (const char* w : {"loveth", "generations", "running", "happily", "forest", "communion", "righteousness"})
            out.push_back(w);
    return out;
}

void BM_BitVectorAnd(benchmark::State& state)
{
    const cBitVector a = randomHits(1, 30);
    const cBitVector b = randomHits(2, 30);
    for (auto _ : state) {
        cBitVector r = a;
        r.andVector(b);
        benchmark::DoNotOptimize(r.bytes());
    }
}
BENCHMARK(BM_BitVectorAnd);

void BM_BitVectorOr(benchmark::State& state)
{
    const cBitVector a = randomHits(1, 30);
    const cBitVector b = randomHits(2, 30);
    for (auto _ : state) {
        cBitVector r = a;
        r.orVector(b);
        benchmark::DoNotOptimize(r.bytes());
    }
}
BENCHMARK(BM_BitVectorOr);

void BM_BitVectorCount(benchmark::State& state)
{
    const cBitVector a = randomHits(3, static_cast<int>(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(a.countRange(0, kBibleVerses - 1, 1));
}
BENCHMARK(BM_BitVectorCount)->Arg(1)->Arg(50);

// The result table walking every hit in order, one row at a time.
void BM_BitVectorNthSequential(benchmark::State& state)
{
    const cBitVector a = randomHits(4, static_cast<int>(state.range(0)));
    const uint32_t hits = a.count(1);
    for (auto _ : state) {
        for (uint32_t k = 0; k < hits; ++k)
            benchmark::DoNotOptimize(a.nth(k, 1));
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * hits);
}
BENCHMARK(BM_BitVectorNthSequential)->Arg(1)->Arg(30);

void BM_BitVectorWriteRead(benchmark::State& state)
{
    cBitVector a = randomHits(5, static_cast<int>(state.range(0)));
    for (auto _ : state) {
        std::FILE* f = std::tmpfile();
        a.serialize(1, f);
        std::rewind(f);
        cBitVector b;
        b.serialize(0, f);
        std::fclose(f);
        benchmark::DoNotOptimize(b.bytes());
    }
}
BENCHMARK(BM_BitVectorWriteRead)->Arg(1)->Arg(50);

void BM_EarlyEnglishStem(benchmark::State& state)
{
    const auto list = words();
    const EarlyEnglishStemmer stemmer;
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(stemmer.stem(list[i]));
        i = (i + 1) % list.size();
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}
BENCHMARK(BM_EarlyEnglishStem);

// The full call as searches make it: locking, preparation and stemming.
void BM_StemWordForLanguage(benchmark::State& state)
{
    const auto list = words();
    const uint16_t language = static_cast<uint16_t>(state.range(0));
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(stemWordForLanguage(list[i], language));
        i = (i + 1) % list.size();
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}
BENCHMARK(BM_StemWordForLanguage)->Arg(kStemLanguageEnglish)->Arg(kStemLanguageSpanish);

void BM_MetaphoneKey(benchmark::State& state)
{
    std::vector<std::u16string> list;
    for (const auto& w : words())
        list.push_back(TextFolding::utf8ToUtf16(w));
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(metaphoneKey(std::u16string_view(list[i])));
        i = (i + 1) % list.size();
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}
BENCHMARK(BM_MetaphoneKey);

void BM_WildcardMatch(benchmark::State& state)
{
    std::vector<std::u16string> list;
    for (const auto& w : words())
        list.push_back(TextFolding::utf8ToUtf16(w));
    const std::u16string pattern = u"*[a|e]*ing";
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(wildcardMatch(pattern, list[i], false));
        i = (i + 1) % list.size();
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}
BENCHMARK(BM_WildcardMatch);

}  // namespace
