#include "search/execution/cSearchExpressionResult.h"

#include <algorithm>

#include "documents/cBookDoc.h"
#include "engine/bookfile/cBkBookFile.h"
#include "engine/docbase/cSourceDoc.h"
#include "engine/foundation/cMsgBox.h"
#include "engine/references/cBibleRef.h"
#include "search/core/Metaphone.h"
#include "search/core/RecordIO.h"
#include "search/core/WildcardPattern.h"
#include "search/core/WordStemming.h"
#include "search/execution/SourceTupleSearchBook.h"

const char* expressionMessage(uint32_t code)
{
    switch (code) {
    case 0:
        return "The search was successful.";
    case 1:
        return "Nothing was entered.";
    case 2:
        return "An operator (AND, OR, etc.) was found where a word or phrase was expected.";
    case 3:
        return "Extra words or characters were found at the end.";
    case 4:
        return "There is an extra right parenthesis.";
    case 5:
        return "There is a left parenthesis without a corresponding right parenthesis.";
    case 6:
        return "There is an operator (AND, OR, etc.) at the end without anything following.";
    case 7:
        return "Too many parenthesis.";
    case 8:
        return "SYSTEM ERROR: An unexpected token was found.";
    case 9:
        return "The search was canceled.";
    case 10:
        return "There was insufficient memory to perform the search.";
    case 11:
        return "An unknown punctuation symbol was found.";
    default:
        return "SYSTEM ERROR: An unexpected error occurred while evaluating the expression.";
    }
}

namespace {

cLString16 engineString(const std::u16string& s)
{
    cLString16 w;
    for (char16_t c : s)
        w.appendChar(static_cast<unsigned short>(c));
    return w;
}

bool isStrongsLetter(char16_t c)
{
    return c == u'g' || c == u'G' || c == u'h' || c == u'H';
}
bool isDigit(char16_t c)
{
    return c >= u'0' && c <= u'9';
}
bool isBlank(char16_t c)
{
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
}

// ":", an optional "-", a Strong's letter and a digit at `at`.
bool strongsStartsAt(const std::u16string& s, std::size_t at)
{
    if (at >= s.size() || s[at] != u':')
        return false;
    std::size_t i = at + 1;
    if (i < s.size() && s[i] == u'-')
        ++i;
    return i + 1 < s.size() && isStrongsLetter(s[i]) && isDigit(s[i + 1]);
}

// A word typed as a Strong's number: an optional "-", a letter and at least one digit, nothing else.
bool wordIsStrongsNumber(const std::u16string& s)
{
    std::size_t i = s.size() > 0 && s[0] == u'-' ? 1 : 0;
    if (i >= s.size() || !isStrongsLetter(s[i]))
        return false;
    ++i;
    if (i >= s.size())
        return false;
    for (; i < s.size(); ++i)
        if (!isDigit(s[i]))
            return false;
    return true;
}

std::u16string trimmed(const std::u16string& s)
{
    std::size_t a = 0, b = s.size();
    while (a < b && isBlank(s[a]))
        ++a;
    while (b > a && isBlank(s[b - 1]))
        --b;
    return s.substr(a, b - a);
}

std::u16string lowered(std::u16string s)
{
    for (char16_t& c : s)
        c = TextFolding::toLower(c);
    return s;
}

}  // namespace

bool cSearchExpressionResult::reset(const void* options)
{
    m_hitCount = 0;
    m_hits.reset();
    m_searchWords.removeAll();
    m_hitPosition.reset();
    const auto* o = static_cast<const Options*>(options);
    m_document = o != nullptr ? o->document : nullptr;
    m_limitSet = o != nullptr ? o->limitSet : nullptr;
    m_limitWords = o != nullptr ? o->limitWords : nullptr;
    m_optionWord = o != nullptr ? o->optionWord : 0;
    m_proximity = o != nullptr ? o->proximity : 0;
    m_errorCode = 0;
    m_errorMessage.clear();
    return true;
}

bool cSearchExpressionResult::finish()
{
    if (m_hits == nullptr)
        return false;
    m_hitCount = m_hits->count(1);
    m_document = nullptr;
    m_limitSet = nullptr;
    m_proximity = 0;
    m_limitWords = nullptr;
    m_optionWord = 0;
    return true;
}

