#include "search/execution/PhraseSearch.h"

#include <algorithm>

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

std::u16string straight(const std::u16string& s)
{
    return TextFolding::withApostrophe(s, TextFolding::kStraightApostrophe);
}

std::u16string foldedLower(const std::u16string& s)
{
    return lower(straight(TextFolding::foldToBaseLetters(s)));
}

std::u16string soundKey(const std::u16string& word)
{
    return lower(TextFolding::utf8ToUtf16(metaphoneKey(std::u16string_view(word))));
}

std::u16string stemOf(const std::u16string& word, uint16_t language)
{
    return lower(TextFolding::utf8ToUtf16(stemWordForLanguage(TextFolding::utf16ToUtf8(word), language)));
}

// The forms of a typed word to look up. A book's word list holds its apostrophes in one form (the
// typographic one, as a rule) while a reader types or pastes any: a word with an apostrophe is looked
// up as typed, with the typographic and with the straight apostrophe. A note's text has every
// apostrophe made straight (cleanUpNoteForSearch), so in notes mode the one form is the straight one.
std::vector<std::u16string> lookupForms(const std::u16string& word, bool notes)
{
    if (std::none_of(word.begin(), word.end(), TextFolding::isApostrophe))
        return {word};
    if (notes)
        return {TextFolding::withApostrophe(word, TextFolding::kStraightApostrophe)};
    std::vector<std::u16string> forms {word};
    for (const char16_t a : {TextFolding::kTypographicApostrophe, TextFolding::kStraightApostrophe}) {
        std::u16string form = TextFolding::withApostrophe(word, a);
        if (std::find(forms.begin(), forms.end(), form) == forms.end())
            forms.push_back(std::move(form));
    }
    return forms;
}

// The distinct stems of the forms of a word; empty stems are left out.
std::vector<std::u16string> stemsOf(const std::vector<std::u16string>& forms, uint16_t language)
{
    std::vector<std::u16string> stems;
    for (const std::u16string& form : forms) {
        std::u16string s = stemOf(form, language);
        if (!s.empty() && std::find(stems.begin(), stems.end(), s) == stems.end())
            stems.push_back(std::move(s));
    }
    return stems;
}

struct WordNumber {
    uint32_t number = kSearchNoWord;
    bool canonical = false;
};

// The number of a word in the book's main word list: its canonical (base-letter) entry, else the
// word itself, else (with baseLetters) the word reduced to base letters.
WordNumber exactWordNumber(const SearchBook& book, const std::u16string& word, bool baseLetters)
{
    WordNumber n;
    n.number = book.canonicalWordNumberForString(word);
    n.canonical = n.number != kSearchNoWord;
    if (n.number == kSearchNoWord)
        n.number = book.wordNumberForString(word, false);
    if (n.number == kSearchNoWord && baseLetters)
        n.number = book.wordNumberForString(TextFolding::foldToBaseLetters(word), false);
    return n;
}

