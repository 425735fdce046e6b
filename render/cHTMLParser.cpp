#include "render/cHTMLParser.h"

#include <algorithm>

#include "render/HTMLTokenizer.h"

struct cHTMLParser::Token {
    std::string text;
    std::uint32_t start = 0;
    std::uint32_t end = 0;
    HTMLTagCode code = 0;
    cHTMLAttributeList attributes;
};

namespace {

// A parse may take this many rule steps, plus kStepsPerPosition for each character of source it
// has reached; only runaway backtracking on hostile markup comes near it.
constexpr std::uint64_t kBaseSteps = 10000;
constexpr std::uint64_t kStepsPerPosition = 32;

const char* const kClosingMissing = "Required closing tag is missing, or this element has illegal contents.";
const char* const kTooDeep = "Elements are nested too deeply.";
const char* const kTooComplex = "This markup is too complex to parse.";

bool isHeadingTag(HTMLTagCode c)
{
    return (c >= HTMLTag::h1 && c <= HTMLTag::h9) || c == HTMLTag::qs_relhdg;
}

bool isSimpleInlineTag(HTMLTagCode c)
{
    switch (c) {
    case HTMLTag::b:
    case HTMLTag::big:
    case HTMLTag::font:
    case HTMLTag::i:
    case HTMLTag::nobr:
    case HTMLTag::qs_context:
    case HTMLTag::qs_lang:
    case HTMLTag::qs_noconc:
    case HTMLTag::qs_nolinks:
    case HTMLTag::qs_vlskip:
    case HTMLTag::qs_woc:
    case HTMLTag::s:
    case HTMLTag::small:
    case HTMLTag::sub:
    case HTMLTag::sup:
    case HTMLTag::u:
        return true;
    default:
        return false;
    }
}

// Destroys every member of a chain that has no parent.
void destroyChain(cHTMLTagElement* head)
{
    while (head != nullptr) {
        cHTMLTagElement* next = head->nextSibling();
        head->unlink();
        delete head;
        head = next;
    }
}

std::uint32_t decimalValue(std::string_view text)
{
    std::uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            break;
        value = (value * 10 + static_cast<std::uint64_t>(c - '0')) & 0xFFFFFFFFFFull;
    }
    return static_cast<std::uint32_t>(value);
}

}  // namespace

void cHTMLParser::ChainDeleter::operator()(cHTMLTagElement* head) const
{
    destroyChain(head);
}

// A chain being built; remembers its end so that appending stays linear.
struct cHTMLParser::ChainBuilder {
    Nodes head;
    cHTMLTagElement* tail = nullptr;
    void add(Nodes chain)
    {
        if (!chain)
            return;
        cHTMLTagElement* end = static_cast<cHTMLTagElement*>(chain->chainEnd());
        if (!head)
            head = std::move(chain);
        else
            tail->insertAfter(chain.release());
        tail = end;
    }
};

// Counts the steps of a parse and, for the rules that open an element, the nesting; a rule whose
// guard is not ok fails at once.
class cHTMLParser::Guard {
public:
    Guard(cHTMLParser& parser, bool opensElement) : m_parser(parser), m_opensElement(opensElement)
    {
        if (m_opensElement)
            ++m_parser.m_depth;
        ++m_parser.m_steps;
        if (m_parser.m_aborted)
            return;
        std::uint64_t covered =
            m_parser.m_furthestPosition - std::min(m_parser.m_furthestPosition, m_parser.m_parseOrigin);
        if (m_parser.m_steps > kBaseSteps + kStepsPerPosition * covered) {
            m_parser.m_aborted = true;
            m_parser.setProblem(kTooComplex, m_parser.m_token->start, m_parser.m_token->end);
            return;
        }
        if (m_parser.m_depth > kMaxNestingDepth) {
            m_parser.setProblem(kTooDeep, m_parser.m_token->start, m_parser.m_token->end);
            return;
        }
        m_ok = true;
    }
    ~Guard()
    {
        if (m_opensElement)
            --m_parser.m_depth;
    }
    bool ok() const { return m_ok; }

private:
    cHTMLParser& m_parser;
    bool m_opensElement;
    bool m_ok = false;
};

cHTMLParser::cHTMLParser() : m_token(std::make_shared<Token>())
{
}

cHTMLParser::~cHTMLParser() = default;

int cHTMLParser::setTextSource(HTMLTextSourceCallback callback, void* context)
{
    m_mode = 0;
    reset(callback == nullptr && context == nullptr);
    m_textSource = callback;
    m_nodeSource = nullptr;
    m_context = context;
    return 1;
}