void cSearchExpressionResult::setError(uint32_t code, const std::string& message)
{
    m_errorCode = code;
    m_errorMessage = message;
}

std::unique_ptr<cSearchExpressionResult> cSearchExpressionResult::makeOperand() const
{
    return std::make_unique<cSearchExpressionResult>();
}

int cSearchExpressionResult::isOperatorWord(const std::u16string& token) const
{
    if (token == u"AND" || token == u"&")
        return 0;
    if (token == u"OR" || token == u"+")
        return 1;
    if (token == u"XOR" || token == u"^")
        return 2;
    if (token == u"NOT" || token == u"#")
        return 3;
    if (token == u"NEAR" || token == u"~")
        return 4;
    return 5;
}

bool cSearchExpressionResult::failTerm(uint32_t code, const std::string& message)
{
    m_hits.reset();
    m_hitCount = 0;
    setError(code, message);
    return false;
}

bool cSearchExpressionResult::evaluateTerm(const std::u16string& term)
{
    if (m_document == nullptr)
        return false;
    const uint32_t n = m_document->GetNumSections();
    const std::shared_ptr<SourceTupleSearchBook> handle = SourceTupleSearchBook::forDocument(m_document);
    const SearchBook& book = *handle;
    const bool strongsBook = book.docSupports(kDocSupportsStrongsGreek) || book.docSupports(kDocSupportsStrongsHebrew);
    const auto* bookDoc = dynamic_cast<const cBookDoc*>(m_document);
    const bool hasSoundList = bookDoc != nullptr && bookDoc->bookFile() != nullptr && bookDoc->bookFile()->phonetic();
    const bool hasStemList = bookDoc != nullptr && bookDoc->bookFile() != nullptr && bookDoc->bookFile()->stemmed();
    m_hits = std::make_unique<cBitVector>(n);
    bool first = true;
    int pieces = 0;
    bool previousNumbered = false;  // the word before a Strong's piece was looked up by its number
    bool previousOpen = false;      // ... or was a pattern or a negation (it stands for all sections)
    std::u16string rest = trimmed(term);
    // Every piece consumes at least one unit of the rest, so the walk ends.
    while (!rest.empty()) {
        std::u16string piece;
        bool strongs = false;
        // A piece that opens with ":" is an attribute piece; it must name a Strong's number.
        if (rest[0] == u':') {
            strongs = true;
            std::size_t end = 1;
            while (end < rest.size() && !isBlank(rest[end]))
                ++end;
            piece = rest.substr(1, end - 1);
            rest = trimmed(rest.substr(end));
        } else {
            std::size_t end = 0;
            while (end < rest.size() && !isBlank(rest[end]) && !(end > 0 && strongsStartsAt(rest, end)))
                ++end;
            piece = rest.substr(0, end);
            rest = trimmed(rest.substr(end));
        }
        if (piece.empty())
            continue;
        ++pieces;
        if (!strongs && strongsBook && wordIsStrongsNumber(piece)) {
            // A Strong's number typed as a word means any word tagged with it.
            rest = u":" + piece + u" " + rest;
            piece = u"*";
        }
        bool negated = false;
        bool derived = false;
        if (!strongs && piece.size() > 1 && piece[0] == u'$') {
            if (hasSoundList) {
                const std::u16string key =
                    lowered(TextFolding::utf8ToUtf16(metaphoneKey(std::u16string_view(piece).substr(1))));
                piece = u"$" + key;
                derived = true;
            } else {
                piece = piece.substr(1);
            }
        } else if (!strongs && piece.size() > 1 && piece[0] == u'@') {
            if (hasStemList) {
                const std::u16string stem = lowered(TextFolding::utf8ToUtf16(
                    stemWordForLanguage(TextFolding::utf16ToUtf8(piece.substr(1)), book.bookLanguage())));
                piece = stem.empty() ? piece.substr(1) : u"@" + stem;
                derived = !stem.empty();
            } else {
                piece = piece.substr(1);
            }
        } else if (piece.size() > 1 && piece[0] == u'-') {
            negated = true;
            piece = piece.substr(1);
        }
        cBitVector* set = nullptr;
        std::unique_ptr<cBitVector> own;
        if (strongs) {
            if (piece.empty() || !isStrongsLetter(piece[0]))
                return failTerm(kBadStrongsNumber,
                    TextFolding::utf16ToUtf8(piece) +
                        " is not a valid Strong's number. Correct this error and try again.");
            const bool hebrew = piece[0] == u'h' || piece[0] == u'H';
            piece[0] = hebrew ? u'H' : u'G';
            const std::u16string attribute = (negated ? u"-" : u"") + piece;
            // A Strong's piece with no word before it qualifies a word "*".
            if (m_searchWords.count() == 0)
                m_searchWords.appendItem(u"*", kSearchNoWord, false, nullptr);
            const AnItem& last = m_searchWords.itemAt(m_searchWords.count() - 1);
            m_searchWords.setForm(m_searchWords.count() - 1, 0, last.hasWord ? last.word.c_str() : nullptr,
                last.wordNumber, last.isCanonicalNumber != 0, attribute.c_str());
            if ((hasWildcard(piece) || negated) && (previousNumbered || previousOpen)) {
                own = std::make_unique<cBitVector>(n);
                own->setAll();
                own->clear(0);
            } else {
                const cLString16 number = engineString((negated ? u"-" : u"") + piece.substr(1));
                uint32_t count = 0;
                if (hebrew)
                    m_document->SearchStrongsHebrewConcordance(number, set, count);
                else
                    m_document->SearchStrongsGreekConcordance(number, set, count);
                own.reset(set);
            }
        } else {
            const bool pattern = hasWildcard(piece) || negated || derived;
            uint32_t number = kSearchNoWord;
            bool canonical = false;
            if (!pattern) {
                std::u16string marked(1, u'\xFFFF');
                marked += TextFolding::foldToBaseLetters(piece);
                number = m_document->CanonicalWordNumber(engineString(marked), false);
                if (number != kSearchNoWord) {
                    canonical = true;
                } else {
                    number = m_document->CanonicalWordNumber(engineString(piece), false);
                }
                if (number == kSearchNoWord || !m_document->IsOpen()) {
                    m_hits->clearAll();
                    m_hitCount = 0;
                    m_searchWords.removeAll();
                    return true;
                }
            }
            const std::u16string recorded = negated ? u"-" + piece : piece;
            const int stored = pattern ? m_searchWords.appendItem(recorded.c_str(), kSearchNoWord, false, nullptr)
                                       : m_searchWords.appendItem(nullptr, number, canonical, nullptr);
            if (stored != 0)
                return failTerm(kExprOutOfMemory, expressionMessage(kExprOutOfMemory));
            const bool followedByAttribute = strongsStartsAt(rest, 0);
            previousNumbered = !pattern;
            previousOpen = pattern;
            if ((pattern && followedByAttribute && !derived) || (negated && (pieces > 1 || !rest.empty()))) {
                own = std::make_unique<cBitVector>(n);
                own->setAll();
                own->clear(0);
            } else if (derived) {
                BitVector v(n);
                if (piece[0] == u'$') {
                    const uint32_t w = book.metaphoneWordNumberForString(piece.substr(1));
                    if (piece.size() >= 3 && w != kSearchNoWord)
                        book.resultsFromMetaphoneConcordanceForWordNum(w, v);
                } else {
                    const uint32_t w = book.stemmerWordNumberForString(piece.substr(1));
                    if (piece.size() >= 3 && w != kSearchNoWord)
                        book.resultsFromStemmerConcordanceForWordNum(w, v);
                }
                own = std::make_unique<cBitVector>(n);
                if (v.getCBitVector() != nullptr)
                    own->assign(*v.getCBitVector());
            } else if (pattern) {
                uint32_t count = 0;
                m_document->SearchMainConcordance(engineString(piece), set, count);
                own.reset(set);
                if (negated) {
                    if (own == nullptr)
                        own = std::make_unique<cBitVector>(n);
                    own->flipAll();
                    own->clear(0);
                }
            } else {
                uint32_t count = 0;
                m_document->SearchMainConcordanceByWordNumber(number, set, count);
                own.reset(set);
            }
        }
        if (own == nullptr)
            own = std::make_unique<cBitVector>(n);
        if (own->size() != n)
            own->reallocate(n);
        if (first)
            m_hits->assign(*own);
        else
            m_hits->andVector(*own);
        first = false;
    }
    if (first || m_hits->count(1) == 0) {
        m_hits->clearAll();
        m_hitCount = 0;
        return true;
    }
    if (m_limitSet != nullptr && m_limitSet->size() == n)
        m_hits->andVector(*m_limitSet);
    if (pieces > 1) {
        static const cLIntArray noWords;
        const cLIntArray& limitWords = m_limitWords != nullptr ? *m_limitWords : noWords;
        for (uint32_t s = m_hits->first(1); s != cBitVector::kNone; s = m_hits->nextAfter(s, 1))
            if (!m_document->IsPhrasePresentInSection(s, m_searchWords, limitWords))
                m_hits->clear(s);
    }
    m_hitCount = m_hits->count(1);
    return true;
}

