#include "engine/bookfile/cBkSectionTextWriter.h"

#include <algorithm>
#include <mutex>

#include "engine/bookfile/BkEngineStrings.h"
#include "engine/bookfile/BkText.h"
#include "engine/bookfile/BkTextMarkers.h"
#include "engine/bookfile/BkTextTokens.h"
#include "engine/bookfile/cBkBookFile.h"
#include "engine/bookfile/cBkSearchHitHooks.h"
#include "engine/bookfile/cBkSectionTextConfiguration.h"
#include "engine/bookfile/cBkWordLinks.h"
#include "engine/foundation/CharacterClasses.h"
#include "engine/references/cBibleRef.h"
#include "search/core/cSearchWordList.h"

using namespace BkTextFormat;

namespace {

// Upper-cases the character at byte i; returns the byte length of what now stands there.
size_t upperCaseAt(std::string& s, size_t i)
{
    const unsigned char b = static_cast<unsigned char>(s[i]);
    if (b < 0xC0) {
        s[i] = static_cast<char>(toUpperChar8(b));
        return 1;
    }
    uint32_t c = 0;
    const int n = decodeUTF8Char(s.data() + i, s.data() + s.size(), c);
    if (n <= 1) {  // not a sequence: a Latin-1 byte
        s[i] = static_cast<char>(toUpperChar8(b));
        return 1;
    }
    if (c > 0xFFFF)
        return static_cast<size_t>(n);
    char encoded[4];
    const int m = encodeUTF8Char(toUpperChar16(static_cast<uint16_t>(c)), encoded);
    s.replace(i, static_cast<size_t>(n), encoded, static_cast<size_t>(m));
    return static_cast<size_t>(m);
}

size_t characterLength(const std::string& s, size_t i)
{
    if (static_cast<unsigned char>(s[i]) < 0xC0)
        return 1;
    uint32_t c = 0;
    const int n = decodeUTF8Char(s.data() + i, s.data() + s.size(), c);
    return n < 1 ? 1 : static_cast<size_t>(n);
}

void appendDecimal(std::string& out, uint32_t n)
{
    out += std::to_string(n);
}

// Inserts the link prefix after the opening quotation mark of every href=" and the suffix before
// the closing one.
void wrapHrefs(std::string& spelling, const cLString8* prefix, const cLString8* suffix)
{
    const std::string pre = prefix != nullptr ? bkStd(*prefix) : std::string();
    const std::string suf = suffix != nullptr ? bkStd(*suffix) : std::string();
    size_t from = 0;
    for (;;) {
        const size_t at = spelling.find("href=\"", from);
        if (at == std::string::npos)
            return;
        size_t value = at + 6;
        spelling.insert(value, pre);
        value += pre.size();
        const size_t close = spelling.find('"', value);
        if (close == std::string::npos)
            return;
        spelling.insert(close, suf);
        from = close + suf.size() + 1;
    }
}

bool flagSet(const bool* flag)
{
    return flag != nullptr && *flag;
}

// One rendering: the per-call flags and the decisions taken at its start.
class Rendering {
public:
    Rendering(cBkBookFile& book, bool rightToLeft, const cBkSectionTextConfiguration* config,
        const cBkTextRangeOptions& options, std::string& out)
        : m_book(book),
          m_reader(book),
          m_links(book),
          m_rtl(rightToLeft),
          m_config(config),
          m_options(options),
          m_out(out)
    {
        m_wordMarks = config == nullptr || !flagSet(config->suppressWordMarks);
        m_showStrongs = config == nullptr || !flagSet(config->omitStrongsNumbersInDecode);
        m_hasDefinitions = book.genInfo().hasWordAttributeDefs();
    }

    void decideHits(uint32_t start);
    void run(uint32_t start);

private:
    // The section whose text holds `start` (none when none) and where its text ends.
    uint32_t sectionAt(uint32_t start, uint32_t& sectionEnd);

    void write(const std::string& piece);
    void word(const cBkTextToken& t, std::string& piece);
    void punctuation(const cBkTextToken& t, std::string& piece);
    uint32_t attributeRun(cBkTextToken t, std::string& piece, uint32_t end);
    void reference(const cBkTextToken& t, std::string& piece);
    void literal(const cBkTextToken& t, std::string& piece);
    void applyCapitalisation(std::string& text);
    bool isHit(uint32_t number, const std::u16string& text, uint32_t after);

    cBkBookFile& m_book;
    cBkTextTokenReader m_reader;
    cBkWordLinks m_links;
    const bool m_rtl;
    const cBkSectionTextConfiguration* m_config;
    const cBkTextRangeOptions& m_options;
    std::string& m_out;
    bool m_wordMarks = true, m_showStrongs = true, m_hasDefinitions = false;

    bool m_sectionHasHits = false;
    const cSearchWordList* m_searchWords = nullptr;

