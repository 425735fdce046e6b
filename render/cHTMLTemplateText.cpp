#include "render/cHTMLTemplateText.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "engine/foundation/cLIntArray.h"
#include "engine/foundation/cLStringDictionary.h"
#include "render/HTMLTagCode.h"
#include "render/HTMLTokenizer.h"
#include "render/cHTMLAttributeList.h"

namespace {

struct Span {
    std::int32_t start = 0, end = 0;
};

bool startsWithIgnoringCase(const std::string& s, size_t at, const char* prefix)
{
    const size_t n = std::strlen(prefix);
    if (at + n > s.size())
        return false;
    for (size_t i = 0; i < n; ++i)
        if (std::tolower(static_cast<unsigned char>(s[at + i])) != std::tolower(static_cast<unsigned char>(prefix[i])))
            return false;
    return true;
}

// The raw token at p (p below the text's size): a comment, a tag or a run of text.
Span rawToken(const std::string& t, std::int32_t p)
{
    const auto size = static_cast<std::int32_t>(t.size());
    if (t[static_cast<size_t>(p)] != '<') {
        const size_t lt = t.find('<', static_cast<size_t>(p));
        return {p, lt == std::string::npos ? size : static_cast<std::int32_t>(lt)};
    }
    if (startsWithIgnoringCase(t, static_cast<size_t>(p), "<!--")) {
        const size_t close =
            static_cast<size_t>(p) + 4 <= t.size() ? t.find("-->", static_cast<size_t>(p) + 4) : std::string::npos;
        return {p, close == std::string::npos ? size : static_cast<std::int32_t>(close + 3)};
    }
    bool quoted = false;
    for (std::int32_t i = p + 1; i < size; ++i) {
        const char c = t[static_cast<size_t>(i)];
        if (c == '"')
            quoted = !quoted;
        else if (c == '>' && !quoted)
            return {p, i + 1};
    }
    return {p, size};
}

bool isKey(const cLStringDictionary* dict, const std::string& name)
{
    cLStringTmpl<char> value;
    return !name.empty() && dict->findValue(name.c_str(), value) != 0;
}

bool hasConditions(const cLStringDictionary* dict)
{
    return dict != nullptr && !dict->isEmpty();
}

bool topIsFalse(const cLIntStack& stack)
{
    return !stack.isEmpty() && stack.valueAt(stack.topIndex()) == 0;
}

void pushCondition(cLIntStack& stack, bool value)
{
    stack.push(value && !topIsFalse(stack) ? 1 : 0);
}

enum class Kind { Content, Marker };

// Evaluates a marker token against the stack; content tokens are left alone.
Kind classify(const std::string& token, const cLStringDictionary* dict, cLIntStack& stack)
{
    if (token.size() < 2 || token[0] != '<')
        return Kind::Content;
    if (token[1] == '!') {
        const bool ifn = startsWithIgnoringCase(token, 0, "<!ifn ");
        if (ifn || startsWithIgnoringCase(token, 0, "<!if ")) {
            size_t i = ifn ? 6 : 5;
            while (i < token.size() && (token[i] == ' ' || token[i] == '\t'))
                ++i;
            size_t j = i;
            while (j < token.size() && std::isalnum(static_cast<unsigned char>(token[j])))
                ++j;
            const std::string name = token.substr(i, j - i);
            const bool value = hasConditions(dict) ? (isKey(dict, name) != ifn) : ifn;
            pushCondition(stack, value);
        } else if (token.size() == 7 && startsWithIgnoringCase(token, 0, "<!else>")) {
            std::int32_t top = 0;
            if (!stack.pop(top)) {
                stack.push(0);
            } else {
                stack.push(top == 0 && !topIsFalse(stack) ? 1 : 0);
            }
        } else if (startsWithIgnoringCase(token, 0, "<!endif") && token.back() == '>') {
            size_t i = 7;
            while (i < token.size() && (token[i] == ' ' || token[i] == '\t'))
                ++i;
            if (i == token.size() - 1) {
                std::int32_t top = 0;
                stack.pop(top);
            }
        }
        return Kind::Marker;  // comments and document types are dropped too
    }
    HTMLTagCode code = 0;
    cHTMLAttributeList attributes;
    tokenizeTag(token, code, attributes, nullptr, false);
    switch (code) {
    case HTMLTag::qs_if: {
        std::string name = attributes.valueForName("condition");
        if (name.empty())
            name = attributes.valueForName("data-condition");
        const bool negate = !name.empty() && name[0] == '-';
        if (negate)
            name.erase(0, 1);
        const bool value = hasConditions(dict) ? (isKey(dict, name) != negate) : negate;
        pushCondition(stack, value);
        return Kind::Marker;
    }
    case HTMLTag::qs_else: {
        std::int32_t top = 0;
        if (!stack.pop(top))
            stack.push(0);
        else
            stack.push(top == 0 && !topIsFalse(stack) ? 1 : 0);
        return Kind::Marker;
    }
    case HTMLTag::qs_endif: {
        std::int32_t top = 0;
        stack.pop(top);
        return Kind::Marker;
    }
    case -HTMLTag::qs_if:
    case -HTMLTag::qs_else:
    case -HTMLTag::qs_endif:
        return Kind::Marker;
    default:
        return Kind::Content;
    }
}

// The first visible token at or after `from`, evaluating markers on the way.
bool nextVisible(
    const std::string& text, std::int32_t from, const cLStringDictionary* dict, cLIntStack& stack, Span& out)
{
    const auto size = static_cast<std::int32_t>(text.size());
    for (std::int32_t p = from; p < size;) {
        const Span raw = rawToken(text, p);
        p = raw.end;
        const std::string token = text.substr(static_cast<size_t>(raw.start), static_cast<size_t>(raw.end - raw.start));
        if (classify(token, dict, stack) == Kind::Marker)
            continue;
        if (stack.isEmpty() || stack.valueAt(stack.topIndex()) != 0) {
            out = raw;
            return true;
        }
    }
    return false;
}

std::string tagText(HTMLTagCode code)
{
    const HTMLTagCode k = code < 0 ? -code : code;
    return std::string(code < 0 ? "</" : "<") + tagNameForCode(k) + ">";
}

bool isBlock(HTMLTagCode c)
{
    switch (c) {
    case HTMLTag::blockquote:
    case HTMLTag::dir:
    case HTMLTag::dl:
    case HTMLTag::form:
    case HTMLTag::map:
    case HTMLTag::menu:
    case HTMLTag::nobr:
    case HTMLTag::ol:
    case HTMLTag::p:
    case HTMLTag::pre:
    case HTMLTag::table:
    case HTMLTag::ul:
    case HTMLTag::qs_relhdg:
        return true;
    default:
        return c >= HTMLTag::h1 && c <= HTMLTag::h9;
    }
}

class IndexBuilder {
public:
    explicit IndexBuilder(cHTMLTemplateText& state) : m_state(state) { }

