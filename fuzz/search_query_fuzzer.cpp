// Parses the bytes as a search query: UTF-16LE when the first byte is odd, else one character per
// byte. Walks the phrase lists the parser made, then runs the query on a small Bible (compiled once
// per process, with Strong's numbers and stem and sound-alike lists) in one of the standard runs and
// as a search expression, as the second byte chooses.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "fuzz/FuzzSupport.h"
#include "search/core/SearchSpecification.h"
#include "search/execution/PhraseSearch.h"
#include "search/execution/SearchRun.h"
#include "search/execution/SourceTupleSearchBook.h"
#include "search/execution/cSearchExpressionResult.h"
#include "tests/search/execution/MiniBible.h"

namespace {

// Queries above this length are cut: a run's cost grows with the query, and longer ones find no new
// paths.
constexpr std::size_t kMaxQuery = 4096;

const SourceTupleSearchBook* book()
{
    static minibible::Folder* folder = new minibible::Folder();  // lives to the end of the process
    static std::shared_ptr<SourceTupleSearchBook> mini = SourceTupleSearchBook::openFile(folder->writeBible());
    if (mini == nullptr)
        fuzz::fail("the small Bible did not open");
    return mini.get();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > 64 * 1024)
        return 0;
    fuzz::Input in(data, size);
    const bool wide = (in.byte() & 1) != 0;
    const std::uint8_t choice = in.byte();
    const std::uint8_t* p = in.rest();
    const std::size_t n = in.restSize();
    std::u16string text;
    if (wide) {
        for (std::size_t i = 0; i + 1 < n; i += 2)
            text.push_back(static_cast<char16_t>(p[i] | (p[i + 1] << 8)));
    } else {
        text.assign(p, p + n);
    }
    SearchSpecification query(text);
    query.parse();
    (void)query.phraseList();
    (void)query.exclPhraseList();
    for (char16_t c : text) {
        (void)SearchSpecification::isInWhitespaceSet(c);
        (void)SearchSpecification::isInPunctuationSet(c);
    }
    (void)SearchSpecification::isStopWord(text);

    if (text.size() > kMaxQuery)
        text.resize(kMaxQuery);
    const SourceTupleSearchBook& mini = *book();
    const auto runs = searchrun::standardRuns();
    const searchrun::StandardRun& run = runs[choice % runs.size()];
    SearchOptions options;
    options.interpretation = run.interpretation;
    if (run.wordform != nullptr)
        options.wordform = run.wordform;
    options.searchnotes = (choice & 0x80) != 0;
    if (options.searchnotes)
        options.thenote = text;
    if (choice & 0x40)
        options.searchlimits = u"Genesis 1:1-3";
    const SearchSpecification parsed(text);
    std::unique_ptr<BitVector> hits = searchrun::searchResults(parsed, mini, options, 1);
    if (hits != nullptr && !options.searchnotes && hits->size() != mini.numSections() &&
        options.interpretation != std::string(kInterpretationGoto))
        fuzz::fail("a hit set of another size than the book");
    if (hits != nullptr && hits->size() > 0 && hits->getCBitVector()->test(0) && hits->size() == mini.numSections())
        fuzz::fail("section 0 reported as a hit");
    std::unique_ptr<SearchWordListRef> words;
    phrasesearch::createAggregateSearchWordList(words, parsed, mini, &options);

    cSearchExpressionResult expression;
    if (expression.evaluate(text, (choice & 0x40) ? u"Genesis 1" : u"", mini.document()))
        if (expression.hitCount() > mini.numSections())
            fuzz::fail("more hits than sections");
    return 0;
}
