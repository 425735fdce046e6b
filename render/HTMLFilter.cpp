#include "render/HTMLFilter.h"

#include "engine/foundation/CharacterClasses.h"
#include "engine/references/cBibleRef.h"
#include "engine/references/cBibleRefText.h"
#include "render/HTMLEntities.h"
#include "render/HTMLTagCode.h"
#include "render/HTMLTokenizer.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace {

// ---------------------------------------------------------------------------------------------
// Tables

struct FilterLevelRow {
    const char* prefix;  // lower case
    int level;           // 0 document, 1 form controls, 2 blocks, 3 inline text styles
    int pair;            // opening row's number, negated on its closing row; 0 when unpaired
};

// Searched first to last; a tag matches a row when it begins with the prefix (ASCII case ignored).
constexpr FilterLevelRow kFilterLevels[] = {
    {"<blockquote>", 2, 100},
    {"</blockquote>", 2, -100},
    {"<br ", 2, 0},
    {"<br>", 2, 0},
    {"<center>", 2, 101},
    {"</center>", 2, -101},
    {"<h1>", 2, 102},
    {"<h1 ", 2, 102},
    {"</h1>", 2, -102},
    {"<h2>", 2, 103},
    {"<h2 ", 2, 103},
    {"</h2>", 2, -103},
    {"<h3>", 2, 104},
    {"<h3 ", 2, 104},
    {"</h3>", 2, -104},
    {"<h4>", 2, 105},
    {"<h4 ", 2, 105},
    {"</h4>", 2, -105},
    {"<h5>", 2, 106},
    {"<h5 ", 2, 106},
    {"</h5>", 2, -106},
    {"<h6>", 2, 107},
    {"<h6 ", 2, 107},
    {"</h6>", 2, -107},
    {"<hr>", 2, 0},
    {"<hr ", 2, 0},
    {"<p>", 2, 108},
    {"<p ", 2, 108},
    {"</p>", 2, -108},
    {"<a ", 2, 200},
    {"</a>", 2, -200},
    {"<table ", 2, 300},
    {"<table>", 2, 300},
    {"</table>", 2, -300},
    {"<tr ", 2, 301},
    {"<tr>", 2, 301},
    {"</tr>", 2, -301},
    {"<td ", 2, 302},
    {"<td>", 2, 302},
    {"</td>", 2, -302},
    {"<th ", 2, 302},
    {"<th>", 2, 302},
    {"</th>", 2, -302},
    {"<ul>", 2, 400},
    {"<ul ", 2, 400},
    {"</ul>", 2, -400},
    {"<ol>", 2, 401},
    {"<ol ", 2, 401},
    {"</ol>", 2, -401},
    {"<li>", 2, 402},
    {"<li ", 2, 402},
    {"</li>", 2, -402},
    {"<font ", 2, 800},
    {"</font>", 2, -800},
    {"<img ", 2, 0},
    {"<map ", 2, 801},
    {"</map>", 2, -801},
    {"<area ", 2, 0},
    {"<b>", 3, 500},
    {"</b>", 3, -500},
    {"<big>", 3, 501},
    {"</big>", 3, -501},
    {"<i>", 3, 502},
    {"</i>", 3, -502},
    {"<s>", 3, 503},
    {"</s>", 3, -503},
    {"<small>", 3, 504},
    {"</small>", 3, -504},
    {"<strike>", 3, 505},
    {"</strike>", 3, -505},
    {"<sub>", 3, 506},
    {"</sub>", 3, -506},
    {"<sup>", 3, 507},
    {"</sup>", 3, -507},
    {"<tt>", 3, 508},
    {"</tt>", 3, -508},
    {"<u>", 3, 509},
    {"</u>", 3, -509},
    {"<cite>", 3, 600},
    {"</cite>", 3, -600},
    {"<code>", 3, 601},
    {"</code>", 3, -601},
    {"<dfn>", 3, 602},
    {"</dfn>", 3, -602},
    {"<em>", 3, 603},
    {"</em>", 3, -603},
    {"<kbd>", 3, 604},
    {"</kbd>", 3, -604},
    {"<samp>", 3, 605},
    {"</samp>", 3, -605},
    {"<strong>", 3, 606},
    {"</strong>", 3, -606},
    {"<var>", 3, 607},
    {"</var>", 3, -607},
    {"<form>", 1, 700},
    {"<form ", 1, 700},
    {"</form>", 1, -700},
    {"<input ", 1, 0},
    {"<select>", 1, 701},
    {"<select ", 1, 701},
    {"</select>", 1, -701},
    {"<option>", 1, 702},
    {"<option ", 1, 702},
    {"</option>", 1, -702},
    {"<textarea>", 1, 703},
    {"<textarea ", 1, 703},
    {"</textarea>", 1, -703},
    {"<head>", 0, 901},
    {"</head>", 0, -901},
    {"<html>", 0, 902},
    {"<html ", 0, 902},
    {"</html>", 0, -902},
    {"<body>", 0, 903},
    {"<body ", 0, 903},
    {"</body>", 0, -903},
    {"<dir>", 0, 904},
    {"<dir ", 0, 904},
    {"</dir>", 0, -904},
    {"<dl>", 0, 905},
    {"<dl ", 0, 905},
    {"</dl>", 0, -905},
    {"<menu>", 0, 906},
    {"<menu ", 0, 906},
    {"</menu>", 0, -906},
};
static_assert(std::size(kFilterLevels) == 124);

// Tags that end a block of text: at strength 3 and above they become a blank ("\r\n" at 5).
constexpr std::string_view kBlockClosers[] = {
    "</blockquote>",
    "<br ",
    "<br>",
    "</h1>",
    "</h2>",
    "</h3>",
    "</h4>",
    "</h5>",
    "</h6>",
    "</h7>",
    "</h8>",
    "</h9>",
    "</p>",
    "</td>",
    "</th>",
    "</ul>",
    "</ol>",
    "</li>",
};

// Elements of active content that strength 6 removes.
constexpr std::string_view kActiveContentTags[] = {"script", "iframe", "frame", "frameset", "object", "embed", "applet",
    "base", "link", "meta", "svg", "math", "form"};