bool cSearchExpressionResult::applyOperator(const std::u16string& op, cSearchExpressionResult& right)
{
    if (m_errorCode != 0)
        return false;
    if (right.m_errorCode != 0) {
        setError(right.m_errorCode, right.m_errorMessage);
        return false;
    }
    if (m_document == nullptr || m_hits == nullptr)
        return false;
    const uint32_t n = m_hits->size();
    cBitVector other(n);
    if (right.m_hits != nullptr && right.m_hits->size() == n)
        other.assign(*right.m_hits);
    const int code = isOperatorWord(op);
    switch (code) {
    case 0:
        m_hits->andVector(other);
        break;
    case 1:
        m_hits->orVector(other);
        break;
    case 2:
        m_hits->xorVector(other);
        break;
    case 3:
        other.flipAll();
        m_hits->andVector(other);
        return true;
    case 4: {
        cBitVector either(n);
        either.assign(*m_hits);
        either.orVector(other);
        m_hits->widen(m_proximity);
        other.widen(m_proximity);
        m_hits->andVector(other);
        m_hits->andVector(either);
        break;
    }
    default:
        return true;
    }
    for (uint32_t i = 0; i < right.m_searchWords.count(); ++i) {
        const AnItem& f = right.m_searchWords.itemAt(i);
        if (m_searchWords.appendItem(f.hasWord ? f.word.c_str() : nullptr, f.wordNumber, f.isCanonicalNumber != 0,
                f.attribute.empty() ? nullptr : f.attribute.c_str()) != 0) {
            setError(kExprOutOfMemory, expressionMessage(kExprOutOfMemory));
            return false;
        }
    }
    return true;
}

