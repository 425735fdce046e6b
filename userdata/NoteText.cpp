#include "userdata/NoteText.h"

#include <sqlite3.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>

namespace {

// A unit that draws nothing on its own: white space and separators, no-break, zero-width and joiner
// spaces, the soft hyphen, control characters.
bool isBlankUnit(char16_t c)
{
    if (c <= 0x20 || (c >= 0x7F && c <= 0xA0))
        return true;
    switch (c) {
    case 0x00AD:
    case 0x1680:
    case 0x2028:
    case 0x2029:
    case 0x202F:
    case 0x205F:
    case 0x2060:
    case 0x3000:
    case 0xFEFF:
        return true;
    default:
        return c >= 0x2000 && c <= 0x200D;
    }
}

bool isOneOf(char16_t c, std::u16string_view set)
{
    return set.find(c) != std::u16string_view::npos;
}

char16_t lower(char16_t c)
{
    return c >= u'A' && c <= u'Z' ? char16_t(c - u'A' + u'a') : c;
}

// The end (one past its ">") of the tag that starts at `lt`, read as the HTML scanner of the note
// conversions reads tags: a name, then attributes whose quoted values may hold ">". 0 when no tag
// starts there.
std::size_t tagEnd(std::u16string_view s, std::size_t lt)
{
    const std::size_t end = s.size();
    std::size_t i = lt + 1;
    const auto skipBlanks = [&] {
        while (i < end && isOneOf(s[i], u" \t"))
            ++i;
    };
    const std::size_t nameStart = i;
    while (i < end && !isOneOf(s[i], u" \t><"))
        ++i;
    if (i == nameStart)
        return 0;
    skipBlanks();
    while (i < end) {
        if (s[i] == u'>')
            return i + 1;
        if (s[i] == u'<')
            return 0;
        while (i < end && !isOneOf(s[i], u" \t=><"))
            ++i;
        skipBlanks();
        if (i < end && s[i] == u'=') {
            ++i;
            skipBlanks();
            if (i < end && (s[i] == u'"' || s[i] == u'\'')) {
                const std::size_t close = s.find(s[i], i + 1);
                if (close == std::u16string_view::npos)
                    return 0;
                i = close + 1;
            } else {
                while (i < end && !isOneOf(s[i], u" \t><"))
                    ++i;
            }
            skipBlanks();
        }
    }
    return 0;
}

// The lower-case name of a tag ("p" of "<p class='x'>" and of "</p>").
std::u16string tagName(std::u16string_view tag)
{
    std::size_t i = 1;
    const auto skip = [&] {
        while (i < tag.size() && isOneOf(tag[i], u" \t\r\n"))
            ++i;
    };
    skip();
    if (i < tag.size() && tag[i] == u'/')
        ++i;
    skip();
    std::u16string name;
    for (; i < tag.size() && !isOneOf(tag[i], u" \t\r\n/>"); ++i)
        name.push_back(lower(tag[i]));
    return name;
}

// Where the element whose text is not shown (a style sheet, a script, a title) ends: after its
// closing tag, or at the end of the text.
std::size_t afterClosingTag(std::u16string_view s, std::size_t from, const std::u16string& name)
{
    for (std::size_t i = s.find(u"</", from); i != std::u16string_view::npos; i = s.find(u"</", i + 2)) {
        std::size_t j = i + 2;
        std::size_t k = 0;
        while (k < name.size() && j < s.size() && lower(s[j]) == name[k]) {
            ++j;
            ++k;
        }
        if (k != name.size())
            continue;
        while (j < s.size() && isOneOf(s[j], u" \t\r\n\f"))
            ++j;
        if (j < s.size() && s[j] == u'>')
            return j + 1;
    }
    return s.size();
}

bool isDigitOf(char16_t c, int radix, unsigned& value)
{
    if (c >= u'0' && c <= u'9')
        value = unsigned(c - u'0');
    else if (radix == 16 && lower(c) >= u'a' && lower(c) <= u'f')
        value = unsigned(lower(c) - u'a' + 10);
    else
        return false;
    return true;
}

// The character a reference "&...;" (the text between "&" and ";") stands for; 0 when it names
// none. A numeric reference keeps the low 16 bits of its number, as the reader's decoder does; of
// the named ones only those that show nothing need to be known here.
char16_t referencedCharacter(std::u16string_view name)
{
    if (!name.empty() && name[0] == u'#') {
        std::size_t i = 1;
        int radix = 10;
        if (i < name.size() && (name[i] == u'x' || name[i] == u'X')) {
            radix = 16;
            ++i;
        }
        if (i == name.size())
            return 0;
        std::uint64_t value = 0;
        for (; i < name.size(); ++i) {
            unsigned d = 0;
            if (!isDigitOf(name[i], radix, d))
                return 0;
            value = value * unsigned(radix) + d;
            if (value > 0xFFFFFFFFull)
                return 0;
        }
        return char16_t(value & 0xFFFF);
    }
    static constexpr std::array<std::pair<std::u16string_view, char16_t>, 7> kBlank {
        {{u"nbsp", 0xA0}, {u"ensp", 0x2002}, {u"emsp", 0x2003}, {u"thinsp", 0x2009}, {u"zwnj", 0x200C},
            {u"zwj", 0x200D}, {u"shy", 0xAD}}};
    for (const auto& [entity, character] : kBlank)
        if (name == entity)
            return character;
    return 0;
}

bool isSeenWithoutText(const std::u16string& name)
{
    static constexpr std::u16string_view kSeen[] = {u"img", u"image", u"hr", u"video", u"audio", u"iframe", u"object",
        u"embed", u"svg", u"canvas", u"input", u"textarea", u"select", u"button", u"meter", u"progress"};
    return std::find(std::begin(kSeen), std::end(kSeen), std::u16string_view(name)) != std::end(kSeen);
}

void sqlShowsNothing(sqlite3_context* context, int count, sqlite3_value** values)
{
    if (count != 1) {
        sqlite3_result_null(context);
        return;
    }
    const auto* text = static_cast<const char16_t*>(sqlite3_value_text16(values[0]));
    const int bytes = sqlite3_value_bytes16(values[0]);
    const std::u16string_view html =
        text != nullptr ? std::u16string_view(text, std::size_t(bytes) / 2) : std::u16string_view();
    sqlite3_result_int(context, NoteText::showsNothing(html) ? 1 : 0);
}

}  // namespace