// The other numbers of the same letters: the word without its accents, and the words of the book
// that carry accents and read as it without them ("corazon" and "corazón" alike). A word typed with
// or without its accents finds the same verses.
std::vector<uint32_t> sameLetterNumbers(const SearchBook& book, const std::u16string& word, uint32_t own)
{
    std::u16string folded = TextFolding::foldToBaseLetters(word);
    for (char16_t& c : folded)
        c = TextFolding::toLower(c);
    std::vector<uint32_t> numbers = book.markedWordNumbersFoldingTo(folded);
    if (folded != word) {
        const uint32_t plain = book.wordNumberForString(folded, false);
        if (plain != kSearchNoWord)
            numbers.push_back(plain);
    }
    std::sort(numbers.begin(), numbers.end());
    numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
    numbers.erase(std::remove(numbers.begin(), numbers.end(), own), numbers.end());
    return numbers;
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
        // A word without the number may stand anywhere: a Greek number is missing from every word of
        // the Old Testament as a Hebrew one is from the New, and from the untagged words and those
        // with other numbers of its own. Every section is a candidate; the phrase test then reads
        // the words themselves.
        const bool strongsLetter = letter == u'H' || letter == u'h' || letter == u'G' || letter == u'g';
        if (strongsLetter && (hebrew || greek))
            return everySection(book.numSections());
        if (attributes)
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
    const std::vector<std::u16string> forms = lookupForms(word, notes);
    if (form == kWordFormExact) {
        if (notes)
            return noteHit(wordOccursInString(forms.front(), theNote(options), 0));
        std::unique_ptr<BitVector> hits;
        for (const std::u16string& w : forms) {
            const WordNumber n = exactWordNumber(book, w, true);
            std::vector<uint32_t> numbers = sameLetterNumbers(book, w, n.number);
            if (n.number != kSearchNoWord)
                numbers.push_back(n.number);
            for (const uint32_t number : numbers) {
                auto v = std::make_unique<BitVector>(size);
                book.resultsFromMainConcordanceForWordNum(number, *v);
                unite(hits, orNull(std::move(v)));
            }
        }
        return orNull(std::move(hits));
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
        for (const std::u16string& s : stemsOf(forms, book.bookLanguage())) {
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
        // In a Bible "*" is every verse, not the book and chapter headings between them.
        hits = everySection(size);
        if (attribute.empty() && !notes)
            book.keepVersesOnly(*hits);
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
            for (const std::u16string& w : lookupForms(word, false)) {
                auto v = std::make_unique<BitVector>(size);
                book.resultsFromMainConcordanceForWord(w, *v);
                unite(hits, orNull(std::move(v)));
            }
            // Accented words whose plain letters match: "cora*" finds "corazón".
            for (const uint32_t n : book.markedWordNumbersFoldingTo(foldedLower(word))) {
                auto v = std::make_unique<BitVector>(size);
                book.resultsFromMainConcordanceForWordNum(n, *v);
                unite(hits, orNull(std::move(v)));
            }
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
        if (hits == nullptr) {
            // A member that finds nothing leaves no section holding every member, as a phrase's own
            // missing word does; only "any" passes it over.
            if (any)
                continue;
            return nullptr;
        }
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
        const uint32_t item = ref->list.count();
        bool first = true;
        // The first form of the position is its item; every further form, of this term or the next,
        // is a variant of it.
        auto add = [&](const std::u16string& text, uint32_t number, bool canonical, const char16_t* attr) {
            const char16_t* textPtr = number == kSearchNoWord ? text.c_str() : nullptr;
            if (first) {
                ref->list.appendItem(textPtr, number, canonical, attr);
                first = false;
            } else if (item < ref->list.count()) {
                ref->list.addVariant(item, textPtr, number, canonical, attr);
            }
        };
        for (const std::u16string& term : position->termList()) {
            const std::u16string word = OredTerms::wordFromTerm(term, &book);
            const std::u16string attribute = OredTerms::attributeFromTerm(term, &book);
            if (!attribute.empty() && word != u"*")
                ref->hasAttributes = 1;
            const char16_t* attr = attribute.empty() ? nullptr : attribute.c_str();
            const bool pattern = hasWildcard(word);
            if (pattern) {
                add(word, kSearchNoWord, false, attr);
                // "*" (a Strong's number alone reads as "*:G26") matches every word as it is; listing
                // every accented word of the book beside it would only slow the phrase test.
                if (!notes && word != u"*")
                    for (const uint32_t n : book.markedWordNumbersFoldingTo(foldedLower(word)))
                        add(word, n, false, attr);
            } else if (form == kWordFormExact) {
                const std::vector<std::u16string> forms = lookupForms(word, notes);
                if (notes) {
                    add(forms.front(), kSearchNoWord, false, attr);
                } else {
                    // The word as typed, then the other apostrophe forms the book holds.
                    bool added = false;
                    for (const std::u16string& w : forms) {
                        const WordNumber n = exactWordNumber(book, w, false);
                        const std::vector<uint32_t> others = sameLetterNumbers(book, w, n.number);
                        if (n.number != kSearchNoWord || !added) {
                            add(w, n.number, n.canonical, attr);
                            added = true;
                        }
                        for (const uint32_t other : others)
                            add(w, other, false, attr);
                    }
                }
            } else if (form == kWordFormMetaphone) {
                add(u"$" + soundKey(word), kSearchNoWord, false, attr);
                ref->hasDerivedForms = 1;
            } else if (form == kWordFormStem || form == kWordFormStemOrMeta) {
                std::vector<std::u16string> stems = stemsOf(lookupForms(word, notes), book.bookLanguage());
                if (stems.empty())
                    stems.emplace_back();
                for (const std::u16string& stem : stems)
                    add(u"@" + stem, kSearchNoWord, false, attr);
                ref->hasDerivedForms = 1;
            } else {
                add(word, kSearchNoWord, false, attr);
            }
            if (form == kWordFormStemOrMeta && !pattern)
                add(u"$" + soundKey(word), kSearchNoWord, false, attr);
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

// A hyphen inside a word ("well-known") parts it, as it does in a book's word list: the query reads a
// hyphenated word as its parts side by side.
bool isInnerHyphen(const std::u16string& text, std::size_t i)
{
    auto wordChar = [](char16_t c) { return c != u'-' && !TextFolding::isWhitespaceOrNewline(c); };
    return text[i] == u'-' && i > 0 && i + 1 < text.size() && wordChar(text[i - 1]) && wordChar(text[i + 1]);
}

std::u16string hyphensParted(std::u16string text)
{
    for (std::size_t i = 1; i + 1 < text.size(); ++i)
        if (isInnerHyphen(text, i))
            text[i] = u' ';
    return text;
}

std::vector<std::u16string> tokens(const std::u16string& text)
{
    std::vector<std::u16string> out;
    std::u16string current;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (TextFolding::isWhitespaceOrNewline(c) || isInnerHyphen(text, i)) {
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

// Apostrophes compare alike in notes: every form is made straight.
// A form of a word list against one token of a note. The notes run has put the note's text into the
// word form of the search (its words replaced by their stems, or by their sound keys), so a derived
// form ("@" and a stem, "$" and a sound key) is compared without its prefix.
bool formMatchesToken(const AnItem& form, const std::u16string& token)
{
    if (!form.hasWord || form.word.empty())
        return false;
    if (hasWildcard(form.word))
        return wildcardMatch(straight(form.word), straight(token), false);
    const std::u16string t = lower(straight(token));
    if ((form.word[0] == u'@' || form.word[0] == u'$') && form.word.size() > 1 && lower(form.word.substr(1)) == t)
        return true;
    return lower(straight(form.word)) == t;
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
        const std::u16string hay = u" " + hyphensParted(foldedLower(text)) + u" ";
        const std::u16string needle = u" " + foldedLower(word) + u" ";
        return hay.find(needle) != std::u16string::npos;
    }
    const std::u16string pattern = straight(word);
    for (std::u16string token : tokens(text)) {
        if ((options & 2) && !token.empty() && token[0] == u'<') {
            const std::size_t close = token.find(u'>');
            if (close != std::u16string::npos)
                token.erase(0, close + 1);
        }
        if (!token.empty() && wildcardMatch(pattern, straight(token), false))
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
