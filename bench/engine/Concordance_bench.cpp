// Concordance look-ups on the sample KJV: a word as the search asks it of the book document (word
// number, then the concordance entry into a section vector), the two halves of that apart, wildcard
// look-ups that OR many entries, and Strong's look-ups in the Hebrew and Greek pairs (keyed by the
// bare number).
// Each benchmark reports `sections`, the size of its answer, so a regression to a wrong answer shows.

#include <benchmark/benchmark.h>

#include <memory>

#include "bench/engine/SampleLibrary.h"
#include "documents/cBibleDoc.h"
#include "engine/bookfile/BkEngineStrings.h"
#include "search/core/cBitVector.h"

namespace {

// The KJV as a document, opened once for the process (look-ups run warm, as in the reader).
cBibleDoc* kjvDocument()
{
    static std::unique_ptr<cBibleDoc> doc = [] {
        auto d = std::make_unique<cBibleDoc>();
        cLString16 path;
        bkAssign(path, BkText::utf8ToUtf16(sample::bookPath(sample::kKJV)));
        d->SetPathName(path);
        if (!d->Open())
            d.reset();
        return d;
    }();
    return doc.get();
}

bool documentUsable(benchmark::State& state)
{
    if (kjvDocument() != nullptr)
        return true;
    state.SkipWithError(("cannot open " + sample::bookPath(sample::kKJV) + " as a Bible document").c_str());
    return false;
}

enum class Index { Main, Hebrew, Greek };

void lookUp(benchmark::State& state, const char16_t* word, Index index)
{
    if (!documentUsable(state))
        return;
    cBibleDoc* doc = kjvDocument();
    cLString16 text;
    bkAssign(text, std::u16string(word));
    cBitVector* holder = nullptr;
    std::uint32_t count = 0;
    for (auto _ : state) {
        switch (index) {
        case Index::Main:
            doc->SearchMainConcordance(text, holder, count);
            break;
        case Index::Hebrew:
            doc->SearchStrongsHebrewConcordance(text, holder, count);
            break;
        case Index::Greek:
            doc->SearchStrongsGreekConcordance(text, holder, count);
            break;
        }
        benchmark::DoNotOptimize(holder);
    }
    state.counters["sections"] = count;
    if (count == 0)
        state.SkipWithError("the look-up found nothing");
    delete holder;
}

void BM_WordLookup(benchmark::State& state, const char16_t* word)
{
    lookUp(state, word, Index::Main);
}
BENCHMARK_CAPTURE(BM_WordLookup, love, u"love");
BENCHMARK_CAPTURE(BM_WordLookup, Jerusalem, u"Jerusalem");
BENCHMARK_CAPTURE(BM_WordLookup, righteousness, u"righteousness");
BENCHMARK_CAPTURE(BM_WordLookup, the, u"the");
BENCHMARK_CAPTURE(BM_WordLookup, Methuselah, u"Methuselah");

void BM_WildcardLookup(benchmark::State& state, const char16_t* pattern)
{
    lookUp(state, pattern, Index::Main);
}
BENCHMARK_CAPTURE(BM_WildcardLookup, lov_star, u"lov*");
BENCHMARK_CAPTURE(BM_WildcardLookup, righteous_star, u"righteous*");
BENCHMARK_CAPTURE(BM_WildcardLookup, star_ness, u"*ness");
BENCHMARK_CAPTURE(BM_WildcardLookup, b_question_t, u"b?t");

void BM_StrongsHebrewLookup(benchmark::State& state, const char16_t* number)
{
    lookUp(state, number, Index::Hebrew);
}
BENCHMARK_CAPTURE(BM_StrongsHebrewLookup, H430, u"430");
BENCHMARK_CAPTURE(BM_StrongsHebrewLookup, H3068, u"3068");
void BM_StrongsGreekLookup(benchmark::State& state, const char16_t* number)
{
    lookUp(state, number, Index::Greek);
}
BENCHMARK_CAPTURE(BM_StrongsGreekLookup, G26, u"26");
BENCHMARK_CAPTURE(BM_StrongsGreekLookup, G2316, u"2316");

// The first half of a word look-up: the word's number in the sorted word list.
void BM_WordNumber(benchmark::State& state, const char16_t* word)
{
    sample::HeldBook kjv(sample::kKJV);
    if (!kjv.usable(state))
        return;
    const std::u16string text(word);
    uint32_t w = 0;
    for (auto _ : state) {
        w = kjv->wordList().wordNumberForString(text, false);
        benchmark::DoNotOptimize(w);
    }
    if (w == BkResult::kNone)
        state.SkipWithError("word not in the word list");
}
BENCHMARK_CAPTURE(BM_WordNumber, love, u"love");
BENCHMARK_CAPTURE(BM_WordNumber, righteousness, u"righteousness");

// The second half: decoding one concordance entry into a section vector.
void BM_ConcordanceEntry(benchmark::State& state, const char16_t* word)
{
    sample::HeldBook kjv(sample::kKJV);
    if (!kjv.usable(state))
        return;
    const uint32_t w = kjv->wordList().wordNumberForString(std::u16string(word), false);
    if (w == BkResult::kNone) {
        state.SkipWithError("word not in the word list");
        return;
    }
    cBitVector vector(kjv->sections().sectionCount());
    uint32_t count = 0;
    for (auto _ : state) {
        kjv->concordance().lookupWord(w, count, vector);
        benchmark::DoNotOptimize(vector.bytes());
    }
    state.counters["sections"] = count;
}
BENCHMARK_CAPTURE(BM_ConcordanceEntry, love, u"love");
BENCHMARK_CAPTURE(BM_ConcordanceEntry, the, u"the");

}  // namespace