    bool build();

private:
    struct Open {
        HTMLTagCode code;
        std::int32_t start;
    };
    std::string excerpt(std::int32_t at) const
    {
        const std::int32_t length = std::max(20, 10 * m_state.strictness);
        if (at < 0 || static_cast<size_t>(at) >= m_state.text.size())
            return std::string();
        return m_state.text.substr(static_cast<size_t>(at), static_cast<size_t>(length));
    }
    std::string mismatch(HTMLTagCode seen, std::int32_t seenAt, const Open& open) const
    {
        return "ERROR: Saw " + tagText(seen) + " while looking for " + tagText(-open.code) +
            ".\nOriginal tag starts here: " + excerpt(open.start) + "\nBad closing tag starts here: " + excerpt(seenAt);
    }
    bool topIs(HTMLTagCode c) const { return !m_open.empty() && m_open.back().code == c; }
    void closeWhileTop(std::initializer_list<HTMLTagCode> codes)
    {
        while (!m_open.empty() && std::find(codes.begin(), codes.end(), m_open.back().code) != codes.end())
            m_open.pop_back();
    }
    void startSection(std::int32_t at) { m_state.sectionStarts.push_back(at); }
    bool closing(HTMLTagCode k, std::int32_t at);
    void opening(HTMLTagCode c, std::int32_t at);

