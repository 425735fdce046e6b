// The questions that bench/compare_peers.sh also asks of the peer and of the tvktool program, asked
// here in-process of the same engine code tvktool runs (cTvkToolBook over the KJV, opened once):
// the number of verses holding a word, and the number holding a phrase.
//
// The questions are $QS_BENCH_QUESTIONS when set, "word:love;phrase:the Lord said;..." (';'
// between questions), else the list below. Each benchmark is named BM_Question/<kind>:<text> and
// reports its answer as `sections`.

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "bench/engine/SampleLibrary.h"
#include "tools/tvktool/cTvkToolBook.h"

namespace {

constexpr const char* kDefaultQuestions =
    "word:love;word:Jerusalem;word:righteousness;phrase:the Lord said;phrase:thus saith the LORD";

struct Question {
    bool phrase = false;
    std::string text;
};

std::vector<Question> questions()
{
    const char* env = std::getenv("QS_BENCH_QUESTIONS");
    const std::string all = env != nullptr && *env != '\0' ? env : kDefaultQuestions;
    std::vector<Question> out;
    size_t start = 0;
    while (start <= all.size()) {
        size_t end = all.find(';', start);
        if (end == std::string::npos)
            end = all.size();
        const std::string q = all.substr(start, end - start);
        const size_t colon = q.find(':');
        if (colon != std::string::npos && colon + 1 < q.size())
            out.push_back({q.substr(0, colon) == "phrase", q.substr(colon + 1)});
        start = end + 1;
    }
    return out;
}

cTvkToolBook* kjv()
{
    static std::unique_ptr<cTvkToolBook> book = [] {
        auto b = std::make_unique<cTvkToolBook>();
        if (b->open(sample::bookPath(sample::kKJV)) != 0)
            b.reset();
        return b;
    }();
    return book.get();
}

void BM_Question(benchmark::State& state, Question q)
{
    cTvkToolBook* book = kjv();
    if (book == nullptr) {
        state.SkipWithError(("cannot open " + sample::bookPath(sample::kKJV)).c_str());
        return;
    }
    std::uint32_t count = 0, r = 0;
    for (auto _ : state) {
        r = q.phrase ? book->countPhrase(q.text, count) : book->countWord(q.text, count);
        benchmark::DoNotOptimize(count);
    }
    if (r != 0)
        state.SkipWithError(("error " + std::to_string(r)).c_str());
    state.counters["sections"] = count;
}

}  // namespace

int main(int argc, char** argv)
{
    for (const Question& q : questions())
        benchmark::RegisterBenchmark(
            ("BM_Question/" + std::string(q.phrase ? "phrase:" : "word:") + q.text).c_str(), BM_Question, q)
            ->Unit(benchmark::kMicrosecond);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
