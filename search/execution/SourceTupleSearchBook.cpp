#include "search/execution/SourceTupleSearchBook.h"

#include <QString>

#include "engine/docbase/cSourceDoc.h"
#include "engine/references/BibleRef.h"
#include "library/JournalSourceTuple.h"
#include "search/core/cBitVector.h"

namespace {

QString q(const std::u16string& s)
{
    return QString::fromStdU16String(s);
}

}  // namespace

SourceTupleSearchBook::SourceTupleSearchBook(SourceTuple::Ptr tuple) : m_tuple(std::move(tuple))
{
}

std::shared_ptr<const SearchBook> SourceTupleSearchBook::forTuple(SourceTuple::Ptr tuple)
{
    if (tuple == nullptr)
        return nullptr;
    return std::make_shared<SourceTupleSearchBook>(std::move(tuple));
}

std::shared_ptr<SourceTupleSearchBook> SourceTupleSearchBook::forDocument(cSourceDoc* document)
{
    if (document == nullptr)
        return nullptr;
    std::shared_ptr<cSourceDoc> held(document, [](cSourceDoc*) {});
    // The journal grows while the program runs: its tuple asks the document for its size each time.
    if (document->supports(kDocSupportsIsFakeJournalDoc)) {
        auto journal = std::make_shared<JournalSourceTuple>();
        journal->setSourceDoc(std::move(held));
        return std::make_shared<SourceTupleSearchBook>(std::move(journal));
    }
    return std::make_shared<SourceTupleSearchBook>(SourceTuple::sourceTupleForSource(std::move(held)));
}

std::shared_ptr<SourceTupleSearchBook> SourceTupleSearchBook::openFile(const std::string& path, std::string* reason)
{
    QString why;
    std::shared_ptr<cSourceDoc> document = SourceTuple::allocateSourceForFile(QString::fromStdString(path), &why);
    if (document == nullptr) {
        if (reason != nullptr)
            *reason = why.toStdString();
        return nullptr;
    }
    return std::make_shared<SourceTupleSearchBook>(SourceTuple::sourceTupleForSource(std::move(document)));
}

void SourceTupleSearchBook::prepare(BitVector& results) const
{
    const uint32_t n = numSections();
    if (results.getCBitVector() == nullptr || results.size() != n)
        results.setCBitVector(std::make_unique<cBitVector>(n));
    else
        results.clearAll();
}

bool SourceTupleSearchBook::docSupports(uint32_t mask) const
{
    return m_tuple->docSupports(mask);
}

bool SourceTupleSearchBook::couldBeWordAttribute(const std::u16string& term) const
{
    return m_tuple->words().couldBeWordAttribute(q(term));
}

uint32_t SourceTupleSearchBook::numSections() const
{
    const uint64_t n = m_tuple->numSections();
    return n > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(n);
}

uint16_t SourceTupleSearchBook::bookLanguage() const
{
    const uint64_t language = m_tuple->record().bookLanguage;
    return static_cast<uint16_t>(language == 0 ? 1033 : language);
}

SearchBook::Identity SourceTupleSearchBook::identity() const
{
    return {static_cast<uint16_t>(m_tuple->record().pubID), static_cast<uint16_t>(m_tuple->record().bookID),
        static_cast<uint8_t>(m_tuple->record().editionNumber), static_cast<uint8_t>(m_tuple->record().revisionNumber)};
}

std::string SourceTupleSearchBook::abbreviation() const
{
    return m_tuple->record().abbr.toStdString();
}

bool SourceTupleSearchBook::isABible() const
{
    return m_tuple->isABible();
}

bool SourceTupleSearchBook::isFakeBibleDoc() const
{
    return m_tuple->isFakeBibleDoc();
}

bool SourceTupleSearchBook::isFakeJournalDoc() const
{
    return m_tuple->isFakeJournalDoc();
}

cSourceDoc* SourceTupleSearchBook::document() const
{
    return m_tuple->sourceDoc().get();
}

uint32_t SourceTupleSearchBook::canonicalWordNumberForString(const std::u16string& word) const
{
    return m_tuple->words().canonicalWordNumberForString(q(word));
}

uint32_t SourceTupleSearchBook::wordNumberForString(const std::u16string& word, bool partialMatch) const
{
    return m_tuple->words().wordNumberForString(q(word), partialMatch);
}

uint32_t SourceTupleSearchBook::metaphoneWordNumberForString(const std::u16string& key) const
{
    return m_tuple->words().metaphoneWordNumberForString(q(key));
}

uint32_t SourceTupleSearchBook::stemmerWordNumberForString(const std::u16string& stem) const
{
    return m_tuple->words().stemmerWordNumberForString(q(stem));
}