// Attributes whose value the browser loads or follows as a URL.
constexpr std::string_view kUrlAttributes[] = {"href", "xlink:href", "src", "action", "formaction", "background",
    "lowsrc", "dynsrc", "poster", "codebase", "cite", "longdesc", "data"};

// ---------------------------------------------------------------------------------------------
// Small text helpers

char asciiLower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool startsWithIgnoringCase(std::string_view text, std::string_view prefix)
{
    if (text.size() < prefix.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (asciiLower(text[i]) != asciiLower(prefix[i]))
            return false;
    return true;
}

bool isHtmlSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}
bool isAsciiLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool isDecimalDigit(char c)
{
    return c >= '0' && c <= '9';
}
bool isHexDigit(char c)
{
    return isDecimalDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}
int hexValue(char c)
{
    return isDecimalDigit(c) ? c - '0' : (asciiLower(c) - 'a' + 10);
}

void appendUTF8(std::string& out, std::uint32_t cp)
{
    char buffer[4];
    const int n = encodeUTF8Char(cp, buffer);
    out.append(buffer, static_cast<std::size_t>(n));
}

// A numeric reference body ("#65", "#x41"): its code point, or nothing when it is not all digits,
// is zero, a surrogate or beyond Unicode.
std::optional<std::uint32_t> numericReference(std::string_view body)
{
    if (body.size() < 2 || body[0] != '#')
        return std::nullopt;
    std::size_t i = 1;
    int radix = 10;
    if (body[1] == 'x' || body[1] == 'X') {
        radix = 16;
        i = 2;
    }
    if (i >= body.size())
        return std::nullopt;
    std::uint32_t value = 0;
    for (; i < body.size(); ++i) {
        const char c = body[i];
        std::uint32_t digit;
        if (c >= '0' && c <= '9')
            digit = static_cast<std::uint32_t>(c - '0');
        else if (radix == 16 && c >= 'a' && c <= 'f')
            digit = static_cast<std::uint32_t>(c - 'a' + 10);
        else if (radix == 16 && c >= 'A' && c <= 'F')
            digit = static_cast<std::uint32_t>(c - 'A' + 10);
        else
            return std::nullopt;
        value = value * static_cast<std::uint32_t>(radix) + digit;
        if (value > 0x10FFFF)
            return std::nullopt;
    }
    if (value == 0 || (value >= 0xD800 && value <= 0xDFFF))
        return std::nullopt;
    return value;
}

// The character a reference body (the text between "&" and ";") stands for; 0 when unknown.
std::uint32_t decodeReference(std::string_view body, bool withMarkupEntities)
{
    if (!body.empty() && body[0] == '#')
        return numericReference(body).value_or(0);
    return entityCharacter(body, withMarkupEntities);
}

bool isMarkupCharacter(std::uint32_t c)
{
    return c == '<' || c == '>' || c == '&' || c == '"' || c == '\'';
}

// ---------------------------------------------------------------------------------------------
// Making kept markup inert

// An attribute value as the browser reads it: character references decoded (numeric ones also
// without ";", as the browser takes them).
std::string decodedAttributeValue(std::string_view value)
{
    std::string decoded;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '&') {
            std::size_t end = i + 1;
            while (end < value.size() && end - i < 32 && value[end] != ';' && value[end] != '&')
                ++end;
            std::string_view body = value.substr(i + 1, end - i - 1);
            std::uint32_t c = 0;
            if (!body.empty() && body[0] == '#') {
                // The browser accepts numeric references without ";" and with leading zeros.
                std::size_t digitsEnd = 1;
                const bool hex = body.size() > 1 && (body[1] == 'x' || body[1] == 'X');
                if (hex)
                    digitsEnd = 2;
                while (digitsEnd < body.size() && (hex ? isHexDigit(body[digitsEnd]) : isDecimalDigit(body[digitsEnd])))
                    ++digitsEnd;
                c = numericReference(body.substr(0, digitsEnd)).value_or(0);
                if (c)
                    end = i + 1 + digitsEnd +
                        ((i + 1 + digitsEnd < value.size() && value[i + 1 + digitsEnd] == ';') ? 1 : 0);
            } else {
                const std::string lowered = [&] {
                    std::string s(body);
                    for (char& ch : s)
                        ch = asciiLower(ch);
                    return s;
                }();
                if (lowered == "colon")
                    c = ':';
                else if (lowered == "tab")
                    c = '\t';
                else if (lowered == "newline")
                    c = '\n';
                else
                    c = entityCharacter(body, true);
                if (c)
                    end = (end < value.size() && value[end] == ';') ? end + 1 : end;
            }
            if (c) {
                appendUTF8(decoded, c);
                i = end - 1;
                continue;
            }
        }
        decoded.push_back(value[i]);
    }
    return decoded;
}

// The value as the browser reads it for a URL: character references decoded, white space and
// control characters dropped, ASCII lower-cased.
std::string urlSchemeView(std::string_view value)
{
    const std::string decoded = decodedAttributeValue(value);
    std::string out;
    for (char c : decoded) {
        const auto u = static_cast<unsigned char>(c);
        if (u <= 0x20 || u == 0x7F)
            continue;
        out.push_back(asciiLower(c));
    }
    return out;
}

// Percent-decodes a URL text (invalid escapes stay as written).
std::string percentDecoded(std::string_view text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && isHexDigit(text[i + 1]) && isHexDigit(text[i + 2])) {
            out.push_back(static_cast<char>(hexValue(text[i + 1]) << 4 | hexValue(text[i + 2])));
            i += 2;
        } else {
            out.push_back(text[i]);
        }
    }
    return out;
}

