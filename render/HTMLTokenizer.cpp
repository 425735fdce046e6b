#include "render/HTMLTokenizer.h"

#include "render/HTMLEntities.h"

namespace {

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}
bool isBlankOrTab(char c)
{
    return c == ' ' || c == '\t';
}

void appendUTF8(std::string& out, std::uint32_t u)
{
    if (u < 0x80) {
        out.push_back(static_cast<char>(u));
    } else if (u < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (u >> 6)));
        out.push_back(static_cast<char>(0x80 | (u & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xE0 | (u >> 12)));
        out.push_back(static_cast<char>(0x80 | ((u >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (u & 0x3F)));
    }
}

// Length of a well-formed UTF-8 sequence at i (2-4), or 0 when the byte stands alone.
std::size_t sequenceLength(std::string_view s, std::size_t i)
{
    unsigned char lead = static_cast<unsigned char>(s[i]);
    std::size_t n = lead >= 0xF0 && lead < 0xF8 ? 4
        : lead >= 0xE0 && lead < 0xF0           ? 3
        : lead >= 0xC0 && lead < 0xE0           ? 2
                                                : 0;
    if (n == 0 || i + n > s.size())
        return 0;
    for (std::size_t k = 1; k < n; ++k)
        if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80)
            return 0;
    return n;
}

// Text token: fold white space runs, decode references, and read stray bytes as Latin-1 characters so
// the result is UTF-8.
std::string textOfToken(std::string_view token)
{
    std::string folded;
    folded.reserve(token.size());
    for (std::size_t i = 0; i < token.size();) {
        if (isSpace(token[i]) && i + 1 < token.size() && isSpace(token[i + 1])) {
            while (i < token.size() && isSpace(token[i]))
                ++i;
            folded.push_back(' ');
        } else {
            folded.push_back(token[i++]);
        }
    }
    std::string out;
    out.reserve(folded.size());
    std::string_view s(folded);
    for (std::size_t i = 0; i < s.size();) {
        char c = s[i];
        if (c == '&') {
            std::size_t length = 0;
            std::uint16_t ch = matchCharacterEntity(s.substr(i + 1), true, length);
            if (ch != 0) {
                appendUTF8(out, ch);
                i += 1 + length;
                continue;
            }
        }
        if (static_cast<unsigned char>(c) < 0x80) {
            out.push_back(c);
            ++i;
            continue;
        }
        std::size_t n = sequenceLength(s, i);
        if (n == 0) {
            appendUTF8(out, static_cast<unsigned char>(c));
            ++i;
        } else {
            out.append(s.substr(i, n));
            i += n;
        }
    }
    return out;
}

std::string_view trimmed(std::string_view s)
{
    while (!s.empty() && isSpace(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isSpace(s.back()))
        s.remove_suffix(1);
    return s;
}

std::string loweredAscii(std::string_view s)
{
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return out;
}

void readAttributes(std::string_view rest, cHTMLAttributeList& attributes)
{
    for (;;) {
        while (!rest.empty() && isBlankOrTab(rest.front()))
            rest.remove_prefix(1);
        if (rest.empty())
            return;
        std::size_t nameEnd = 0;
        while (nameEnd < rest.size() && !isBlankOrTab(rest[nameEnd]) && rest[nameEnd] != '=')
            ++nameEnd;
        std::string name = loweredAscii(rest.substr(0, nameEnd));
        rest = trimmed(rest.substr(nameEnd));
        std::string_view value;
        if (!rest.empty() && rest.front() == '=') {
            rest = trimmed(rest.substr(1));
            if (!rest.empty() && (rest.front() == '"' || rest.front() == '\'')) {
                char quote = rest.front();
                std::size_t close = rest.find(quote, 1);
                if (close == std::string_view::npos) {
                    value = rest.substr(1);
                    rest = {};
                } else {
                    value = rest.substr(1, close - 1);
                    rest = rest.substr(close + 1);
                }
            } else {
                std::size_t end = 0;
                while (end < rest.size() && !isBlankOrTab(rest[end]))
                    ++end;
                value = rest.substr(0, end);
                rest = rest.substr(end);
            }
            rest = trimmed(rest);
        }
        if (attributes.count() < kMaxAttributesPerTag || attributes.hasName(name))
            attributes.addNamedStringValue(name, value);
    }
}

void splitStyleAttribute(cHTMLAttributeList& attributes)
{
    std::string style = attributes.valueForCode(HTMLAttr::style);
    if (style.empty())
        return;
    attributes.removeByCode(HTMLAttr::style);
    std::string_view rest(style);
    for (;;) {
        std::size_t colon = rest.find(':');
        if (colon == std::string_view::npos)
            return;
        std::string_view property = trimmed(rest.substr(0, colon));
        rest = rest.substr(colon + 1);
        while (!rest.empty() && isBlankOrTab(rest.front()))
            rest.remove_prefix(1);
        std::size_t semicolon = rest.find(';');
        std::string_view value = rest.substr(0, semicolon);
        while (!value.empty() && isSpace(value.back()))
            value.remove_suffix(1);
        rest = semicolon == std::string_view::npos ? std::string_view() : rest.substr(semicolon + 1);
        if (attributes.count() < kMaxAttributesPerTag || attributes.hasName(property))
            attributes.addNamedStringValue(property, value);
    }
}

}  // namespace

void tokenizeTag(
    std::string_view token, HTMLTagCode& code, cHTMLAttributeList& attributes, std::string* name, bool splitStyle)
{
    attributes.clear();
    code = 0;
    if (name != nullptr)
        name->clear();
    if (token.empty())
        return;

    if (token.front() != '<') {
        std::string text = textOfToken(token);
        code = HTMLTag::untagged_text;
        bool onlySpace = true;
        for (char c : text)
            if (!isSpace(c)) {
                onlySpace = false;
                break;
            }
        if (onlySpace)
            attributes.addCodedCodedValue(HTMLAttr::is_whitespace, HTMLValue::yes);
        attributes.addCodedStringValue(HTMLAttr::untagged_text, text);
        return;
    }

    if (token.size() < 2)
        return;
    std::string_view tag = token.substr(1);
    std::size_t close = tag.find('>');
    if (close == std::string_view::npos)
        return;
    if (close > 0 && tag[close - 1] == '/')
        --close;
    tag = tag.substr(0, close);

    std::size_t nameEnd = 0;
    while (nameEnd < tag.size() && !isBlankOrTab(tag[nameEnd]))
        ++nameEnd;
    std::string tagName = loweredAscii(tag.substr(0, nameEnd));
    bool closing = !tagName.empty() && tagName.front() == '/';
    if (closing)
        tagName.erase(0, 1);
    code = tagCodeForName(tagName);
    if (closing)
        code = -code;
    if (name != nullptr)
        *name = tagName;

    readAttributes(tag.substr(nameEnd), attributes);
    if (splitStyle)
        splitStyleAttribute(attributes);
}