int cHTMLParser::setNodeSource(HTMLNodeSourceCallback callback, void* context)
{
    m_mode = 1;
    reset(callback == nullptr && context == nullptr);
    m_nodeSource = callback;
    m_textSource = nullptr;
    m_context = context;
    return 1;
}

void cHTMLParser::reset(bool free)
{
    m_token = std::make_shared<Token>();
    m_successors.clear();
    if (m_root || m_headRoot) {
        if (m_root)
            m_root->deleteChildren();
        if (m_headRoot)
            m_headRoot->deleteChildren();
        if (free) {
            m_root.reset();
            m_headRoot.reset();
        }
    }
    if (!free) {
        if (!m_root)
            m_root = std::make_unique<cHTMLTagElement>();
        if (!m_headRoot)
            m_headRoot = std::make_unique<cHTMLTagElement>();
    }
}

void cHTMLParser::errorSpan(std::uint32_t* start, std::uint32_t* end) const
{
    if (start != nullptr)
        *start = m_errorStart;
    if (end != nullptr)
        *end = m_errorEnd;
}

void cHTMLParser::beginParse()
{
    m_message.clear();
    m_errorExcerpt.clear();
    m_errorStart = m_errorEnd = 0;
    m_depth = 0;
    m_steps = 0;
    m_furthestPosition = 0;
    m_parseOrigin = 0;
    m_aborted = false;
    m_successors.clear();
}

void cHTMLParser::setProblem(const std::string& text, std::uint32_t start, std::uint32_t end)
{
    if (!m_message.empty())
        return;
    m_message = text;
    m_errorStart = start;
    m_errorEnd = end;
    m_errorExcerpt.clear();
    if (m_mode == 0 && m_textSource != nullptr) {
        std::int32_t count =
            end > start ? static_cast<std::int32_t>(std::min<std::uint32_t>(end - start, 0x7FFFFFFF)) : 75;
        std::uint32_t outStart = 0;
        std::int32_t outEnd = 0;
        if (!m_textSource(
                m_context, kHTMLRequestExcerpt, start, nullptr, count, m_errorExcerpt, outStart, outEnd, nullptr))
            m_errorExcerpt.clear();
    }
}

// ---- tokens ----

bool cHTMLParser::hasToken() const
{
    return !m_token->text.empty();
}

HTMLTagCode cHTMLParser::code() const
{
    return m_token->code;
}

bool cHTMLParser::atWhitespace() const
{
    return m_token->code == HTMLTag::untagged_text &&
        m_token->attributes.rawValueForCode(HTMLAttr::is_whitespace) == HTMLValue::yes;
}

bool cHTMLParser::fetchSectionStart(std::uint32_t section)
{
    m_successors.clear();
    auto next = std::make_shared<Token>();
    m_token = next;
    if (m_textSource == nullptr || section > 0x7FFFFFFF)
        return false;
    std::int32_t end = 0;
    if (!m_textSource(
            m_context, static_cast<std::int32_t>(section), 0, nullptr, 0, next->text, next->start, end, nullptr)) {
        next->text.clear();
        return false;
    }
    next->end = static_cast<std::uint32_t>(end);
    m_parseOrigin = next->start;
    m_furthestPosition = std::max<std::uint64_t>(next->start, next->end);
    tokenizeTag(next->text, next->code, next->attributes, nullptr, true);
    return !next->text.empty();
}

void cHTMLParser::advance()
{
    if (!hasToken() || m_textSource == nullptr)
        return;
    // Backtracking reads the same tokens again; each one is fetched and tokenised once per parse.
    auto cached = m_successors.find(m_token->start);
    if (cached != m_successors.end()) {
        m_token = cached->second;
        return;
    }
    std::uint32_t from = m_token->start;
    auto next = std::make_shared<Token>();
    std::int32_t end = 0;
    bool served = m_textSource(m_context, 0, m_token->start, nullptr, 1, next->text, next->start, end, nullptr) &&
        !next->text.empty();
    next->end = static_cast<std::uint32_t>(end);
    // A source must move forward; one that serves the same token again would never end the parse.
    if (!served || next->start <= m_token->start) {
        // Past the last token: no text, code 0, positioned where the last token ended.
        next->text.clear();
        next->start = next->end = m_token->end;
    } else {
        m_furthestPosition = std::max<std::uint64_t>(m_furthestPosition, next->end);
        tokenizeTag(next->text, next->code, next->attributes, nullptr, true);
    }
    m_token = next;
    m_successors.emplace(from, std::move(next));
}