// The reader's own link form, "javascript:href('target');", whose target cannot end the script
// string: no apostrophe, backslash or line end, even after percent-decoding.
bool isReaderLink(std::string_view rawValue)
{
    static constexpr std::string_view kPrefix = "javascript:href('";
    static constexpr std::string_view kSuffix = "');";
    if (rawValue.size() < kPrefix.size() + kSuffix.size() || rawValue.substr(0, kPrefix.size()) != kPrefix ||
        rawValue.substr(rawValue.size() - kSuffix.size()) != kSuffix)
        return false;
    const std::string target =
        percentDecoded(rawValue.substr(kPrefix.size(), rawValue.size() - kPrefix.size() - kSuffix.size()));
    for (std::size_t i = 0; i < target.size(); ++i) {
        const auto u = static_cast<unsigned char>(target[i]);
        if (u < 0x20 || u == '\'' || u == '\\' || u == '"' || u == '&' || u == '<' || u == '>')
            return false;
        if (u == 0xE2 && i + 2 < target.size() && static_cast<unsigned char>(target[i + 1]) == 0x80 &&
            (static_cast<unsigned char>(target[i + 2]) == 0xA8 || static_cast<unsigned char>(target[i + 2]) == 0xA9))
            return false;  // U+2028 and U+2029 end a script line
    }
    return true;
}

bool isDangerousUrl(std::string_view attributeName, std::string_view rawValue)
{
    if (std::find(std::begin(kUrlAttributes), std::end(kUrlAttributes), attributeName) == std::end(kUrlAttributes))
        return false;
    const std::string scheme = urlSchemeView(rawValue);
    const auto begins = [&](std::string_view s) { return scheme.compare(0, s.size(), s) == 0; };
    if (begins("javascript:") || begins("vbscript:") || begins("livescript:"))
        return !isReaderLink(rawValue);
    return begins("data:") && attributeName != "src";
}

// What becomes of one attribute of a tag.
struct AttributeFate {
    enum Kind { Keep, Drop, Replace } kind = Keep;
    std::string value;  // Replace: the new value, written double-quoted as it stands
};

// The tag (from "<" through ">") with each attribute kept, dropped or given a new value as
// decide(tagName, name, rawValue, unterminated) says (names lower-cased); the tag itself when
// nothing changes. Attributes are read as the browser's tokeniser reads them, so no attribute
// escapes.
template <typename Decide> std::string rewriteAttributes(std::string_view tag, Decide&& decide)
{
    // Only "<" + letter opens an element; "</", "<!", "<?" and other text carry no live attribute.
    if (tag.size() < 3 || !isAsciiLetter(tag[1]))
        return std::string(tag);
    const std::string_view body = tag.substr(0, tag.size() - 1);  // without the ">"
    std::size_t p = 1;
    while (p < body.size() && !isHtmlSpace(body[p]) && body[p] != '/')
        ++p;
    std::string tagName(body.substr(1, p - 1));
    for (char& c : tagName)
        c = asciiLower(c);

    struct Change {
        std::size_t start, end;  // [start, end) span of body
        std::string text;        // what stands there instead
    };
    std::vector<Change> dropped;
    while (p < body.size()) {
        while (p < body.size() && (isHtmlSpace(body[p]) || body[p] == '/'))
            ++p;
        if (p >= body.size())
            break;
        const std::size_t start = p;
        ++p;  // the first character belongs to the name, even "="
        while (p < body.size() && !isHtmlSpace(body[p]) && body[p] != '/' && body[p] != '=')
            ++p;
        std::string name(body.substr(start, p - start));
        for (char& c : name)
            c = asciiLower(c);
        std::size_t q = p;
        while (q < body.size() && isHtmlSpace(body[q]))
            ++q;
        std::string_view value;
        bool unterminated = false;
        if (q < body.size() && body[q] == '=') {
            ++q;
            while (q < body.size() && isHtmlSpace(body[q]))
                ++q;
            if (q < body.size() && (body[q] == '"' || body[q] == '\'')) {
                const std::size_t close = body.find(body[q], q + 1);
                if (close == std::string_view::npos) {
                    unterminated = true;
                    value = body.substr(q + 1);
                    q = body.size();
                } else {
                    value = body.substr(q + 1, close - q - 1);
                    q = close + 1;
                }
            } else {
                const std::size_t valueStart = q;
                while (q < body.size() && !isHtmlSpace(body[q]))
                    ++q;
                value = body.substr(valueStart, q - valueStart);
            }
            p = q;
        }
        const AttributeFate fate = decide(std::string_view(tagName), std::string_view(name), value, unterminated);
        if (fate.kind == AttributeFate::Drop) {
            std::size_t from = start;  // the white space before the attribute goes with it
            while (from > 0 && isHtmlSpace(body[from - 1]))
                --from;
            dropped.push_back({from, p, std::string()});
        } else if (fate.kind == AttributeFate::Replace) {
            dropped.push_back({start, p, name + "=\"" + fate.value + "\""});
        }
    }
    if (dropped.empty())
        return std::string(tag);
    std::string out;
    std::size_t from = 0;
    for (const Change& change : dropped) {
        out.append(body.substr(from, change.start - from));
        out.append(change.text);
        from = change.end;
    }
    out.append(body.substr(from));
    out.push_back('>');
    return out;
}

// The tag with its dangerous attributes removed; the tag itself when it holds none.
std::string inertTag(std::string_view tag)
{
    return rewriteAttributes(
        tag, [](std::string_view, std::string_view name, std::string_view value, bool unterminated) {
            // A quoted value cut by the tag's ">" would swallow the text after the tag.
            const bool drop =
                unterminated || name.rfind("on", 0) == 0 || name == "srcdoc" || isDangerousUrl(name, value);
            return AttributeFate {drop ? AttributeFate::Drop : AttributeFate::Keep, {}};
        });
}

bool isActiveContentTag(std::string_view tag)
{
    std::size_t p = 1;
    if (p < tag.size() && tag[p] == '/')
        ++p;
    std::size_t end = p;
    while (end < tag.size() && isAsciiLetter(tag[end]))
        ++end;
    std::string name(tag.substr(p, end - p));
    for (char& c : name)
        c = asciiLower(c);
    if (name.empty() || (end < tag.size() && !isHtmlSpace(tag[end]) && tag[end] != '/' && tag[end] != '>'))
        return false;
    return std::find(std::begin(kActiveContentTags), std::end(kActiveContentTags), name) !=
        std::end(kActiveContentTags);
}

// ---------------------------------------------------------------------------------------------
// filterHtmlByStrength steps

bool opensMarkup(char c)
{
    return isAsciiLetter(c) || c == '/' || c == '!' || c == '?';
}