bool cSearchExpressionResult::evaluateWith(const std::u16string& expression, const Options& options)
{
    if (!reset(&options)) {
        cMsgBox().show(kSearchEvaluationMessage);
        return false;
    }
    cExpressionParser<cSearchExpressionResult> parser(expression, &options);
    return parser.evaluate(*this) == 0;
}

bool cSearchExpressionResult::evaluate(
    const std::u16string& expression, const std::u16string& limitExpression, cSourceDoc* document)
{
    m_errorCode = 0;
    m_errorMessage.clear();
    if (document == nullptr) {
        cMsgBox().show(kSearchEvaluationMessage);
        return false;
    }
    const uint32_t n = document->GetNumSections();
    cBitVector* limitSet = nullptr;
    cLIntArray limitWords;
    const uint32_t r = document->ApplyLimitExpression(
        engineString(limitExpression), limitSet, limitWords, 0, n == 0 ? 0 : n - 1, nullptr, false);
    std::unique_ptr<cBitVector> limit(limitSet);
    if (r != 0) {
        cMsgBox().show(static_cast<int32_t>(r));
        return false;
    }
    Options options;
    options.document = document;
    options.limitSet = limit.get();
    options.limitWords = &limitWords;
    options.proximity = document->GetFindProximity();
    if (!evaluateWith(expression, options))
        return false;
    m_expression = expression;
    m_limitExpression = limitExpression;
    return true;
}

