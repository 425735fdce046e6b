// A book's words: word numbers, concordances, word attributes, limit expressions, the text of search
// hits, and the reader's bookmarks and notes in the book.

#include "library/SourceTupleWords.h"

#include "documents/DocLanguage.h"
#include "documents/cBibleDoc.h"
#include "documents/cBookDoc.h"
#include "engine/bookfile/BkText.h"
#include "engine/bookfile/cBkBookFile.h"
#include "engine/bookfile/cBkWordLinks.h"
#include "engine/bookfile/cBkWordListStg.h"
#include "engine/foundation/cLPtrArray.h"
#include "engine/references/BibleRef.h"
#include "library/EngineStrings.h"
#include "library/SourceTuple.h"
#include "render/HTMLInlineMarkers.h"
#include "render/cHTMLRenderConfiguration.h"
#include "search/core/BitVector.h"
#include "search/core/TextFolding.h"
#include "search/core/WildcardPattern.h"
#include "userdata/cBookmark.h"
#include "userdata/cBookmarkMgr.h"
#include "userdata/cCategory.h"
#include "userdata/cCategoryStg.h"
#include "userdata/cNoteDoc.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace {

constexpr quint32 kNone = 0xFFFFFFFF;

QString wordText(std::string word)
{
    if (!word.empty() && static_cast<unsigned char>(word.front()) == 0xFF)
        word.erase(0, 1);
    return EngineStrings::fromUtf8(word);
}

// The vector the engine fills: the wrapper's own, or a new one the wrapper then takes over.
template <class Fn> quint32 lookUp(BitVector& results, Fn&& call)
{
    cBitVector* holder = results.getCBitVector();
    cBitVector* const own = holder;
    std::uint32_t count = 0;
    call(holder, count);
    if (holder != own && holder != nullptr)
        results.setCBitVector(holder);
    return count;
}

// A vector of at least `n` sections in the wrapper.
void ensureVector(BitVector& results, std::uint32_t n)
{
    if (results.getCBitVector() == nullptr)
        results.setCBitVector(std::make_unique<cBitVector>(n));
    else if (results.size() < n)
        results.reallocate(n);
}

QString limitQuoted(const QString& name)
{
    QString q = name;
    q.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return q;
}

}  // namespace

// --- text of hits ------------------------------------------------------------------------------

bool SourceTupleWords::isPhrasePresent(const cSearchWordList& phrase, quint32 section) const
{
    const auto doc = m_book.sourceDoc();
    return doc != nullptr && doc->IsPhrasePresentInSection(phrase, section);
}

QString SourceTupleWords::plainTextSearchResultTitleForSection(quint32 section) const
{
    const auto doc = m_book.sourceDoc();
    if (doc == nullptr)
        return QString();
    cLString8 out;
    if (!doc->GetSearchResultText(section, 0, false, 0, nullptr, nullptr, out))
        return QString();
    return EngineStrings::fromUtf8(out);
}

QString SourceTupleWords::htmlSearchResultTextForSection(
    quint32 section, const cSearchWordList* markWords, quint32 style) const
{
    const auto doc = m_book.sourceDoc();
    if (doc == nullptr)
        return QString();
    cLString8 out;
    if (!doc->GetSearchResultText(section, style, true, 0, nullptr, markWords, out))
        return QString();
    std::string text(out.chars(), static_cast<size_t>(out.length()));
    cHTMLRenderConfiguration config;
    m_book.locations().loadDefaultHtmlRenderConfigurationInto(config);
    convertStrongsMarkersToLinks(text, &config);
    convertWordAttributeMarkersToSpans(text);
    markSearchWordSpans(text);
    return EngineStrings::fromUtf8(text);
}

