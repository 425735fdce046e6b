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

// A chain being built; remembers its end so that appending stays linear.
struct ChainBuilder {
    cHTMLTagElement* head = nullptr;
    cHTMLTagElement* tail = nullptr;
    void add(cHTMLTagElement* chain)
    {
        if (chain == nullptr)
            return;
        if (head == nullptr)
            head = chain;
        else
            tail->insertAfter(chain);
        tail = static_cast<cHTMLTagElement*>(chain->chainEnd());
    }
};

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

// Counts the steps of a parse and, for the rules that open an element, the nesting; a rule whose
// guard is not ok fails at once.
class cHTMLParser::Guard {
public:
    Guard(cHTMLParser& parser, bool opensElement) : parser_(parser), opensElement_(opensElement)
    {
        if (opensElement_)
            ++parser_.depth_;
        ++parser_.steps_;
        if (parser_.aborted_)
            return;
        std::uint64_t covered = parser_.furthestPosition_ - std::min(parser_.furthestPosition_, parser_.parseOrigin_);
        if (parser_.steps_ > kBaseSteps + kStepsPerPosition * covered) {
            parser_.aborted_ = true;
            parser_.setProblem(kTooComplex, parser_.token_->start, parser_.token_->end);
            return;
        }
        if (parser_.depth_ > kMaxNestingDepth) {
            parser_.setProblem(kTooDeep, parser_.token_->start, parser_.token_->end);
            return;
        }
        ok_ = true;
    }
    ~Guard()
    {
        if (opensElement_)
            --parser_.depth_;
    }
    bool ok() const { return ok_; }

private:
    cHTMLParser& parser_;
    bool opensElement_;
    bool ok_ = false;
};

cHTMLParser::cHTMLParser() : token_(std::make_shared<Token>())
{
}

cHTMLParser::~cHTMLParser() = default;

int cHTMLParser::setTextSource(HTMLTextSourceCallback callback, void* context)
{
    mode_ = 0;
    reset(callback == nullptr && context == nullptr);
    textSource_ = callback;
    nodeSource_ = nullptr;
    context_ = context;
    return 1;
}

int cHTMLParser::setNodeSource(HTMLNodeSourceCallback callback, void* context)
{
    mode_ = 1;
    reset(callback == nullptr && context == nullptr);
    nodeSource_ = callback;
    textSource_ = nullptr;
    context_ = context;
    return 1;
}

void cHTMLParser::reset(bool free)
{
    token_ = std::make_shared<Token>();
    successors_.clear();
    if (root_ || headRoot_) {
        if (root_)
            root_->deleteChildren();
        if (headRoot_)
            headRoot_->deleteChildren();
        if (free) {
            root_.reset();
            headRoot_.reset();
        }
    }
    if (!free) {
        if (!root_)
            root_ = std::make_unique<cHTMLTagElement>();
        if (!headRoot_)
            headRoot_ = std::make_unique<cHTMLTagElement>();
    }
}

void cHTMLParser::errorSpan(std::uint32_t* start, std::uint32_t* end) const
{
    if (start != nullptr)
        *start = errorStart_;
    if (end != nullptr)
        *end = errorEnd_;
}

void cHTMLParser::beginParse()
{
    message_.clear();
    errorExcerpt_.clear();
    errorStart_ = errorEnd_ = 0;
    depth_ = 0;
    steps_ = 0;
    furthestPosition_ = 0;
    parseOrigin_ = 0;
    aborted_ = false;
    successors_.clear();
}

void cHTMLParser::setProblem(const std::string& text, std::uint32_t start, std::uint32_t end)
{
    if (!message_.empty())
        return;
    message_ = text;
    errorStart_ = start;
    errorEnd_ = end;
    errorExcerpt_.clear();
    if (mode_ == 0 && textSource_ != nullptr) {
        std::int32_t count =
            end > start ? static_cast<std::int32_t>(std::min<std::uint32_t>(end - start, 0x7FFFFFFF)) : 75;
        std::uint32_t outStart = 0;
        std::int32_t outEnd = 0;
        if (!textSource_(
                context_, kHTMLRequestExcerpt, start, nullptr, count, errorExcerpt_, outStart, outEnd, nullptr))
            errorExcerpt_.clear();
    }
}

// ---- tokens ----

