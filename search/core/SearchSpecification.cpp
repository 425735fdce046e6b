#include "search/core/SearchSpecification.h"

#include <algorithm>
#include <array>
#include <string_view>
#include <vector>

#include "search/core/TextFolding.h"

namespace {

constexpr std::array<std::string_view, 220> kStopWords {"a", "able", "about", "across", "ado", "afore", "after", "all",
    "almost", "also", "although", "am", "among", "an", "and", "any", "are", "as", "at", "be", "because", "been",
    "before", "beside", "betimes", "between", "betwixt", "both", "but", "by", "can", "cannot", "canst", "could", "dear",
    "did", "didst", "do", "does", "doest", "doeth", "dost", "doth", "each", "either", "else", "ere", "ever", "every",
    "far", "for", "forasmuch", "from", "get", "got", "had", "hadst", "has", "hast", "hath", "have", "he", "hence",
    "henceforth", "her", "here", "herein", "hers", "herself", "him", "himself", "his", "hither", "hitherto", "how",
    "howbeit", "however", "i", "if", "in", "into", "is", "it", "it's", "its", "itself", "just", "least", "let", "like",
    "likely", "lo", "may", "mayest", "me", "mine", "might", "moreover", "most", "must", "my", "myself", "nay",
    "neither", "no", "nor", "not", "o", "of", "off", "oft", "often", "oh", "on", "only", "onto", "or", "other", "our",
    "ours", "ourself", "ourselves", "over", "own", "rather", "said", "say", "says", "shall", "shalt", "she", "should",
    "should've", "shouldest", "shouldn't", "since", "so", "soever", "some", "than", "that", "the", "thee", "their",
    "them", "themself", "themselves", "then", "thence", "there", "thereby", "therein", "thereof", "thereon", "thereto",
    "these", "they", "thine", "this", "thither", "those", "thou", "thus", "thy", "thyself", "tis", "to", "too", "twas",
    "under", "unless", "until", "unto", "upon", "us", "wants", "was", "we", "were", "wert", "what", "whatever",
    "whatsoever", "when", "whence", "where", "whereby", "wherefore", "wherein", "whereof", "whereon", "wheresoever",
    "whereunto", "wherewith", "which", "whichever", "while", "whilst", "whither", "whithersoever", "who", "whom",
    "whoso", "whosoever", "why", "will", "with", "would", "would've", "wouldest", "wouldn't", "wouldst", "ye", "yea",
    "yet", "you", "your", "yours", "yourself", "yourselves"};

// The table sorted once, on first use (thread-safe static initialisation).
const std::array<std::string_view, 220>& sortedStopWords()
{
    static const std::array<std::string_view, 220> sorted = [] {
        auto copy = kStopWords;
        std::sort(copy.begin(), copy.end());
        return copy;
    }();
    return sorted;
}

// The straight double quote and the curly ones keyboards and pasted text give (“...”, „...“).
bool isQuoteMark(char16_t c)
{
    return c == u'"' || c == u'\u201C' || c == u'\u201D' || c == u'\u201E' || c == u'\u201F';
}

bool endsTermOutsideClass(char16_t c)
{
    return isQuoteMark(c) || c == u'|';
}

// Punctuation at the end of a term that is neither a wildcard ("*", "?", "_", the "]" of a class)
// nor the ":" that joins a word and its attribute.
bool isTrailingPunctuation(char16_t c)
{
    static constexpr std::u16string_view kKept = u"*?_[]:";
    return SearchSpecification::isInPunctuationSet(c) && kKept.find(c) == std::u16string_view::npos;
}

// The hyphens of a term that join two words: between two other characters and outside a bracket
// class ("[a-c]ast" is one pattern).
std::vector<std::size_t> innerHyphens(const std::u16string& term)
{
    std::vector<std::size_t> at;
    bool inClass = false;
    for (std::size_t i = 0; i < term.size(); ++i) {
        const char16_t c = term[i];
        if (inClass) {
            inClass = c != u']';
        } else if (c == u'[') {
            inClass = true;
        } else if (c == u'-' && i > 0 && i + 1 < term.size() && term[i - 1] != u'-' && term[i + 1] != u'-') {
            at.push_back(i);
        }
    }
    return at;
}

// A hyphen between two words ("Beth-el", "BETH-EL"): the book's word lists hold the parts as words of
// their own, so such a term is read as its parts side by side, in any letter case.
bool hasInnerHyphen(const std::u16string& term)
{
    // A term with an attribute keeps its hyphens: "love:-G26", and the codes of books whose words carry
    // grammatical attributes ("V-PAI:logos").
    if (term.find(u':') != std::u16string::npos)
        return false;
    return !innerHyphens(term).empty();
}

void addHyphenParts(Phrase& phrase, const std::u16string& term)
{
    std::size_t start = 0;
    std::vector<std::size_t> cuts = innerHyphens(term);
    cuts.push_back(term.size());
    for (const std::size_t end : cuts) {
        if (end > start) {
            auto position = std::make_shared<OredTerms>();
            position->add(term.substr(start, end - start));
            phrase.add(std::move(position));
        }
        start = end + 1;
    }
}

}  // namespace

