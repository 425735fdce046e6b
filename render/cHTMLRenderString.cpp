#include "render/cHTMLRenderString.h"

#include <cctype>
#include <cstdlib>
#include <strings.h>

#include "engine/bookfile/BkEngineStrings.h"
#include "engine/bookfile/BkTextMarkers.h"
#include "engine/bookfile/cBkBookFile.h"
#include "engine/references/cBibleRef.h"
#include "render/BookSectionTreeProvider.h"
#include "render/HTMLInterlinear.h"
#include "render/cHTMLColor.h"
#include "render/cHTMLRenderConfiguration.h"

namespace {

constexpr int kMaxDepth = 256;

bool isHeading(HTMLTagCode t)
{
    return t >= HTMLTag::h1 && t <= HTMLTag::h9;
}
bool set(const cLString8* s)
{
    return s != nullptr && !s->isEmpty();
}
std::string str(const cLString8* s)
{
    return s != nullptr ? bkStd(*s) : std::string();
}

std::int32_t listNumber(const std::string& value)
{
    const long n = std::strtol(value.c_str(), nullptr, 10);
    return n < 2 ? 1 : static_cast<std::int32_t>(n > 0x7FFFFFFF ? 0x7FFFFFFF : n);
}

}  // namespace

class cHTMLRenderString::Walk {
public:
    Walk(cHTMLRenderString& owner, std::uint32_t firstSection, std::uint32_t firstText, std::uint32_t lastSection,
        std::uint32_t lastText, std::string& out)
        : m(owner),
          m_firstSection(firstSection),
          m_firstText(firstText),
          m_lastSection(lastSection),
          m_lastText(lastText),
          m_out(out)
    {
    }

    void chain(cHTMLTagElement* node, int depth);

private:
    void lineBreak()
    {
        if (!m_out.empty() && m_out.back() != '\n')
            m_out += "\r\n";
    }
    void indentation()
    {
        if (m.m_indent > 0 && (m_out.empty() || m_out.back() == '\n'))
            m_out.append(static_cast<size_t>(m.m_indent), ' ');
    }
    bool inRange(std::uint32_t p) const { return p >= m_firstText && p <= m_lastText; }
    bool hasPositionInRange(cHTMLTagElement* node, int depth);
    bool skipped(cHTMLTagElement* node);
    std::string leafText(cHTMLTagElement* node);
    void linkText(cHTMLTagElement* node);
    void verseMarker(cHTMLTagElement* node);
    // A Strong's number's suffix letter belongs to its own marker: when the text written so far ends
    // in a number without one and the next text node starts with a letter or digit (a skipped note
    // left the two side by side), a word-start mark keeps the next word out of the number.
    void separateFromStrongsNumber(const std::string& next)
    {
        if (next.empty() || !std::isalnum(static_cast<unsigned char>(next[0])))
            return;
        size_t i = m_out.size();
        while (i > 0 && std::isdigit(static_cast<unsigned char>(m_out[i - 1])))
            --i;
        if (i == m_out.size() || i < 2)
            return;
        const char letter = m_out[i - 1], marker = m_out[i - 2];
        if ((marker == BkTextMarker::kStrongsHebrew && letter == 'h') ||
            (marker == BkTextMarker::kStrongsGreek && letter == 'g'))
            m_out += BkTextMarker::kWordStart;
    }
    // Opening actions; false when the content is to be skipped.
    bool open(cHTMLTagElement* node, std::int32_t& savedCounter, char& savedStyle);
    void close(cHTMLTagElement* node, std::int32_t savedCounter, char savedStyle);
    void visit(cHTMLTagElement* node, int depth);

    cHTMLRenderString& m;
    const std::uint32_t m_firstSection, m_firstText, m_lastSection, m_lastText;
    std::string& m_out;
    bool m_stopped = false;
};

bool cHTMLRenderString::Walk::hasPositionInRange(cHTMLTagElement* node, int depth)
{
    const std::string own = node->attributes().valueForCode(HTMLAttr::textat);
    if (!own.empty() && inRange(static_cast<std::uint32_t>(std::strtoul(own.c_str(), nullptr, 10))))
        return true;
    if (depth >= kMaxDepth)
        return false;
    for (cHTMLTagElement* c = node->firstChild(); c != nullptr; c = c->nextSibling())
        if (hasPositionInRange(c, depth + 1))
            return true;
    return false;
}