    cHTMLTemplateText& m_state;
    std::vector<Open> m_open;
};

void IndexBuilder::opening(HTMLTagCode c, std::int32_t at)
{
    if (isBlock(c) || c == HTMLTag::basefont || c == HTMLTag::bgsound || c == HTMLTag::hr)
        closeWhileTop({HTMLTag::p});
    if (isBlock(c)) {
        if (m_open.empty())
            startSection(at);
        m_open.push_back({c, at});
        return;
    }
    switch (c) {
    case HTMLTag::basefont:
    case HTMLTag::bgsound:
    case HTMLTag::hr:
        if (m_open.empty())
            startSection(at);
        return;
    case HTMLTag::caption:
    case HTMLTag::fieldset:
    case HTMLTag::label:
    case HTMLTag::qs_note:
        m_open.push_back({c, at});
        return;
    case HTMLTag::dd:
    case HTMLTag::li:
    case HTMLTag::td:
    case HTMLTag::th:
        closeWhileTop({HTMLTag::p});
        if (c == HTMLTag::td || c == HTMLTag::th)
            closeWhileTop({HTMLTag::td, HTMLTag::th});
        else if (topIs(c))
            m_open.pop_back();
        if (m_open.empty()) {
            m_open.push_back({HTMLTag::p, at});
            startSection(at);
        }
        m_open.push_back({c, at});
        return;
    default:
        if (m_open.empty()) {
            m_open.push_back({HTMLTag::p, at});
            startSection(at);
        }
        return;
    }
}

bool IndexBuilder::closing(HTMLTagCode k, std::int32_t at)
{
    switch (k) {
    case HTMLTag::basefont:
        closeWhileTop({HTMLTag::p});
        if (m_open.empty())
            startSection(at);
        return true;
    case HTMLTag::tr:
    case HTMLTag::thead:
    case HTMLTag::tfoot:
    case HTMLTag::tbody:
        closeWhileTop({HTMLTag::p, HTMLTag::td, HTMLTag::th});
        return true;
    case HTMLTag::table:
        closeWhileTop({HTMLTag::p, HTMLTag::td, HTMLTag::th});
        break;
    case HTMLTag::ul:
    case HTMLTag::ol:
    case HTMLTag::dir:
        closeWhileTop({HTMLTag::p, HTMLTag::li});
        break;
    case HTMLTag::dl:
        closeWhileTop({HTMLTag::p, HTMLTag::dd});
        break;
    case HTMLTag::td:
    case HTMLTag::th:
    case HTMLTag::li:
    case HTMLTag::dd:
        closeWhileTop({HTMLTag::p});
        break;
    case HTMLTag::caption:
    case HTMLTag::fieldset:
    case HTMLTag::label:
    case HTMLTag::qs_note:
        break;
    default:
        if (!isBlock(k)) {
            // Closing tags of inline and unknown elements are not checked.
            if (m_open.empty()) {
                m_open.push_back({HTMLTag::p, at});
                startSection(at);
            }
            return true;
        }
        if (k != HTMLTag::p)
            closeWhileTop({HTMLTag::p});
        break;
    }
    if (topIs(k)) {
        m_open.pop_back();
        return true;
    }
    if (m_state.strictness > 0) {
        const Open expected = m_open.empty() ? Open {0, at} : m_open.back();
        m_state.message = mismatch(-k, at, expected);
        m_state.errorPosition = expected.start;
    }
    return false;
}

bool IndexBuilder::build()
{
    m_state.sectionStarts.clear();
    m_state.sectionStarts.reserve(1000);
    cLIntStack stack;
    const std::string& text = m_state.text;
    bool afterBody = false, anyAfterBody = false;
    Span token;
    for (std::int32_t from = 0; nextVisible(text, from, m_state.conditions, stack, token); from = token.end) {
        const std::string piece =
            text.substr(static_cast<size_t>(token.start), static_cast<size_t>(token.end - token.start));
        HTMLTagCode code = 0;
        cHTMLAttributeList attributes;
        tokenizeTag(piece, code, attributes, nullptr, true);
        if (code == HTMLTag::untagged_text && attributes.valueForCode(HTMLAttr::is_whitespace) == "yes")
            continue;
        if (code == HTMLTag::body) {
            m_open.clear();
            m_state.sectionStarts.clear();
            afterBody = true;
            anyAfterBody = false;
            continue;
        }
        anyAfterBody = true;
        if (code < 0) {
            if (!closing(-code, token.start))
                return false;
        } else {
            opening(code, token.start);
        }
    }
    if (afterBody && !anyAfterBody) {
        if (m_state.strictness > 0)
            m_state.message = "Nothing follows the <body> tag!";
        return false;
    }
    closeWhileTop({HTMLTag::p});
    std::string gathered;
    if (m_state.strictness > 0)
        for (auto it = m_open.rbegin(); it != m_open.rend(); ++it)
            gathered += mismatch(0, static_cast<std::int32_t>(text.size()), *it) + "\n";
    if (m_open.empty() && !stack.isEmpty())
        gathered += "Missing <!endif> tag.\n";
    if (!gathered.empty()) {
        m_state.message = gathered;
        return false;
    }
    return true;
}

bool serve(
    cHTMLTemplateText& st, const Span& token, std::string& outText, std::uint32_t& outStart, std::int32_t& outEnd)
{
    outText = st.text.substr(static_cast<size_t>(token.start), static_cast<size_t>(token.end - token.start));
    outStart = static_cast<std::uint32_t>(token.start);
    outEnd = token.end;
    st.start = token.start;
    st.end = token.end;
    return !outText.empty();
}

}  // namespace

