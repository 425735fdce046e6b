#include "search/execution/DocumentSearchBook.h"

#include "documents/cBibleDoc.h"
#include "documents/cBookDoc.h"
#include "documents/cDateDoc.h"
#include "documents/cTOCDoc.h"
#include "engine/bookfile/BkInfoFormat.h"
#include "engine/bookfile/cBkBookFile.h"
#include "engine/bookfile/cBkWordLinks.h"
#include "engine/references/cBibleRef.h"
#include "search/core/TextFolding.h"
#include "search/core/cBitVector.h"
#include "userdata/cBookmarkMgr.h"
#include "userdata/cCategory.h"
#include "userdata/cCategoryStg.h"

namespace {

enum Pair { kStemPair, kPhoneticPair, kSyncPair };

cLString16 engineString(const std::u16string& s)
{
    cLString16 w;
    for (char16_t c : s)
        w.appendChar(static_cast<unsigned short>(c));
    return w;
}

// Bible book numbers: 1 Genesis to 39 Malachi, then the New Testament.
constexpr int kLastOldTestamentBook = 39;
constexpr int kLastNewTestamentBook = 66;

}  // namespace

DocumentSearchBook::DocumentSearchBook(std::shared_ptr<cSourceDoc> document) : m_document(std::move(document))
{
    if (m_document == nullptr)
        return;
    m_book = dynamic_cast<cBookDoc*>(m_document.get());
    m_numSections = m_document->GetNumSections();
    m_flags = m_document->GetSupportFlags();
    const uint32_t language = m_document->GetLanguage();
    m_language = static_cast<uint16_t>(language == 0 ? 1033 : language);
    uint16_t publisher = 0, book = 0;
    uint8_t edition = 0, revision = 0;
    m_document->GetBookID(publisher, book, edition, revision);
    m_identity = {publisher, book, edition, revision};
    if (m_book != nullptr && m_book->bookFile() != nullptr && (m_flags & kDocSupportsIsBible)) {
        cLString8 abbreviation;
        m_book->bookFile()->genInfo().abbreviatedTitle(abbreviation, true);
        m_abbreviation.assign(abbreviation.chars(), static_cast<size_t>(abbreviation.length()));
    }
}

std::shared_ptr<DocumentSearchBook> DocumentSearchBook::openFile(const std::string& path, uint32_t* error)
{
    cLString16 widePath;
    widePath.assignFromUTF8(path.c_str(), static_cast<int32_t>(path.size()));
    cBkBookFile* file = nullptr;
    const uint32_t r = acquireBookFile(widePath, file);
    if (error != nullptr)
        *error = r;
    if (r != 0 || file == nullptr)
        return nullptr;
    std::shared_ptr<cBookDoc> doc;
    uint32_t kind = cBookDoc::kKindBook;
    if (file->genInfo().headerFlag0()) {
        doc = std::make_shared<cBibleDoc>();
        kind = cBookDoc::kKindBible;
    } else if (file->genInfo().bookType() == BkInfoFormat::kBookTypeDated) {
        doc = std::make_shared<cDateDoc>();
        kind = cBookDoc::kKindDated;
    } else {
        doc = std::make_shared<cTOCDoc>();
    }
    doc->SetPathName(widePath);
    if (!doc->AttachBookFile(file, kind)) {
        if (error != nullptr)
            *error = cBookDoc::kNotOpen;
        return nullptr;
    }
    return std::make_shared<DocumentSearchBook>(doc);
}

bool DocumentSearchBook::docSupports(uint32_t mask) const
{
    return (m_flags & mask) == mask;
}

bool DocumentSearchBook::couldBeWordAttribute(const std::u16string& term) const
{
    if (m_book == nullptr || m_book->bookFile() == nullptr || !docSupports(kDocSupportsWordAttributes))
        return false;
    std::vector<int32_t> definitions;
    cBkWordLinks links(*m_book->bookFile());
    return links.matchWordAttributes(term, definitions);
}

uint32_t DocumentSearchBook::numSections() const
{
    if (m_document != nullptr && (m_flags & kDocSupportsIsFakeJournalDoc))
        return m_document->GetNumSections();
    return m_numSections;
}