// The text without its script elements, their code included; an unclosed one runs to the end, as
// it does in the browser.
void removeScriptElements(std::string& text)
{
    static constexpr std::string_view kOpen = "<script";
    static constexpr std::string_view kClose = "</script";
    const auto endsName = [&](std::size_t at) {
        return at >= text.size() || isHtmlSpace(text[at]) || text[at] == '/' || text[at] == '>';
    };
    const auto findIgnoringCase = [&](std::string_view what, std::size_t from) {
        for (std::size_t at = text.find('<', from); at != std::string::npos; at = text.find('<', at + 1))
            if (startsWithIgnoringCase(std::string_view(text).substr(at), what) && endsName(at + what.size()))
                return at;
        return std::string::npos;
    };
    std::size_t open = findIgnoringCase(kOpen, 0);
    if (open == std::string::npos)
        return;
    std::string out;
    out.reserve(text.size());
    std::size_t pos = 0;
    while (open != std::string::npos) {
        out.append(text, pos, open - pos);
        const std::size_t close = findIgnoringCase(kClose, open + kOpen.size());
        const std::size_t gt = close == std::string::npos ? std::string::npos : text.find('>', close);
        if (gt == std::string::npos) {
            pos = text.size();
            break;
        }
        pos = gt + 1;
        open = findIgnoringCase(kOpen, pos);
    }
    out.append(text, std::min(pos, text.size()), std::string::npos);
    text.swap(out);
}

bool keptAtStrength(std::string_view tag, int strength)
{
    for (const FilterLevelRow& row : kFilterLevels)
        if (row.level >= strength && startsWithIgnoringCase(tag, row.prefix))
            return true;
    return false;
}

bool isBlockCloser(std::string_view tag)
{
    return std::any_of(std::begin(kBlockClosers), std::end(kBlockClosers),
        [&](std::string_view closer) { return startsWithIgnoringCase(tag, closer); });
}

// The one walk over the tags of a text: appends the text between tags to `out` and hands each tag
// ("<" up to the next ">") to onTag, which writes what it keeps and answers false to stop the walk
// (rewriteTags then answers false). Text from a "<" that has no ">" after it goes to onRest, which
// by default appends it as it stands.
template <typename OnTag, typename OnRest>
bool rewriteTags(const std::string& text, std::string& out, OnTag&& onTag, OnRest&& onRest)
{
    std::size_t pos = 0;
    while (true) {
        const std::size_t lt = text.find('<', pos);
        if (lt == std::string::npos) {
            out.append(text, pos, std::string::npos);
            return true;
        }
        out.append(text, pos, lt - pos);
        // As the browser reads it, a "<" opens markup only before a letter, "/", "!" or "?";
        // any other "<" is text, and a tag may start right after it ("<<img ...>").
        if (lt + 1 < text.size() && !opensMarkup(text[lt + 1])) {
            out.push_back('<');
            pos = lt + 1;
            continue;
        }
        const std::size_t gt = text.find('>', lt);
        if (gt == std::string::npos) {
            onRest(std::string_view(text).substr(lt));
            return true;
        }
        pos = gt + 1;
        if (!onTag(std::string_view(text.data() + lt, gt - lt + 1)))
            return false;
    }
}

template <typename OnTag> bool rewriteTags(const std::string& text, std::string& out, OnTag&& onTag)
{
    return rewriteTags(text, out, onTag, [&out](std::string_view rest) { out += rest; });
}

// Strengths 1-5. Returns false when a "<" has no ">" after it (the entity step is then skipped).
bool filterTags(std::string& text, int strength)
{
    std::string out;
    out.reserve(text.size());
    bool complete = true;
    rewriteTags(
        text, out,
        [&](std::string_view tag) {
            if (strength >= 3 && isBlockCloser(tag))
                out += strength == 5 ? "\r\n" : " ";
            else if (strength <= 3 && keptAtStrength(tag, strength))
                out += inertTag(tag);
            return true;
        },
        [&](std::string_view rest) {
            // The rest stays as it is; where markup is kept, its "<" are literal text.
            for (const char c : rest) {
                if (strength <= 3 && c == '<')
                    out += "&lt;";
                else
                    out.push_back(c);
            }
            complete = false;
        });
    text.swap(out);
    return complete;
}

// Strength 6: markup stays, made inert. A "<" that no ">" follows is written as "&lt;": left bare,
// the text put after this one would complete its tag.
void makeMarkupInert(std::string& text)
{
    if (text.find('<') == std::string::npos)
        return;
    removeScriptElements(text);
    std::string out;
    out.reserve(text.size());
    rewriteTags(
        text, out,
        [&](std::string_view tag) {
            if (!isActiveContentTag(tag))
                out += inertTag(tag);
            return true;
        },
        [&](std::string_view rest) {
            for (const char c : rest) {
                if (c == '<')
                    out += "&lt;";
                else
                    out.push_back(c);
            }
        });
    text.swap(out);
}

void convertEntities(std::string& text, int strength)
{
    const bool withMarkupEntities = strength == 4 || strength == 5;
    std::size_t amp = text.find('&');
    if (amp == std::string::npos)
        return;
    std::string out;
    out.reserve(text.size());
    out.append(text, 0, amp);
    std::size_t pos = amp;
    std::size_t semicolon = 0;  // the next ";" after the last "&" looked at; reused while ahead
    bool haveSemicolon = false;
    while (pos < text.size()) {
        amp = text.find('&', pos);
        if (amp == std::string::npos)
            break;
        out.append(text, pos, amp - pos);
        if (!haveSemicolon || semicolon <= amp) {
            semicolon = text.find(';', amp + 1);
            haveSemicolon = true;
        }
        if (semicolon == std::string::npos) {
            pos = amp;
            break;
        }
        const std::string_view body(text.data() + amp + 1, semicolon - amp - 1);
        const std::uint32_t c = decodeReference(body, withMarkupEntities);
        if (c != 0 && (withMarkupEntities || !isMarkupCharacter(c))) {
            appendUTF8(out, c);
            pos = semicolon + 1;
        } else {
            out.push_back('&');
            pos = amp + 1;
        }
    }
    if (pos < text.size())
        out.append(text, pos, std::string::npos);
    text.swap(out);
}

// ---------------------------------------------------------------------------------------------
// Resources to data: only