void cHTMLParser::skipWhitespace()
{
    while (hasToken() && atWhitespace())
        advance();
}

cHTMLParser::Nodes cHTMLParser::currentAsElement() const
{
    if (m_token->code == 0)
        return nullptr;
    Nodes element(new cHTMLTagElement(m_token->code));
    element->attributes() = m_token->attributes;
    element->setSourcePosition(m_token->start, m_token->end, 0);
    return element;
}

HTMLTagCode cHTMLParser::codeAfterWhitespace()
{
    TokenRef saved = m_token;
    skipWhitespace();
    HTMLTagCode c = code();
    m_token = saved;
    return c;
}

template <class Rule> cHTMLParser::Nodes cHTMLParser::orBack(Rule&& rule)
{
    TokenRef saved = m_token;
    Nodes nodes = rule();
    if (!nodes)
        m_token = saved;
    return nodes;
}

// ---- rules ----

cHTMLParser::Nodes cHTMLParser::elementRule(
    HTMLTagCode tag, int model, bool repeat, int minimum, bool closingRequired, bool skipSpace, bool readContent)
{
    Guard guard(*this, true);
    if (!guard.ok())
        return nullptr;
    return orBack([&]() -> Nodes {
        if (skipSpace)
            skipWhitespace();
        if (tag == 0 || code() != tag)
            return nullptr;
        std::uint32_t start = m_token->start;
        Nodes element = currentAsElement();
        int count = 0;
        if (readContent) {
            advance();
            while (hasToken()) {
                Nodes items = modelRule(model);
                if (!items)
                    break;
                if (items->tagCode() != HTMLTag::style)  // style sheets are read and dropped
                    element->appendChildren(items.release());
                ++count;
                if (!repeat)
                    break;
            }
        }
        if (count < minimum) {
            setProblem("Expected at least " + std::to_string(minimum) + " items contained in this tag, but only saw " +
                    std::to_string(count),
                start, m_token->end);
            return nullptr;
        }
        if (!readContent)
            advance();
        if (hasToken() && code() == -tag) {
            advance();
        } else if (closingRequired) {
            setProblem(kClosingMissing, start, m_token->end);
            return nullptr;
        }
        if (skipSpace)
            skipWhitespace();
        element->setSourceEnd(m_token->start);
        return element;
    });
}

cHTMLParser::Nodes cHTMLParser::ownTagRule(int model, bool repeat, int minimum, bool closingRequired)
{
    return elementRule(codeAfterWhitespace(), model, repeat, minimum, closingRequired, true, true);
}

cHTMLParser::Nodes cHTMLParser::takenAlone(bool skipSpaceAfter)
{
    Nodes element = currentAsElement();
    if (!element)
        return nullptr;
    advance();
    if (skipSpaceAfter)
        skipWhitespace();
    element->setSourceEnd(m_token->start);
    return element;
}

cHTMLParser::Nodes cHTMLParser::takenAloneAfterWhitespace()
{
    skipWhitespace();
    return takenAlone(true);
}

cHTMLParser::Nodes cHTMLParser::modelRule(int model)
{
    Guard guard(*this, false);
    if (!guard.ok())
        return nullptr;
    switch (model) {
    case 0:
        if (Nodes h = heading())
            return h;
        return inlineRun();
    case 2:
        return blockContent();
    case 3:
        return codeAfterWhitespace() == HTMLTag::col ? takenAloneAfterWhitespace() : nullptr;
    case 4:
        return orBack([&]() -> Nodes {
            if (codeAfterWhitespace() != HTMLTag::dt)
                return nullptr;
            Nodes dt = ownTagRule(19, false, 1, false);
            if (!dt)
                return nullptr;
            Nodes dd = elementRule(HTMLTag::dd, 5, false, 1, false, true, true);
            if (!dd)
                return nullptr;
            dt->insertAfter(dd.release());
            return dt;
        });
    case 5:
        return flow();
    case 6:
        return formContent();
    case 7:
        return headContent();
    case 8:
        return labelContent();
    case 9:
        return elementRule(HTMLTag::li, 5, false, 1, false, true, true);
    case 10:
        return elementRule(HTMLTag::li, 19, true, 0, false, true, true);
    case 11:
    case 14:
        return textRun();
    case 12:
        return areas();
    case 13:
        return elementRule(HTMLTag::option, 14, false, 1, false, true, true);
    case 15:
        return preformattedItem();
    case 16:
        return selectContent();
    case 17:
        return phrasingRun();
    case 18: {
        HTMLTagCode c = codeAfterWhitespace();
        return c == HTMLTag::td || c == HTMLTag::th ? ownTagRule(2, false, 1, false) : nullptr;
    }
    case 19:
        return inlineRun();
    case 20:
        return elementRule(HTMLTag::tr, 18, true, 0, false, true, true);
    default:
        return nullptr;  // models without content rules read nothing
    }
}