void SearchSpecification::setSearchSpec(std::u16string text)
{
    if (text == m_searchSpec)
        return;
    m_searchSpec = std::move(text);
    parse();
}

void SearchSpecification::parse()
{
    m_phraseList.reset();
    m_exclPhraseList.reset();
    m_position = 0;
    if (m_searchSpec.empty())
        return;
    m_phraseList = parsePhraseList();
    m_exclPhraseList = parseExclusionList();
}

bool SearchSpecification::isInWhitespaceSet(char16_t c)
{
    return TextFolding::isWhitespaceOrNewline(c);
}

bool SearchSpecification::isInPunctuationSet(char16_t c)
{
    return TextFolding::isPunctuation(c);
}

bool SearchSpecification::isStopWord(const std::u16string& word)
{
    std::string lower;
    lower.reserve(word.size());
    for (char16_t c : word) {
        const char16_t l = TextFolding::isApostrophe(c) ? TextFolding::kStraightApostrophe : TextFolding::toLower(c);
        if (l >= 0x80)
            return false;  // every stop word is plain ASCII
        lower.push_back(static_cast<char>(l));
    }
    const auto& table = sortedStopWords();
    return std::binary_search(table.begin(), table.end(), std::string_view(lower));
}

void SearchSpecification::skipWhitespace()
{
    while (!atEnd() && isInWhitespaceSet(current()))
        ++m_position;
}

bool SearchSpecification::isOr()
{
    skipWhitespace();
    if (atEnd())
        return false;
    if (current() == u'|') {
        ++m_position;
        return true;
    }
    const std::size_t p = static_cast<std::size_t>(m_position);
    if (m_searchSpec.size() - p >= 3 && m_searchSpec[p] == u'O' && m_searchSpec[p + 1] == u'R' &&
        isInWhitespaceSet(m_searchSpec[p + 2])) {
        m_position += 2;
        return true;
    }
    return false;
}

bool SearchSpecification::isQuote()
{
    skipWhitespace();
    if (!atEnd() && isQuoteMark(current())) {
        ++m_position;
        return true;
    }
    return false;
}

std::unique_ptr<std::u16string> SearchSpecification::parseTerm()
{
    static constexpr std::u16string_view kStops = u"\"*-?[_|";
    while (!atEnd()) {
        const char16_t c = current();
        if (kStops.find(c) != std::u16string_view::npos || isQuoteMark(c))
            break;
        if (!isInWhitespaceSet(c) && !isInPunctuationSet(c))
            break;
        ++m_position;
    }
    if (atEnd() || isQuoteMark(current()) || current() == u'-' || current() == u'|')
        return nullptr;

    const std::size_t start = static_cast<std::size_t>(m_position);
    bool inClass = false;
    while (!atEnd()) {
        const char16_t c = current();
        if (isInWhitespaceSet(c))
            break;
        if (inClass) {
            if (c == u']')
                inClass = false;
        } else if (endsTermOutsideClass(c)) {
            break;
        } else if (c == u'[') {
            inClass = true;
        }
        ++m_position;
    }
    // Punctuation that ends the word as typed ("love," "love." "(love)") is not part of it; the
    // pattern characters are kept. The leading side was skipped above.
    std::size_t end = static_cast<std::size_t>(m_position);
    while (end > start + 1 && isTrailingPunctuation(m_searchSpec[end - 1]))
        --end;
    return std::make_unique<std::u16string>(m_searchSpec.substr(start, end - start));
}

