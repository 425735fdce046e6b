#include "engine/bookfile/cBkWordLinks.h"

#include <algorithm>
#include <mutex>

#include "engine/bookfile/BkEngineStrings.h"
#include "engine/bookfile/BkText.h"
#include "engine/bookfile/cBkBookFile.h"
#include "engine/foundation/CharacterClasses.h"
#include "engine/foundation/LanguageSupport.h"
#include "search/core/Metaphone.h"
#include "search/core/WildcardPattern.h"
#include "search/core/WordStemming.h"
#include "search/core/cSearchWordList.h"

using namespace BkTextFormat;

namespace {

constexpr char16_t kMarkedWord = 0xFFFF;
constexpr const char* kStrongsLinkType = "sync:\\\\";

std::u16string folded(const std::u16string& text)
{
    cLString16 in, out;
    bkAssign(in, text);
    foldToBaseLetters(out, in);
    return bkStd(out);
}

std::string lowered(const std::string& text)
{
    cLString8 s;
    bkAssign(s, text);
    s.toLowerCase();
    return bkStd(s);
}

bool equalIgnoringCase(const std::u16string& a, const std::u16string& b)
{
    return a.size() == b.size() && BkText::compareIgnoringCase(a, b) == 0;
}

bool startsWithIgnoringCase(const std::u16string& text, const std::u16string& prefix)
{
    return text.size() >= prefix.size() && BkText::compareIgnoringCase(text.substr(0, prefix.size()), prefix) == 0;
}

void appendDecimal(std::u16string& out, uint32_t n)
{
    for (char c : std::to_string(n))
        out.push_back(static_cast<char16_t>(c));
}

}  // namespace

cBkWordLinks::cBkWordLinks(cBkBookFile& book) : m_book(book), m_reader(book)
{
}

void cBkWordLinks::sectionRange(uint32_t section, uint32_t& start, uint32_t& end)
{
    start = end = 0;
    const uint32_t count = m_book.sections().sectionCount();
    if (section >= count)
        return;
    uint32_t block = 0;
    m_book.sections().getSectionStart(section, block, start);
    if (section + 1 < count)
        m_book.sections().getSectionStart(section + 1, block, end);
    else
        end = m_book.text().textSize();
}

bool cBkWordLinks::strongsText(const cBkTextToken& t, std::u16string& text)
{
    text.clear();
    text.push_back(t.lead == kStrongsHebrew ? u'H' : u'G');
    appendDecimal(text, t.number);
    if (t.suffix != 0)
        text.push_back(static_cast<char16_t>(t.suffix + 0x60));
    return true;
}

bool cBkWordLinks::attributeText(const cBkTextToken& t, std::u16string& text)
{
    text.clear();
    const cBkWordAttributeDefs& defs = m_book.genInfo().wordAttributeDefs();
    if (t.definition >= defs.definitionCount())
        return false;
    cBkWordListStg* words = m_book.attributeWordList(t.definition);
    if (words == nullptr)
        return true;  // no value text: such a token never matches a term
    std::u16string value;
    words->wordForNumber(t.number, value);
    text = BkText::utf8ToUtf16(defs.searchPrefix(t.definition)) + value;
    return true;
}

bool cBkWordLinks::readStrongsToken(uint32_t& position, bool wantText, std::u16string& text)
{
    cBkTextToken t;
    if (!m_reader.read(position, t) || !t.isStrongs()) {
        --position;
        return false;
    }
    if (wantText)
        strongsText(t, text);
    position = t.next() - 1;
    return true;
}

bool cBkWordLinks::readAttributeToken(uint32_t& position, bool wantText, std::u16string& text, int32_t& definition)
{
    cBkTextToken t;
    if (!m_reader.read(position, t) || !t.isAttribute() || (wantText && !attributeText(t, text))) {
        --position;
        return false;
    }
    definition = t.definition;
    position = t.next() - 1;
    return true;
}