cHTMLParser::Nodes cHTMLParser::heading()
{
    HTMLTagCode c = codeAfterWhitespace();
    return isHeadingTag(c) ? elementRule(c, 19, false, 1, true, true, true) : nullptr;
}

cHTMLParser::Nodes cHTMLParser::blockElement()
{
    Guard guard(*this, false);
    if (!guard.ok())
        return nullptr;
    switch (codeAfterWhitespace()) {
    case HTMLTag::pre:
        return ownTagRule(15, true, 0, true);
    case HTMLTag::table:
        return tableRule();
    case HTMLTag::menu:
        return ownTagRule(10, true, 0, true);
    case HTMLTag::p:
        return ownTagRule(19, false, 0, false);
    case HTMLTag::ol:
    case HTMLTag::ul:
        return ownTagRule(9, true, 0, true);
    case HTMLTag::basefont:
    case -HTMLTag::basefont:
        return takenAloneAfterWhitespace();
    case HTMLTag::blockquote:
        return ownTagRule(2, false, 1, true);
    case HTMLTag::dir:
        return ownTagRule(10, true, 1, true);
    case HTMLTag::dl:
        return ownTagRule(4, true, 1, true);
    case HTMLTag::form:
        return ownTagRule(6, true, 0, true);
    default:
        return nullptr;
    }
}

cHTMLParser::Nodes cHTMLParser::blockContent()
{
    if (Nodes h = heading())
        return h;
    switch (codeAfterWhitespace()) {
    case HTMLTag::map:
        return ownTagRule(12, false, 1, true);
    case HTMLTag::bgsound:
    case HTMLTag::hr:
        return takenAloneAfterWhitespace();
    default:
        break;
    }
    ChainBuilder chain;
    while (Nodes block = blockElement())
        chain.add(std::move(block));
    if (chain.head)
        return std::move(chain.head);
    return inlineRun();
}

cHTMLParser::Nodes cHTMLParser::flow()
{
    ChainBuilder chain;
    while (hasToken()) {
        Nodes item = blockElement();
        if (!item)
            item = inlineRun();
        if (!item)
            break;
        chain.add(std::move(item));
    }
    return std::move(chain.head);
}

cHTMLParser::Nodes cHTMLParser::formContent()
{
    switch (codeAfterWhitespace()) {
    case HTMLTag::label:
        return ownTagRule(8, true, 0, true);
    case HTMLTag::input:
    case HTMLTag::keygen:
        return takenAloneAfterWhitespace();
    case HTMLTag::fieldset:
        return fieldsetRule();
    default:
        return labelContent();  // select, textarea, and block content as a label holds them
    }
}

cHTMLParser::Nodes cHTMLParser::headContent()
{
    switch (codeAfterWhitespace()) {
    case HTMLTag::basefont:
    case -HTMLTag::basefont:
    case HTMLTag::meta:
        return takenAloneAfterWhitespace();
    case HTMLTag::style:
        return ownTagRule(14, false, 0, true);
    case HTMLTag::title:
        return ownTagRule(14, false, 1, true);
    default:
        return nullptr;
    }
}

cHTMLParser::Nodes cHTMLParser::labelContent()
{
    switch (codeAfterWhitespace()) {
    case HTMLTag::textarea:
        return ownTagRule(14, false, 1, true);
    case HTMLTag::select:
        return ownTagRule(16, true, 0, true);
    case HTMLTag::input:
        return takenAloneAfterWhitespace();
    default:
        return blockContent();
    }
}

cHTMLParser::Nodes cHTMLParser::textRun()
{
    if (code() != HTMLTag::untagged_text)
        return nullptr;
    Nodes element = currentAsElement();
    std::string text(m_token->attributes.valueViewForCode(HTMLAttr::untagged_text));
    bool onlySpace = atWhitespace();
    bool merged = false;
    advance();
    while (hasToken() && code() == HTMLTag::untagged_text) {
        text.append(m_token->attributes.valueViewForCode(HTMLAttr::untagged_text));
        onlySpace = onlySpace && atWhitespace();
        merged = true;
        advance();
    }
    if (merged) {
        // Text joined to white space is no longer white space only.
        if (!onlySpace)
            element->attributes().removeByCode(HTMLAttr::is_whitespace);
        element->attributes().addCodedStringValue(HTMLAttr::untagged_text, text);
    }
    element->setSourceEnd(m_token->start);
    return element;
}