bool isCssIdentChar(char c)
{
    return isAsciiLetter(c) || isDecimalDigit(c) || c == '-' || c == '_' || static_cast<unsigned char>(c) >= 0x80;
}

// A CSS escape at text[i] (a "\"): the character it stands for, appended to out, and the index after
// it. Escapes are read as the browser reads them: up to six hex digits and one white space after.
std::size_t decodeCssEscape(std::string_view text, std::size_t i, std::string& out)
{
    std::size_t j = i + 1;
    if (j >= text.size())
        return j;
    if (!isHexDigit(text[j])) {
        if (text[j] != '\n')
            out.push_back(text[j]);
        return j + 1;
    }
    std::uint32_t cp = 0;
    const std::size_t digitsEnd = std::min(text.size(), j + 6);
    while (j < digitsEnd && isHexDigit(text[j]))
        cp = cp * 16 + static_cast<std::uint32_t>(hexValue(text[j++]));
    if (j < text.size() && (isHtmlSpace(text[j])))
        ++j;
    if (cp == 0 || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        cp = 0xFFFD;
    appendUTF8(out, cp);
    return j;
}

// The CSS text with comments gone and the escapes outside strings that stand for name characters
// written out, so that every function name and at-keyword reads as the browser reads it. Other
// escapes and strings stay as written.
std::string plainCssNames(std::string_view css)
{
    std::string out;
    out.reserve(css.size());
    for (std::size_t i = 0; i < css.size();) {
        const char c = css[i];
        if (c == '/' && i + 1 < css.size() && css[i + 1] == '*') {
            const std::size_t end = css.find("*/", i + 2);
            out.push_back(' ');
            i = end == std::string_view::npos ? css.size() : end + 2;
        } else if (c == '"' || c == '\'') {
            std::size_t j = i + 1;
            while (j < css.size() && css[j] != c && css[j] != '\n')
                j += css[j] == '\\' ? 2 : 1;
            j = std::min(j + 1, css.size());
            out.append(css.substr(i, j - i));
            i = j;
        } else if (c == '\\') {
            std::string decoded;
            const std::size_t next = decodeCssEscape(css, i, decoded);
            if (decoded.size() == 1 && isCssIdentChar(decoded[0]) && decoded[0] != '-')
                out += decoded;
            else
                out.append(css.substr(i, next - i));
            i = next;
        } else {
            out.push_back(c);
            ++i;
        }
    }
    return out;
}

// The end of the parenthesised argument that opens at css[open] ("("): the index after its ")",
// strings and nested parentheses skipped; the text's end when it is not closed.
std::size_t cssArgumentEnd(std::string_view css, std::size_t open)
{
    int depth = 0;
    for (std::size_t i = open; i < css.size(); ++i) {
        const char c = css[i];
        if (c == '\\') {
            ++i;
        } else if (c == '"' || c == '\'') {
            std::size_t j = i + 1;
            while (j < css.size() && css[j] != c && css[j] != '\n')
                j += css[j] == '\\' ? 2 : 1;
            i = j;
        } else if (c == '(') {
            ++depth;
        } else if (c == ')' && --depth == 0) {
            return i + 1;
        }
    }
    return css.size();
}

// The address a url(...) argument names, escapes decoded and quotes taken off.
std::string cssUrlArgument(std::string_view argument)
{
    std::size_t from = 0, to = argument.size();
    while (from < to && isHtmlSpace(argument[from]))
        ++from;
    while (to > from && isHtmlSpace(argument[to - 1]))
        --to;
    argument = argument.substr(from, to - from);
    if (!argument.empty() && (argument[0] == '"' || argument[0] == '\'')) {
        const char quote = argument[0];
        argument.remove_prefix(1);
        if (!argument.empty() && argument.back() == quote)
            argument.remove_suffix(1);
    }
    std::string out;
    for (std::size_t i = 0; i < argument.size();) {
        if (argument[i] == '\\') {
            i = decodeCssEscape(argument, i, out);
        } else {
            out.push_back(argument[i]);
            ++i;
        }
    }
    return out;
}

bool isDataUrl(std::string_view address)
{
    std::size_t i = 0;
    while (i < address.size() && static_cast<unsigned char>(address[i]) <= 0x20)
        ++i;
    return startsWithIgnoringCase(address.substr(i), "data:");
}

// Style sheet text that loads nothing but data: URLs: a url() naming anything else becomes "none",
// the functions that name images by strings (image-set(), image(), cross-fade(), element(), src())
// become "none", and @import rules go. Runs in one pass; text it does not understand stays, and a
// sheet that names nothing to remove is returned as written (comments and escapes included).
std::string cssWithDataResourcesOnly(std::string_view text)
{
    const std::string css = plainCssNames(text);
    std::string out;
    out.reserve(css.size());
    bool changed = false;
    for (std::size_t i = 0; i < css.size();) {
        const char c = css[i];
        if (c == '"' || c == '\'') {
            std::size_t j = i + 1;
            while (j < css.size() && css[j] != c && css[j] != '\n')
                j += css[j] == '\\' ? 2 : 1;
            j = std::min(j + 1, css.size());
            out.append(css, i, j - i);
            i = j;
            continue;
        }
        if (c == '\\') {
            out.append(css, i, std::min<std::size_t>(2, css.size() - i));
            i += 2;
            continue;
        }
        if (c == '@' && startsWithIgnoringCase(std::string_view(css).substr(i + 1), "import") &&
            (i + 7 >= css.size() || !isCssIdentChar(css[i + 7]))) {
            // The rule runs to its ";" (outside strings and parentheses) or to the text's end.
            std::size_t j = i + 7;
            while (j < css.size() && css[j] != ';') {
                if (css[j] == '(')
                    j = cssArgumentEnd(css, j);
                else if (css[j] == '"' || css[j] == '\'') {
                    const char quote = css[j];
                    ++j;
                    while (j < css.size() && css[j] != quote && css[j] != '\n')
                        j += css[j] == '\\' ? 2 : 1;
                    ++j;
                } else {
                    ++j;
                }
            }
            i = std::min(j + 1, css.size());
            changed = true;
            continue;
        }
        if (isCssIdentChar(c) && (i == 0 || !isCssIdentChar(css[i - 1]))) {
            std::size_t j = i;
            while (j < css.size() && isCssIdentChar(css[j]))
                ++j;
            if (j < css.size() && css[j] == '(') {
                std::string name = css.substr(i, j - i);
                for (char& ch : name)
                    ch = asciiLower(ch);
                const std::size_t end = cssArgumentEnd(css, j);
                if (name == "url") {
                    const std::size_t argumentEnd = end > j + 1 && css[end - 1] == ')' ? end - 1 : end;
                    if (isDataUrl(cssUrlArgument(std::string_view(css).substr(j + 1, argumentEnd - j - 1)))) {
                        out.append(css, i, end - i);
                    } else {
                        out += "none";
                        changed = true;
                    }
                    i = end;
                    continue;
                }
                static constexpr std::string_view kImageFunctions[] = {"image-set", "-webkit-image-set", "image",
                    "-webkit-image", "cross-fade", "-webkit-cross-fade", "element", "-moz-element", "src"};
                if (std::find(std::begin(kImageFunctions), std::end(kImageFunctions), name) !=
                    std::end(kImageFunctions)) {
                    out += "none";
                    changed = true;
                    i = end;
                    continue;
                }
            }
            out.append(css, i, j - i);
            i = j;
            continue;
        }
        out.push_back(c);
        ++i;
    }
    return changed ? out : std::string(text);
}

// Attributes whose value the browser loads as a resource (or requests, as a ping does).
constexpr std::string_view kResourceAttributes[] = {"src", "lowsrc", "dynsrc", "background", "poster", "data",
    "codebase", "archive", "longdesc", "profile", "manifest", "xlink:href", "action", "formaction", "icon"};
constexpr std::string_view kDroppedResourceAttributes[] = {"srcset", "imagesrcset", "ping"};

std::string escapedAttributeValue(std::string_view value)
{
    std::string out;
    for (const char c : value) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        default:
            out.push_back(c);
        }
    }
    return out;
}