bool cBkWordLinks::wordMatchesForm(
    const std::u16string* pattern, uint32_t formNumber, bool fold, uint32_t w, const std::u16string* word)
{
    std::u16string own;
    auto theWord = [&]() -> const std::u16string& {
        if (word != nullptr)
            return *word;
        m_book.wordList().wordForNumber(w, own);
        return own;
    };
    if (pattern != nullptr) {
        if (*pattern == u"*")
            return true;
        const std::u16string& W = theWord();
        if (!pattern->empty() && (*pattern)[0] == u'@') {
            const uint16_t language = static_cast<uint16_t>(m_book.genInfo().languageNumber());
            const std::string stem = stemWordForLanguage(BkText::utf16ToUtf8(W), language);
            return lowered(stem) == lowered(BkText::utf16ToUtf8(pattern->substr(1)));
        }
        if (!pattern->empty() && (*pattern)[0] == u'$')
            return lowered(metaphoneKey(std::string_view(BkText::utf16ToUtf8(W)))) ==
                BkText::utf16ToUtf8(pattern->substr(1));
        return matchSearchPattern(pattern->c_str(), W.c_str(), 0);
    }
    if (w == formNumber)
        return true;
    if (fold) {
        std::u16string key(1, kMarkedWord);
        key += folded(theWord());
        const uint32_t found = m_book.wordList().wordNumberForString(key, false);
        return found != BkResult::kNone && found == formNumber;
    }
    return false;
}

bool cBkWordLinks::wordMatchesSearchItem(const cSearchWordList& list, uint32_t item, uint32_t w,
    const std::u16string* word, uint32_t afterWord, uint32_t* formIndex)
{
    if (item >= list.count())
        return false;
    const uint32_t forms = list.formCount(item);
    for (uint32_t j = 0; j < forms; ++j) {
        const AnItem& form = list.itemForm(item, j);
        const std::u16string* pattern = form.hasWord ? &form.word : nullptr;
        const uint32_t number = form.hasWord ? 0xFFFFFFFFu : form.wordNumber;
        if (wordMatchesForm(pattern, number, form.isCanonicalNumber != 0, w, word) &&
            (form.attribute.empty() || tokensMatchAttributeTerm(form.attribute, afterWord))) {
            if (formIndex != nullptr)
                *formIndex = j;
            return true;
        }
    }
    return false;
}

bool cBkWordLinks::tokensMatchAttributeTerm(const std::u16string& term, uint32_t position)
{
    std::u16string T = term;
    const bool negate = !T.empty() && T[0] == u'-';
    if (negate)
        T.erase(0, 1);
    // "G0026" names G26, as the text writes it: against a Strong's number the leading zeros go.
    std::u16string number = T;
    auto digit = [&](size_t i) { return i < number.size() && number[i] >= u'0' && number[i] <= u'9'; };
    if (!number.empty() && (number[0] == u'G' || number[0] == u'g' || number[0] == u'H' || number[0] == u'h') &&
        digit(1)) {
        size_t zeros = 0;
        while (number[1 + zeros] == u'0' && digit(2 + zeros))
            ++zeros;
        number.erase(1, zeros);
    }
    const std::u16string F = folded(T);
    std::vector<int32_t> D;
    if (m_book.genInfo().hasWordAttributeDefs())
        matchWordAttributes(T, D);

    bool matched = false;
    cBkTextToken t;
    uint32_t p = tagsAfterWord(position);
    while (!matched && m_reader.read(p, t) && (t.isStrongs() || t.isAttribute())) {
        std::u16string text;
        if (t.isStrongs()) {
            strongsText(t, text);
        } else if (!attributeText(t, text)) {
            break;
        }
        p = t.next();
        if (text.empty())
            continue;
        if (t.isAttribute() && std::find(D.begin(), D.end(), t.definition) == D.end())
            continue;
        matched = t.isStrongs() ? matchSearchPattern(number.c_str(), text.c_str(), 0)
                                : matchSearchPattern(T.c_str(), text.c_str(), 0) || equalIgnoringCase(F, folded(text));
    }
    return matched != negate;
}