cHTMLParser::Nodes cHTMLParser::areas()
{
    ChainBuilder chain;
    while (codeAfterWhitespace() == HTMLTag::area)
        chain.add(takenAloneAfterWhitespace());
    return std::move(chain.head);
}

cHTMLParser::Nodes cHTMLParser::preformattedItem()
{
    switch (code()) {
    case HTMLTag::qs_link:
        return elementRule(HTMLTag::qs_link, 14, false, 1, true, false, true);
    case HTMLTag::hr:
    case HTMLTag::br:
        return takenAlone(false);
    case HTMLTag::a:
        return elementRule(HTMLTag::a, 0, true, 0, true, false, true);
    default:
        return phrasingRun();
    }
}

cHTMLParser::Nodes cHTMLParser::selectContent()
{
    switch (codeAfterWhitespace()) {
    case HTMLTag::optgroup:
        return ownTagRule(13, true, 0, true);
    case HTMLTag::option:
        return ownTagRule(14, false, 1, false);
    default:
        return nullptr;
    }
}

cHTMLParser::Nodes cHTMLParser::phrasingRun()
{
    ChainBuilder chain;
    while (hasToken()) {
        Nodes item = code() == HTMLTag::untagged_text ? textRun() : inlineElement();
        if (!item)
            break;
        chain.add(std::move(item));
    }
    return std::move(chain.head);
}

cHTMLParser::Nodes cHTMLParser::inlineRun()
{
    Guard guard(*this, false);
    if (!guard.ok())
        return nullptr;
    ChainBuilder chain;
    while (hasToken()) {
        Nodes item = inlineItem();
        if (!item)
            break;
        chain.add(std::move(item));
    }
    return std::move(chain.head);
}

cHTMLParser::Nodes cHTMLParser::inlineItem()
{
    switch (code()) {
    case HTMLTag::a:
        return elementRule(HTMLTag::a, 0, true, 0, true, false, true);
    case HTMLTag::br:
    case HTMLTag::img:
        return takenAlone(false);
    case HTMLTag::qs_link:
        return elementRule(HTMLTag::qs_link, 14, false, 1, true, false, true);
    case HTMLTag::qs_sync:
        return elementRule(HTMLTag::qs_sync, 0, false, 0, false, false, false);
    case HTMLTag::untagged_text:
        return textRun();
    default:
        return inlineElement();
    }
}

cHTMLParser::Nodes cHTMLParser::inlineElement()
{
    HTMLTagCode c = code();
    if (isSimpleInlineTag(c))
        return elementRule(c, 19, false, 1, true, false, true);
    if (c == HTMLTag::qs_attr)
        return elementRule(c, 0, false, 0, false, false, false);
    if (c == HTMLTag::qs_note)
        return elementRule(c, 5, false, 1, true, false, true);
    return nullptr;
}

template <class Contents>
cHTMLParser::Nodes cHTMLParser::containerRule(
    HTMLTagCode tag, const ContainerProblems& problems, Contents&& readContents)
{
    Guard guard(*this, true);
    if (!guard.ok())
        return nullptr;
    return orBack([&]() -> Nodes {
        skipWhitespace();
        if (code() != tag)
            return nullptr;
        std::uint32_t start = m_token->start;
        Nodes container = currentAsElement();
        advance();
        if (!hasToken()) {
            setProblem(problems.noContents, start, m_token->end);
            return nullptr;
        }
        readContents(*container);
        if (!hasToken() || code() != -tag) {
            setProblem(hasToken() ? problems.unterminated : problems.endedInContents, start, m_token->end);
            return nullptr;
        }
        advance();
        skipWhitespace();
        container->setSourceEnd(m_token->start);
        return container;
    });
}