namespace NoteText {

bool showsNothing(std::u16string_view html)
{
    // References longer than this name nothing.
    constexpr std::size_t kLongestReference = 40;
    std::size_t i = 0;
    while (i < html.size()) {
        const char16_t c = html[i];
        if (c == u'<') {
            if (html.substr(i, 4) == u"<!--") {
                const std::size_t end = html.find(u"-->", i + 4);
                i = end == std::u16string_view::npos ? html.size() : end + 3;
                continue;
            }
            const std::size_t end = tagEnd(html, i);
            if (end == 0)
                return false;  // a "<" that starts no tag is shown as it is
            const std::u16string_view tag = html.substr(i, end - i);
            const std::u16string name = tagName(tag);
            i = end;
            if (tag.size() > 1 && tag[1] == u'/')
                continue;
            if (isSeenWithoutText(name))
                return false;
            if (name == u"style" || name == u"script" || name == u"title")
                i = afterClosingTag(html, i, name);
            continue;
        }
        if (c == u'&') {
            const std::size_t semi = html.find(u';', i + 1);
            if (semi == std::u16string_view::npos || semi - i > kLongestReference)
                return false;
            const char16_t referenced = referencedCharacter(html.substr(i + 1, semi - i - 1));
            if (referenced == 0 || !isBlankUnit(referenced))
                return false;  // a character shown, or an "&" that names nothing, shown as it is
            i = semi + 1;
            continue;
        }
        if (!isBlankUnit(c))
            return false;
        ++i;
    }
    return true;
}

bool showsNothing(const cLString16& html)
{
    return showsNothing(
        std::u16string_view(reinterpret_cast<const char16_t*>(html.chars()), std::size_t(html.length())));
}

bool registerSqlFunction(sqlite3* connection)
{
    if (connection == nullptr)
        return false;
    return sqlite3_create_function_v2(connection, "qs_note_shows_nothing", 1,
               SQLITE_UTF16 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS, nullptr, &sqlShowsNothing, nullptr, nullptr,
               nullptr) == SQLITE_OK;
}

}  // namespace NoteText