uint32_t cBkWordLinks::tagsAfterWord(uint32_t position)
{
    cBkTextToken t;
    uint32_t p = position;
    bool tied = false;
    for (uint32_t steps = 0; steps < kMostTiedTokens; ++steps) {
        if (!m_reader.read(p, t))
            return tied ? position : p;
        if (t.lead == kTagsOfNextWord) {
            tied = true;
        } else if (!tied) {
            return p;
        } else if (t.isWord()) {
            tied = false;
        } else if (!t.isPunctuation() && !(t.lead >= kCapitalFirst && t.lead <= kCapitalLast) &&
            !(t.lead >= kNoBlankFirst && t.lead <= kNoBlankLast)) {
            return position;  // a tie broken by other markup (a reference, the section's end): no tokens
        }
        p = t.next();
    }
    return position;
}

bool cBkWordLinks::matchWordAttributes(const std::u16string& term, std::vector<int32_t>& D)
{
    D.clear();
    if (!m_book.genInfo().hasWordAttributeDefs())
        return false;
    const cBkWordAttributeDefs& defs = m_book.genInfo().wordAttributeDefs();
    const std::string T8 = BkText::utf16ToUtf8(term);
    const std::string T8lower = lowered(T8);

    auto lookup = [&](int32_t d, const std::u16string& text) {
        cBkWordListStg* words = m_book.attributeWordList(static_cast<size_t>(d));
        if (words == nullptr)
            return false;
        std::u16string marked(1, kMarkedWord);
        marked += folded(text);
        return words->wordNumberForString(marked, false) != BkResult::kNone ||
            words->wordNumberForString(text, false) != BkResult::kNone;
    };

    int32_t best = -1;
    size_t bestLength = 0;
    for (int32_t i = 0; i < defs.definitionCount(); ++i) {
        if (!defs.flagField(i))
            continue;
        const std::string prefix = lowered(defs.searchPrefix(i));
        if (!prefix.empty() && prefix.size() > bestLength && T8lower.compare(0, prefix.size(), prefix) == 0) {
            best = i;
            bestLength = prefix.size();
        }
    }
    if (best >= 0) {
        const std::u16string rest = BkText::utf8ToUtf16(T8.substr(bestLength));
        if (lookup(best, rest)) {
            D.push_back(best);
            return true;
        }
    }
    for (int32_t i = 0; i < defs.definitionCount(); ++i)
        if (defs.flagField(i) && defs.searchPrefix(i).empty() && lookup(i, term))
            D.push_back(i);
    return !D.empty();
}

bool cBkWordLinks::literalBreaksPhrase(const cBkTextToken& t)
{
    // A literal holds at most 255 bytes (its length is one byte), read into a buffer of that size:
    // nothing is allocated by a length taken from the file.
    uint8_t bytes[255];
    if (t.payloadLength > sizeof bytes || !m_reader.readBytes(t.payloadStart, bytes, t.payloadLength))
        return false;
    const std::u16string text = BkText::utf8ToUtf16(std::string(reinterpret_cast<const char*>(bytes), t.payloadLength));
    for (char16_t c : text)
        if (isLetterOrMarkChar16(c) || isDigitChar16(c) || isCombiningChar16(c))
            return true;
    return false;
}

void cBkWordLinks::rememberMatchesOf(const cSearchWordList* phrase)
{
    m_matches.clear();
    m_remembered = nullptr;
    if (phrase == nullptr || phrase->count() > 32)
        return;
    for (uint32_t i = 0; i < phrase->count(); ++i)
        for (uint32_t j = 0; j < phrase->formCount(i); ++j)
            if (!phrase->itemForm(i, j).attribute.empty())
                return;
    m_remembered = phrase;
    m_matches.assign(m_book.wordList().wordCount(), 0);
    // An item whose forms are all plain words (no wildcard, stem or sound-alike form) is matched here
    // once for every word number: the words a plain form matches (the same letters, case aside) stand
    // together in the word list, which is sorted ignoring case, from the first word that starts with
    // the form, as the list's own wildcard search takes them. The other items are matched as their
    // words are met.
    cBkWordListStg& words = m_book.wordList();
    std::u16string word;
    for (uint32_t i = 0; i < phrase->count(); ++i) {
        bool plain = true;
        for (uint32_t j = 0; j < phrase->formCount(i) && plain; ++j) {
            const AnItem& form = phrase->itemForm(i, j);
            plain = form.hasWord && !form.word.empty() && form.word[0] != u'@' && form.word[0] != u'$' &&
                !hasWildcard(form.word.c_str());
        }
        if (!plain)
            continue;
        const uint64_t known = uint64_t {1} << (2 * i);
        const uint64_t matched = known << 1;
        for (uint64_t& bits : m_matches)
            bits |= known;
        for (uint32_t j = 0; j < phrase->formCount(i); ++j) {
            const std::u16string& form = phrase->itemForm(i, j).word;
            const uint32_t first = words.wordNumberForString(form, true);
            if (first == BkResult::kNone)
                continue;
            for (uint32_t w = first; w < m_matches.size(); ++w) {
                words.wordForNumber(w, word);
                if (BkText::compareIgnoringCase(word, form, form.size()) != 0)
                    break;
                if (matchSearchPattern(form.c_str(), word.c_str(), 0))
                    m_matches[w] |= matched;
            }
        }
    }
}