    bool m_previousWasWord = false, m_inBrackets = false, m_languageOpen = false;
    bool m_capFirst = false, m_capAll = false, m_capHyphens = false, m_capMask = false;
    uint32_t m_mask = 0;
};

uint32_t Rendering::sectionAt(uint32_t start, uint32_t& sectionEnd)
{
    // The last-rendered-section cache: consecutive text nodes of one section skip the section search.
    uint32_t s0 = m_book.lastRenderedValue, s1 = 0;
    if (m_book.lastRenderedSection != BkResult::kNone && start >= s0) {
        uint32_t begin;
        m_links.sectionRange(m_book.lastRenderedSection, begin, s1);
        if (begin == s0 && start < s1) {
            sectionEnd = s1;
            return m_book.lastRenderedSection;
        }
    }
    const uint32_t section = m_book.sections().sectionForTextOffset(start);
    m_book.lastRenderedSection = section;
    m_book.lastRenderedValue = 0;
    sectionEnd = 0;
    if (section != BkResult::kNone)
        m_links.sectionRange(section, m_book.lastRenderedValue, sectionEnd);
    return section;
}

void Rendering::decideHits(uint32_t start)
{
    if (m_config == nullptr || !flagSet(m_config->highlightHits))
        return;
    uint32_t sectionEnd = 0;
    const uint32_t section = sectionAt(start, sectionEnd);
    if (section == BkResult::kNone)
        return;
    const cBkSearchHitHooks& hooks = cBkSearchHitHooks::current();
    if (m_config->searchHits != nullptr)
        m_sectionHasHits = hooks.resultContainsSection(m_config->searchHits, section);
    else if (m_config->search != nullptr)
        m_sectionHasHits = hooks.aggregatorHasSection(m_config->search.get(), section);
    else
        m_sectionHasHits = m_config->wordsToMark != nullptr;
    if (!m_sectionHasHits)
        return;
    if (m_config->wordsToMark != nullptr)
        m_searchWords = m_config->wordsToMark;
    else if (m_config->searchHits != nullptr)
        m_searchWords = hooks.resultWordList(m_config->searchHits);
    else if (m_config->search != nullptr)
        m_searchWords = hooks.aggregatorWordsForSection(m_config->search.get(), section);
}

bool Rendering::isHit(uint32_t number, const std::u16string& text, uint32_t after)
{
    if (!m_sectionHasHits || m_searchWords == nullptr)
        return false;
    for (uint32_t i = 0; i < m_searchWords->count(); ++i) {
        if (m_searchWords->hasBareWildcard(i))
            continue;
        if (m_links.wordMatchesSearchItem(*m_searchWords, i, number, &text, after))
            return true;
    }
    return false;
}

void Rendering::applyCapitalisation(std::string& text)
{
    if (m_capFirst)
        capitalizeFirstLetter(text);
    else if (m_capAll)
        capitalizeAllLetters(text);
    else if (m_capHyphens)
        capitalizeAfterHyphens(text);
    else if (m_capMask)
        capitalizeByMask(text, m_mask);
    m_capFirst = m_capAll = m_capHyphens = m_capMask = false;
}

void Rendering::write(const std::string& piece)
{
    if (piece.empty() || (!m_options.showBrackets && m_inBrackets))
        return;
    if (m_rtl)
        m_out.insert(0, piece);
    else
        m_out += piece;
}

void Rendering::word(const cBkTextToken& t, std::string& piece)
{
    std::string text;
    m_book.wordList().wordForNumber(t.number, text);
    applyCapitalisation(text);
    if (m_previousWasWord && !m_rtl)
        piece += ' ';
    if (m_wordMarks && !m_inBrackets)
        piece += BkTextMarker::kWordStart;
    piece += text;
    if (m_sectionHasHits && m_searchWords != nullptr && m_searchWords->count() > 0) {
        std::u16string text16;
        m_book.wordList().wordForNumber(t.number, text16);
        if (isHit(t.number, text16, t.next()))
            piece += BkTextMarker::kHitEnd;
    }
    if (m_rtl && m_previousWasWord)
        piece += ' ';
    m_previousWasWord = true;
}

void Rendering::punctuation(const cBkTextToken& t, std::string& piece)
{
    if (t.blankBefore && !m_out.empty() && m_out.back() != ' ')
        piece += ' ';
    std::string raw;
    if (cBkWordListStg* list = m_book.punctuation())
        list->wordForNumber(t.number, raw);
    const size_t textStart = piece.size();
    static const std::string kZeroWidthSpace = "\xE2\x80\x8B";
    for (size_t i = 0; i < raw.size(); ++i) {
        if (!m_showStrongs && raw.compare(i, 3, kZeroWidthSpace) == 0) {
            i += 2;
            continue;
        }
        switch (raw[i]) {
        case '&':
            piece += "&amp;";
            break;
        case '<':
            piece += "&lt;";
            break;
        case '>':
            piece += "&gt;";
            break;
        default:
            piece += raw[i];
            break;
        }
    }
    if (m_hasDefinitions && raw == kZeroWidthSpace && m_sectionHasHits && m_searchWords != nullptr &&
        m_searchWords->count() > 0 && isHit(t.number, u"\u200B", t.next())) {
        piece.erase(textStart);
        piece += BkTextMarker::kWordStart;
        piece += BkTextMarker::kVisibleHitMark;
        piece += BkTextMarker::kHitEnd;
    }
    if (t.blankAfter)
        piece += ' ';
    m_previousWasWord = false;
}

uint32_t Rendering::attributeRun(cBkTextToken t, std::string& piece, uint32_t end)
{
    const cBkWordAttributeDefs* defs = m_hasDefinitions ? &m_book.genInfo().wordAttributeDefs() : nullptr;
    bool any = false;
    for (;;) {
        const int32_t d = t.definition;
        bool shown = m_showStrongs && defs != nullptr && d < defs->definitionCount();
        if (shown && m_config != nullptr) {
            const cLIntArray& omitted = m_config->omittedWordAttributes;
            for (int32_t i = 0; i < omitted.count() && shown; ++i)
                shown = omitted.getAt(i) != -1 && omitted.getAt(i) != d;
        }
        if (shown) {
            any = true;
            piece += BkTextMarker::kAttributeStart;
            appendDecimal(piece, static_cast<uint32_t>(d));
            piece += BkTextMarker::kAttributeField;
            if (cBkWordListStg* words = m_book.attributeWordList(static_cast<size_t>(d))) {
                std::string value;
                words->wordForNumber(t.number, value);
                piece += value;
            } else {
                piece += "[ERROR]";
            }
            if (t.hasSecond || t.hasThird) {
                cBkWordListStg* texts = m_book.attributePrefixes();
                std::string before, after;
                if (texts != nullptr && t.hasSecond)
                    texts->wordForNumber(t.second, before);
                if (texts != nullptr && t.hasThird)
                    texts->wordForNumber(t.third, after);
                piece += BkTextMarker::kAttributeField;
                piece += before;
                piece += BkTextMarker::kAttributeField;
                piece += after;
            }
        }
        const uint32_t next = t.next();
        cBkTextToken following;
        if (next >= end || !m_reader.read(next, following) || !following.isAttribute()) {
            if (any)
                piece += BkTextMarker::kAttributesEnd;
            return next;
        }
        t = following;
    }
}

void Rendering::reference(const cBkTextToken& t, std::string& piece)
{
    cBibleRef ref;
    {
        std::lock_guard<cPlatformMutex> lock(m_book.scratchMutex());
        std::vector<uint8_t>& scratch = m_book.scratchBuffer();
        if (scratch.size() < t.payloadLength) {
            scratch.clear();
            scratch.shrink_to_fit();
            scratch.resize(t.payloadLength);
        }
        if (!m_reader.readBytes(t.payloadStart, scratch.data(), t.payloadLength))
            return;
        ref.decodeRecord(scratch.data(), t.payloadLength);
    }
    uint32_t flags = ref.hints() | kSpellUTF8;
    if (m_config != nullptr && flagSet(m_config->speakableVerseReferences))
        flags |= kSpellSpoken;
    else if (m_options.referenceLinks)
        flags |= kSpellKeyLink;
    ref.setLanguage(static_cast<int>(m_book.genInfo().languageNumber()));
    ref.formatSpelling(flags);
    std::string spelling = ref.spellingText();
    if (m_config != nullptr && (m_config->linkPrefix != nullptr || m_config->linkSuffix != nullptr))
        wrapHrefs(spelling, m_config->linkPrefix, m_config->linkSuffix);
    if (m_previousWasWord)
        piece += ' ';
    piece += spelling;
    m_previousWasWord = true;
}

void Rendering::literal(const cBkTextToken& t, std::string& piece)
{
    std::string text(t.payloadLength, '\0');
    if (t.payloadLength > 0 &&
        !m_reader.readBytes(t.payloadStart, reinterpret_cast<uint8_t*>(text.data()), t.payloadLength))
        text.clear();
    applyCapitalisation(text);
    if (m_previousWasWord && !m_rtl)
        piece += ' ';
    if (m_wordMarks)
        piece += BkTextMarker::kWordStart;
    piece += text;
    if (m_rtl && m_previousWasWord)
        piece += ' ';
    m_previousWasWord = true;
}

void Rendering::run(uint32_t start)
{
    // Nothing is ever read at or past the text end, whether or not an end-of-section code comes.
    uint32_t end = std::min(m_options.endPosition, m_reader.textEnd());
    const bool toEndOfSection = m_options.endPosition == cBkTextRangeOptions::kToEndOfSection;
    // Nor, when the walk looks for the end-of-section code, past the end of the section it starts in:
    // in a damaged text the code may be gone, and a walk per text node would then run on through the
    // rest of the book.
    if (toEndOfSection) {
        uint32_t sectionEnd = 0;
        if (sectionAt(start, sectionEnd) != BkResult::kNone)
            end = std::min(end, sectionEnd);
    }
    std::string piece;
    cBkTextToken t;
    uint32_t p = start;
    while (p < end) {
        if (!m_reader.read(p, t))
            break;
        if (t.lead == kEndOfSection && toEndOfSection)
            break;
        piece.clear();
        uint32_t next = t.next();
        if (t.isWord()) {
            word(t, piece);
        } else if (t.isPunctuation()) {
            punctuation(t, piece);
        } else if (t.isAttribute()) {
            next = attributeRun(t, piece, end);
        } else if (t.lead >= kCapitalFirst && t.lead <= kCapitalLast) {
            switch (t.capital) {
            case kCapitalInitial:
                m_capFirst = true;
                break;
            case kCapitalAll:
                m_capAll = true;
                break;
            case kCapitalHyphenated:
                m_capHyphens = true;
                break;
            case kCapitalMask:
                m_capMask = true;
                m_mask = t.mask;
                break;
            default:
                break;
            }
        } else if (t.lead >= kNoBlankFirst && t.lead <= kNoBlankLast) {
            m_previousWasWord = false;
        } else if (t.isInvalid()) {
            m_book.reportDamage(201);
            m_previousWasWord = false;
        } else {
            switch (t.lead) {
            case kBracketOpen:
            case kBracketOpenAlt:
                m_inBrackets = true;
                if (m_options.showBrackets)
                    piece = "[";
                break;
            case kBracketClose:
                if (m_options.showBrackets)
                    piece = "]";
                write(piece);
                piece.clear();
                m_inBrackets = false;
                break;
            case kLanguage:
                if (m_options.languageTags)
                    piece =
                        m_languageOpen ? std::string("</qs_lang>") : "<qs_lang value=" + std::to_string(t.number) + ">";
                m_languageOpen = !m_languageOpen;
                break;
            case kStrongsHebrew:
            case kStrongsGreek:
                if (m_showStrongs) {
                    const bool hebrew = t.lead == kStrongsHebrew;
                    piece += hebrew ? BkTextMarker::kStrongsHebrew : BkTextMarker::kStrongsGreek;
                    piece += hebrew ? 'h' : 'g';
                    appendDecimal(piece, t.number);
                    if (t.suffix != 0)
                        piece += static_cast<char>(t.suffix + 0x60);
                }
                break;
            case kReference:
                reference(t, piece);
                break;
            case kLiteral:
                literal(t, piece);
                break;
            default:
                break;
            }
        }
        write(piece);
        p = next;
    }
}

}  // namespace

