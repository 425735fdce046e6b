// The last step of writing book text: the marker bytes that the section text writer left in a text
// node (engine/bookfile/BkTextMarkers.h) become HTML spans. The block renderer applies them to each
// text node just before appending it; the book handle applies them to search-result text.
//
// All three work in place on UTF-8 text, convert every marker they find (also one at the very
// start of the text) and stop at the end of the text whatever the markers say. Pure; any thread.

#pragma once

#include <string>

class cHTMLRenderConfiguration;

// 0x05/0x06, a kind letter ("h" Hebrew, anything else Greek), digits and an optional lower-case
// letter: a Strong's link (span `_stheb`/`_stgrk` around a "sync:" link, or the configured Strong's
// tag). The configuration may be null.
void convertStrongsMarkersToLinks(std::string& text, const cHTMLRenderConfiguration* configuration);
// 0x01 ... 0x07: a `_search` span. A 0x07 without a 0x01 before it is dropped, and so is every
// 0x01 left over.
void markSearchWordSpans(std::string& text);
// 0x02 entry [0x02 entry ...] 0x03: one `_inlinewordattribute` span per entry.
void convertWordAttributeMarkersToSpans(std::string& text);