bool cBkWordLinks::rememberedMatch(const cSearchWordList& phrase, uint32_t item, uint32_t w, uint32_t afterWord)
{
    // Word numbers are below the word list's count; one the file gets wrong is matched afresh.
    if (w >= m_matches.size())
        return wordMatchesSearchItem(phrase, item, w, nullptr, afterWord);
    uint64_t& bits = m_matches[w];
    const uint64_t known = uint64_t {1} << (2 * item);
    const uint64_t matched = known << 1;
    if ((bits & known) == 0) {
        bits |= known;
        if (wordMatchesSearchItem(phrase, item, w, nullptr, afterWord))
            bits |= matched;
    }
    return (bits & matched) != 0;
}

bool cBkWordLinks::isPhrasePresentInSection(uint32_t section, const cSearchWordList& phrase)
{
    const uint32_t N = phrase.count();
    uint32_t s0, s1;
    sectionRange(section, s0, s1);
    if (N == 0 || s0 >= s1)
        return false;
    // The section's text is read once; the last token may run a little past its end.
    m_reader.holdRange(s0, s1 + 8);

    uint32_t m = 0;
    bool hasRestart = false;
    uint32_t restart = 0;
    bool enabled = true, savedEnabled = true, inBrackets = false;
    // Each restart goes back to a word after the previous phrase start, so the walk ends; the bound
    // only guards against a fault in that reasoning.
    uint64_t steps = 0;
    const uint64_t maxSteps = static_cast<uint64_t>(s1 - s0) * (N + 1) + 16;

    auto breakPhrase = [&](uint32_t& p) {
        m = 0;
        if (hasRestart) {
            p = restart;
            enabled = savedEnabled;
            hasRestart = false;
            return true;
        }
        return false;
    };

    // A token may be matched against two items (the next one and the first); when some form needs
    // the word's text, it is decoded once per token and handed to both.
    // With the phrase's matches remembered, a word's text is read only when it is first met.
    const bool remembered = m_remembered == &phrase;
    bool needsText = false;
    for (uint32_t i = 0; i < N && !needsText && !remembered; ++i) {
        for (uint32_t j = 0; j < phrase.formCount(i) && !needsText; ++j) {
            const AnItem& form = phrase.itemForm(i, j);
            needsText = form.hasWord ? form.word != u"*" : form.isCanonicalNumber != 0;
        }
    }
    std::u16string text;
    const std::u16string* word = needsText ? &text : nullptr;

    uint32_t p = s0;
    cBkTextToken t;
    while (p < s1 && ++steps <= maxSteps) {
        if (!m_reader.read(p, t))
            return false;
        const uint32_t q = p;
        p = t.next();
        if (t.isWord()) {
            if (!enabled || inBrackets)
                continue;
            if (needsText)
                m_book.wordList().wordForNumber(t.number, text);
            auto matches = [&](uint32_t item) {
                return remembered ? rememberedMatch(phrase, item, t.number, p)
                                  : wordMatchesSearchItem(phrase, item, t.number, word, p);
            };
            if (m > 0 && !hasRestart && matches(0)) {
                hasRestart = true;
                restart = q;
                savedEnabled = enabled;
            }
            if (matches(m)) {
                if (++m == N)
                    return true;
            } else {
                breakPhrase(p);
                hasRestart = false;
                m = 0;
            }
            continue;
        }
        if (t.isPunctuation())
            continue;
        switch (t.lead) {
        case kPhraseOff:
            enabled = false;
            break;
        case kPhraseOn:
            enabled = true;
            break;
        case kBracketOpen:
        case kBracketOpenAlt:
            inBrackets = true;
            break;
        case kBracketClose:
            inBrackets = false;
            break;
        case kReference:
            if (!inBrackets)
                breakPhrase(p);
            break;
        case kLiteral:
            if (!inBrackets && literalBreaksPhrase(t))
                breakPhrase(p);
            inBrackets = false;
            break;
        default:
            if (t.isInvalid())
                m_book.reportDamage(201);
            break;
        }
    }
    return false;
}

