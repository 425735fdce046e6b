#include "render/HTMLTagCode.h"

#include <algorithm>
#include <array>
#include <string>
#include <vector>

namespace {

const char* const kTagNames[81] = {
    nullptr,
    "a",
    "area",
    "b",
    "basefont",
    "bgsound",
    "big",
    "blockquote",
    "body",
    "br",
    "caption",
    "col",
    "colgroup",
    "dd",
    "dir",
    "dl",
    "dt",
    "fieldset",
    "font",
    "form",
    "h1",
    "h2",
    "h3",
    "h4",
    "h5",
    "h6",
    "h7",
    "h8",
    "h9",
    "head",
    "hr",
    "html",
    "i",
    "img",
    "input",
    "keygen",
    "label",
    "legend",
    "li",
    "map",
    "menu",
    "meta",
    "nobr",
    "ol",
    "optgroup",
    "option",
    "p",
    "qs_attr",
    "qs_context",
    "qs_lang",
    "qs_link",
    "qs_noconc",
    "qs_nolinks",
    "qs_note",
    "qs_sync",
    "qs_vlskip",
    "qs_woc",
    "pre",
    "s",
    "select",
    "small",
    "style",
    "sub",
    "sup",
    "table",
    "tbody",
    "td",
    "textarea",
    "tfoot",
    "th",
    "thead",
    "title",
    "tr",
    "u",
    "ul",
    "untagged_text",
    "qs_relhdg",
    "div",
    "qs_if",
    "qs_else",
    "qs_endif",
};
const char* const kAttributeNames[120] = {
    "",
    "$contents",
    "$expand",
    "$textat",
    "abbr",
    "accept",
    "accept-charset",
    "accesskey",
    "action",
    "align",
    "alink",
    "alt",
    "archive",
    "axis",
    "background",
    "background-color",
    "bgcolor",
    "border",
    "bordercolor",
    "bordercolordark",
    "bordercolorlight",
    "cellpadding",
    "cellspacing",
    "char",
    "charoff",
    "charset",
    "checked",
    "cite",
    "class",
    "classid",
    "clear",
    "code",
    "codebase",
    "codetype",
    "color",
    "cols",
    "colspan",
    "compact",
    "content",
    "coords",
    "data",
    "datetime",
    "declare",
    "defer",
    "dir",
    "disabled",
    "display",
    "enctype",
    "face",
    "font",
    "font-family",
    "font-size",
    "font-style",
    "font-variant",
    "font-weight",
    "format",
    "frame",
    "frameborder",
    "headers",
    "height",
    "href",
    "hreflang",
    "hspace",
    "http-equiv",
    "id",
    "is_whitespace",
    "ismap",
    "label",
    "lang",
    "language",
    "link",
    "longdesc",
    "marginheight",
    "marginwidth",
    "maxlength",
    "media",
    "method",
    "multiple",
    "name",
    "nohref",
    "noresize",
    "noshade",
    "nowrap",
    "object",
    "qs_toc",
    "profile",
    "prompt",
    "readonly",
    "rel",
    "rev",
    "rows",
    "rowspan",
    "rules",
    "scheme",
    "scope",
    "scrolling",
    "selected",
    "shape",
    "size",
    "span",
    "src",
    "standby",
    "start",
    "style",
    "summary",
    "tabindex",
    "target",
    "text",
    "text-align",
    "text-indent",
    "title",
    "type",
    "untagged_text",
    "usemap",
    "valign",
    "value",
    "valuetype",
    "vlink",
    "vspace",
    "width",
};
const char* const kValueNames[127] = {
    "",
    "A",
    "I",
    "a",
    "above",
    "all",
    "aqua",
    "auto",
    "baseline",
    "bcv",
    "below",
    "black",
    "blue",
    "border",
    "bottom",
    "box",
    "button",
    "center",
    "char",
    "checkbox",
    "checked",
    "col",
    "colgroup",
    "cols",
    "compact",
    "cv",
    "data",
    "date",
    "declare",
    "defer",
    "disabled",
    "file",
    "fuchsia",
    "get",
    "gray",
    "green",
    "groups",
    "hidden",
    "hsides",
    "html",
    "i",
    "image",
    "index",
    "ismap",
    "italic",
    "justify",
    "later",
    "left",
    "lhs",
    "lighter",
    "lime",
    "ltr",
    "maroon",
    "middle",
    "multiple",
    "navy",
    "no",
    "nohref",
    "none",
    "noresize",
    "normal",
    "noshade",
    "noversenums",
    "now",
    "nowrap",
    "object",
    "oblique",
    "olive",
    "password",
    "qs_abbrev",
    "qs_author",
    "qs_bookid",
    "qs_city",
    "qs_copyright",
    "qs_date",
    "qs_editionid",
    "qs_grkdictid",
    "qs_hebdictid",
    "qs_isabible",
    "qs_minpgmmajor",
    "qs_minpgmminor",
    "qs_options",
    "qs_pubid",
    "qs_publisher",
    "qs_revisionid",
    "qs_searchrange",
    "qs_startdate",
    "qs_stroptions",
    "qs_synctype",
    "qs_title",
    "plaintext",
    "post",
    "purple",
    "radio",
    "readonly",
    "red",
    "ref",
    "reset",
    "rhs",
    "right",
    "row",
    "rowgroup",
    "rows",
    "rtl",
    "selected",
    "silver",
    "strongsgreek",
    "strongshebrew",
    "submit",
    "teal",
    "text",
    "top",
    "topic",
    "transparent",
    "true",
    "v",
    "verse",
    "visible",
    "void",
    "vsides",
    "white",
    "word",
    "yellow",
    "yes",
    "qs_sorttitle",
    "qs_subtitle",
    "qs_biblebooks",
};

// Indexes of a name table sorted by name, built once, for binary search.
template <std::size_t N> std::vector<std::int32_t> sortedIndex(const char* const (&names)[N], std::int32_t first)
{
    std::vector<std::int32_t> index;
    for (std::int32_t c = first; c < static_cast<std::int32_t>(N); ++c)
        index.push_back(c);
    std::sort(index.begin(), index.end(),
        [&](std::int32_t a, std::int32_t b) { return std::string_view(names[a]) < std::string_view(names[b]); });
    return index;
}

template <std::size_t N>
std::int32_t lookup(const std::vector<std::int32_t>& index, const char* const (&names)[N], std::string_view name)
{
    auto it = std::lower_bound(index.begin(), index.end(), name,
        [&](std::int32_t c, std::string_view n) { return std::string_view(names[c]) < n; });
    if (it != index.end() && std::string_view(names[*it]) == name)
        return *it;
    return -1;
}

}  // namespace