void capitalizeFirstLetter(std::string& text)
{
    if (!text.empty())
        upperCaseAt(text, 0);
}

void capitalizeAllLetters(std::string& text)
{
    for (size_t i = 0; i < text.size();)
        i += upperCaseAt(text, i);
}

void capitalizeAfterHyphens(std::string& text)
{
    bool next = true;
    for (size_t i = 0; i < text.size();) {
        const bool hyphen = text[i] == '-';
        i += next ? upperCaseAt(text, i) : characterLength(text, i);
        next = hyphen;
    }
}

void capitalizeByMask(std::string& text, uint32_t mask)
{
    for (size_t i = 0; i < text.size() && mask != 0; mask <<= 1)
        i += (mask & 0x80000000u) ? upperCaseAt(text, i) : 1;
}

uint32_t cBkSectionTextWriter::renderTextRangeToHTML(cBkBookFile& book, uint32_t start, bool rightToLeft,
    const cBkSectionTextConfiguration* configuration, std::string& out, const cBkTextRangeOptions* options)
{
    const cBkTextRangeOptions defaults;
    const cBkTextRangeOptions& opts = options != nullptr ? *options : defaults;
    std::lock_guard<cPlatformMutex> lock(book.renderMutex());
    Rendering rendering(book, rightToLeft, configuration, opts, out);
    rendering.decideHits(start);
    rendering.run(start);
    return 0;
}

uint32_t cBkSectionTextWriter::renderTextRangeToHTML(cBkBookFile& book, uint32_t start, bool rightToLeft,
    const cBkSectionTextConfiguration* configuration, cLString8& out, const cBkTextRangeOptions* options)
{
    std::string text = bkStd(out);
    renderTextRangeToHTML(book, start, rightToLeft, configuration, text, options);
    bkAssign(out, text);
    return 0;
}