bool cHTMLRenderString::Walk::skipped(cHTMLTagElement* node)
{
    const std::uint32_t section = node->sectionNumber();
    if (section < m_firstSection || section > m_lastSection)
        return true;
    if (hasPositionInRange(node, 0))
        return false;
    // The next text position is looked for no further than the section after the range: a position
    // found later lies past the range whatever it is, and in a book whose blocks carry no positions
    // (a damaged node storage) each search would otherwise read thousands of blocks.
    std::uint32_t position = 0;
    const std::uint32_t limit = m_lastSection == cHTMLParser::kNoSection ? m_lastSection : m_lastSection + 1;
    return !(m.m_parser.findTextPosition(node, &position, true, limit) && inRange(position));
}

std::string cHTMLRenderString::Walk::leafText(cHTMLTagElement* node)
{
    if (!node->attributes().hasCode(HTMLAttr::untagged_text) && node->attributes().hasCode(HTMLAttr::textat)) {
        const std::uint16_t language = m.m_configuration != nullptr && m.m_configuration->languageNumber != nullptr
            ? *m.m_configuration->languageNumber
            : 0;
        m.m_parser.requestTextNode(node, language, false, m.m_configuration);
    }
    return node->attributes().valueForCode(HTMLAttr::untagged_text);
}

void cHTMLRenderString::Walk::linkText(cHTMLTagElement* node)
{
    cHTMLTagElement* holder = node->firstChild() != nullptr ? node->firstChild() : node;
    const std::string text = leafText(holder);
    size_t i = 0;
    while (i < text.size()) {
        if (text.compare(i, 8, "<a href=") == 0) {
            const size_t gt = text.find('>', i);
            i = gt == std::string::npos ? text.size() : gt + 1;
            if (i < text.size() && text[i] == '"')
                ++i;
        } else if (text.compare(i, 4, "</a>") == 0) {
            i += 4;
        } else {
            size_t lt = text.find('<', i + 1);
            if (lt == std::string::npos)
                lt = text.size();
            indentation();
            m_out.append(text, i, lt - i);
            i = lt;
        }
    }
}

void cHTMLRenderString::Walk::verseMarker(cHTMLTagElement* node)
{
    const cHTMLRenderConfiguration* config = m.m_configuration;
    if (config == nullptr || !set(config->verseMarkerSwitch) || !m.m_contextIsBook)
        return;
    auto* book = static_cast<cBkBookFile*>(m.m_context);
    const cHTMLAttributeList& a = node->attributes();
    if (!book->genInfo().headerFlag0() || !a.hasCode(HTMLAttr::value) ||
        strcasecmp(a.valueForCode(HTMLAttr::display).c_str(), "now") != 0)
        return;
    if (book->genInfo().noVerseNumbersFlag() && !set(config->verseNumberOverrideText))
        return;
    if (config->hideVerseNumbers != nullptr && *config->hideVerseNumbers)
        return;
    // The translation the book's name or abbreviated title names; a book that names none is spelled
    // with its abbreviated title in the translation's place.
    const std::int32_t translation = bookTranslationNumber(*book);
    cBibleRef ref;
    ref.setLanguage(static_cast<int>(book->genInfo().languageNumber()));
    const std::string value = a.valueForCode(HTMLAttr::value);
    char* end = nullptr;
    const unsigned long key = std::strtoul(value.c_str(), &end, 10);
    if (!value.empty() && end != nullptr && *end == '\0') {
        ref.setFromKey(static_cast<packedBibleKey>(key));
    } else {
        std::int32_t position = 0;
        ref.parse(value.c_str(), position);
    }
    if (translation != 0)
        ref.setTranslation(translation);
    const packedBibleKey k = ref.startKey();
    std::uint32_t flags;
    if (m.m_firstVerseMarker) {
        flags = kSpellTranslation;
        m.m_firstVerseMarker = false;
    } else if (bibleKeyChapter(k) == 1 && bibleKeyVerse(k) == 1) {
        flags = 0;
    } else if (bibleKeyVerse(k) == 1 && !cBibleRef::isOneChapterBook(bibleKeyBook(k))) {
        flags = kSpellNoBook;
    } else {
        flags = kSpellVerseOnly;
    }
    std::string spelled;
    if ((flags & kSpellTranslation) != 0 && translation == 0) {
        ref.formatSpelling(kSpellUTF8);
        std::string title;
        book->genInfo().abbreviatedTitle(title, false);
        spelled = ref.spellingText();
        if (!title.empty())
            spelled += " " + title;
    } else {
        ref.formatSpelling(flags | kSpellUTF8);
        spelled = ref.spellingText();
    }
    indentation();
    m_out += str(config->verseMarkerPrefix) + spelled + str(config->verseMarkerSuffix) + " ";
}

