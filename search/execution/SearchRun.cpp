#include "search/execution/SearchRun.h"

#include <QString>
#include <array>

#include "engine/foundation/CharacterClasses.h"
#include "engine/references/BibleRef.h"
#include "engine/references/cBibleRef.h"
#include "platform/MainThread.h"
#include "render/HTMLFilter.h"
#include "search/core/Metaphone.h"
#include "search/core/TextFolding.h"
#include "search/core/WordStemming.h"
#include "search/execution/PhraseSearch.h"
#include "search/execution/SearchBook.h"
#include "userdata/cBibleNote.h"
#include "userdata/cBookNote.h"
#include "userdata/cNoteDoc.h"

namespace searchrun {

namespace {

constexpr std::array<StandardRun, 10> kStandardRuns = {{
    {"Did You Mean 'Go To'?", kInterpretationGoto, nullptr},
    {"Referenced Here", kInterpretationXref, nullptr},
    {"Exact Match", kInterpretationExact, kWordFormExact},
    {"All Words", kInterpretationAll, kWordFormExact},
    {"Exact Match, Same Root Word", kInterpretationExact, kWordFormStem},
    {"Exact Match, Sounds Like Word", kInterpretationExact, kWordFormMetaphone},
    {"Exact Match, Same Root or Sounds Like", kInterpretationExact, kWordFormStemOrMeta},
    {"All Words, Same Root Word", kInterpretationAll, kWordFormStem},
    {"All Words, Sounds Like Word", kInterpretationAll, kWordFormMetaphone},
    {"All Words, Same Root or Sounds Like", kInterpretationAll, kWordFormStemOrMeta},
}};

// A walk over stored notes ends with the notes; the limit only stops a cursor that would never end.
constexpr uint32_t kWalkLimit = 1u << 24;

// Progress goes to the main thread; without an application (tools, tests) there is no main-thread
// loop, and the report is made at once on the calling thread.
void onMainThread(const std::function<void()>& fn)
{
    if (isMainThread() || !runOnMainThread(fn))
        fn();
}

void announce(const SearchOptions& options, uint64_t steps, uint64_t searchID)
{
    if (std::shared_ptr<SearchProgressDelegate> d = options.progressDelegate)
        onMainThread([d, steps, searchID] { d->searchProgressAddToCount(steps, static_cast<int64_t>(searchID)); });
}

void step(const SearchOptions& options, uint64_t searchID)
{
    if (std::shared_ptr<SearchProgressDelegate> d = options.progressDelegate)
        onMainThread([d, searchID] { d->searchProgressIncrementBy(1, static_cast<int64_t>(searchID)); });
}

bool hasIncludedList(const SearchSpecification& query)
{
    return query.phraseList() != nullptr && query.phraseList()->count() > 0;
}

std::unique_ptr<BitVector> oneSection(uint32_t size, uint32_t section)
{
    if (section == 0 || section >= size)
        return nullptr;
    auto v = std::make_unique<BitVector>(size);
    v->setFromPosition(section, section);
    return v;
}

// The query read as a Bible reference that names more than a book; null otherwise.
std::unique_ptr<BibleRef> queryReference(const SearchSpecification& query)
{
    auto reference = std::make_unique<BibleRef>();
    if (!reference->parse(QString::fromStdU16String(query.searchSpec())) || !reference->isValid() ||
        reference->isBookOnly())
        return nullptr;
    return reference;
}

// The query read as a Bible reference as the book's own language spells it, in the book's numbering;
// null when it is none there or names a book alone.
std::unique_ptr<BibleRef> bookReference(const SearchSpecification& query, const SearchBook& book)
{
    auto reference = std::make_unique<BibleRef>();
    reference->setLanguage(book.bookLanguage());
    if (!reference->parse(QString::fromStdU16String(query.searchSpec()), QString::fromStdString(book.abbreviation())) ||
        !reference->isValid() || reference->isBookOnly())
        return nullptr;
    return reference;
}

// The section of a go-to query in a Bible or a book synced to Bible verses: the reference as the
// book's language spells it, else as English does (the navigator and other books name verses in
// English), mapped from the common numbering to the book's. 0 when the book does not hold it.
uint32_t sectionForReference(
    const SearchSpecification& query, const SearchBook& book, const BibleRef* english, bool requiresMoreThanBookName)
{
    const uint32_t own = book.sectionForSyncString(query.searchSpec(), requiresMoreThanBookName);
    if (own != 0 || english == nullptr)
        return own;
    BibleRef mapped = *english;
    // A book whose translation the reference tables do not know keeps the common numbering.
    if (!mapped.mapToTranslation(QString::fromStdString(book.abbreviation())))
        mapped = *english;
    return book.sectionForBibleKey(mapped.bibleKey());
}

std::u16string engineText(const cLString16& s)
{
    return std::u16string(reinterpret_cast<const char16_t*>(s.chars()), static_cast<std::size_t>(s.length()));
}

// Runs a phrase list over one note text: true when it matches.
bool noteMatches(const PhraseList& list, const SearchBook& book, const SearchOptions& options, std::u16string text)
{
    cleanUpNoteForSearch(text);
    const std::string form = options.effectiveWordForm();
    if (form == kWordFormStem)
        text = stemmedString(text, book.bookLanguage());
    else if (form == kWordFormMetaphone)
        text = metaphonedString(text);
    SearchOptions own = options;
    own.thenote = std::move(text);
    own.searchnotes = true;
    std::unique_ptr<BitVector> r = phrasesearch::searchResults(list, book, &own);
    return r != nullptr && r->count(true) > 0;
}

std::unique_ptr<BitVector> notesOf(const PhraseList& list, const SearchBook& book, const SearchOptions& options)
{
    if (options.thenote) {
        if (!noteMatches(list, book, options, *options.thenote))
            return std::make_unique<BitVector>(2);
        auto v = std::make_unique<BitVector>(2);
        v->setFromPosition(1, 1);
        return v;
    }
    cNoteDoc* notes = noteDocInstance();
    if (notes == nullptr || !notes->IsOpen())
        return std::make_unique<BitVector>(book.isFakeBibleDoc() ? 1 : book.numSections());
    if (book.isFakeBibleDoc()) {
        // Notes are numbered from 1 by their place in the listing, so that no note stands on bit 0.
        const int64_t count = notes->countBibleNotes();
        const uint32_t size = count > 0 && count < 0xFFFFFFF ? static_cast<uint32_t>(count) + 1 : 1;
        auto v = std::make_unique<BitVector>(size);
        cBibleNote note;
        uint32_t index = 0;
        for (bool more = notes->firstBibleNote(note); more && index + 1 < size; more = notes->nextBibleNote(note)) {
            if (noteMatches(list, book, options, engineText(note.note)))
                v->setFromPosition(index + 1, index + 1);
            ++index;
        }
        return v;
    }
    const uint32_t size = book.numSections();
    auto v = std::make_unique<BitVector>(size);
    if (book.isABible()) {
        const QString abbreviation = QString::fromStdString(book.abbreviation());
        cBibleNote note;
        uint32_t guard = kWalkLimit;
        for (bool more = notes->firstBibleNote(note); more && guard > 0; more = notes->nextBibleNote(note), --guard) {
            if (!noteMatches(list, book, options, engineText(note.note)))
                continue;
            BibleRef verse;
            verse.setBibleKey(makeBibleKey(note.booknum, note.chapter, note.verse));
            if (!verse.mapToTranslation(abbreviation))
                continue;
            const uint32_t section = book.sectionForBibleKey(verse.bibleKey());
            if (section != 0 && section < size)
                v->setFromPosition(section, section);
        }
        return v;
    }
    const SearchBook::Identity id = book.identity();
    const bool journal = book.isFakeJournalDoc();
    cBookNote note;
    note.pubid = id.publisher;
    note.bookid = id.book;
    note.edition = id.edition;
    uint32_t guard = kWalkLimit;
    for (bool more = notes->firstBookNote(note); more && guard > 0; more = notes->nextBookNote(note), --guard) {
        const bool named = !note.formname.isEmpty() && !note.fieldname.isEmpty();
        const bool unnamed = note.formname.isEmpty() && note.fieldname.isEmpty();
        if (journal ? !named : !unnamed)
            continue;
        std::u16string text = engineText(note.note);
        if (journal)
            text += u" " + engineText(note.formname);
        if (!noteMatches(list, book, options, std::move(text)))
            continue;
        const int64_t position = journal ? note.recid : note.section;
        if (position <= 0 || position >= static_cast<int64_t>(size))
            continue;
        v->setFromPosition(static_cast<uint32_t>(position), static_cast<uint32_t>(position));
        if (journal) {
            cLString16 form(note.formname);
            form.toUpperCase();
            notes->addJournalSearchResult(form, note.recid, options.layoutUuid ? options.layoutUuid->c_str() : "",
                static_cast<int32_t>(options.searchID.value_or(0)),
                static_cast<int32_t>(options.searchtag.value_or(0)));
        }
    }
    return v;
}

std::unique_ptr<BitVector> bookmarkCount(const SearchBook& book, const SearchOptions& options)
{
    if (!options.searchlimits)
        return nullptr;
    const std::u16string& value = *options.searchlimits;
    if (value.size() < 13)
        return nullptr;
    std::u16string head = value.substr(0, 10);
    for (char16_t& c : head)
        c = TextFolding::toLower(c);
    if (head != u"bookmark(\"" || value.compare(value.size() - 2, 2, u"\")") != 0)
        return nullptr;
    std::u16string name;
    const std::u16string inner = value.substr(10, value.size() - 12);
    for (std::size_t i = 0; i < inner.size(); ++i) {
        name.push_back(inner[i]);
        if (inner[i] == u'"' && i + 1 < inner.size() && inner[i + 1] == u'"')
            ++i;
    }
    const uint32_t n = book.countOfBookmarksForCategory(name);
    if (n == 0)
        return std::make_unique<BitVector>(2);
    auto v = std::make_unique<BitVector>(n + 1);
    v->setFromPosition(1, n);
    return v;
}

std::unique_ptr<BitVector> phraseSearch(const SearchSpecification& query, const SearchBook& book,
    const SearchOptions& options, uint64_t searchID, RunError& error)
{
    const bool exclusions = query.exclPhraseList() != nullptr;
    const bool limits = options.searchlimits && !options.searchlimits->empty();
    const uint64_t steps = 1 + (exclusions ? 1 : 0) + (limits ? 1 : 0);
    announce(options, steps, searchID);
    // The limits first: one that does not parse is said so, rather than searched as "no sections".
    std::unique_ptr<BitVector> allowed;
    if (limits) {
        allowed = std::make_unique<BitVector>(book.numSections());
        if (book.resultsForLimitString(*allowed, *options.searchlimits) == kSearchLimitNotUnderstood) {
            error = RunError::LimitNotUnderstood;
            for (uint64_t i = 0; i < steps; ++i)
                step(options, searchID);
            return nullptr;
        }
    }
    std::unique_ptr<BitVector> result = phrasesearch::searchResults(*query.phraseList(), book, &options);
    step(options, searchID);
    // Neither an exclusion nor a limit can add a hit, so an empty result skips both.
    const bool found = result != nullptr && result->count(true) != 0;
    if (exclusions) {
        if (found) {
            SearchOptions any;
            any.interpretation = kInterpretationAny;
            any.wordform = kWordFormExact;
            std::unique_ptr<BitVector> excluded = phrasesearch::searchResults(*query.exclPhraseList(), book, &any);
            if (excluded != nullptr)
                result->mask(excluded.get());
        }
        step(options, searchID);
    }
    if (limits) {
        if (found)
            result->andVector(*allowed);
        step(options, searchID);
    }
    return result;
}

}  // namespace

std::span<const StandardRun> standardRuns()
{
    return kStandardRuns;
}

std::unique_ptr<BitVector> searchResults(const SearchSpecification& query, const SearchBook& book,
    const SearchOptions& options, uint64_t searchID, RunError* error)
{
    RunError ignored = RunError::None;
    RunError& outcome = error != nullptr ? *error : ignored;
    outcome = RunError::None;
    if (!hasIncludedList(query))
        return nullptr;
    if (options.searchnotes)
        return searchResultsForPhraseListInNotes(query, *query.phraseList(), book, options);
    const std::string interpretation = options.interpretation.value_or("");
    if (interpretation == kInterpretationUserDataCount)
        return bookmarkCount(book, options);
    if (interpretation == kInterpretationGoto || interpretation == kInterpretationXref) {
        announce(options, 1, searchID);
        std::unique_ptr<BitVector> r = interpretation == kInterpretationGoto
            ? searchResultsForGoTo(query, book, options)
            : searchResultsForXref(query, book, options);
        step(options, searchID);
        return r;
    }
    return phraseSearch(query, book, options, searchID, outcome);
}

std::unique_ptr<BitVector> searchResultsForGoTo(
    const SearchSpecification& query, const SearchBook& book, const SearchOptions& options)
{
    (void)options;
    const std::unique_ptr<BibleRef> reference = queryReference(query);
    const uint32_t size = book.numSections();
    const bool bible = book.isABible();
    if (bible || book.docSupports(kDocSupportsBibleSync)) {
        const bool isReference = reference != nullptr || bookReference(query, book) != nullptr;
        if (bible && !isReference)
            return nullptr;
        const uint32_t section = isReference ? sectionForReference(query, book, reference.get(), !bible) : 0;
        if (bible || section != 0)
            return oneSection(size, section);
    }
    if (book.docSupports(kDocSupportsWordLookup)) {
        auto v = std::make_unique<BitVector>(size);
        book.resultsFromWordSyncConcordanceForWord(query.searchSpec(), *v);
        return v;
    }
    return nullptr;
}

std::unique_ptr<BitVector> searchResultsForXref(
    const SearchSpecification& query, const SearchBook& book, const SearchOptions& options)
{
    (void)options;
    const std::unique_ptr<BibleRef> reference = queryReference(query);
    if (reference == nullptr || reference->cBibleRefPointer() == nullptr)
        return nullptr;
    auto v = std::make_unique<BitVector>(book.numSections());
    book.resultsFromVerseReferenceConcordanceForVerse(*reference->cBibleRefPointer(), *v);
    return v;
}

std::unique_ptr<BitVector> searchResultsForPhraseListInNotes(
    const SearchSpecification& query, const PhraseList& list, const SearchBook& book, const SearchOptions& options)
{
    const uint64_t searchID = static_cast<uint64_t>(options.searchID.value_or(0));
    const bool exclusions = query.exclPhraseList() != nullptr;
    announce(options, exclusions ? 2 : 1, searchID);
    std::unique_ptr<BitVector> result = notesOf(list, book, options);
    step(options, searchID);
    if (result == nullptr || result->count(true) == 0) {
        if (exclusions)
            step(options, searchID);
        return result;
    }
    if (exclusions) {
        SearchOptions any;
        any.interpretation = kInterpretationAny;
        any.wordform = kWordFormExact;
        any.searchnotes = true;
        any.thenote = options.thenote;
        std::unique_ptr<BitVector> excluded = notesOf(*query.exclPhraseList(), book, any);
        if (excluded != nullptr && excluded->size() == result->size())
            result->mask(excluded.get());
        step(options, searchID);
    }
    return result;
}

void cleanUpNoteForSearch(std::u16string& note)
{
    std::string html = TextFolding::utf16ToUtf8(note);
    filterHtmlByStrength(html, 4, true);
    std::u16string text = TextFolding::utf8ToUtf16(html);
    const std::size_t n = text.size();
    for (std::size_t i = 0; i < n; ++i) {
        const char16_t c = text[i];
        if (TextFolding::isApostrophe(c)) {
            // Every form of the apostrophe is one: kept straight inside a word (it's), a blank elsewhere.
            const bool inside =
                i > 0 && i + 1 < n && isLetterOrMarkChar16(text[i - 1]) && isLetterOrMarkChar16(text[i + 1]);
            text[i] = inside ? TextFolding::kStraightApostrophe : u' ';
            continue;
        }
        if (!isPunctuationChar16(c) && !isControlChar16(c))
            continue;
        if (i > 0 && i + 1 < n) {
            const char16_t before = text[i - 1], after = text[i + 1];
            if (c == u'-' && isLetterOrMarkChar16(before) && isLetterOrMarkChar16(after))
                continue;
            if (c == u',' && isDigitChar16(before) && isDigitChar16(after))
                continue;
        }
        text[i] = u' ';
    }
    note = std::move(text);
}

namespace {

template <typename Fn> std::u16string eachWord(const std::u16string& text, Fn&& replace)
{
    std::u16string out(1, u' ');
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (i < n) {
        while (i < n && TextFolding::isWhitespaceOrNewline(text[i]))
            ++i;
        const std::size_t start = i;
        while (i < n && !TextFolding::isWhitespaceOrNewline(text[i]))
            ++i;
        if (i > start) {
            out += replace(text.substr(start, i - start));
            out.push_back(u' ');
        }
    }
    out.push_back(u' ');
    return out;
}

}  // namespace

std::u16string stemmedString(const std::u16string& text, uint16_t language)
{
    return eachWord(text, [language](const std::u16string& word) {
        const std::string stem = stemWordForLanguage(TextFolding::utf16ToUtf8(word), language);
        return stem.empty() ? word : TextFolding::utf8ToUtf16(stem);
    });
}

std::u16string metaphonedString(const std::u16string& text)
{
    return eachWord(text, [](const std::u16string& word) {
        std::u16string key = TextFolding::utf8ToUtf16(metaphoneSearchKey(word));
        if (key != TextFolding::utf8ToUtf16(kMetaphonePlaceholder))
            for (char16_t& c : key)
                c = TextFolding::toLower(c);
        return key;
    });
}

void clearJournalSearchResults(const char* layoutUuid, int64_t searchID, int64_t searchTag)
{
    cNoteDoc* notes = noteDocInstance();
    if (notes == nullptr)
        return;
    notes->removeJournalSearchResults(layoutUuid, static_cast<int32_t>(searchID), static_cast<int32_t>(searchTag));
}

}  // namespace searchrun
