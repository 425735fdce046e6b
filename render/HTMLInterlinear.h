// Interlinear word tables: a block whose top-level element has the class "qs_interlinear" is shown
// with each word as a small one-column table, the word on top and the values of its word attributes
// in the rows below, one row per row number of the book's attribute definitions.
//
// Before the block renderer writes such a block it rewrites the parse tree: it wraps the item in a
// div when needed, fetches the text of every text node, and replaces each text node by a run of
// word tables. Words are cut at U+200B (and at the word-start marks of the text); each word's
// attribute entries (0x02 ... 0x03, BkTextMarkers.h) become the lower rows.
//
// Works on one parse tree on one thread.

#pragma once

#include <cstdint>
#include <string>

class cHTMLParser;
class cHTMLTagElement;
class cHTMLRenderConfiguration;
struct cHTMLBlockRenderContext;

namespace HTMLInterlinear {

// Wraps the item in a new div of class "qs_interlinear" unless it is a block that carries the
// class itself (blockquote, dir, dl, fieldset, form, h1-h9, nobr, ol, p, pre, table, ul, qs_relhdg,
// div). Returns the item that now stands in its place.
cHTMLTagElement* wrapItem(cHTMLTagElement* item);

// Fetches the text of every node below (and including) the item that has a text position but no
// text yet, following qs_lang for the language and direction.
void prepareInterlinearText(
    cHTMLParser& parser, cHTMLTagElement* item, std::uint16_t language, const cHTMLRenderConfiguration* configuration);

// Rewrites the item, its following siblings and their descendants into word tables.
void interlinearize(cHTMLParser& parser, cHTMLTagElement* item, std::uint16_t language, bool rightToLeft,
    const cHTMLRenderConfiguration* configuration, cHTMLBlockRenderContext* context);

// The language a qs_lang value names and whether it is written right to left.
std::uint16_t languageForValue(const std::string& value);
bool isRightToLeft(std::uint16_t language);

}  // namespace HTMLInterlinear