bool DocumentSearchBook::isFakeJournalDoc() const
{
    return (m_flags & kDocSupportsIsFakeJournalDoc) != 0 ||
        (m_identity.publisher == kJournalPublisher && m_identity.book == kJournalBook &&
            m_identity.edition == kJournalEdition);
}

void DocumentSearchBook::prepare(BitVector& results) const
{
    if (results.getCBitVector() == nullptr || results.size() != numSections())
        results.setCBitVector(std::make_unique<cBitVector>(numSections()));
    else
        results.clearAll();
}

uint32_t DocumentSearchBook::adopt(cBitVector* made, BitVector& results) const
{
    if (made == nullptr) {
        prepare(results);
        return 0;
    }
    if (made->size() != numSections())
        made->reallocate(numSections());
    results.setCBitVector(made);
    return results.count(true);
}

uint32_t DocumentSearchBook::canonicalWordNumberForString(const std::u16string& word) const
{
    // The canonical entry is the base-letter form the word lists keep behind a 0xFFFF mark; it
    // matches the word with or without its diacritics.
    if (m_document == nullptr || !m_document->IsOpen() || word.empty())
        return kSearchNoWord;
    std::u16string marked(1, u'\xFFFF');
    marked += TextFolding::foldToBaseLetters(word);
    return m_document->CanonicalWordNumber(engineString(marked), false);
}

uint32_t DocumentSearchBook::wordNumberForString(const std::u16string& word, bool partialMatch) const
{
    if (m_book == nullptr || m_book->bookFile() == nullptr || word.empty())
        return kSearchNoWord;
    return m_book->bookFile()->wordList().wordNumberForString(word, partialMatch);
}

uint32_t DocumentSearchBook::pairWordNumber(int which, const std::u16string& key) const
{
    if (m_book == nullptr || m_book->bookFile() == nullptr || key.empty())
        return kSearchNoWord;
    cBkBookFile* file = m_book->bookFile();
    const cBkWordListPair* pair = which == kStemPair ? file->stemmed()
        : which == kPhoneticPair                     ? file->phonetic()
                                                     : file->syncWords();
    if (pair == nullptr)
        return kSearchNoWord;
    return pair->words->wordNumberForString(key, false);
}

uint32_t DocumentSearchBook::metaphoneWordNumberForString(const std::u16string& key) const
{
    return pairWordNumber(kPhoneticPair, key);
}

uint32_t DocumentSearchBook::stemmerWordNumberForString(const std::u16string& stem) const
{
    return pairWordNumber(kStemPair, stem);
}

uint32_t DocumentSearchBook::resultsFromMainConcordanceForWordNum(uint32_t word, BitVector& results) const
{
    prepare(results);
    if (m_document == nullptr || word == kSearchNoWord)
        return 0;
    cBitVector* holder = results.getCBitVector();
    uint32_t count = 0;
    m_document->SearchMainConcordanceByWordNumber(word, holder, count);
    return results.count(true);
}

uint32_t DocumentSearchBook::resultsFromMainConcordanceForWord(const std::u16string& word, BitVector& results) const
{
    if (m_document == nullptr || word.empty()) {
        prepare(results);
        return 0;
    }
    cBitVector* made = nullptr;
    uint32_t count = 0;
    m_document->SearchMainConcordance(engineString(word), made, count);
    return adopt(made, results);
}

uint32_t DocumentSearchBook::pairLookup(int which, const std::u16string& key, BitVector& results) const
{
    if (m_book == nullptr || m_book->bookFile() == nullptr || key.empty()) {
        prepare(results);
        return 0;
    }
    cBkBookFile* file = m_book->bookFile();
    const cBkWordListPair* pair = which == kStemPair ? file->stemmed()
        : which == kPhoneticPair                     ? file->phonetic()
                                                     : file->syncWords();
    if (pair == nullptr) {
        prepare(results);
        return 0;
    }
    cBitVector* made = nullptr;
    uint32_t count = 0;
    m_book->concordanceLookup(pair->words.get(), pair->concordance.get(), engineString(key), count, made);
    return adopt(made, results);
}