uint32_t SourceTupleSearchBook::resultsFromMainConcordanceForWordNum(uint32_t word, BitVector& results) const
{
    prepare(results);
    return m_tuple->words().resultsFromMainConcordanceForWordNum(word, results);
}

uint32_t SourceTupleSearchBook::resultsFromMainConcordanceForWord(const std::u16string& word, BitVector& results) const
{
    prepare(results);
    return m_tuple->words().resultsFromMainConcordanceForWord(q(word), results);
}

uint32_t SourceTupleSearchBook::resultsFromMetaphoneConcordanceForWordNum(uint32_t word, BitVector& results) const
{
    prepare(results);
    return m_tuple->words().resultsFromMetaphoneConcordanceForWordNum(word, results);
}

uint32_t SourceTupleSearchBook::resultsFromStemmerConcordanceForWordNum(uint32_t word, BitVector& results) const
{
    prepare(results);
    return m_tuple->words().resultsFromStemmerConcordanceForWordNum(word, results);
}

uint32_t SourceTupleSearchBook::resultsFromStrongsHebrewConcordanceForWord(
    const std::u16string& number, BitVector& results) const
{
    prepare(results);
    return m_tuple->words().resultsFromStrongsHebrewConcordanceForWord(q(number), results);
}

uint32_t SourceTupleSearchBook::resultsFromStrongsGreekConcordanceForWord(
    const std::u16string& number, BitVector& results) const
{
    prepare(results);
    return m_tuple->words().resultsFromStrongsGreekConcordanceForWord(q(number), results);
}

uint32_t SourceTupleSearchBook::resultsFromWordAttributeConcordanceForWord(
    const std::u16string& attribute, BitVector& results) const
{
    prepare(results);
    return m_tuple->words().resultsFromWordAttributeConcordanceForWord(q(attribute), results);
}

uint32_t SourceTupleSearchBook::resultsFromWordSyncConcordanceForWord(
    const std::u16string& word, BitVector& results) const
{
    prepare(results);
    return m_tuple->words().resultsFromWordSyncConcordanceForWord(q(word), results);
}

uint32_t SourceTupleSearchBook::resultsFromVerseReferenceConcordanceForVerse(
    const cBibleRef& reference, BitVector& results) const
{
    prepare(results);
    return m_tuple->words().resultsFromVerseReferenceConcordanceForVerse(
        BibleRef::bibleRefWithcBibleRef(reference), results);
}

void SourceTupleSearchBook::resultsForAllOTVerses(BitVector& results) const
{
    prepare(results);
    m_tuple->words().resultsForAllOTVerses(results);
}

void SourceTupleSearchBook::resultsForAllNTVerses(BitVector& results) const
{
    prepare(results);
    m_tuple->words().resultsForAllNTVerses(results);
}

void SourceTupleSearchBook::resultsForAllVersesThatMightMatchWordAttribute(
    BitVector& results, const std::u16string& attribute) const
{
    prepare(results);
    m_tuple->words().resultsForAllVerses(results, q(attribute));
}

bool SourceTupleSearchBook::isPhrasePresent(const cSearchWordList& phrase, uint32_t section) const
{
    return m_tuple->words().isPhrasePresent(phrase, section);
}

uint32_t SourceTupleSearchBook::resultsForLimitString(BitVector& results, const std::u16string& limit) const
{
    prepare(results);
    bool understood = true;
    const uint32_t n = m_tuple->words().results(results, q(limit), &understood);
    return understood ? n : kSearchLimitNotUnderstood;
}

uint32_t SourceTupleSearchBook::countOfBookmarksForCategory(const std::u16string& category) const
{
    const int64_t n = m_tuple->words().countOfBookmarksForCategory(q(category));
    return n > 0 ? static_cast<uint32_t>(n) : 0;
}

uint32_t SourceTupleSearchBook::sectionForSyncString(const std::u16string& text, bool requiresMoreThanBookName) const
{
    return m_tuple->locations().sectionForSyncString(q(text), requiresMoreThanBookName);
}

uint32_t SourceTupleSearchBook::sectionForBibleKey(uint32_t key) const
{
    return m_tuple->locations().sectionForBibleKey(key);
}

std::vector<uint32_t> SourceTupleSearchBook::markedWordNumbersFoldingTo(const std::u16string& folded) const
{
    const std::vector<quint32> numbers = m_tuple->words().markedWordNumbersFoldingTo(folded);
    return std::vector<uint32_t>(numbers.begin(), numbers.end());
}

void SourceTupleSearchBook::keepVersesOnly(BitVector& results) const
{
    if (!isABible())
        return;
    const SourceTupleLocations& locations = m_tuple->locations();
    for (uint32_t s = results.first(true); s != cBitVector::kNone; s = results.nextAfter(s, true))
        if ((locations.keyForSection(s) & 0xFF) == 0)
            results.clear(s);
}