std::string tagWithDataResourcesOnly(std::string_view tag)
{
    return rewriteAttributes(tag, [](std::string_view tagName, std::string_view name, std::string_view value, bool) {
        const auto among = [&](const auto& list) {
            return std::find(std::begin(list), std::end(list), name) != std::end(list);
        };
        if (among(kDroppedResourceAttributes))
            return AttributeFate {AttributeFate::Drop, {}};
        // A link's address is followed, not loaded; anywhere else an href names a resource.
        if (among(kResourceAttributes) || (name == "href" && tagName != "a" && tagName != "area"))
            return AttributeFate {
                isDataUrl(decodedAttributeValue(value)) ? AttributeFate::Keep : AttributeFate::Drop, {}};
        if (name == "href")
            return AttributeFate {};
        // Styles and the presentation attributes that take url(): read as style text.
        const std::string decoded = decodedAttributeValue(value);
        const std::string css = cssWithDataResourcesOnly(decoded);
        if (css == decoded)
            return AttributeFate {};
        return AttributeFate {AttributeFate::Replace, escapedAttributeValue(css)};
    });
}

// The name of the tag at text[lt] ("<name" or "</name"), lower-cased.
std::string tagNameAt(std::string_view text, std::size_t lt, bool* closing)
{
    std::size_t p = lt + 1;
    *closing = p < text.size() && text[p] == '/';
    if (*closing)
        ++p;
    std::string name;
    while (p < text.size() && isAsciiLetter(text[p]))
        name.push_back(asciiLower(text[p++]));
    return name;
}

}  // namespace

void filterHtmlByStrength(std::string& text, int strength, bool convert)
{
    if (strength <= 0 || strength > 6 || text.empty())
        return;
    if (strength == 6) {
        makeMarkupInert(text);
    } else if (!filterTags(text, strength)) {
        return;
    }
    if (convert)
        convertEntities(text, strength);
}

void keepOnlyDataResources(std::string& text)
{
    if (text.find('<') == std::string::npos)
        return;
    std::string out;
    out.reserve(text.size());
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t lt = text.find('<', pos);
        if (lt == std::string::npos) {
            out.append(text, pos, std::string::npos);
            break;
        }
        out.append(text, pos, lt - pos);
        const std::size_t gt =
            (lt + 1 < text.size() && opensMarkup(text[lt + 1])) ? text.find('>', lt) : std::string::npos;
        if (gt == std::string::npos) {
            out.push_back('<');
            pos = lt + 1;
            continue;
        }
        const std::string_view tag(text.data() + lt, gt - lt + 1);
        out += tagWithDataResourcesOnly(tag);
        pos = gt + 1;
        bool closing = false;
        if (tagNameAt(text, lt, &closing) != "style" || closing)
            continue;
        // A style element's text runs to its end tag; read as style sheet text (character
        // references are not read there, so a sheet that holds one is not kept).
        std::size_t end = pos;
        const auto endsSheet = [&](std::size_t at) {
            const std::size_t after = at + 7;  // "</style"
            return startsWithIgnoringCase(std::string_view(text).substr(at + 2), "style") &&
                (after >= text.size() || isHtmlSpace(text[after]) || text[after] == '/' || text[after] == '>');
        };
        while ((end = text.find("</", end)) != std::string::npos && !endsSheet(end))
            end += 2;
        const std::size_t stop = end == std::string::npos ? text.size() : end;
        const std::string_view sheet(text.data() + pos, stop - pos);
        if (sheet.find('&') == std::string_view::npos && sheet.find('<') == std::string_view::npos)
            out += cssWithDataResourcesOnly(sheet);
        pos = stop;
    }
    text.swap(out);
}

void filterHtmlByStrength(cLString8& text, int strength, bool convert)
{
    std::string s(text.chars(), static_cast<std::size_t>(text.length()));
    filterHtmlByStrength(s, strength, convert);
    text.makeEmpty();
    text.appendChars(s.data(), static_cast<std::int32_t>(s.size()));
}

// ---------------------------------------------------------------------------------------------
// normalizeNoteParagraphs