bool cSearchExpressionResult::searchSectionRange(const std::u16string* expression,
    const std::u16string* limitExpression, cSourceDoc* document, uint32_t first, uint32_t last,
    const cBibleRef* reference, bool flag)
{
    if (first > last || document == nullptr || m_hits == nullptr)
        return false;
    const std::u16string expr = expression != nullptr ? *expression : m_expression;
    const std::u16string limitText = limitExpression != nullptr ? *limitExpression : m_limitExpression;
    const uint32_t n = document->GetNumSections();
    cBitVector kept(n);
    kept.assign(*m_hits);
    if (kept.size() != n)
        kept.reallocate(n);
    kept.clearRange(first, last);
    cBitVector* limitSet = nullptr;
    cLIntArray limitWords;
    const uint32_t r =
        document->ApplyLimitExpression(engineString(limitText), limitSet, limitWords, first, last, reference, flag);
    std::unique_ptr<cBitVector> limit(limitSet);
    if (r != 0) {
        cMsgBox().show(static_cast<int32_t>(r));
        return false;
    }
    if (limit == nullptr)
        limit = std::make_unique<cBitVector>(n);
    if (first > 0)
        limit->clearRange(0, first - 1);
    if (last + 1 < n)
        limit->clearRange(last + 1, n - 1);
    cRenderParams position;
    position.assign(m_hitPosition);
    std::unique_ptr<cBitVector> previous = std::make_unique<cBitVector>(0);
    previous->assign(*m_hits);
    cSearchWordList previousWords = m_searchWords;
    Options options;
    options.document = document;
    options.limitSet = limit.get();
    options.limitWords = &limitWords;
    options.proximity = document->GetFindProximity();
    if (!evaluateWith(expr, options) || m_hits == nullptr) {
        m_hits = std::move(previous);
        m_hitCount = m_hits->count(1);
        m_searchWords = std::move(previousWords);
        m_hitPosition.assign(position);
        return false;
    }
    if (m_hits->size() == kept.size())
        m_hits->orVector(kept);
    m_hitCount = m_hits->count(1);
    m_hitPosition.assign(position);
    const uint32_t top = m_hitCount == 0 ? 0 : m_hitCount - 1;
    if (m_hitPosition.getOption0100() != 0xFFFFFFFF)
        m_hitPosition.setOption0100(std::min(m_hitPosition.getOption0100(), top));
    if (m_hitPosition.firstBlockOfPair() != 0xFFFFFFFF)
        m_hitPosition.setBlockPair(
            std::min(m_hitPosition.firstBlockOfPair(), top), std::min(m_hitPosition.secondBlockOfPair(), top));
    m_expression = expr;
    m_limitExpression = limitText;
    return true;
}

bool cSearchExpressionResult::serialize(int direction, std::FILE* file)
{
    constexpr uint32_t kVersion = 1;
    if (file == nullptr)
        return false;
    if (direction != 0) {
        cBitVector empty(0);
        cBitVector* hits = m_hits != nullptr ? m_hits.get() : &empty;
        return RecordIO::writeU32(file, kVersion) && RecordIO::writeU32(file, m_hitCount) && hits->serialize(1, file) &&
            m_searchWords.serialize(1, file) && RecordIO::writeUtf16String(file, m_expression) &&
            RecordIO::writeUtf16String(file, m_limitExpression);
    }
    uint32_t version = 0, count = 0;
    if (!RecordIO::readU32(file, version) || version != kVersion || !RecordIO::readU32(file, count))
        return false;
    if (m_hits == nullptr)
        m_hits = std::make_unique<cBitVector>(0);
    if (!m_hits->serialize(0, file) || !m_searchWords.serialize(0, file) ||
        !RecordIO::readUtf16String(file, m_expression) || !RecordIO::readUtf16String(file, m_limitExpression))
        return false;
    // The count is the hit set's own, whatever the record says.
    (void)count;
    m_hitCount = m_hits->count(1);
    return true;
}

bool cSearchExpressionResult::containsSection(uint32_t section) const
{
    return m_hits != nullptr && section < m_hits->size() && m_hits->test(section);
}

uint32_t cSearchExpressionResult::sectionForHit(uint32_t n) const
{
    if (m_hits == nullptr || n >= m_hits->count(1))
        return cBitVector::kNone;
    return m_hits->nth(n, 1);
}
