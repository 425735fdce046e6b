#include "search/execution/PhraseSearch.h"

#include "search/core/Metaphone.h"
#include "search/core/TextFolding.h"
#include "search/core/WildcardPattern.h"
#include "search/core/WordStemming.h"
#include "search/execution/SearchBook.h"

namespace phrasesearch {

namespace {

enum class Mode { All, Any, Exact };

Mode modeOf(const SearchOptions* options)
{
    if (options == nullptr || !options->interpretation)
        return Mode::All;
    if (*options->interpretation == kInterpretationAny)
        return Mode::Any;
    if (*options->interpretation == kInterpretationExact)
        return Mode::Exact;
    return Mode::All;
}

std::string wordFormOf(const SearchOptions* options)
{
    return options == nullptr ? std::string(kWordFormExact) : options->effectiveWordForm();
}

bool notesMode(const SearchOptions* options)
{
    return options != nullptr && options->searchnotes;
}

const std::u16string& theNote(const SearchOptions* options)
{
    static const std::u16string empty;
    return options != nullptr && options->thenote ? *options->thenote : empty;
}

std::unique_ptr<BitVector> noteHit(bool hit)
{
    if (!hit)
        return nullptr;
    auto v = std::make_unique<BitVector>(2);
    v->setFromPosition(1, 1);
    return v;
}

std::unique_ptr<BitVector> everySection(uint32_t size)
{
    auto v = std::make_unique<BitVector>(size);
    if (size > 1)
        v->setFromPosition(1, size - 1);
    return v;
}

// Null for a vector without hits, so that "nothing" has one form.
std::unique_ptr<BitVector> orNull(std::unique_ptr<BitVector> v)
{
    if (v == nullptr || v->count(true) == 0)
        return nullptr;
    return v;
}

std::u16string lower(const std::u16string& s)
{
    std::u16string out(s);
    for (char16_t& c : out)
        c = TextFolding::toLower(c);
    return out;
}

std::u16string soundKey(const std::u16string& word)
{
    return lower(TextFolding::utf8ToUtf16(metaphoneKey(std::u16string_view(word))));
}

std::u16string stemOf(const std::u16string& word, uint16_t language)
{
    return lower(TextFolding::utf8ToUtf16(stemWordForLanguage(TextFolding::utf16ToUtf8(word), language)));
}

// "G0025" and "G25" name the same number; the concordances list numbers without leading zeros.
std::u16string strongsKey(const std::u16string& number)
{
    std::size_t i = 0;
    while (i + 1 < number.size() && number[i] == u'0' && number[i + 1] >= u'0' && number[i + 1] <= u'9')
        ++i;
    return number.substr(i);
}

void unite(std::unique_ptr<BitVector>& into, std::unique_ptr<BitVector> other)
{
    if (other == nullptr)
        return;
    if (into == nullptr)
        into = std::move(other);
    else
        into->orVector(*other);
}

// The candidate sections of a term's attribute, outside notes mode.
std::unique_ptr<BitVector> attributeCandidates(const std::u16string& attribute, const SearchBook& book)
{
    auto candidates = std::make_unique<BitVector>(book.numSections());
    const bool hebrew = book.docSupports(kDocSupportsStrongsHebrew);
    const bool greek = book.docSupports(kDocSupportsStrongsGreek);
    const bool attributes = book.docSupports(kDocSupportsWordAttributes);
    if (attribute[0] == u'-') {
        if (!book.isABible())
            return candidates;
        const char16_t letter = attribute[1];
        if ((letter == u'H' || letter == u'h') && hebrew)
            book.resultsForAllOTVerses(*candidates);
        else if ((letter == u'G' || letter == u'g') && greek)
            book.resultsForAllNTVerses(*candidates);
        else if (attributes)
            book.resultsForAllVersesThatMightMatchWordAttribute(*candidates, attribute.substr(1));
        return candidates;
    }
    const char16_t letter = attribute[0];
    if ((letter == u'H' || letter == u'h') && hebrew)
        book.resultsFromStrongsHebrewConcordanceForWord(strongsKey(attribute.substr(1)), *candidates);
    else if ((letter == u'G' || letter == u'g') && greek)
        book.resultsFromStrongsGreekConcordanceForWord(strongsKey(attribute.substr(1)), *candidates);
    else if (attributes)
        book.resultsFromWordAttributeConcordanceForWord(attribute, *candidates);
    return candidates;
}

// The hits of one plain (not pattern) word in the requested word form.
std::unique_ptr<BitVector> plainWordHits(
    const std::u16string& word, const SearchBook& book, const SearchOptions* options, uint32_t size)
{
    const bool notes = notesMode(options);
    const std::string form = wordFormOf(options);
    if (form == kWordFormExact) {
        if (notes)
            return noteHit(wordOccursInString(word, theNote(options), 0));
        uint32_t n = book.canonicalWordNumberForString(word);
        if (n == kSearchNoWord)
            n = book.wordNumberForString(word, false);
        if (n == kSearchNoWord)
            n = book.wordNumberForString(TextFolding::foldToBaseLetters(word), false);
        if (n == kSearchNoWord)
            return nullptr;
        auto v = std::make_unique<BitVector>(size);
        book.resultsFromMainConcordanceForWordNum(n, *v);
        return orNull(std::move(v));
    }
    const bool meta = form == kWordFormMetaphone || form == kWordFormStemOrMeta;
    const bool stem = form == kWordFormStem || form == kWordFormStemOrMeta;
    if (!meta && !stem)
        return nullptr;
    std::unique_ptr<BitVector> hits;
    if (meta) {
        const std::u16string key = soundKey(word);
        if (key.size() >= 2) {
            if (notes) {
                unite(hits, noteHit(wordOccursInString(key, theNote(options), 0)));
            } else {
                const uint32_t n = book.metaphoneWordNumberForString(key);
                if (n != kSearchNoWord) {
                    auto v = std::make_unique<BitVector>(size);
                    book.resultsFromMetaphoneConcordanceForWordNum(n, *v);
                    unite(hits, orNull(std::move(v)));
                }
            }
        }
    }
    if (stem) {
        const uint16_t language = book.bookLanguage();
        const std::u16string s = stemOf(word, language);
        if (!s.empty()) {
            if (notes) {
                unite(hits, noteHit(wordOccursInString(s, theNote(options), 0)));
            } else {
                const uint32_t n = book.stemmerWordNumberForString(s);
                if (n != kSearchNoWord) {
                    auto v = std::make_unique<BitVector>(size);
                    book.resultsFromStemmerConcordanceForWordNum(n, *v);
                    unite(hits, orNull(std::move(v)));
                }
            }
        }
    }
    return orNull(std::move(hits));
}

std::unique_ptr<BitVector> termHits(
    const std::u16string& term, const SearchBook& book, const SearchOptions* options, uint32_t size)
{
    const bool notes = notesMode(options);
    const std::u16string word = OredTerms::wordFromTerm(term, &book);
    const std::u16string attribute = OredTerms::attributeFromTerm(term, &book);
    const bool pattern = hasWildcard(word);
    std::unique_ptr<BitVector> hits;
    if (word == u"*") {
        hits = everySection(size);
    } else if (pattern && !attribute.empty()) {
        if (!notes)
            hits = everySection(size);
    } else if (!word.empty() && word[0] == u'-') {
        hits = everySection(size);
    } else if (!pattern && options != nullptr && options->stopWords && SearchSpecification::isStopWord(word)) {
        hits = nullptr;
    } else if (pattern) {
        if (notes) {
            hits = noteHit(wordOccursInString(word, theNote(options), 1));
        } else {
            auto v = std::make_unique<BitVector>(size);
            book.resultsFromMainConcordanceForWord(word, *v);
            hits = std::move(v);
        }
    } else if (!word.empty()) {
        hits = plainWordHits(word, book, options, size);
    }
    hits = orNull(std::move(hits));
    if (!notes && hits != nullptr && attribute.size() >= 2) {
        auto candidates = attributeCandidates(attribute, book);
        hits->andVector(*candidates);
        hits = orNull(std::move(hits));
    }
    return hits;
}

}  // namespace

std::unique_ptr<BitVector> searchResults(const OredTerms& terms, const SearchBook& book, const SearchOptions* options)
{
    const uint32_t size = notesMode(options) ? 2 : book.numSections();
    std::unique_ptr<BitVector> result;
    for (const std::u16string& term : terms.termList()) {
        if (term.empty())
            continue;
        unite(result, termHits(term, book, options, size));
    }
    return result;
}

std::unique_ptr<BitVector> searchResults(const Phrase& phrase, const SearchBook& book, const SearchOptions* options)
{
    if (phrase.count() == 0)
        return nullptr;
    const Mode mode = modeOf(options);
    std::unique_ptr<BitVector> result;
    bool missing = false;
    for (const OredTermsPtr& position : phrase.terms()) {
        if (position == nullptr)
            continue;
        std::unique_ptr<BitVector> hits = searchResults(*position, book, options);
        if (mode == Mode::Any) {
            unite(result, std::move(hits));
            continue;
        }
        // Every position must have hits, wherever it stands in the phrase.
        if (hits == nullptr) {
            missing = true;
            break;
        }
        if (result == nullptr) {
            result = std::move(hits);
        } else {
            result->andVector(*hits);
            // No section holds every position so far, so none can hold the phrase: the later
            // positions are not looked up, and there is nothing to check the phrase in.
            if (result->count(true) == 0)
                return result;
        }
    }
    if (missing)
        return nullptr;
    if (result == nullptr)
        return nullptr;
    std::unique_ptr<SearchWordListRef> words = makeSearchWordList(phrase, book, options);
    if (options == nullptr)
        return result;
    if (!phrase.isQuoted() && mode != Mode::Exact && !words->hasAttributes)
        return result;
    scanForPhrase(*words, *result, book, options);
    return result;
}

std::unique_ptr<BitVector> searchResults(
    const OredPhrases& phrases, const SearchBook& book, const SearchOptions* options)
{
    std::unique_ptr<BitVector> result;
    for (const PhrasePtr& phrase : phrases.phraseList())
        if (phrase != nullptr)
            unite(result, orNull(searchResults(*phrase, book, options)));
    return result;
}

std::unique_ptr<BitVector> searchResults(const PhraseList& list, const SearchBook& book, const SearchOptions* options)
{
    const bool any = modeOf(options) == Mode::Any;
    std::unique_ptr<BitVector> result;
    for (const OredPhrasesPtr& member : list.oredPhraseList()) {
        if (member == nullptr)
            continue;
        std::unique_ptr<BitVector> hits = searchResults(*member, book, options);
        if (hits == nullptr)
            continue;
        if (result == nullptr)
            result = std::move(hits);
        else if (any)
            result->orVector(*hits);
        else
            result->andVector(*hits);
        // An empty intersection stays empty, whatever the later members find.
        if (!any && result->count(true) == 0)
            break;
    }
    return result;
}

std::unique_ptr<SearchWordListRef> makeSearchWordList(
    const Phrase& phrase, const SearchBook& book, const SearchOptions* options)
{
    auto ref = std::make_unique<SearchWordListRef>();
    const bool notes = notesMode(options);
    const std::string form = wordFormOf(options);
    for (const OredTermsPtr& position : phrase.terms()) {
        if (position == nullptr || position->count() == 0)
            continue;
        bool first = true;
        const uint32_t item = ref->list.count();
        for (const std::u16string& term : position->termList()) {
            const std::u16string word = OredTerms::wordFromTerm(term, &book);
            const std::u16string attribute = OredTerms::attributeFromTerm(term, &book);
            if (!attribute.empty() && word != u"*")
                ref->hasAttributes = 1;
            const char16_t* attr = attribute.empty() ? nullptr : attribute.c_str();
            std::u16string text;
            uint32_t number = kSearchNoWord;
            bool canonical = false;
            const bool pattern = hasWildcard(word);
            if (pattern) {
                text = word;
            } else if (form == kWordFormExact) {
                if (notes) {
                    text = word;
                } else {
                    number = book.canonicalWordNumberForString(word);
                    canonical = number != kSearchNoWord;
                    if (number == kSearchNoWord)
                        number = book.wordNumberForString(word, false);
                    if (number == kSearchNoWord)
                        text = word;
                }
            } else if (form == kWordFormMetaphone) {
                text = u"$" + soundKey(word);
                ref->hasDerivedForms = 1;
            } else if (form == kWordFormStem || form == kWordFormStemOrMeta) {
                text = u"@" + stemOf(word, book.bookLanguage());
                ref->hasDerivedForms = 1;
            } else {
                text = word;
            }
            const char16_t* textPtr = number == kSearchNoWord ? text.c_str() : nullptr;
            if (first) {
                ref->list.appendItem(textPtr, number, canonical, attr);
                first = false;
            } else if (item < ref->list.count()) {
                ref->list.addVariant(item, textPtr, number, canonical, attr);
            }
            if (form == kWordFormStemOrMeta && !pattern && item < ref->list.count()) {
                const std::u16string key = u"$" + soundKey(word);
                ref->list.addVariant(item, key.c_str(), kSearchNoWord, false, attr);
            }
        }
    }
    return ref;
}

void scanForPhrase(
    const SearchWordListRef& words, BitVector& results, const SearchBook& book, const SearchOptions* options)
{
    const std::string form = wordFormOf(options);
    if (form != kWordFormExact && !words.hasDerivedForms) {
        results.clearAll();
        return;
    }
    const cSearchWordList& list = words.list;
    if (list.count() < 2 && !words.hasAttributes)
        return;
    const bool notes = notesMode(options);
    const Mode mode = modeOf(options);
    // One-position lists for the position-by-position checks.
    std::vector<cSearchWordList> single;
    if (!notes && mode != Mode::Exact && words.hasAttributes) {
        for (uint32_t i = 0; i < list.count(); ++i) {
            cSearchWordList one;
            for (uint32_t j = 0; j < list.formCount(i); ++j) {
                const AnItem& f = list.itemForm(i, j);
                const char16_t* text = f.hasWord ? f.word.c_str() : nullptr;
                const char16_t* attr = f.attribute.empty() ? nullptr : f.attribute.c_str();
                if (j == 0)
                    one.appendItem(text, f.wordNumber, f.isCanonicalNumber != 0, attr);
                else
                    one.addVariant(0, text, f.wordNumber, f.isCanonicalNumber != 0, attr);
            }
            single.push_back(std::move(one));
        }
    }
    for (uint32_t s = results.first(true); s != cBitVector::kNone; s = results.nextAfter(s, true)) {
        bool keep;
        if (notes) {
            keep = isPhrasePresentInString(list, theNote(options));
        } else if (mode == Mode::Exact || !words.hasAttributes) {
            keep = book.isPhrasePresent(list, s);
        } else if (single.empty()) {
            keep = false;
        } else if (mode == Mode::All) {
            keep = true;
            for (uint32_t i = 0; i < single.size() && keep; ++i) {
                bool demands = false;
                for (uint32_t j = 0; j < list.formCount(i); ++j)
                    demands = demands || !list.itemForm(i, j).attribute.empty();
                if (demands && !book.isPhrasePresent(single[i], s))
                    keep = false;
            }
        } else {
            keep = false;
            for (uint32_t i = 0; i < single.size() && !keep; ++i)
                keep = book.isPhrasePresent(single[i], s);
        }
        if (!keep)
            results.andBit(false, s);
    }
}

namespace {

std::vector<std::u16string> tokens(const std::u16string& text)
{
    std::vector<std::u16string> out;
    std::u16string current;
    for (char16_t c : text) {
        if (TextFolding::isWhitespaceOrNewline(c)) {
            if (!current.empty())
                out.push_back(std::move(current));
            current.clear();
        } else {
            current.push_back(c);
        }
    }
    if (!current.empty())
        out.push_back(std::move(current));
    return out;
}

std::u16string foldedLower(const std::u16string& s)
{
    return lower(TextFolding::foldToBaseLetters(s));
}

bool formMatchesToken(const AnItem& form, const std::u16string& token)
{
    if (!form.hasWord)
        return false;
    if (hasWildcard(form.word))
        return wildcardMatch(form.word, token, false);
    return lower(form.word) == lower(token);
}

}  // namespace

bool isPhrasePresentInString(const cSearchWordList& list, const std::u16string& text)
{
    if (text.empty() || list.count() == 0)
        return false;
    const std::vector<std::u16string> toks = tokens(text);
    uint32_t k = 0;
    std::size_t remembered = 0;
    bool haveRemembered = false;
    for (std::size_t t = 0; t < toks.size(); ++t) {
        bool match = false;
        for (uint32_t j = 0; j < list.formCount(k) && !match; ++j)
            match = formMatchesToken(list.itemForm(k, j), toks[t]);
        if (match) {
            if (k == 0) {
                remembered = t;
                haveRemembered = true;
            }
            if (k + 1 == list.count())
                return true;
            ++k;
        } else {
            k = 0;
            if (haveRemembered) {
                t = remembered;  // the loop steps to the token after it
                haveRemembered = false;
            }
        }
    }
    return false;
}

bool wordOccursInString(const std::u16string& word, const std::u16string& text, int options)
{
    if (word.empty() || text.empty())
        return false;
    if (options == 0) {
        const std::u16string hay = u" " + foldedLower(text) + u" ";
        const std::u16string needle = u" " + foldedLower(word) + u" ";
        return hay.find(needle) != std::u16string::npos;
    }
    for (std::u16string token : tokens(text)) {
        if ((options & 2) && !token.empty() && token[0] == u'<') {
            const std::size_t close = token.find(u'>');
            if (close != std::u16string::npos)
                token.erase(0, close + 1);
        }
        if (!token.empty() && wildcardMatch(word, token, false))
            return true;
    }
    return false;
}

void createAggregateSearchWordList(
    SearchWordListRef& aggregate, const Phrase& phrase, const SearchBook& book, const SearchOptions* options)
{
    std::unique_ptr<SearchWordListRef> own = makeSearchWordList(phrase, book, options);
    const cSearchWordList& list = own->list;
    for (uint32_t i = 0; i < list.count(); ++i) {
        for (uint32_t j = 0; j < list.formCount(i); ++j) {
            const AnItem& f = list.itemForm(i, j);
            aggregate.list.appendItem(f.hasWord ? f.word.c_str() : nullptr, f.wordNumber, f.isCanonicalNumber != 0,
                f.attribute.empty() ? nullptr : f.attribute.c_str());
        }
    }
    aggregate.hasAttributes |= own->hasAttributes;
    aggregate.hasDerivedForms |= own->hasDerivedForms;
}

void createAggregateSearchWordList(
    SearchWordListRef& aggregate, const PhraseList& list, const SearchBook& book, const SearchOptions* options)
{
    for (const OredPhrasesPtr& member : list.oredPhraseList())
        if (member != nullptr)
            for (const PhrasePtr& phrase : member->phraseList())
                if (phrase != nullptr)
                    createAggregateSearchWordList(aggregate, *phrase, book, options);
}

void createAggregateSearchWordList(std::unique_ptr<SearchWordListRef>& aggregate, const SearchSpecification& query,
    const SearchBook& book, const SearchOptions* options)
{
    if (aggregate == nullptr)
        aggregate = std::make_unique<SearchWordListRef>();
    else
        aggregate->list.removeAll();
    aggregate->hasAttributes = 0;
    aggregate->hasDerivedForms = 0;
    if (query.phraseList() != nullptr)
        createAggregateSearchWordList(*aggregate, *query.phraseList(), book, options);
}

}  // namespace phrasesearch