bool cHTMLParser::hasToken() const
{
    return !token_->text.empty();
}

HTMLTagCode cHTMLParser::code() const
{
    return token_->code;
}

bool cHTMLParser::atWhitespace() const
{
    return token_->code == HTMLTag::untagged_text &&
        token_->attributes.rawValueForCode(HTMLAttr::is_whitespace) == HTMLValue::yes;
}

bool cHTMLParser::fetchSectionStart(std::uint32_t section)
{
    successors_.clear();
    auto next = std::make_shared<Token>();
    token_ = next;
    if (textSource_ == nullptr || section > 0x7FFFFFFF)
        return false;
    std::int32_t end = 0;
    if (!textSource_(
            context_, static_cast<std::int32_t>(section), 0, nullptr, 0, next->text, next->start, end, nullptr)) {
        next->text.clear();
        return false;
    }
    next->end = static_cast<std::uint32_t>(end);
    parseOrigin_ = next->start;
    furthestPosition_ = std::max<std::uint64_t>(next->start, next->end);
    tokenizeTag(next->text, next->code, next->attributes, nullptr, true);
    return !next->text.empty();
}

void cHTMLParser::advance()
{
    if (!hasToken() || textSource_ == nullptr)
        return;
    // Backtracking reads the same tokens again; each one is fetched and tokenised once per parse.
    auto cached = successors_.find(token_->start);
    if (cached != successors_.end()) {
        token_ = cached->second;
        return;
    }
    std::uint32_t from = token_->start;
    auto next = std::make_shared<Token>();
    std::int32_t end = 0;
    bool served = textSource_(context_, 0, token_->start, nullptr, 1, next->text, next->start, end, nullptr) &&
        !next->text.empty();
    next->end = static_cast<std::uint32_t>(end);
    // A source must move forward; one that serves the same token again would never end the parse.
    if (!served || next->start <= token_->start) {
        // Past the last token: no text, code 0, positioned where the last token ended.
        next->text.clear();
        next->start = next->end = token_->end;
    } else {
        furthestPosition_ = std::max<std::uint64_t>(furthestPosition_, next->end);
        tokenizeTag(next->text, next->code, next->attributes, nullptr, true);
    }
    token_ = next;
    successors_.emplace(from, std::move(next));
}

void cHTMLParser::skipWhitespace()
{
    while (hasToken() && atWhitespace())
        advance();
}

cHTMLTagElement* cHTMLParser::currentAsElement() const
{
    if (token_->code == 0)
        return nullptr;
    auto* element = new cHTMLTagElement(token_->code);
    element->attributes() = token_->attributes;
    element->setSourcePosition(token_->start, token_->end, 0);
    return element;
}

// ---- rules ----

cHTMLTagElement* cHTMLParser::elementRule(
    HTMLTagCode tag, int model, bool repeat, int minimum, bool closingRequired, bool skipSpace, bool readContent)
{
    Guard guard(*this, true);
    if (!guard.ok())
        return nullptr;
    TokenRef saved = token_;
    if (skipSpace)
        skipWhitespace();
    if (tag == 0 || code() != tag) {
        token_ = saved;
        return nullptr;
    }
    std::uint32_t start = token_->start;
    cHTMLTagElement* element = currentAsElement();
    int count = 0;
    if (readContent) {
        advance();
        while (hasToken()) {
            cHTMLTagElement* items = modelRule(model);
            if (items == nullptr)
                break;
            if (items->tagCode() == HTMLTag::style)
                destroyChain(items);
            else
                element->appendChildren(items);
            ++count;
            if (!repeat)
                break;
        }
    }
    if (count < minimum) {
        setProblem("Expected at least " + std::to_string(minimum) + " items contained in this tag, but only saw " +
                std::to_string(count),
            start, token_->end);
        delete element;
        token_ = saved;
        return nullptr;
    }
    if (!readContent)
        advance();
    if (hasToken() && code() == -tag) {
        advance();
    } else if (closingRequired) {
        setProblem(kClosingMissing, start, token_->end);
        delete element;
        token_ = saved;
        return nullptr;
    }
    if (skipSpace)
        skipWhitespace();
    element->setSourceEnd(token_->start);
    return element;
}