namespace {

// Inline elements a note may hold (code 0 is text, and every tag name the tokeniser does not know).
constexpr HTMLTagCode kNoteInlineTags[] = {HTMLTag::a, HTMLTag::b, HTMLTag::big, HTMLTag::font, HTMLTag::hr, HTMLTag::i,
    HTMLTag::img, HTMLTag::s, HTMLTag::small, HTMLTag::sub, HTMLTag::sup, HTMLTag::u, HTMLTag::none};

bool isNoteInlineTag(HTMLTagCode code)
{
    return std::find(std::begin(kNoteInlineTags), std::end(kNoteInlineTags), code) != std::end(kNoteInlineTags);
}

// Limits that keep a hostile note from multiplying itself: every paragraph re-opens all open tags.
constexpr std::size_t kMaxOpenNoteTags = 64;
constexpr std::size_t kNoteGrowthFactor = 8;
constexpr std::size_t kNoteGrowthAllowance = 64 * 1024;

struct NoteTag {
    HTMLTagCode code = 0;  // negative for a closing tag
    std::string name;      // lower case, without "/"
    bool markup = true;    // false for "<!...>" and "<?...>" (comments and declarations)
};

NoteTag readNoteTag(std::string_view tag)
{
    NoteTag t;
    if (tag.size() > 1 && (tag[1] == '!' || tag[1] == '?')) {
        t.markup = false;
        return t;
    }
    cHTMLAttributeList attributes;
    tokenizeTag(tag, t.code, attributes, &t.name, false);
    return t;
}

bool isClosingTagText(std::string_view tag)
{
    return tag.size() > 1 && tag[1] == '/';
}

void replaceAllIn(std::string& text, std::string_view find, std::string_view replacement)
{
    std::string out;
    std::size_t pos = 0;
    bool changed = false;
    while (true) {
        const std::size_t at = text.find(find, pos);
        if (at == std::string::npos)
            break;
        out.append(text, pos, at - pos);
        out.append(replacement);
        pos = at + find.size();
        changed = true;
    }
    if (!changed)
        return;
    out.append(text, pos, std::string::npos);
    text.swap(out);
}

// Every tag of the note is an inline tag (a "<" without ">" ends the check).
bool holdsOnlyInlineTags(const std::string& text)
{
    std::size_t pos = 0;
    while (true) {
        const std::size_t lt = text.find('<', pos);
        if (lt == std::string::npos)
            return true;
        const std::size_t gt = text.find('>', lt);
        if (gt == std::string::npos)
            return true;
        const NoteTag tag = readNoteTag(std::string_view(text).substr(lt, gt - lt + 1));
        if (tag.markup && !isNoteInlineTag(tag.code < 0 ? -tag.code : tag.code))
            return false;
        pos = gt + 1;
    }
}

// Closes the open inline tags before each "</p>" and opens them again after the next "<p>".
// Returns false when the note nests too deeply or would grow too large.
bool carryInlineTagsAcrossParagraphs(std::string& text, std::size_t limit)
{
    struct Open {
        HTMLTagCode code;
        std::string name;
        std::string text;
    };
    std::vector<Open> open;
    std::string out;
    out.reserve(text.size() + text.size() / 4);
    const bool fits = rewriteTags(text, out, [&](std::string_view tagText) {
        const NoteTag tag = readNoteTag(tagText);
        if (tag.markup && tag.code == -HTMLTag::p) {
            for (auto it = open.rbegin(); it != open.rend(); ++it)
                out += "</" + it->name + ">";
            out += tagText;
        } else if (tag.markup && tag.code == HTMLTag::p) {
            out += tagText;
            for (const Open& o : open)
                out += o.text;
        } else if (tag.markup && isClosingTagText(tagText)) {
            out += tagText;
            if (!open.empty() && open.back().code == -tag.code && open.back().name == tag.name)
                open.pop_back();
        } else {
            out += tagText;
            if (tag.markup && tag.code != HTMLTag::hr && tag.code != HTMLTag::img) {
                if (open.size() >= kMaxOpenNoteTags)
                    return false;
                open.push_back({tag.code, tag.name, std::string(tagText)});
            }
        }
        return out.size() <= limit;
    });
    if (!fits)
        return false;
    text.swap(out);
    return true;
}

// Removes each inline closing tag that directly follows its own opening tag, and so nested
// empty pairs too.
void removeEmptyInlinePairs(std::string& text)
{
    struct Written {
        std::size_t start;
        std::size_t end;
        HTMLTagCode code;
        bool opening;
    };
    std::vector<Written> tags;
    std::string out;
    out.reserve(text.size());
    rewriteTags(text, out, [&](std::string_view tagText) {
        const NoteTag tag = readNoteTag(tagText);
        const bool closing = tag.markup && isClosingTagText(tagText);
        const HTMLTagCode element = tag.code < 0 ? -tag.code : tag.code;
        if (closing && element != HTMLTag::none && element != HTMLTag::hr && element != HTMLTag::img &&
            isNoteInlineTag(element) && !tags.empty() && tags.back().opening && tags.back().end == out.size() &&
            tags.back().code == element) {
            // The tag just before ends at out's last character: an empty pair.
            out.resize(tags.back().start);
            tags.pop_back();
            return true;
        }
        tags.push_back({out.size(), out.size() + tagText.size(), element, tag.markup && !closing});
        out += tagText;
        return true;
    });
    text.swap(out);
}

}  // namespace

void normalizeNoteParagraphs(std::string& text)
{
    if (!holdsOnlyInlineTags(text))
        return;
    std::string note = text;
    // A "<" that no ">" follows is a literal character; left bare it would open a tag with the
    // paragraph end appended below.
    const std::size_t lastGt = note.rfind('>');
    std::size_t firstDangling = note.find('<', lastGt == std::string::npos ? 0 : lastGt + 1);
    if (firstDangling != std::string::npos) {
        std::string tail = note.substr(firstDangling);
        replaceAllIn(tail, "<", "&lt;");
        note.replace(firstDangling, std::string::npos, tail);
    }
    note = "<p>" + note + "</p>";
    replaceAllIn(note, "\r\n", "</p><p>");
    replaceAllIn(note, "\n", "</p><p>");
    replaceAllIn(note, "\r", "</p><p>");
    replaceAllIn(note, "<p></p>", "<p>&nbsp;</p>");
    while (note.find("  ") != std::string::npos)
        replaceAllIn(note, "  ", "&nbsp; ");
    if (!carryInlineTagsAcrossParagraphs(note, note.size() * kNoteGrowthFactor + kNoteGrowthAllowance))
        return;
    removeEmptyInlinePairs(note);
    replaceAllIn(note, "<p></p>", "<p>&nbsp;</p>");
    text.swap(note);
}