void cHTMLTemplateText::reset()
{
    text.clear();
    message.clear();
    sectionStarts.clear();
    indexBuilt = false;
    start = end = 0;
    strictness = 0;
    errorPosition = 0;
}

bool templateConditionalReader(void* context, std::int32_t request, std::uint32_t position, const char* /*name*/,
    std::int32_t count, std::string& outText, std::uint32_t& outStart, std::int32_t& outEnd, void* /*extra*/)
{
    auto* st = static_cast<cHTMLTemplateText*>(context);
    if (st == nullptr || count < 0 || position >= st->text.size())
        return false;
    st->message.clear();
    switch (request) {
    case -6:
    case -3:
        return false;
    case -5:
        outText = std::to_string(st->text.size());
        return true;
    case -4:
        outText = st->text.substr(position, static_cast<size_t>(count));
        return true;
    default:
        break;
    }
    cLIntStack ownStack;
    cLIntStack& stack = st->conditionStack != nullptr ? *st->conditionStack : ownStack;
    Span token;

    if (request >= 1 && position == 0 && count == 0) {
        if (!st->indexBuilt) {
            if (!IndexBuilder(*st).build())
                return false;
            st->indexBuilt = true;
        }
        const auto n = static_cast<size_t>(request);
        if (n >= st->sectionStarts.size()) {
            if (n > st->sectionStarts.size() && st->strictness > 0) {
                st->message = "Attempted to read way past end of input.";
                st->errorPosition = 0;
            }
            return false;
        }
        if (!nextVisible(st->text, st->sectionStarts[n], st->conditions, stack, token))
            return false;
        return serve(*st, token, outText, outStart, outEnd);
    }

    std::int32_t from = static_cast<std::int32_t>(position);
    if (from == st->start && st->end > 0) {
        if (count != 1) {
            token = {st->start, st->end};
            return serve(*st, token, outText, outStart, outEnd);
        }
        from = st->end;
    } else {
        for (std::int32_t i = 0; i < count && from < static_cast<std::int32_t>(st->text.size()); ++i)
            from = rawToken(st->text, from).end;
    }
    if (!nextVisible(st->text, from, st->conditions, stack, token))
        return false;
    return serve(*st, token, outText, outStart, outEnd);
}