std::unique_ptr<QList<BibleRef>> SourceTupleWords::bibleLinksListForSection(
    quint32 section, const QString& translation) const
{
    const auto doc = m_book.sourceDoc();
    if (doc == nullptr)
        return nullptr;
    cHTMLRenderConfiguration config;
    const cLString8 abbreviation = EngineStrings::utf8(translation);
    std::unique_ptr<cBibleRefList> list = doc->BibleLinksListForSection(section, abbreviation.chars(), &config);
    if (list == nullptr)
        return nullptr;
    auto out = std::make_unique<QList<BibleRef>>();
    for (std::int32_t i = 0; i < list->count(); ++i)
        if (const cBibleRef* r = list->at(i))
            out->append(BibleRef::bibleRefWithcBibleRef(*r));
    return out;
}

std::unique_ptr<QStringList> SourceTupleWords::wordListForVerse(const BibleRef& verse, quint32 kinds) const
{
    const auto doc = m_book.sourceDoc();
    if (doc == nullptr || verse.cBibleRefPointer() == nullptr)
        return nullptr;
    cHTMLRenderConfiguration config;
    std::unique_ptr<cWordList8> list = doc->WordListForVerse(*verse.cBibleRefPointer(), &config, kinds & 15u);
    if (list == nullptr)
        return nullptr;
    auto out = std::make_unique<QStringList>();
    for (std::int32_t i = 0; i < list->count(); ++i)
        if (const cLString8* w = list->at(i))
            out->append(EngineStrings::fromUtf8(*w));
    return out;
}

// --- word numbers ------------------------------------------------------------------------------

quint32 SourceTupleWords::canonicalWordNumberForString(const QString& word) const
{
    const auto doc = m_book.sourceDoc();
    if (doc == nullptr)
        return kNone;
    cLString16 folded;
    DocLanguage::foldToBaseLetters(folded, EngineStrings::utf16(word));
    cLString16 marked;
    marked.appendChar(0xFFFF);
    marked.append(folded);
    const quint32 n = doc->CanonicalWordNumber(marked, false);
    return n;
}