cHTMLParser::Nodes cHTMLParser::tableRule()
{
    static const ContainerProblems problems {"<table> has no contents.",
        "<table> is empty, unterminated, or contains illegal elements.", "<table> has no contents."};
    return containerRule(HTMLTag::table, problems, [this](cHTMLTagElement& table) {
        if (codeAfterWhitespace() == HTMLTag::caption)
            table.appendChildren(ownTagRule(2, false, 1, true).release());
        while (codeAfterWhitespace() == HTMLTag::colgroup) {
            Nodes group = ownTagRule(3, true, 0, false);
            if (!group)
                break;
            table.appendChildren(group.release());
        }
        for (;;) {
            HTMLTagCode c = codeAfterWhitespace();
            Nodes part;
            if (c == HTMLTag::thead || c == HTMLTag::tbody || c == HTMLTag::tfoot)
                part = ownTagRule(20, true, 0, false);
            else if (c == HTMLTag::tr)
                part = ownTagRule(18, true, 0, false);
            if (!part)
                break;
            table.appendChildren(part.release());
        }
        skipWhitespace();
    });
}

cHTMLParser::Nodes cHTMLParser::fieldsetRule()
{
    static const ContainerProblems problems {"EOF while looking for <fieldset> contents.",
        "<fieldset> tag is empty or unterminated.", "<fieldset> tag is empty or unterminated."};
    return containerRule(HTMLTag::fieldset, problems, [this](cHTMLTagElement& fieldset) {
        if (codeAfterWhitespace() == HTMLTag::legend)
            fieldset.appendChildren(ownTagRule(19, false, 1, true).release());
        while (hasToken()) {
            Nodes item = formContent();
            if (!item)
                break;
            fieldset.appendChildren(item.release());
        }
        skipWhitespace();
    });
}

cHTMLParser::Nodes cHTMLParser::topLevelBlock()
{
    return orBack([&]() -> Nodes {
        skipWhitespace();
        Nodes block = heading();
        if (!block) {
            switch (code()) {
            case HTMLTag::map:
                block = ownTagRule(12, false, 1, true);
                break;
            case HTMLTag::bgsound:
            case HTMLTag::hr:
                block = takenAlone(true);
                break;
            default:
                block = blockElement();
                break;
            }
        }
        if (block || m_aborted)
            return block;
        Nodes run = inlineRun();
        if (!run)
            return nullptr;
        // Text and inline markup outside a block stand in an implied paragraph.
        Nodes paragraph(new cHTMLTagElement(HTMLTag::p));
        paragraph->setSourcePosition(run->sourceStart(), run->sourceEnd(), m_token->start);
        paragraph->appendChildren(run.release());
        return paragraph;
    });
}

cHTMLParser::Nodes cHTMLParser::sectionStart(bool& wasBlock)
{
    Nodes block = topLevelBlock();
    wasBlock = block != nullptr;
    if (!block && !m_aborted)
        block = unreadableTokenAsText();
    return block;
}

bool cHTMLParser::checkAfterBlock()
{
    if (m_aborted)
        return false;
    if (hasToken() && code() == 0) {
        setProblem("Unknown tag encountered.", m_token->start, m_token->end);
        return false;
    }
    bool passedClosing = false;
    while (hasToken() && (code() == -HTMLTag::body || code() == -HTMLTag::html)) {
        advance();
        passedClosing = true;
    }
    // The document's closing tags end the input: the block stays under the root, the parse fails.
    if (passedClosing && !hasToken())
        return false;
    if (hasToken() && code() < 0) {
        setProblem("Closing tag with no opening tag.", m_token->start, m_token->end);
        return false;
    }
    return m_message.empty();
}

cHTMLParser::Nodes cHTMLParser::unreadableTokenAsText()
{
    while (hasToken() && (code() == -HTMLTag::body || code() == -HTMLTag::html || atWhitespace()))
        advance();
    if (!hasToken() || m_aborted)
        return nullptr;
    setProblem("Unrecognized tag, or element contains illegal tags after this point.", m_token->start, m_token->end);
    std::string text = m_token->text;
    std::string escaped;
    escaped.reserve(text.size() + 8);
    for (char c : text) {
        if (c == '<')
            escaped += "&lt;";
        else
            escaped.push_back(c);
    }
    Nodes node(new cHTMLTagElement(HTMLTag::untagged_text));
    HTMLTagCode textCode = 0;
    tokenizeTag(escaped, textCode, node->attributes(), nullptr, true);
    node->setTagCode(textCode);
    node->setSourcePosition(m_token->start, m_token->end, 0);
    advance();
    node->setSourceEnd(m_token->start);
    return node;
}