cHTMLTagElement* cHTMLParser::takenAlone(bool skipSpaceAfter)
{
    cHTMLTagElement* element = currentAsElement();
    if (element == nullptr)
        return nullptr;
    advance();
    if (skipSpaceAfter)
        skipWhitespace();
    element->setSourceEnd(token_->start);
    return element;
}

cHTMLTagElement* cHTMLParser::modelRule(int model)
{
    Guard guard(*this, false);
    if (!guard.ok())
        return nullptr;
    switch (model) {
    case 0:
        if (cHTMLTagElement* h = heading())
            return h;
        return inlineRun();
    case 2:
        return blockContent();
    case 3: {
        TokenRef saved = token_;
        skipWhitespace();
        if (code() == HTMLTag::col)
            return takenAlone(true);
        token_ = saved;
        return nullptr;
    }
    case 4: {
        TokenRef saved = token_;
        skipWhitespace();
        if (code() != HTMLTag::dt) {
            token_ = saved;
            return nullptr;
        }
        cHTMLTagElement* dt = ownTagRule(19, false, 1, false);
        if (dt == nullptr) {
            token_ = saved;
            return nullptr;
        }
        cHTMLTagElement* dd = elementRule(HTMLTag::dd, 5, false, 1, false, true, true);
        if (dd == nullptr) {
            delete dt;
            token_ = saved;
            return nullptr;
        }
        dt->insertAfter(dd);
        return dt;
    }
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
        TokenRef saved = token_;
        skipWhitespace();
        if (code() == HTMLTag::td || code() == HTMLTag::th) {
            if (cHTMLTagElement* cell = ownTagRule(2, false, 1, false))
                return cell;
        }
        token_ = saved;
        return nullptr;
    }
    case 19:
        return inlineRun();
    case 20:
        return elementRule(HTMLTag::tr, 18, true, 0, false, true, true);
    default:
        return nullptr;  // models without content rules read nothing
    }
}

cHTMLTagElement* cHTMLParser::heading()
{
    TokenRef saved = token_;
    skipWhitespace();
    HTMLTagCode c = code();
    token_ = saved;
    if (!isHeadingTag(c))
        return nullptr;
    return elementRule(c, 19, false, 1, true, true, true);
}

cHTMLTagElement* cHTMLParser::blockElement()
{
    Guard guard(*this, false);
    if (!guard.ok())
        return nullptr;
    TokenRef saved = token_;
    skipWhitespace();
    HTMLTagCode c = code();
    cHTMLTagElement* result = nullptr;
    switch (c) {
    case HTMLTag::pre:
        result = ownTagRule(15, true, 0, true);
        break;
    case HTMLTag::table:
        result = tableRule();
        break;
    case HTMLTag::menu:
        result = ownTagRule(10, true, 0, true);
        break;
    case HTMLTag::p:
        result = ownTagRule(19, false, 0, false);
        break;
    case HTMLTag::ol:
    case HTMLTag::ul:
        result = ownTagRule(9, true, 0, true);
        break;
    case HTMLTag::basefont:
    case -HTMLTag::basefont:
        result = takenAlone(true);
        break;
    case HTMLTag::blockquote:
        result = ownTagRule(2, false, 1, true);
        break;
    case HTMLTag::dir:
        result = ownTagRule(10, true, 1, true);
        break;
    case HTMLTag::dl:
        result = ownTagRule(4, true, 1, true);
        break;
    case HTMLTag::form:
        result = ownTagRule(6, true, 0, true);
        break;
    default:
        break;
    }
    if (result == nullptr)
        token_ = saved;
    return result;
}

cHTMLTagElement* cHTMLParser::blockContent()
{
    if (cHTMLTagElement* h = heading())
        return h;
    TokenRef saved = token_;
    skipWhitespace();
    switch (code()) {
    case HTMLTag::map:
        if (cHTMLTagElement* m = ownTagRule(12, false, 1, true))
            return m;
        token_ = saved;
        return nullptr;
    case HTMLTag::bgsound:
    case HTMLTag::hr:
        return takenAlone(true);
    default:
        break;
    }
    token_ = saved;
    ChainBuilder chain;
    while (cHTMLTagElement* block = blockElement())
        chain.add(block);
    if (chain.head != nullptr)
        return chain.head;
    return inlineRun();
}

cHTMLTagElement* cHTMLParser::flow()
{
    ChainBuilder chain;
    while (hasToken()) {
        cHTMLTagElement* item = blockElement();
        if (item == nullptr)
            item = inlineRun();
        if (item == nullptr)
            break;
        chain.add(item);
    }
    return chain.head;
}