std::vector<quint32> SourceTupleWords::markedWordNumbersFoldingTo(const std::u16string& folded) const
{
    std::call_once(m_markedWordsOnce, [this] {
        const auto doc = m_book.bookDoc();
        if (doc == nullptr || doc->bookFile() == nullptr)
            return;
        cBkWordListStg& list = doc->bookFile()->wordList();
        const quint32 count = list.wordCount();
        std::string word;
        for (quint32 w = 0; w < count; ++w) {
            list.wordForNumber(w, word);
            // Plain ASCII words and the list's marked (canonical) entries have nothing to fold.
            if (word.empty() || static_cast<unsigned char>(word[0]) == 0xFF ||
                std::all_of(word.begin(), word.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
                continue;
            const std::u16string text = BkText::utf8ToUtf16(word);
            std::u16string key = TextFolding::foldToBaseLetters(text);
            for (char16_t& c : key)
                c = TextFolding::toLower(c);
            std::u16string lower = text;
            for (char16_t& c : lower)
                c = TextFolding::toLower(c);
            if (key != lower)
                m_markedWords.emplace(std::move(key), w);
        }
    });
    std::vector<quint32> numbers;
    if (hasWildcard(folded)) {
        for (const auto& [key, number] : m_markedWords)
            if (wildcardMatch(folded, key, false))
                numbers.push_back(number);
    } else {
        const auto [first, last] = m_markedWords.equal_range(folded);
        for (auto it = first; it != last; ++it)
            numbers.push_back(it->second);
    }
    std::sort(numbers.begin(), numbers.end());
    return numbers;
}

quint32 SourceTupleWords::wordNumberForString(const QString& word, bool partialMatch) const
{
    const auto doc = m_book.bookDoc();
    if (doc == nullptr || doc->bookFile() == nullptr)
        return kNone;
    return doc->bookFile()->wordList().wordNumberForString(EngineStrings::utf16(word), partialMatch);
}

QString SourceTupleWords::wordForWordNumber(quint32 number) const
{
    const auto doc = m_book.bookDoc();
    if (doc == nullptr || doc->bookFile() == nullptr)
        return QStringLiteral("[ERROR]");
    std::string word;
    doc->bookFile()->wordList().wordForNumber(number, word);
    return wordText(std::move(word));
}

quint32 SourceTupleWords::metaphoneWordNumberForString(const QString& code) const
{
    if (code.isEmpty())
        return kNone;
    const auto doc = m_book.bookDoc();
    if (doc == nullptr || doc->bookFile() == nullptr || doc->bookFile()->phonetic() == nullptr)
        return kNone;
    return doc->bookFile()->phonetic()->words->wordNumberForString(EngineStrings::utf16(code), false);
}

quint32 SourceTupleWords::stemmerWordNumberForString(const QString& stem) const
{
    if (stem.isEmpty())
        return kNone;
    const auto doc = m_book.bookDoc();
    if (doc == nullptr || doc->bookFile() == nullptr || doc->bookFile()->stemmed() == nullptr)
        return kNone;
    return doc->bookFile()->stemmed()->words->wordNumberForString(EngineStrings::utf16(stem), false);
}

quint32 SourceTupleWords::wordNumberForDictionaryLookupWord(const QString& word, bool partialMatch) const
{
    const auto doc = m_book.bookDoc();
    if (doc == nullptr || doc->bookFile() == nullptr || doc->bookFile()->syncWords() == nullptr)
        return kNone;
    return doc->bookFile()->syncWords()->words->wordNumberForString(EngineStrings::utf16(word), partialMatch);
}

QString SourceTupleWords::dictionaryLookupWordForWordNumber(quint32 number) const
{
    const auto doc = m_book.bookDoc();
    if (doc == nullptr || doc->bookFile() == nullptr || doc->bookFile()->syncWords() == nullptr)
        return QString();
    std::string word;
    doc->bookFile()->syncWords()->words->wordForNumber(number, word);
    return wordText(std::move(word));
}

QString SourceTupleWords::commentaryLookupWordForWordNumber(quint32 number) const
{
    const auto doc = m_book.bookDoc();
    if (doc == nullptr || doc->bookFile() == nullptr || doc->bookFile()->verseSyncWords() == nullptr)
        return QString();
    std::string word;
    doc->bookFile()->verseSyncWords()->words->wordForNumber(number, word);
    if (word.empty())
        return QString();
    cBibleRef reference;
    reference.setLanguage(static_cast<int>(m_book.record().bookLanguage));
    doc->syncKeyTextToBibleRef(reference, cLString8(word.c_str()));
    if (!reference.hasRanges())
        return QString();
    reference.formatSpelling(3);  // full book name, UTF-8
    return EngineStrings::fromUtf8(reference.spelling());
}

QString SourceTupleWords::wordForWordNumber(quint32 number, qint64 inAttributeDefinition) const
{
    const auto doc = m_book.bookDoc();
    if (doc == nullptr || doc->bookFile() == nullptr || inAttributeDefinition < 0 ||
        inAttributeDefinition >= m_book.record().numWordAttributeDefinitions)
        return QString();
    cBkWordListStg* list = doc->bookFile()->attributeWordList(static_cast<size_t>(inAttributeDefinition));
    if (list == nullptr || number >= list->wordCount())
        return QString();
    std::string word;
    list->wordForNumber(number, word);
    return wordText(std::move(word));
}

quint32 SourceTupleWords::numWordsInAttributeDefinition(qint64 index) const
{
    const auto doc = m_book.bookDoc();
    if (doc == nullptr || doc->bookFile() == nullptr || index < 0)
        return 0;
    cBkWordListStg* list = doc->bookFile()->attributeWordList(static_cast<size_t>(index));
    return list == nullptr ? 0 : list->wordCount();
}

// --- sections of a word ------------------------------------------------------------------------

quint32 SourceTupleWords::resultsFromMainConcordanceForWordNum(quint32 wordNumber, BitVector& results) const
{
    const auto doc = m_book.sourceDoc();
    if (doc == nullptr)
        return 0;
    return lookUp(
        results, [&](cBitVector*& h, std::uint32_t& c) { doc->SearchMainConcordanceByWordNumber(wordNumber, h, c); });
}

quint32 SourceTupleWords::resultsFromMainConcordanceForWord(const QString& word, BitVector& results) const
{
    const auto doc = m_book.sourceDoc();
    if (doc == nullptr)
        return 0;
    const cLString16 w = EngineStrings::utf16(word);
    return lookUp(results, [&](cBitVector*& h, std::uint32_t& c) { doc->SearchMainConcordance(w, h, c); });
}

namespace {

quint32 pairLookup(cBookDoc& doc, const cBkWordListPair* pair, quint32 wordNumber, BitVector& results)
{
    if (pair == nullptr || wordNumber == kNone || wordNumber >= pair->concordance->entryCount())
        return 0;
    const std::uint32_t n = doc.GetNumSections();
    ensureVector(results, n);
    std::uint32_t count = 0;
    pair->concordance->lookupWord(wordNumber, count, *results.getCBitVector());
    return count;
}

}  // namespace

quint32 SourceTupleWords::resultsFromMetaphoneConcordanceForWordNum(quint32 wordNumber, BitVector& results) const
{
    const auto doc = m_book.bookDoc();
    if (doc == nullptr || doc->bookFile() == nullptr)
        return 0;
    return pairLookup(*doc, doc->bookFile()->phonetic(), wordNumber, results);
}

quint32 SourceTupleWords::resultsFromStemmerConcordanceForWordNum(quint32 wordNumber, BitVector& results) const
{
    const auto doc = m_book.bookDoc();
    if (doc == nullptr || doc->bookFile() == nullptr)
        return 0;
    return pairLookup(*doc, doc->bookFile()->stemmed(), wordNumber, results);
}

quint32 SourceTupleWords::resultsFromStrongsHebrewConcordanceForWord(const QString& word, BitVector& results) const
{
    const auto doc = m_book.sourceDoc();
    if (doc == nullptr)
        return 0;
    const cLString16 w = EngineStrings::utf16(word);
    return lookUp(results, [&](cBitVector*& h, std::uint32_t& c) { doc->SearchStrongsHebrewConcordance(w, h, c); });
}

quint32 SourceTupleWords::resultsFromStrongsGreekConcordanceForWord(const QString& word, BitVector& results) const
{
    const auto doc = m_book.sourceDoc();
    if (doc == nullptr)
        return 0;
    const cLString16 w = EngineStrings::utf16(word);
    return lookUp(results, [&](cBitVector*& h, std::uint32_t& c) { doc->SearchStrongsGreekConcordance(w, h, c); });
}

quint32 SourceTupleWords::resultsFromWordAttributeConcordanceForWord(const QString& word, BitVector& results) const
{
    const auto doc = m_book.sourceDoc();
    if (doc == nullptr)
        return 0;
    const cLString16 w = EngineStrings::utf16(word);
    return lookUp(results, [&](cBitVector*& h, std::uint32_t& c) { doc->SearchWordAttributeConcordance(w, h, c); });
}

quint32 SourceTupleWords::resultsFromVerseReferenceConcordanceForVerse(const BibleRef& verse, BitVector& results) const
{
    const auto doc = m_book.bookDoc();
    if (doc == nullptr || doc->bookFile() == nullptr || doc->bookFile()->verseIndex() == nullptr)
        return 0;
    const cBibleRef reference(static_cast<packedBibleKey>(verse.bibleKey()));
    if (!reference.hasRanges())
        return 0;
    const cBkWordListPair* pair = doc->bookFile()->verseIndex();
    cBitVector* holder = nullptr;
    std::uint32_t count = 0;
    doc->verseReferenceConcordanceLookup(pair->words.get(), pair->concordance.get(), reference, 0x7, count, holder);
    if (holder != nullptr)
        results.setCBitVector(holder);
    return count;
}

quint32 SourceTupleWords::resultsFromWordSyncConcordanceForWord(const QString& word, BitVector& results) const
{
    const auto doc = m_book.bookDoc();
    if (doc == nullptr || doc->bookFile() == nullptr || doc->bookFile()->syncWords() == nullptr)
        return 0;
    const cBkWordListPair* pair = doc->bookFile()->syncWords();
    const quint32 w = pair->words->wordNumberForString(EngineStrings::utf16(word), true);
    if (w == kNone || w >= pair->concordance->entryCount())
        return 0;
    auto vector = std::make_unique<cBitVector>(doc->GetNumSections());
    std::uint32_t count = 0;
    pair->concordance->lookupWord(w, count, *vector);
    if (count == 0)
        return 0;
    results.setCBitVector(std::move(vector));
    return count;
}

quint32 SourceTupleWords::wordOccursInXSections(const QString& word) const
{
    const auto doc = m_book.sourceDoc();
    return doc == nullptr ? 0 : doc->WordOccursInXSections(EngineStrings::utf8(word));
}

namespace {

quint32 firstSectionOf(cBookDoc& doc, const cBkWordListPair* pair, quint32 number)
{
    if (pair == nullptr || number >= pair->concordance->entryCount())
        return 0;
    cBitVector vector(doc.GetNumSections());
    std::uint32_t count = 0;
    pair->concordance->lookupWord(number, count, vector);
    const std::uint32_t first = count == 0 ? cBitVector::kNone : vector.first(1);
    return first == cBitVector::kNone ? 0 : first;
}

}  // namespace

quint32 SourceTupleWords::sectionForDictionaryLookupWordNumber(quint32 number) const
{
    const auto doc = m_book.bookDoc();
    if (doc == nullptr || doc->bookFile() == nullptr)
        return 0;
    return firstSectionOf(*doc, doc->bookFile()->syncWords(), number);
}

quint32 SourceTupleWords::sectionForCommentaryLookupWordNumber(quint32 number) const
{
    const auto doc = m_book.bookDoc();
    if (doc == nullptr || doc->bookFile() == nullptr)
        return 0;
    return firstSectionOf(*doc, doc->bookFile()->verseSyncWords(), number);
}

bool SourceTupleWords::dictionaryEntry(
    const QString& headword, quint32* startSection, quint32* endSection, bool matchAsPrefix) const
{
    std::uint32_t first = 0, last = 0;
    bool found = false;
    if (const auto doc = m_book.bookDoc())
        found = doc->dictionaryWordToSectionRange(EngineStrings::utf16(headword), matchAsPrefix, first, last);
    if (!found)
        first = last = 0;
    if (startSection != nullptr)
        *startSection = first;
    if (endSection != nullptr)
        *endSection = last;
    return found;
}

// --- word attributes ---------------------------------------------------------------------------

std::unique_ptr<QList<QVariantMap>> SourceTupleWords::wordAttributesForWord(const QString& word) const
{
    const auto doc = m_book.sourceDoc();
    if (doc == nullptr)
        return nullptr;
    std::unique_ptr<cWordAttributeList> list = doc->WordAttributesForWord(EngineStrings::utf16(word));
    if (list == nullptr || list->empty())
        return nullptr;
    auto out = std::make_unique<QList<QVariantMap>>();
    for (auto it = list->rbegin(); it != list->rend(); ++it) {
        const cBkWordAttributeEntry& e = **it;
        out->append(QVariantMap {{QStringLiteral("attribute"), EngineStrings::fromUtf8(e.attribute)},
            {QStringLiteral("description"), EngineStrings::fromUtf8(e.description)},
            {QStringLiteral("displayPrefix"), EngineStrings::fromUtf8(e.displayPrefix)},
            {QStringLiteral("syncPrefix"), EngineStrings::fromUtf8(e.syncPrefix)},
            {QStringLiteral("linkType"), EngineStrings::fromUtf8(e.linkType)}});
    }
    return out;
}

bool SourceTupleWords::couldBeWordAttribute(const QString& text) const
{
    const auto doc = m_book.bookDoc();
    if (doc == nullptr || doc->bookFile() == nullptr || !doc->bookFile()->genInfo().hasWordAttributeDefs())
        return false;
    cBkWordLinks links(*doc->bookFile());
    std::vector<std::int32_t> definitions;
    const cLString16 term = EngineStrings::utf16(text);
    return links.matchWordAttributes(bkStd(term), definitions) && !definitions.empty();
}

namespace {

template <class Field> QString attributeField(cBookDoc* doc, qint64 index, Field&& field)
{
    if (doc == nullptr || doc->bookFile() == nullptr || !doc->bookFile()->genInfo().hasWordAttributeDefs())
        return QString();
    const cBkWordAttributeDefs& defs = doc->bookFile()->genInfo().wordAttributeDefs();
    if (index < 0 || index >= defs.definitionCount())
        return QString();
    return EngineStrings::fromUtf8(field(defs, static_cast<std::int32_t>(index)));
}

}  // namespace

QString SourceTupleWords::searchPrefixForAttribute(qint64 index) const
{
    return attributeField(
        m_book.bookDoc().get(), index, [](const cBkWordAttributeDefs& d, int i) { return d.searchPrefix(i); });
}

QString SourceTupleWords::syncPrefixForAttribute(qint64 index) const
{
    return attributeField(
        m_book.bookDoc().get(), index, [](const cBkWordAttributeDefs& d, int i) { return d.syncPrefix(i); });
}

QString SourceTupleWords::linkTypeForAttribute(qint64 index) const
{
    return attributeField(
        m_book.bookDoc().get(), index, [](const cBkWordAttributeDefs& d, int i) { return d.linkType(i); });
}

QString SourceTupleWords::humanReadableNameForAttribute(qint64 index) const
{
    return attributeField(
        m_book.bookDoc().get(), index, [](const cBkWordAttributeDefs& d, int i) { return d.humanReadableName(i); });
}

quint32 SourceTupleWords::resultsForAllVerses(BitVector& results, const QString& thatMightMatchWordAttribute) const
{
    results.clearAll();
    const auto doc = m_book.bookDoc();
    if (doc == nullptr || doc->bookFile() == nullptr || !doc->bookFile()->genInfo().hasWordAttributeDefs())
        return 0;
    cBkWordLinks links(*doc->bookFile());
    std::vector<std::int32_t> definitions;
    links.matchWordAttributes(bkStd(EngineStrings::utf16(thatMightMatchWordAttribute)), definitions);
    const cBkWordAttributeDefs& defs = doc->bookFile()->genInfo().wordAttributeDefs();
    bool oldTestament = false, newTestament = false;
    for (std::int32_t d : definitions) {
        const std::string scope = defs.testamentScope(d);
        if (scope == "ot")
            oldTestament = true;
        else if (scope == "nt")
            newTestament = true;
        else
            oldTestament = newTestament = true;
        if (oldTestament && newTestament)
            break;
    }
    if (oldTestament && newTestament) {
        const quint32 n = doc->GetNumSections();
        if (n < 2)
            return 0;
        ensureVector(results, n);
        results.clearAll();
        results.setFromPosition(1, n - 1);
        return n - 1;
    }
    if (oldTestament)
        return testamentSet(results, true);
    if (newTestament)
        return testamentSet(results, false);
    return 0;
}

// --- limits ------------------------------------------------------------------------------------

quint32 SourceTupleWords::evaluateLimit(BitVector& results, const QString& expression, bool* understood) const
{
    if (understood != nullptr)
        *understood = true;
    const auto doc = m_book.sourceDoc();
    if (doc == nullptr) {
        results.clearAll();
        return 0;
    }
    cBitVector* holder = nullptr;
    cLIntArray colours;
    const std::uint32_t r =
        doc->ApplyLimitExpression(EngineStrings::utf16(expression), holder, colours, 0, kNone, false);
    if (r != 0 && r != cBookDoc::kNotOpen && understood != nullptr)
        *understood = false;
    if (r != 0 || holder == nullptr) {
        delete holder;
        results.clearAll();
        return 0;
    }
    const quint32 count = holder->count(1);
    results.setCBitVector(holder);
    return count;
}

quint32 SourceTupleWords::results(BitVector& results, const QString& forLimitString, bool* understood) const
{
    return evaluateLimit(results, forLimitString, understood);
}

quint32 SourceTupleWords::results(BitVector& results, quint16 forCategoryId) const
{
    QString name;
    if (forCategoryId == 65535) {
        name = QStringLiteral("*");
    } else if (forCategoryId == 0) {
        name = QStringLiteral("No Category");
    } else {
        cCategoryStg categories;
        cCategory category;
        if (categories.openDatabase(false) && categories.findCategoryById(forCategoryId, category))
            name = EngineStrings::fromUtf16(category.name);
    }
    return evaluateLimit(results, QStringLiteral("BOOKMARK(\"%1\")").arg(limitQuoted(name)));
}

quint32 SourceTupleWords::resultsForColorNamed(BitVector& results, const QString& colorName) const
{
    if (!m_book.docSupports(::kDocSupportsIsBible)) {
        results.clearAll();
        return 0;
    }
    // The engine reads colour names without doubled quotes, so the name goes in as it is.
    return evaluateLimit(results, QStringLiteral("COLOR(\"%1\")").arg(colorName));
}

quint32 SourceTupleWords::testamentSet(BitVector& results, bool oldTestament) const
{
    const auto doc = m_book.sourceDoc();
    if (doc == nullptr || !doc->supports(::kDocSupportsIsBible)) {
        results.clearAll();
        return 0;
    }
    const quint32 s = m_book.locations().sectionForSyncString(QStringLiteral("Matthew 1:1"));
    const quint32 n = doc->GetNumSections();
    if ((oldTestament && s < 2) || (!oldTestament && (s == 0 || s >= n))) {
        results.clearAll();
        return 0;
    }
    ensureVector(results, n);
    results.clearAll();
    if (oldTestament) {
        results.setFromPosition(1, s - 1);
        return s - 1;
    }
    results.setFromPosition(s, n - 1);
    return n - s;
}

quint32 SourceTupleWords::resultsForAllOTVerses(BitVector& results) const
{
    return testamentSet(results, true);
}

quint32 SourceTupleWords::resultsForAllNTVerses(BitVector& results) const
{
    return testamentSet(results, false);
}

// --- the reader's data about this book ---------------------------------------------------------

qint64 SourceTupleWords::countOfBookmarksForCategory(const QString& category) const
{
    std::uint16_t catid = 0;
    const QString lower = category.toLower();
    if (category == QLatin1String("*")) {
        catid = 65535;
    } else if (lower == QLatin1String("no category") || lower == QLatin1String("uncategorized")) {
        catid = 0;
    } else {
        cCategoryStg categories;
        cCategory record;
        if (!categories.openDatabase(false) || !categories.findCategoryByName(EngineStrings::utf16(category), record))
            return 0;
        catid = record.catid;
    }
    cBookmarkMgr bookmarks;
    if (!bookmarks.openDatabase(nullptr, false, false))
        return 0;
    const std::int64_t n = m_book.isABible()
        ? bookmarks.countBibleBookmarks(0, catid)
        : bookmarks.countBookBookmarks(static_cast<std::uint16_t>(m_book.record().pubID),
              static_cast<std::uint16_t>(m_book.record().bookID),
              static_cast<std::uint8_t>(m_book.record().editionNumber), 0, catid);
    return n < 0 ? 0 : n;
}

bool SourceTupleWords::bookmarkExistsForKeyOrBlockNumber(quint32 keyOrBlock) const
{
    if (m_book.sourceDoc() == nullptr)
        return false;
    cBookmarkMgr bookmarks;
    if (!bookmarks.openDatabase(nullptr, false, false))
        return false;
    if (m_book.isABible())
        return bookmarks.hasBookmarkInRange(keyOrBlock);
    if (keyOrBlock == 0)
        return false;
    const quint32 section = m_book.locations().sectionForBlock(keyOrBlock);
    return bookmarks.hasBookBookmark(static_cast<std::uint16_t>(m_book.record().pubID),
        static_cast<std::uint16_t>(m_book.record().bookID), static_cast<std::int32_t>(section));
}

std::unique_ptr<QList<QVariantMap>> SourceTupleWords::getAllBookmarksForKeyOrBlockNumber(quint32 keyOrBlock) const
{
    if (m_book.sourceDoc() == nullptr)
        return nullptr;
    const bool bible = m_book.isABible();
    if (!bible && keyOrBlock == 0)
        return nullptr;
    cCategoryStg categories;
    if (!categories.openDatabase(false))
        return nullptr;
    auto out = std::make_unique<QList<QVariantMap>>();
    cBookmarkMgr bookmarks;
    if (!bookmarks.openDatabase(nullptr, false, false))
        return out;
    cLPtrArray* list = bible ? bookmarks.bibleBookmarksInRange(keyOrBlock)
                             : bookmarks.bookBookmarksForSection(static_cast<std::uint16_t>(m_book.record().pubID),
                                   static_cast<std::uint16_t>(m_book.record().bookID),
                                   static_cast<std::int32_t>(m_book.locations().sectionForBlock(keyOrBlock)));
    if (list == nullptr)
        return out;
    for (std::int32_t i = 0; i < list->count(); ++i) {
        const auto* b = static_cast<const cBookmark*>(list->elementAt(i));
        if (b == nullptr)
            continue;
        QString categoryName;
        if (b->catid == 0) {
            categoryName = QStringLiteral("Uncategorized");
        } else {
            cCategory category;
            categoryName = categories.findCategoryById(b->catid, category) ? EngineStrings::fromUtf16(category.name)
                                                                           : QStringLiteral("[Missing category]");
        }
        const QString type = b->kind == 1 ? QStringLiteral("bibleBookmark")
            : b->kind == 0                ? QStringLiteral("undefined")
                                          : QStringLiteral("bookBookmark");
        const QVariantMap entry {{QStringLiteral("bookmarkType"), type}, {QStringLiteral("book"), b->book},
            {QStringLiteral("chapter"), b->chapter}, {QStringLiteral("verse"), b->verse},
            {QStringLiteral("publisherID"), b->pubid}, {QStringLiteral("bookID"), b->bookid},
            {QStringLiteral("edition"), b->edition}, {QStringLiteral("section"), b->section},
            {QStringLiteral("categoryID"), b->catid}, {QStringLiteral("categoryName"), categoryName},
            {QStringLiteral("recordID"), static_cast<qint64>(b->recid)},
            {QStringLiteral("serverID"), static_cast<qint64>(b->serverid)}, {QStringLiteral("deleted"), b->deleted}};
        if (b->catid == 0) {
            out->prepend(entry);
            continue;
        }
        qsizetype at = out->size();
        for (qsizetype j = 0; j < out->size(); ++j) {
            const QVariantMap& other = out->at(j);
            if (other.value(QStringLiteral("categoryID")).toInt() != 0 &&
                other.value(QStringLiteral("categoryName")).toString().compare(categoryName, Qt::CaseInsensitive) > 0) {
                at = j;
                break;
            }
        }
        out->insert(at, entry);
    }
    cBookmarkMgr::freeBookmarkList(list);
    return out;
}

// --- files inside the book ---------------------------------------------------------------------

namespace {

bool extractInto(cBookDoc* doc, bool images, const QString& name, const QString& destination)
{
    if (QFileInfo::exists(destination))
        return true;
    if (doc == nullptr || doc->bookFile() == nullptr)
        return false;
    cBkEmbeddedFiles* files = images ? doc->bookFile()->images() : doc->bookFile()->bibleRefFiles();
    if (files == nullptr)
        return false;
    const qsizetype slash = destination.lastIndexOf(QLatin1Char('/'));
    const QString folder = slash < 0 ? QStringLiteral(".") : destination.left(slash);
    QDir().mkpath(folder);
    // The file is extracted under its own name; only a plain file name may name it.
    if (name.isEmpty() || name.contains(QLatin1Char('/')) || name == QLatin1String("..") || name.contains(QChar(0)))
        return false;
    return files->extractToFile(EngineStrings::utf8(name), EngineStrings::utf8(folder)) == 0;
}

}  // namespace

bool SourceTupleWords::extractImage(const QString& image, const QString& toLocalFile) const
{
    return extractInto(m_book.bookDoc().get(), true, image, toLocalFile);
}

bool SourceTupleWords::extractBibleRefCSV(const QString& table, const QString& toLocalFile) const
{
    return extractInto(m_book.bookDoc().get(), false, table, toLocalFile);
}