bool cHTMLParser::wholeParse()
{
    m_root->deleteChildren();
    m_headRoot->deleteChildren();
    skipWhitespace();
    if (!hasToken())
        return false;
    if (code() == HTMLTag::html)
        advance();
    m_headRoot->appendChildren(elementRule(HTMLTag::head, 7, true, 0, true, true, true).release());
    skipWhitespace();  // between the document's opening tags
    if (!hasToken())
        return false;
    if (code() == HTMLTag::body)
        advance();
    bool wasBlock = false;
    Nodes block = sectionStart(wasBlock);
    if (!block)
        return false;
    cHTMLTagElement* placed = block.release();
    m_root->appendChildren(placed);
    placed->setSectionNumber(0, false);
    return !wasBlock || checkAfterBlock();
}

// ---- public parses ----

bool cHTMLParser::nodeTree(std::int32_t request, cHTMLTagElement** tree)
{
    *tree = nullptr;
    if (m_nodeSource == nullptr)
        return false;
    cHTMLTagElement* result = nullptr;
    if (!m_nodeSource(m_context, request, nullptr, &result, nullptr, nullptr)) {
        delete result;
        return false;
    }
    if (result != nullptr) {
        // A source tree is one root; drop anything chained to it.
        destroyChain(result->nextSibling());
        result->unlink();
        if (request >= 0) {
            // Section walking relies on these, whatever the source set.
            result->setSectionNumber(static_cast<std::uint32_t>(request), false);
            result->setSourcePosition(static_cast<std::uint32_t>(request), 0, 0);
        }
    }
    *tree = result;
    return true;
}

bool cHTMLParser::parseAll()
{
    beginParse();
    if (!m_root || !m_headRoot)
        return false;
    if (m_mode == 1) {
        m_root->deleteChildren();
        m_headRoot->deleteChildren();
        cHTMLTagElement* head = nullptr;
        if (!nodeTree(kHTMLRequestHead, &head))
            return false;
        if (head != nullptr)
            m_headRoot->appendChildren(head);
        cHTMLTagElement* first = nullptr;
        if (!nodeTree(0, &first))
            return false;
        if (first != nullptr)
            m_root->appendChildren(first);
        return true;
    }
    if (!fetchSectionStart(0) || code() == 0)
        return false;
    return wholeParse();
}

bool cHTMLParser::parseSection(std::uint32_t n)
{
    beginParse();
    if (!m_root || !m_headRoot)
        return false;
    if (m_mode == 1) {
        if (n > 0x7FFFFFFF)
            return false;
        m_root->deleteChildren();
        cHTMLTagElement* tree = nullptr;
        if (!nodeTree(static_cast<std::int32_t>(n), &tree))
            return false;
        if (tree != nullptr)
            m_root->appendChildren(tree);
        return tree != nullptr;
    }
    if (!fetchSectionStart(n) || code() == 0)
        return false;
    bool ok = wholeParse();
    // A block placed by a parse that then reports a problem still belongs to section n; numbering it
    // 0 would send the next-section parse to the wrong section.
    if (cHTMLTagElement* first = m_root->firstChild())
        first->setSectionNumber(n, false);
    return ok;
}

bool cHTMLParser::parseNextSection(cHTMLTagElement** item)
{
    if (item != nullptr)
        *item = nullptr;
    if (!m_root || m_root->lastChild() == nullptr) {
        beginParse();
        return false;
    }
    return parseSectionAfter(m_root->lastChild(), item);
}

bool cHTMLParser::parseSectionAfter(cHTMLTagElement* x, cHTMLTagElement** item)
{
    beginParse();
    if (item != nullptr)
        *item = nullptr;
    if (!m_root || x == nullptr || x->parent() != m_root.get())
        return false;
    if (m_mode == 1) {
        std::uint32_t next = x->sourceStart() + 1;
        if (next == 0 || next > 0x7FFFFFFF)
            return false;
        cHTMLTagElement* tree = nullptr;
        if (!nodeTree(static_cast<std::int32_t>(next), &tree) || tree == nullptr)
            return false;
        x->insertAfter(tree);
        if (item != nullptr)
            *item = tree;
        return true;
    }
    std::uint32_t s = x->sectionNumber() + 1;
    if (s == 0 || !fetchSectionStart(s) || code() == 0)
        return false;
    bool wasBlock = false;
    Nodes block = sectionStart(wasBlock);
    if (!block)
        return false;
    cHTMLTagElement* placed = block.release();
    x->insertAfter(placed);
    placed->setSectionNumber(s, false);
    if (item != nullptr)
        *item = placed;
    return !wasBlock || checkAfterBlock();
}