cHTMLTagElement* cHTMLParser::formContent()
{
    TokenRef saved = token_;
    skipWhitespace();
    cHTMLTagElement* result = nullptr;
    switch (code()) {
    case HTMLTag::label:
        result = ownTagRule(8, true, 0, true);
        break;
    case HTMLTag::select:
        result = ownTagRule(16, true, 0, true);
        break;
    case HTMLTag::textarea:
        result = ownTagRule(14, false, 1, true);
        break;
    case HTMLTag::input:
    case HTMLTag::keygen:
        return takenAlone(true);
    case HTMLTag::fieldset:
        result = fieldsetRule();
        break;
    default:
        token_ = saved;
        return blockContent();
    }
    if (result == nullptr)
        token_ = saved;
    return result;
}

cHTMLTagElement* cHTMLParser::headContent()
{
    TokenRef saved = token_;
    skipWhitespace();
    cHTMLTagElement* result = nullptr;
    switch (code()) {
    case HTMLTag::basefont:
    case -HTMLTag::basefont:
    case HTMLTag::meta:
        return takenAlone(true);
    case HTMLTag::style:
        result = ownTagRule(14, false, 0, true);
        break;
    case HTMLTag::title:
        result = ownTagRule(14, false, 1, true);
        break;
    default:
        break;
    }
    if (result == nullptr)
        token_ = saved;
    return result;
}

cHTMLTagElement* cHTMLParser::labelContent()
{
    TokenRef saved = token_;
    skipWhitespace();
    cHTMLTagElement* result = nullptr;
    switch (code()) {
    case HTMLTag::textarea:
        result = ownTagRule(14, false, 1, true);
        break;
    case HTMLTag::select:
        result = ownTagRule(16, true, 0, true);
        break;
    case HTMLTag::input:
        return takenAlone(true);
    default:
        token_ = saved;
        return blockContent();
    }
    if (result == nullptr)
        token_ = saved;
    return result;
}