uint32_t DocumentSearchBook::resultsFromMetaphoneConcordanceForWordNum(uint32_t word, BitVector& results) const
{
    prepare(results);
    if (m_book == nullptr || m_book->bookFile() == nullptr || word == kSearchNoWord)
        return 0;
    const cBkWordListPair* pair = m_book->bookFile()->phonetic();
    if (pair == nullptr || word >= pair->concordance->entryCount())
        return 0;
    uint32_t count = 0;
    pair->concordance->lookupWord(word, count, *results.getCBitVector());
    return results.count(true);
}

uint32_t DocumentSearchBook::resultsFromStemmerConcordanceForWordNum(uint32_t word, BitVector& results) const
{
    prepare(results);
    if (m_book == nullptr || m_book->bookFile() == nullptr || word == kSearchNoWord)
        return 0;
    const cBkWordListPair* pair = m_book->bookFile()->stemmed();
    if (pair == nullptr || word >= pair->concordance->entryCount())
        return 0;
    uint32_t count = 0;
    pair->concordance->lookupWord(word, count, *results.getCBitVector());
    return results.count(true);
}

uint32_t DocumentSearchBook::resultsFromStrongsHebrewConcordanceForWord(
    const std::u16string& number, BitVector& results) const
{
    if (m_document == nullptr || number.empty()) {
        prepare(results);
        return 0;
    }
    cBitVector* made = nullptr;
    uint32_t count = 0;
    m_document->SearchStrongsHebrewConcordance(engineString(number), made, count);
    return adopt(made, results);
}

uint32_t DocumentSearchBook::resultsFromStrongsGreekConcordanceForWord(
    const std::u16string& number, BitVector& results) const
{
    if (m_document == nullptr || number.empty()) {
        prepare(results);
        return 0;
    }
    cBitVector* made = nullptr;
    uint32_t count = 0;
    m_document->SearchStrongsGreekConcordance(engineString(number), made, count);
    return adopt(made, results);
}

uint32_t DocumentSearchBook::resultsFromWordAttributeConcordanceForWord(
    const std::u16string& attribute, BitVector& results) const
{
    if (m_document == nullptr || attribute.empty()) {
        prepare(results);
        return 0;
    }
    cBitVector* made = nullptr;
    uint32_t count = 0;
    m_document->SearchWordAttributeConcordance(engineString(attribute), made, count);
    return adopt(made, results);
}

uint32_t DocumentSearchBook::resultsFromWordSyncConcordanceForWord(const std::u16string& word, BitVector& results) const
{
    if (!docSupports(kDocSupportsWordLookup)) {
        prepare(results);
        return 0;
    }
    // Headwords are listed as written and in their base letters behind a 0xFFFF mark.
    uint32_t n = pairLookup(kSyncPair, word, results);
    if (n == 0) {
        std::u16string marked(1, u'\xFFFF');
        marked += TextFolding::foldToBaseLetters(word);
        n = pairLookup(kSyncPair, marked, results);
    }
    return n;
}

uint32_t DocumentSearchBook::resultsFromVerseReferenceConcordanceForVerse(
    const cBibleRef& reference, BitVector& results) const
{
    if (m_book == nullptr || m_book->bookFile() == nullptr) {
        prepare(results);
        return 0;
    }
    const cBkWordListPair* pair = m_book->bookFile()->verseIndex();
    if (pair == nullptr) {
        prepare(results);
        return 0;
    }
    cBitVector* made = nullptr;
    uint32_t count = 0;
    m_book->verseReferenceConcordanceLookup(pair->words.get(), pair->concordance.get(), reference, 11, count, made);
    return adopt(made, results);
}

void DocumentSearchBook::computeTestaments() const
{
    std::call_once(m_testamentsOnce, [this] {
        m_oldTestament = std::make_unique<cBitVector>(m_numSections);
        m_newTestament = std::make_unique<cBitVector>(m_numSections);
        if (m_book == nullptr || !docSupports(kDocSupportsIsBible))
            return;
        for (uint32_t s = 1; s < m_numSections; ++s) {
            const uint32_t key = m_book->bibleKeyForSection(s);
            const int book = bibleKeyBook(key);
            if (key == 0 || bibleKeyVerse(key) == 0 || book == 0)
                continue;
            if (book <= kLastOldTestamentBook)
                m_oldTestament->set(s);
            else if (book <= kLastNewTestamentBook)
                m_newTestament->set(s);
        }
    });
}

