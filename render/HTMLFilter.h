// Text operations on HTML held in a narrow (UTF-8) string, all in place:
//
// filterHtmlByStrength   strips markup by strength: 1 drops document-level tags, 2 also form
//                        controls, 3 also blocks, links, tables, lists, fonts and images (block ends
//                        become a blank), 4 drops every tag (block ends become a blank), 5 drops
//                        every tag and turns block ends into "\r\n"; 6 keeps the markup. 0 does
//                        nothing. Tags that no strength keeps (span, div, the book's qs_ tags,
//                        unknown names) go at 1-5. Optionally decodes character references.
// keepOnlyDataResources  for HTML that is shown or saved away from the reader's pages (reports):
//                        every resource that a tag or a style names goes unless it is a data: URL
//                        (src, background, poster, data and the like, srcset and ping, href outside
//                        links, url() and the image functions in style attributes and style
//                        elements, @import). A style element that holds a character reference or a
//                        "<" is emptied.
// normalizeNoteParagraphs  turns a note of plain text and simple inline markup into <p> blocks.
// linkBibleReferencesInHtml  spells plain-text Bible references outside links as "bible:" links.
//
// Markup that the filter keeps (strengths 1-3 and 6) is made inert: event-handler attributes
// ("on..."), script URLs ("javascript:", "vbscript:", and "data:" outside src) in URL attributes,
// and attributes whose quoted value runs past the tag's end are removed; at strength 6, tags of
// active content (iframe, object, embed, form, ...) are removed, and script elements with their
// code. The reader's own link form "javascript:href('target');", as pages and copied passages carry
// it, is kept when its target cannot leave the script's string. Tags are read as the browser reads
// them: a "<" before anything but a letter, "/", "!" or "?" is text ("<<img ...>" holds a tag).
// Wherever markup is kept (strengths 1-3 and 6) a "<" that no ">" follows is written as "&lt;", so
// that an unclosed tag at the end cannot take in the text that follows the filtered one, and
// character references to markup characters (< > & " ') stay as written, so decoding cannot create
// markup.
//
// Every operation is linear in the text (apart from reference parsing, bounded per position) and
// never fails: text it cannot process is left as it is. Any thread; no shared state.

#pragma once

#include <string>

#include "engine/foundation/cLStringTmpl.h"

void filterHtmlByStrength(std::string& text, int strength, bool convertEntities);
void filterHtmlByStrength(cLString8& text, int strength, bool convertEntities);

void keepOnlyDataResources(std::string& text);

// Leaves the text unchanged when it holds a tag other than a, b, big, font, hr, i, img, s, small,
// sub, sup, u or an unknown tag, or when its inline nesting is too deep to carry across lines.
void normalizeNoteParagraphs(std::string& text);
void normalizeNoteParagraphs(cLString8& text);

void linkBibleReferencesInHtml(std::string& text);
void linkBibleReferencesInHtml(cLString8& text);