cHTMLTagElement* cHTMLParser::textRun()
{
    if (code() != HTMLTag::untagged_text)
        return nullptr;
    cHTMLTagElement* element = currentAsElement();
    std::string text(token_->attributes.valueViewForCode(HTMLAttr::untagged_text));
    bool onlySpace = atWhitespace();
    bool merged = false;
    advance();
    while (hasToken() && code() == HTMLTag::untagged_text) {
        text.append(token_->attributes.valueViewForCode(HTMLAttr::untagged_text));
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
    element->setSourceEnd(token_->start);
    return element;
}

cHTMLTagElement* cHTMLParser::areas()
{
    TokenRef saved = token_;
    ChainBuilder chain;
    for (;;) {
        TokenRef before = token_;
        skipWhitespace();
        if (code() != HTMLTag::area) {
            token_ = before;
            break;
        }
        chain.add(takenAlone(true));
    }
    if (chain.head == nullptr)
        token_ = saved;
    return chain.head;
}

cHTMLTagElement* cHTMLParser::preformattedItem()
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

cHTMLTagElement* cHTMLParser::selectContent()
{
    TokenRef saved = token_;
    skipWhitespace();
    cHTMLTagElement* result = nullptr;
    if (code() == HTMLTag::optgroup)
        result = ownTagRule(13, true, 0, true);
    else if (code() == HTMLTag::option)
        result = ownTagRule(14, false, 1, false);
    if (result == nullptr)
        token_ = saved;
    return result;
}

cHTMLTagElement* cHTMLParser::phrasingRun()
{
    ChainBuilder chain;
    while (hasToken()) {
        cHTMLTagElement* item = code() == HTMLTag::untagged_text ? textRun() : inlineElement();
        if (item == nullptr)
            break;
        chain.add(item);
    }
    return chain.head;
}

cHTMLTagElement* cHTMLParser::inlineRun()
{
    Guard guard(*this, false);
    if (!guard.ok())
        return nullptr;
    ChainBuilder chain;
    while (hasToken()) {
        cHTMLTagElement* item = inlineItem();
        if (item == nullptr)
            break;
        chain.add(item);
    }
    return chain.head;
}

cHTMLTagElement* cHTMLParser::inlineItem()
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

cHTMLTagElement* cHTMLParser::inlineElement()
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

cHTMLTagElement* cHTMLParser::tableRule()
{
    Guard guard(*this, true);
    if (!guard.ok())
        return nullptr;
    TokenRef saved = token_;
    skipWhitespace();
    if (code() != HTMLTag::table) {
        token_ = saved;
        return nullptr;
    }
    std::uint32_t start = token_->start;
    cHTMLTagElement* table = currentAsElement();
    advance();
    auto fail = [&](const char* problem) {
        setProblem(problem, start, token_->end);
        delete table;
        token_ = saved;
        return nullptr;
    };
    if (!hasToken())
        return fail("<table> has no contents.");
    skipWhitespace();
    if (code() == HTMLTag::caption)
        table->appendChildren(ownTagRule(2, false, 1, true));
    for (;;) {
        skipWhitespace();
        if (code() != HTMLTag::colgroup)
            break;
        cHTMLTagElement* group = ownTagRule(3, true, 0, false);
        if (group == nullptr)
            break;
        table->appendChildren(group);
    }
    for (;;) {
        skipWhitespace();
        HTMLTagCode c = code();
        cHTMLTagElement* part = nullptr;
        if (c == HTMLTag::thead || c == HTMLTag::tbody || c == HTMLTag::tfoot)
            part = ownTagRule(20, true, 0, false);
        else if (c == HTMLTag::tr)
            part = ownTagRule(18, true, 0, false);
        if (part == nullptr)
            break;
        table->appendChildren(part);
    }
    if (!hasToken())
        return fail("<table> has no contents.");
    if (code() != -HTMLTag::table)
        return fail("<table> is empty, unterminated, or contains illegal elements.");
    advance();
    skipWhitespace();
    table->setSourceEnd(token_->start);
    return table;
}

cHTMLTagElement* cHTMLParser::fieldsetRule()
{
    Guard guard(*this, true);
    if (!guard.ok())
        return nullptr;
    TokenRef saved = token_;
    skipWhitespace();
    if (code() != HTMLTag::fieldset) {
        token_ = saved;
        return nullptr;
    }
    std::uint32_t start = token_->start;
    cHTMLTagElement* fieldset = currentAsElement();
    advance();
    if (!hasToken()) {
        setProblem("EOF while looking for <fieldset> contents.", start, token_->end);
        delete fieldset;
        token_ = saved;
        return nullptr;
    }
    skipWhitespace();
    if (code() == HTMLTag::legend)
        fieldset->appendChildren(ownTagRule(19, false, 1, true));
    while (hasToken()) {
        cHTMLTagElement* item = formContent();
        if (item == nullptr)
            break;
        fieldset->appendChildren(item);
    }
    skipWhitespace();
    if (code() != -HTMLTag::fieldset) {
        setProblem("<fieldset> tag is empty or unterminated.", start, token_->end);
        delete fieldset;
        token_ = saved;
        return nullptr;
    }
    advance();
    skipWhitespace();
    fieldset->setSourceEnd(token_->start);
    return fieldset;
}

cHTMLTagElement* cHTMLParser::topLevelBlock()
{
    TokenRef saved = token_;
    skipWhitespace();
    cHTMLTagElement* block = heading();
    if (block == nullptr) {
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
    if (block == nullptr && !aborted_) {
        if (cHTMLTagElement* run = inlineRun()) {
            // Text and inline markup outside a block stand in an implied paragraph.
            block = new cHTMLTagElement(HTMLTag::p);
            block->setSourcePosition(run->sourceStart(), run->sourceEnd(), token_->start);
            block->appendChildren(run);
        }
    }
    if (block == nullptr)
        token_ = saved;
    return block;
}

bool cHTMLParser::checkAfterBlock()
{
    if (aborted_)
        return false;
    if (hasToken() && code() == 0) {
        setProblem("Unknown tag encountered.", token_->start, token_->end);
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
        setProblem("Closing tag with no opening tag.", token_->start, token_->end);
        return false;
    }
    return message_.empty();
}

cHTMLTagElement* cHTMLParser::unreadableTokenAsText()
{
    while (hasToken() && (code() == -HTMLTag::body || code() == -HTMLTag::html || atWhitespace()))
        advance();
    if (!hasToken() || aborted_)
        return nullptr;
    setProblem("Unrecognized tag, or element contains illegal tags after this point.", token_->start, token_->end);
    std::string text = token_->text;
    std::string escaped;
    escaped.reserve(text.size() + 8);
    for (char c : text) {
        if (c == '<')
            escaped += "&lt;";
        else
            escaped.push_back(c);
    }
    auto* node = new cHTMLTagElement(HTMLTag::untagged_text);
    HTMLTagCode textCode = 0;
    tokenizeTag(escaped, textCode, node->attributes(), nullptr, true);
    node->setTagCode(textCode);
    node->setSourcePosition(token_->start, token_->end, 0);
    advance();
    node->setSourceEnd(token_->start);
    return node;
}

bool cHTMLParser::wholeParse()
{
    root_->deleteChildren();
    headRoot_->deleteChildren();
    skipWhitespace();
    if (!hasToken())
        return false;
    if (code() == HTMLTag::html)
        advance();
    if (cHTMLTagElement* head = elementRule(HTMLTag::head, 7, true, 0, true, true, true))
        headRoot_->appendChildren(head);
    skipWhitespace();  // between the document's opening tags
    if (!hasToken())
        return false;
    if (code() == HTMLTag::body)
        advance();
    if (cHTMLTagElement* block = topLevelBlock()) {
        root_->appendChildren(block);
        block->setSectionNumber(0, false);
        return checkAfterBlock();
    }
    if (aborted_)
        return false;
    cHTMLTagElement* node = unreadableTokenAsText();
    if (node == nullptr)
        return false;
    root_->appendChildren(node);
    node->setSectionNumber(0, false);
    return true;
}

// ---- public parses ----

bool cHTMLParser::nodeTree(std::int32_t request, cHTMLTagElement** tree)
{
    *tree = nullptr;
    if (nodeSource_ == nullptr)
        return false;
    cHTMLTagElement* result = nullptr;
    if (!nodeSource_(context_, request, nullptr, &result, nullptr, nullptr)) {
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
    if (!root_ || !headRoot_)
        return false;
    if (mode_ == 1) {
        root_->deleteChildren();
        headRoot_->deleteChildren();
        cHTMLTagElement* head = nullptr;
        if (!nodeTree(kHTMLRequestHead, &head))
            return false;
        if (head != nullptr)
            headRoot_->appendChildren(head);
        cHTMLTagElement* first = nullptr;
        if (!nodeTree(0, &first))
            return false;
        if (first != nullptr)
            root_->appendChildren(first);
        return true;
    }
    if (!fetchSectionStart(0) || code() == 0)
        return false;
    return wholeParse();
}

bool cHTMLParser::parseSection(std::uint32_t n)
{
    beginParse();
    if (!root_ || !headRoot_)
        return false;
    if (mode_ == 1) {
        if (n > 0x7FFFFFFF)
            return false;
        root_->deleteChildren();
        cHTMLTagElement* tree = nullptr;
        if (!nodeTree(static_cast<std::int32_t>(n), &tree))
            return false;
        if (tree != nullptr)
            root_->appendChildren(tree);
        return tree != nullptr;
    }
    if (!fetchSectionStart(n) || code() == 0)
        return false;
    bool ok = wholeParse();
    // A block placed by a parse that then reports a problem still belongs to section n; numbering it
    // 0 would send the next-section parse to the wrong section.
    if (cHTMLTagElement* first = root_->firstChild())
        first->setSectionNumber(n, false);
    return ok;
}

bool cHTMLParser::parseNextSection(cHTMLTagElement** item)
{
    if (item != nullptr)
        *item = nullptr;
    if (!root_ || root_->lastChild() == nullptr) {
        beginParse();
        return false;
    }
    return parseSectionAfter(root_->lastChild(), item);
}

bool cHTMLParser::parsePreviousSection(cHTMLTagElement** item)
{
    if (item != nullptr)
        *item = nullptr;
    if (!root_ || root_->firstChild() == nullptr) {
        beginParse();
        return false;
    }
    return parseSectionBefore(root_->firstChild(), item);
}

bool cHTMLParser::parseSectionAfter(cHTMLTagElement* x, cHTMLTagElement** item)
{
    beginParse();
    if (item != nullptr)
        *item = nullptr;
    if (!root_ || x == nullptr || x->parent() != root_.get())
        return false;
    if (mode_ == 1) {
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
    if (cHTMLTagElement* block = topLevelBlock()) {
        x->insertAfter(block);
        block->setSectionNumber(s, false);
        if (item != nullptr)
            *item = block;
        return checkAfterBlock();
    }
    if (aborted_)
        return false;
    cHTMLTagElement* node = unreadableTokenAsText();
    if (node == nullptr)
        return false;
    x->insertAfter(node);
    node->setSectionNumber(s, false);
    if (item != nullptr)
        *item = node;
    return true;
}

bool cHTMLParser::parseSectionBefore(cHTMLTagElement* x, cHTMLTagElement** item)
{
    beginParse();
    if (item != nullptr)
        *item = nullptr;
    if (!root_ || x == nullptr || x->parent() != root_.get() || x->sectionNumber() == 0)
        return false;
    std::uint32_t s = x->sectionNumber() - 1;
    if (mode_ == 1) {
        if (s > 0x7FFFFFFF)
            return false;
        cHTMLTagElement* tree = nullptr;
        if (!nodeTree(static_cast<std::int32_t>(s), &tree) || tree == nullptr)
            return false;
        x->insertBefore(tree);
        if (item != nullptr)
            *item = tree;
        return true;
    }
    if (!fetchSectionStart(s))
        return false;
    HTMLTagCode c = code();
    if (c == 0 || c == HTMLTag::html || c == HTMLTag::head)
        return false;
    cHTMLTagElement* added = topLevelBlock();
    if (added == nullptr) {
        if (aborted_)
            return false;
        added = unreadableTokenAsText();
        if (added == nullptr)
            return false;
    }
    x->insertBefore(added);
    added->setSectionNumber(s, false);
    if (item != nullptr)
        *item = added;
    return true;
}

void cHTMLParser::sectionRange(std::uint32_t* first, std::uint32_t* last) const
{
    cHTMLTagElement* a = root_ ? root_->firstChild() : nullptr;
    cHTMLTagElement* b = root_ ? root_->lastChild() : nullptr;
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

bool cHTMLParser::findTextPosition(cHTMLTagElement* item, std::uint32_t* position, bool followOn)
{
    if (position != nullptr)
        *position = kNoSection;
    if (mode_ != 1)
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
    if (!root_ || root_->lastChild() == nullptr)
        return false;

    // Read on into further sections; keep only the newest one (it anchors the next read) and
    // destroy every section added here before returning.
    cHTMLTagElement* added = nullptr;
    bool found = false;
    for (int i = 0; i < kMaxFollowOnSections && !found; ++i) {
        cHTMLTagElement* fresh = nullptr;
        if (!parseSectionAfter(root_->lastChild(), &fresh) || fresh == nullptr)
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
    if (mode_ != 1 || nodeSource_ == nullptr || element == nullptr)
        return false;
    std::int32_t index = element->attributes().indexOfCode(HTMLAttr::textat);
    if (index < 0)
        return false;
    cHTMLTextNodeRequest request;
    request.textPosition = decimalValue(element->attributes().valueViewAt(index));
    request.language = language;
    request.rightToLeft = rightToLeft ? 1 : 0;
    request.configuration = configuration;
    return nodeSource_(context_, kHTMLRequestTextNode, &request, element, nullptr, nullptr);
}

bool cHTMLParser::extractFile(std::string_view folder, std::string_view name)
{
    if (mode_ != 1 || nodeSource_ == nullptr)
        return false;
    std::string argument;
    argument.reserve(name.size() + folder.size() + 1);
    argument.append(name).append("\t").append(folder);
    return nodeSource_(context_, kHTMLRequestExtractFile, argument.c_str(), nullptr, nullptr, nullptr);
}

bool cHTMLParser::imageWidthUsable(std::string_view name, cPlatformImage* holder)
{
    std::string imageName(name);
    if (mode_ == 1) {
        if (nodeSource_ == nullptr)
            return false;
        return nodeSource_(context_, kHTMLRequestImageWidth, imageName.c_str(), nullptr, holder, nullptr);
    }
    if (textSource_ == nullptr)
        return false;
    std::string unused;
    std::uint32_t start = 0;
    std::int32_t end = 0;
    return textSource_(context_, kHTMLRequestImageWidth, 0, imageName.c_str(), 0, unused, start, end, holder);
}
