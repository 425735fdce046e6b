// Phrases on the sample KJV. The phrase test of one section (the token walk that confirms a phrase
// where the concordance only says that its words occur), and a whole phrase search: AND the
// concordance entries of the phrase's words, then test each remaining section.
// `sections` is the number of sections holding the phrase; `candidates` those that held every word.

#include <benchmark/benchmark.h>

#include <sstream>
#include <string>
#include <vector>

#include "bench/engine/SampleLibrary.h"
#include "engine/bookfile/cBkWordLinks.h"
#include "search/core/cBitVector.h"
#include "search/core/cSearchWordList.h"

namespace {

// How the phrase's items name their words: by number in the book's main word list (as a search that
// resolved its words first), or by text (as tvktool's phrase query does, each word of the section
// then compared as text).
enum class Items { ByNumber, ByText };

// The phrase as a word list; `numbers` gets the word numbers for the concordance. False when a word
// is not in the book.
bool phraseWords(
    cBkBookFile& book, const std::string& phrase, Items items, cSearchWordList& list, std::vector<uint32_t>& numbers)
{
    list.removeAll();
    numbers.clear();
    std::istringstream in(phrase);
    for (std::string word; in >> word;) {
        const uint32_t w = book.wordList().wordNumberForString(BkText::utf8ToUtf16(word), false);
        if (w == BkResult::kNone)
            return false;
        numbers.push_back(w);
        if (items == Items::ByText)
            list.appendItem(BkText::utf8ToUtf16(word).c_str(), AnItem::kNoWordNumber, false, nullptr);
        else
            list.appendItem(nullptr, w, false, nullptr);
    }
    return !numbers.empty();
}

struct PhraseResult {
    uint32_t candidates = 0;
    uint32_t sections = 0;
};

PhraseResult searchPhrase(cBkBookFile& book, const cSearchWordList& list, const std::vector<uint32_t>& numbers,
    cBitVector& hits, cBitVector& entry)
{
    PhraseResult r;
    uint32_t count = 0;
    book.concordance().lookupWord(numbers[0], count, hits);
    for (size_t i = 1; i < numbers.size(); ++i) {
        book.concordance().lookupWord(numbers[i], count, entry);
        hits.andVector(entry);
    }
    cBkWordLinks links(book);
    const uint32_t n = hits.size();
    for (uint32_t s = hits.first(1); s < n; s = hits.nextAfter(s, 1)) {
        ++r.candidates;
        if (links.isPhrasePresentInSection(s, list))
            ++r.sections;
        else
            hits.clear(s);
    }
    return r;
}

void BM_PhraseSearch(benchmark::State& state, const char* phrase, Items items)
{
    sample::HeldBook kjv(sample::kKJV);
    if (!kjv.usable(state))
        return;
    cSearchWordList list;
    std::vector<uint32_t> numbers;
    if (!phraseWords(*kjv, phrase, items, list, numbers)) {
        state.SkipWithError("a word of the phrase is not in the book");
        return;
    }
    const uint32_t sections = kjv->sections().sectionCount();
    cBitVector hits(sections), entry(sections);
    PhraseResult r;
    for (auto _ : state) {
        r = searchPhrase(*kjv, list, numbers, hits, entry);
        benchmark::DoNotOptimize(hits.bytes());
    }
    state.counters["sections"] = r.sections;
    state.counters["candidates"] = r.candidates;
}
BENCHMARK_CAPTURE(BM_PhraseSearch, the_Lord_said / by_number, "the Lord said", Items::ByNumber)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_PhraseSearch, thus_saith_the_LORD / by_number, "thus saith the LORD", Items::ByNumber)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_PhraseSearch, in_the_beginning / by_number, "in the beginning", Items::ByNumber)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_PhraseSearch, and_it_came_to_pass / by_number, "and it came to pass", Items::ByNumber)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_PhraseSearch, the_Lord_said / by_text, "the Lord said", Items::ByText)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_PhraseSearch, thus_saith_the_LORD / by_text, "thus saith the LORD", Items::ByText)
    ->Unit(benchmark::kMillisecond);

// The phrase test alone over the sections that hold every word of "thus saith the LORD", per
// section tested.
void BM_PhraseTestPerSection(benchmark::State& state, Items items)
{
    sample::HeldBook kjv(sample::kKJV);
    if (!kjv.usable(state))
        return;
    cSearchWordList list;
    std::vector<uint32_t> numbers;
    if (!phraseWords(*kjv, "thus saith the LORD", items, list, numbers)) {
        state.SkipWithError("a word of the phrase is not in the book");
        return;
    }
    const uint32_t sections = kjv->sections().sectionCount();
    cBitVector hits(sections), entry(sections);
    std::vector<uint32_t> candidates;
    uint32_t count = 0;
    kjv->concordance().lookupWord(numbers[0], count, hits);
    for (size_t i = 1; i < numbers.size(); ++i) {
        kjv->concordance().lookupWord(numbers[i], count, entry);
        hits.andVector(entry);
    }
    for (uint32_t s = hits.first(1); s < sections; s = hits.nextAfter(s, 1))
        candidates.push_back(s);
    if (candidates.empty()) {
        state.SkipWithError("no candidate sections");
        return;
    }
    cBkWordLinks links(*kjv);
    size_t i = 0;
    uint32_t found = 0;
    for (auto _ : state) {
        found += links.isPhrasePresentInSection(candidates[i], list) ? 1 : 0;
        i = i + 1 == candidates.size() ? 0 : i + 1;
    }
    benchmark::DoNotOptimize(found);
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
    state.counters["candidates"] = static_cast<double>(candidates.size());
}
BENCHMARK_CAPTURE(BM_PhraseTestPerSection, by_number, Items::ByNumber);
BENCHMARK_CAPTURE(BM_PhraseTestPerSection, by_text, Items::ByText)->Unit(benchmark::kMicrosecond);

}  // namespace