bool cHTMLRenderString::Walk::open(cHTMLTagElement* node, std::int32_t& savedCounter, char& savedStyle)
{
    const HTMLTagCode tag = node->tagCode();
    const cHTMLAttributeList& a = node->attributes();
    const cHTMLRenderConfiguration* config = m.m_configuration;
    switch (tag) {
    case HTMLTag::blockquote:
        lineBreak();
        ++m.m_indent;
        return true;
    case HTMLTag::br:
    case HTMLTag::hr:
    case HTMLTag::p:
    case HTMLTag::td:
    case HTMLTag::th:
    case HTMLTag::dt:
        lineBreak();
        return true;
    case HTMLTag::dd:
        lineBreak();
        ++m.m_indent;
        return true;
    case HTMLTag::ol:
    case HTMLTag::ul:
    case HTMLTag::dir: {
        savedCounter = m.m_listCounter;
        savedStyle = m.m_listStyle;
        const bool ordered = tag == HTMLTag::ol;
        m.m_listCounter = ordered ? 1 : -1;
        m.m_listStyle = ordered ? '1' : 'd';
        const std::string type = a.valueForCode(HTMLAttr::type);
        if (!type.empty())
            m.m_listStyle = type[0];
        if (ordered && a.hasCode(HTMLAttr::start))
            m.m_listCounter = listNumber(a.valueForCode(HTMLAttr::start));
        ++m.m_indent;
        return true;
    }
    case HTMLTag::li: {
        lineBreak();
        indentation();
        const std::string type = a.valueForCode(HTMLAttr::type);
        if (!type.empty())
            m.m_listStyle = type[0];
        if (m.m_listCounter < 0) {
            const char style = static_cast<char>(std::tolower(static_cast<unsigned char>(m.m_listStyle)));
            m.m_listStyle = (style == 'c' || style == 's') ? style : 'd';
            m_out += m.m_listStyle == 'c' ? "o " : m.m_listStyle == 's' ? "- " : "* ";
            return true;
        }
        if (std::string("1aAiI").find(m.m_listStyle) == std::string::npos || m.m_listStyle == 0)
            m.m_listStyle = '1';
        if (a.hasCode(HTMLAttr::value))
            m.m_listCounter = listNumber(a.valueForCode(HTMLAttr::value));
        const std::int32_t n = m.m_listCounter;
        if (m.m_listStyle == 'a' || m.m_listStyle == 'A') {
            m_out += static_cast<char>(m.m_listStyle + (n - 1) % 26);
        } else if (m.m_listStyle == 'i' || m.m_listStyle == 'I') {
            std::string roman;
            formatRomanNumeral(n, m.m_listStyle == 'i', roman);
            m_out += roman;
        } else {
            m_out += std::to_string(n);
        }
        m_out += ". ";
        if (m.m_listCounter < 0x7FFFFFFF)
            ++m.m_listCounter;
        return true;
    }
    case HTMLTag::img: {
        indentation();
        std::string alt = a.valueForCode(HTMLAttr::alt);
        if (alt.empty())
            alt = a.valueForCode(HTMLAttr::src);
        m_out += "[" + alt + "]";
        return true;
    }
    case HTMLTag::qs_lang:
        return config == nullptr || config->languageNumber == nullptr ||
            HTMLInterlinear::languageForValue(a.valueForCode(HTMLAttr::value)) == *config->languageNumber;
    case HTMLTag::qs_link:
        linkText(node);
        return false;
    case HTMLTag::qs_note:
        if (config != nullptr && set(config->noteMarkerText)) {
            m_out += "[*";
            return true;
        }
        return false;
    case HTMLTag::qs_sync:
        if (strcasecmp(a.valueForCode(HTMLAttr::type).c_str(), "verse") == 0)
            verseMarker(node);
        return true;
    default:
        if (isHeading(tag))
            lineBreak();
        return true;
    }
}