bool cBkWordLinks::collectWordAttributes(uint32_t n, const std::u16string& word, uint32_t section,
    std::vector<std::unique_ptr<cBkWordAttributeEntry>>& entries, std::vector<std::string>& seen)
{
    uint32_t s0, s1;
    sectionRange(section, s0, s1);
    const cBkWordAttributeDefs& defs = m_book.genInfo().wordAttributeDefs();
    cBkTextToken t;
    uint32_t p = s0;
    while (p < s1 && m_reader.read(p, t)) {
        p = t.next();
        if (!t.isWord())
            continue;
        const uint32_t w = t.number;
        const bool wanted = w == n || !word.empty();
        std::vector<std::unique_ptr<cBkWordAttributeEntry>> fresh;
        cBkTextToken a;
        while (p < s1 && m_reader.read(p, a) && (a.isStrongs() || a.isAttribute())) {
            p = a.next();
            if (!wanted)
                continue;
            std::u16string text;
            if (a.isAttribute() ? !attributeText(a, text) : !strongsText(a, text))
                continue;
            auto e = std::make_unique<cBkWordAttributeEntry>();
            e->attribute16 = text;
            e->attribute = BkText::utf16ToUtf8(text);
            if (a.isAttribute()) {
                const int32_t d = a.definition;
                const std::string prefix = defs.searchPrefix(d);
                const size_t cut16 = BkText::utf8ToUtf16(prefix).size();
                e->attribute16.erase(0, std::min(cut16, e->attribute16.size()));
                e->attribute.erase(0, std::min(prefix.size(), e->attribute.size()));
                e->description = defs.humanReadableName(d);
                e->syncPrefix = defs.syncPrefix(d);
                e->displayPrefix = defs.renderField(d);
                e->displayPrefix16 = BkText::utf8ToUtf16(e->displayPrefix);
                e->linkType = defs.linkType(d);
            } else {
                e->linkType = kStrongsLinkType;
                const char16_t c = text.empty() ? 0 : text[0];
                e->description = (c == u'h' || c == u'H') ? "Strong's Hebrew Word Number"
                    : (c == u'g' || c == u'G')            ? "Strong's Greek Word Number"
                                                          : "Strong's Word Number";
            }
            fresh.push_back(std::move(e));
        }
        if (!wanted)
            continue;
        bool ownEntry = false;
        if (!word.empty()) {
            for (const auto& e : fresh) {
                const bool match = e->displayPrefix16.empty() ? equalIgnoringCase(word, e->attribute16)
                                                              : startsWithIgnoringCase(word, e->displayPrefix16) &&
                        equalIgnoringCase(word.substr(e->displayPrefix16.size()), e->attribute16);
                if (match) {
                    ownEntry = true;
                    break;
                }
            }
            if (ownEntry) {
                auto e = std::make_unique<cBkWordAttributeEntry>();
                m_book.wordList().wordForNumber(w, e->attribute);
                m_book.wordList().wordForNumber(w, e->attribute16);
                e->linkType = kStrongsLinkType;
                e->description = m_book.genInfo().languageName();
                fresh.push_back(std::move(e));
            }
        }
        if (w != n && !ownEntry)
            continue;
        for (auto& e : fresh) {
            if (std::find(seen.begin(), seen.end(), e->attribute) != seen.end())
                continue;
            seen.push_back(e->attribute);
            entries.push_back(std::move(e));
        }
    }
    return !entries.empty();
}