PhrasePtr SearchSpecification::parsePhrase()
{
    if (atEnd())
        return nullptr;
    const uint64_t start = m_position;
    const bool quoted = isQuote();
    auto term = parseTerm();
    if (!term) {
        m_position = start;
        return nullptr;
    }
    auto phrase = std::make_shared<Phrase>();
    // A hyphenated word outside quotes is a quoted phrase of its own parts; inside quotes its parts
    // are positions of the phrase.
    if (!quoted && hasInnerHyphen(*term)) {
        addHyphenParts(*phrase, *term);
        phrase->setQuoted(true);
        return phrase;
    }
    while (term) {
        if (quoted && hasInnerHyphen(*term)) {
            addHyphenParts(*phrase, *term);
            term = parseTerm();
            continue;
        }
        auto alternatives = std::make_shared<OredTerms>();
        alternatives->add(std::move(*term));
        // An OR followed by no plain word (a quoted phrase, an exclusion) ends an unquoted phrase
        // here: the list around it joins what follows as an alternative. It is never a word.
        bool orEndsPhrase = false;
        while (true) {
            const uint64_t beforeOr = m_position;
            if (!isOr())
                break;
            auto next = parseTerm();
            if (!next || (!quoted && hasInnerHyphen(*next))) {
                m_position = beforeOr;
                orEndsPhrase = !quoted;
                break;
            }
            alternatives->add(std::move(*next));
        }
        phrase->add(std::move(alternatives));
        if (orEndsPhrase)
            break;
        const uint64_t afterPosition = m_position;
        term = parseTerm();
        if (!term || (!quoted && hasInnerHyphen(*term))) {
            // A hyphenated word starts a phrase of its own.
            m_position = afterPosition;
            term.reset();
        }
    }
    if (!quoted)
        return phrase;
    if (isQuote()) {
        phrase->setQuoted(true);
        return phrase;
    }
    m_position = start;
    return nullptr;
}

PhraseListPtr SearchSpecification::parsePhraseList()
{
    if (atEnd())
        return nullptr;
    auto phrase = parsePhrase();
    if (!phrase)
        return nullptr;
    PhraseListPtr list;
    while (phrase) {
        auto alternatives = std::make_shared<OredPhrases>();
        alternatives->add(std::move(phrase));
        while (isOr()) {
            auto next = parsePhrase();
            if (!next)
                break;  // a dangling OR before an exclusion or the end: nothing to join
            alternatives->add(std::move(next));
        }
        if (!list)
            list = std::make_shared<PhraseList>();
        list->add(std::move(alternatives));
        const uint64_t afterPosition = m_position;
        phrase = parsePhrase();
        if (!phrase)
            m_position = afterPosition;
    }
    return list;
}

PhraseListPtr SearchSpecification::parseExclusionList()
{
    // Every minus adds the words after it to the list: "love -hate -fear" excludes both.
    PhraseListPtr list;
    while (!atEnd()) {
        const uint64_t start = m_position;
        skipWhitespace();
        if (atEnd() || current() != u'-') {
            m_position = start;
            break;
        }
        ++m_position;
        const PhraseListPtr more = parsePhraseList();
        if (!more)
            continue;
        if (!list)
            list = more;
        else
            for (const auto& ored : more->oredPhraseList())
                list->add(ored);
    }
    return list;
}