void DocumentSearchBook::resultsForAllOTVerses(BitVector& results) const
{
    computeTestaments();
    prepare(results);
    results.getCBitVector()->assign(*m_oldTestament);
}

void DocumentSearchBook::resultsForAllNTVerses(BitVector& results) const
{
    computeTestaments();
    prepare(results);
    results.getCBitVector()->assign(*m_newTestament);
}

void DocumentSearchBook::resultsForAllVersesThatMightMatchWordAttribute(
    BitVector& results, const std::u16string& attribute) const
{
    // Any verse may carry an attribute; the phrase test decides.
    (void)attribute;
    computeTestaments();
    prepare(results);
    results.getCBitVector()->assign(*m_oldTestament);
    results.getCBitVector()->orVector(*m_newTestament);
}

bool DocumentSearchBook::isPhrasePresent(const cSearchWordList& phrase, uint32_t section) const
{
    if (m_document == nullptr || section == 0 || section >= numSections())
        return false;
    return m_document->IsPhrasePresentInSection(phrase, section);
}

uint32_t DocumentSearchBook::resultsForLimitString(BitVector& results, const std::u16string& limit) const
{
    if (m_document == nullptr || numSections() == 0) {
        prepare(results);
        return 0;
    }
    cBitVector* made = nullptr;
    cLIntArray limitWords;
    const uint32_t r =
        m_document->ApplyLimitExpression(engineString(limit), made, limitWords, 0, numSections() - 1, nullptr, false);
    if (r != 0) {
        delete made;
        made = nullptr;
    }
    if (made != nullptr)
        made->clear(0);
    const uint32_t n = adopt(made, results);
    return r != 0 && r != cBookDoc::kNotOpen ? kSearchLimitNotUnderstood : n;
}

uint32_t DocumentSearchBook::countOfBookmarksForCategory(const std::u16string& category) const
{
    if (m_document == nullptr)
        return 0;
    uint16_t catid = 65535;
    if (category == u"No Category") {
        catid = 0;
    } else if (category != u"*") {
        cCategoryStg categories;
        if (!categories.openDatabase(false))
            return 0;
        cCategory record;
        if (!categories.findCategoryByName(engineString(category), record))
            return 0;
        catid = record.catid;
    }
    cBookmarkMgr bookmarks;
    if (!bookmarks.openDatabase(nullptr, false, false))
        return 0;
    const int64_t n = docSupports(kDocSupportsIsBible)
        ? bookmarks.countBibleBookmarks(0, catid)
        : bookmarks.countBookBookmarks(m_identity.publisher, m_identity.book, 0, 0, catid);
    return n > 0 ? static_cast<uint32_t>(n) : 0;
}

uint32_t DocumentSearchBook::sectionForSyncString(const std::u16string& text, bool requiresMoreThanBookName) const
{
    if (m_book == nullptr || text.empty())
        return 0;
    const std::string utf8 = TextFolding::utf16ToUtf8(text);
    if (docSupports(kDocSupportsBibleSync) || docSupports(kDocSupportsIsBible)) {
        cBibleRef reference;
        reference.setTranslation(m_book->translationNumber());
        reference.setLanguage(static_cast<int>(m_language));
        int32_t position = 0;
        if (reference.parse(utf8.c_str(), position) != 0 || !reference.hasRanges())
            return 0;
        const bibleRefRange* r = reference.firstRange();
        if (requiresMoreThanBookName && r->startChapter < 0)
            return 0;
        uint32_t first = 0, last = 0;
        if (!m_book->SectionRangeForBibleKey(reference, first, last))
            return 0;
        return first;
    }
    if (docSupports(kDocSupportsWordLookup)) {
        uint32_t first = 0, last = 0;
        cLString8 word;
        word.assignCStr(utf8.c_str());
        if (m_book->sectionRangeForDictionaryWord(word, false, first, last))
            return first;
    }
    return 0;
}

uint32_t DocumentSearchBook::sectionForBibleKey(uint32_t key) const
{
    auto* bible = dynamic_cast<cBibleDoc*>(m_document.get());
    if (bible == nullptr || key == 0)
        return 0;
    return bible->sectionForKey(key);
}