HTMLTagCode tagCodeForName(std::string_view name)
{
    static const std::vector<std::int32_t> index = sortedIndex(kTagNames, 1);
    // No tag name is longer than 16 characters; longer input cannot match.
    if (name.empty() || name.size() > 16)
        return 0;
    char buffer[16];
    for (std::size_t i = 0; i < name.size(); ++i)
        buffer[i] = name[i] == '-' ? '_' : name[i];
    std::int32_t code = lookup(index, kTagNames, std::string_view(buffer, name.size()));
    return code < 0 ? 0 : code;
}

const char* tagNameForCode(HTMLTagCode code)
{
    if (code < 1 || code >= kHTMLTagCodeLimit)
        return "UNKNOWN TAG";
    return kTagNames[code];
}

bool isEmptyElementTag(HTMLTagCode code)
{
    switch (code) {
    case HTMLTag::area:
    case HTMLTag::br:
    case HTMLTag::col:
    case HTMLTag::hr:
    case HTMLTag::img:
    case HTMLTag::input:
    case HTMLTag::keygen:
    case HTMLTag::meta:
    case HTMLTag::qs_attr:
    case HTMLTag::qs_sync:
        return true;
    default:
        return false;
    }
}

std::int32_t attributeCodeForName(std::string_view name)
{
    static const std::vector<std::int32_t> index = sortedIndex(kAttributeNames, 0);
    return lookup(index, kAttributeNames, name);
}

std::int32_t valueCodeForText(std::string_view text)
{
    static const std::vector<std::int32_t> index = sortedIndex(kValueNames, 1);
    if (text.empty())
        return -1;
    return lookup(index, kValueNames, text);
}

const char* attributeNameForCode(std::int32_t code)
{
    return (code >= 0 && code < kHTMLAttributeCodeLimit) ? kAttributeNames[code] : "";
}

const char* valueTextForCode(std::int32_t code)
{
    return (code >= 0 && code < kHTMLValueCodeLimit) ? kValueNames[code] : "";
}