void normalizeNoteParagraphs(cLString8& text)
{
    std::string s(text.chars(), static_cast<std::size_t>(text.length()));
    normalizeNoteParagraphs(s);
    text.makeEmpty();
    text.appendChars(s.data(), static_cast<std::int32_t>(s.size()));
}

// ---------------------------------------------------------------------------------------------
// linkBibleReferencesInHtml

namespace {

// Reference text never crosses a tag; a longer run than this is never one reference.
constexpr std::size_t kReferenceWindow = 1024;

// Letters, digits and combining marks make words; everything else separates them.
bool isWordCharAt(const std::string& text, std::size_t pos, int& bytes)
{
    const std::uint32_t c = cBibleRefText::decode(text.data() + pos, text.data() + text.size(), bytes);
    if (c > 0xFFFF)
        return false;
    const auto u = static_cast<std::uint16_t>(c);
    return isLetterOrMarkChar16(u) || isDigitChar16(u) || isCombiningChar16(u);
}

bool isWordCharAt(const std::string& text, std::size_t pos)
{
    int bytes = 1;
    return pos < text.size() && isWordCharAt(text, pos, bytes);
}

// Whether the character ending just before `pos` is a blank.
bool blankBefore(const std::string& text, std::size_t pos)
{
    return pos > 0 && text[pos - 1] == ' ';
}

// Skips separators, tags and existing links from `pos`.
std::size_t skipSeparators(const std::string& text, std::size_t pos)
{
    while (pos < text.size()) {
        if (text[pos] == '<') {
            // An existing link: "<a" and a blank (or other white space, or ">": a link is a link
            // however the editor spaced it).
            const bool link = pos + 2 < text.size() && (text[pos + 1] == 'a' || text[pos + 1] == 'A') &&
                (isHtmlSpace(text[pos + 2]) || text[pos + 2] == '>');
            if (link) {
                std::size_t close = text.find("</a>", pos);
                if (close == std::string::npos)
                    close = text.find("</A>", pos);
                pos = close == std::string::npos ? text.size() : close + 4;
            } else {
                const std::size_t gt = text.find('>', pos);
                pos = gt == std::string::npos ? text.size() : gt + 1;
            }
            continue;
        }
        int bytes = 1;
        if (isWordCharAt(text, pos, bytes))
            break;
        pos += static_cast<std::size_t>(bytes);
    }
    return pos;
}

std::size_t skipWord(const std::string& text, std::size_t pos)
{
    int bytes = 1;
    while (pos < text.size() && text[pos] != '<' && isWordCharAt(text, pos, bytes))
        pos += static_cast<std::size_t>(bytes);
    return pos;
}

bool refusedRange(const bibleRefRange& range)
{
    if (range.startChapter == -1 && range.startVerse == -1)
        return true;  // a book name alone
    if (range.startVerse == -1 && cBibleRef::isOneChapterBook(range.startBook))
        return true;
    return range.startBook == 88 && range.startChapter == 151 && range.startVerse == -1;
}

// Parses a reference at `start`. Returns the length of the text it covers (0 when none) and
// leaves the accepted ranges in `ref`.
std::size_t parseReferenceAt(const std::string& text, std::size_t start, cBibleRef& ref)
{
    std::size_t windowEnd = text.find('<', start);
    if (windowEnd == std::string::npos)
        windowEnd = text.size();
    windowEnd = std::min(windowEnd, start + kReferenceWindow);
    const std::string window = text.substr(start, windowEnd - start);
    std::int32_t position = 0;
    ref.parse(window.c_str(), position);
    if (!ref.hasRanges())
        return 0;

    // The parsed text must end at a word boundary; otherwise ranges are dropped from the end.
    std::size_t end = start + static_cast<std::size_t>(std::max(position, 0));
    while (ref.hasRanges() && end < text.size() && isWordCharAt(text, end) && !blankBefore(text, end)) {
        bibleRefRange* last = ref.firstRange();
        while (last->next)
            last = last->next;
        ref.truncateRangesFrom(last);
        if (!ref.hasRanges())
            return 0;
        bibleRefRange* newLast = ref.firstRange();
        while (newLast->next)
            newLast = newLast->next;
        end = start + static_cast<std::size_t>(std::max(newLast->textEnd, 0));
    }
    for (bibleRefRange* r = ref.firstRange(); r; r = r->next) {
        if (refusedRange(*r)) {
            ref.truncateRangesFrom(r);
            break;
        }
    }
    if (!ref.hasRanges())
        return 0;
    bibleRefRange* last = ref.firstRange();
    while (last->next)
        last = last->next;
    last->followingText.reset();  // text towards a dropped range stays outside the link
    return static_cast<std::size_t>(std::max(last->textEnd, 0));
}

}  // namespace

void linkBibleReferencesInHtml(std::string& text)
{
    cBibleRef ref;
    std::string out;
    std::size_t copied = 0;
    std::size_t pos = 0;
    bool tookNothing = false;
    while (pos < text.size()) {
        if (tookNothing)
            pos = skipWord(text, pos);
        pos = skipSeparators(text, pos);
        if (pos >= text.size())
            break;
        const std::size_t length = parseReferenceAt(text, pos, ref);
        if (length == 0) {
            tookNothing = true;
            continue;
        }
        ref.formatSpelling(kSpellTypedText);
        out.append(text, copied, pos - copied);
        out.append(ref.spellingText());
        pos += length;
        copied = pos;
        tookNothing = false;
    }
    if (copied == 0)
        return;
    out.append(text, copied, std::string::npos);
    text.swap(out);
}

void linkBibleReferencesInHtml(cLString8& text)
{
    std::string s(text.chars(), static_cast<std::size_t>(text.length()));
    linkBibleReferencesInHtml(s);
    text.makeEmpty();
    text.appendChars(s.data(), static_cast<std::int32_t>(s.size()));
}