void cHTMLParser::sectionRange(std::uint32_t* first, std::uint32_t* last) const
{
    cHTMLTagElement* a = m_root ? m_root->firstChild() : nullptr;
    cHTMLTagElement* b = m_root ? m_root->lastChild() : nullptr;
    if (first != nullptr)
        *first = a != nullptr ? a->sectionNumber() : kNoSection;
    if (last != nullptr)
        *last = b != nullptr ? b->sectionNumber() : kNoSection;
}

// ---- node-source services ----

namespace {

// Pre-order search from `start` through its descendants, then its following siblings and theirs;
// never climbs above start's parent.
bool searchFrom(cHTMLTagElement* start, std::uint32_t* position)
{
    if (start == nullptr)
        return false;
    cHTMLTagElement* top = start->parent();
    cHTMLTagElement* current = start;
    while (current != nullptr) {
        std::int32_t index = current->attributes().indexOfCode(HTMLAttr::textat);
        if (index >= 0) {
            *position = decimalValue(current->attributes().valueViewAt(index));
            return true;
        }
        if (current->firstChild() != nullptr) {
            current = current->firstChild();
            continue;
        }
        while (current != nullptr && current->nextSibling() == nullptr) {
            current = current->parent();
            if (current == top)
                current = nullptr;
        }
        if (current != nullptr)
            current = current->nextSibling();
    }
    return false;
}

}  // namespace

bool cHTMLParser::findTextPosition(
    cHTMLTagElement* item, std::uint32_t* position, bool followOn, std::uint32_t lastSection)
{
    if (position != nullptr)
        *position = kNoSection;
    if (m_mode != 1)
        return true;
    if (item == nullptr || position == nullptr)
        return false;
    std::int32_t index = item->attributes().indexOfCode(HTMLAttr::textat);
    if (index >= 0) {
        *position = decimalValue(item->attributes().valueViewAt(index));
        return true;
    }
    if (searchFrom(item->firstChild(), position) || searchFrom(item->nextSibling(), position))
        return true;
    if (!followOn)
        return false;
    for (cHTMLTagElement* up = item->parent(); up != nullptr; up = up->parent())
        if (searchFrom(up->nextSibling(), position))
            return true;
    if (!m_root || m_root->lastChild() == nullptr)
        return false;

    // Read on into further sections; keep only the newest one (it anchors the next read) and
    // destroy every section added here before returning.
    cHTMLTagElement* added = nullptr;
    bool found = false;
    for (int i = 0; i < kMaxFollowOnSections && !found; ++i) {
        if (lastSection != kNoSection && m_root->lastChild()->sourceStart() >= lastSection)
            break;
        cHTMLTagElement* fresh = nullptr;
        if (!parseSectionAfter(m_root->lastChild(), &fresh) || fresh == nullptr)
            break;
        if (added != nullptr)
            delete added;
        added = fresh;
        found = searchFrom(fresh, position);
    }
    delete added;
    return found;
}

bool cHTMLParser::requestTextNode(
    cHTMLTagElement* element, std::uint16_t language, bool rightToLeft, const cHTMLRenderConfiguration* configuration)
{
    if (m_mode != 1 || m_nodeSource == nullptr || element == nullptr)
        return false;
    std::int32_t index = element->attributes().indexOfCode(HTMLAttr::textat);
    if (index < 0)
        return false;
    cHTMLTextNodeRequest request;
    request.textPosition = decimalValue(element->attributes().valueViewAt(index));
    request.language = language;
    request.rightToLeft = rightToLeft ? 1 : 0;
    request.configuration = configuration;
    return m_nodeSource(m_context, kHTMLRequestTextNode, &request, element, nullptr, nullptr);
}

bool cHTMLParser::extractFile(std::string_view folder, std::string_view name)
{
    if (m_mode != 1 || m_nodeSource == nullptr)
        return false;
    std::string argument;
    argument.reserve(name.size() + folder.size() + 1);
    argument.append(name).append("\t").append(folder);
    return m_nodeSource(m_context, kHTMLRequestExtractFile, argument.c_str(), nullptr, nullptr, nullptr);
}

bool cHTMLParser::imageWidthUsable(std::string_view name, cPlatformImage* holder)
{
    std::string imageName(name);
    if (m_mode == 1) {
        if (m_nodeSource == nullptr)
            return false;
        return m_nodeSource(m_context, kHTMLRequestImageWidth, imageName.c_str(), nullptr, holder, nullptr);
    }
    if (m_textSource == nullptr)
        return false;
    std::string unused;
    std::uint32_t start = 0;
    std::int32_t end = 0;
    return m_textSource(m_context, kHTMLRequestImageWidth, 0, imageName.c_str(), 0, unused, start, end, holder);
}
