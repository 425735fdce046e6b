// Turns one token of book markup into a tag code and an attribute list.
//
// A token is either one tag, from "<" through its ">" (or "/>"), or one run of text. A text token
// yields tag code 75 (untagged_text) with its characters, white space runs folded to one blank and
// character references decoded, in the `untagged_text` attribute (UTF-8), preceded by
// `is_whitespace` = "yes" when it holds only white space. A tag token yields the tag's code (negated
// for a closing tag, 0 when unknown) and its attributes, added by name; with splitStyle a `style`
// attribute is replaced by its properties ("color: red" becomes color = "red").
//
// Pure function; any thread.

#pragma once

#include <string>
#include <string_view>

#include "render/HTMLTagCode.h"
#include "render/cHTMLAttributeList.h"

// A tag keeps at most this many attributes; the rest of an absurdly long tag is ignored.
constexpr std::int32_t kMaxAttributesPerTag = 512;

// `name`, when given, receives the lower-cased tag name (without a closing tag's "/"); it is emptied
// for text tokens.
void tokenizeTag(
    std::string_view token, HTMLTagCode& code, cHTMLAttributeList& attributes, std::string* name, bool splitStyle);