void cHTMLRenderString::Walk::close(cHTMLTagElement* node, std::int32_t savedCounter, char savedStyle)
{
    const HTMLTagCode tag = node->tagCode();
    switch (tag) {
    case HTMLTag::blockquote:
        lineBreak();
        --m.m_indent;
        break;
    case HTMLTag::p:
        lineBreak();
        break;
    case HTMLTag::dd:
        lineBreak();
        --m.m_indent;
        break;
    case HTMLTag::ol:
    case HTMLTag::ul:
    case HTMLTag::dir:
        m.m_listCounter = savedCounter;
        m.m_listStyle = savedStyle;
        lineBreak();
        --m.m_indent;
        break;
    case HTMLTag::hr:
    case HTMLTag::li:
        lineBreak();
        break;
    case HTMLTag::qs_note:
        if (m.m_configuration != nullptr && set(m.m_configuration->noteMarkerText))
            m_out += "]";
        break;
    default:
        if (isHeading(tag))
            lineBreak();
        break;
    }
}

void cHTMLRenderString::Walk::visit(cHTMLTagElement* node, int depth)
{
    if (skipped(node))
        return;
    std::int32_t savedCounter = 0;
    char savedStyle = 0;
    if (open(node, savedCounter, savedStyle)) {
        if (node->firstChild() != nullptr) {
            if (depth < kMaxDepth)
                chain(node->firstChild(), depth + 1);
        } else if (node->attributes().hasCode(HTMLAttr::untagged_text) ||
            node->attributes().hasCode(HTMLAttr::textat)) {
            const std::string text = leafText(node);
            if (!text.empty()) {
                indentation();
                separateFromStrongsNumber(text);
                m_out += text;
            }
        }
    }
    close(node, savedCounter, savedStyle);
}

void cHTMLRenderString::Walk::chain(cHTMLTagElement* node, int depth)
{
    cHTMLTagElement* root = m.m_parser.rootElement();
    while (node != nullptr && !m_stopped) {
        visit(node, depth);
        cHTMLTagElement* next = node->nextSibling();
        if (next == nullptr && node->parent() == root) {
            // A section that cannot be parsed ends the walk, keeping what was written.
            cHTMLTagElement* added = nullptr;
            if (node->sectionNumber() >= m_lastSection || !m.m_parser.parseNextSection(&added) || added == nullptr) {
                m_stopped = true;
                return;
            }
            next = added;
        }
        node = next;
    }
}

bool cHTMLRenderString::parseFromText(HTMLTextSourceCallback callback, void* context)
{
    if (callback == nullptr) {
        m_parser.setTextSource(templateConditionalReader, context != nullptr ? context : &m_template);
        return true;
    }
    m_parser.setTextSource(callback, context);
    return true;
}

bool cHTMLRenderString::parseFromNodes(HTMLNodeSourceCallback callback, void* context)
{
    m_context = context;
    m_contextIsBook = callback == nullptr && context != nullptr;
    m_parser.setNodeSource(callback != nullptr ? callback : bookSectionTreeProvider, context);
    return m_parser.parseAll();
}

int cHTMLRenderString::renderRange(std::uint32_t firstSection, std::uint32_t firstTextPosition,
    std::uint32_t lastSection, std::uint32_t lastTextPosition, std::string& utf8)
{
    if (firstSection > lastSection || firstTextPosition > lastTextPosition)
        return 0;
    std::uint32_t first = cHTMLParser::kNoSection, last = cHTMLParser::kNoSection;
    m_parser.sectionRange(&first, &last);
    if (first == cHTMLParser::kNoSection || firstSection < first || firstSection > last)
        if (!m_parser.parseSection(firstSection))
            return 0;
    cHTMLTagElement* root = m_parser.rootElement();
    if (root == nullptr)
        return 0;
    cHTMLTagElement* start = root->firstChild();
    while (start != nullptr && start->sectionNumber() != firstSection)
        start = start->nextSibling();
    if (start == nullptr)
        return 0;
    m_firstVerseMarker = true;
    std::string out = utf8;
    Walk(*this, firstSection, firstTextPosition, lastSection, lastTextPosition, out).chain(start, 0);
    utf8.swap(out);
    return 1;
}

int cHTMLRenderString::renderRange(std::uint32_t firstSection, std::uint32_t firstTextPosition,
    std::uint32_t lastSection, std::uint32_t lastTextPosition, cLString16& text)
{
    cLString8 narrow(text);
    std::string utf8 = bkStd(narrow);
    if (!renderRange(firstSection, firstTextPosition, lastSection, lastTextPosition, utf8))
        return 0;
    cLString8 result;
    bkAssign(result, utf8);
    text.assignFromUTF8(result);
    return 1;
}
