// cHTMLBlockRenderer: writes the display HTML of one block of a book from the block's parse tree.
// Here the book markup's own tags become display features: verse markers with anchors, highlight
// classes and note links (Bibles), word-of-Christ spans, collapsible footnotes, Strong's links,
// sized images with their image maps, and interlinear word tables (HTMLInterlinear.h).
//
// The book document calls renderItem once per rendered block with a context it prepared; the context
// tracks the open verse span across the block, so one context serves one block. The footnote counter
// is process-wide and only grows. A rendering runs on one thread; the user data is reached through
// cBlockRenderUserData.

#pragma once

#include <cstdint>
#include <string>

class cHTMLParser;
class cHTMLTagElement;
class cHTMLRenderConfiguration;

struct cHTMLBlockRenderContext {
    static constexpr std::uint32_t kVerseSpanOpen = 1;
    static constexpr std::uint32_t kVerseSpanNeeded = 2;

    // kVerseSpanOpen while a verse span is open; kVerseSpanNeeded when one must be opened before the
    // next inline content. The book document starts it at kVerseSpanNeeded.
    std::uint32_t state = kVerseSpanNeeded;
    std::string highlightClass;                   // the current verse's highlight class (may be empty)
    std::string verseAnchorId;                    // "_s" + book + "." + chapter + "." + verse
    std::string verseEndText;                     // "-1" after each verse marker
    std::uint8_t isBible = 0;                     // verse markers are handled only in Bibles
    std::string translationAbbreviation = "KJV";  // the translation verse references are read in
    std::uint16_t language = 1033;
    std::uint8_t oneVersePerParagraph = 0;
    std::uint32_t interlinear = 0;  // set while an interlinear block is rendered
};

class cHTMLBlockRenderer {
public:
    // Renders the item and its following siblings into `out` (appended to); a top-level item with the
    // class "qs_interlinear" is first turned into word tables. `configuration` and `context` may be
    // null.
    static void renderItem(cHTMLParser& parser, cHTMLTagElement* item, std::string& out, std::uint16_t language,
        bool rightToLeft, const cHTMLRenderConfiguration* configuration, cHTMLBlockRenderContext* context);
    // The same without the interlinear preparation, recursing into children.
    static void renderElement(cHTMLParser& parser, cHTMLTagElement* item, std::string& out, std::uint16_t language,
        bool rightToLeft, const cHTMLRenderConfiguration* configuration, cHTMLBlockRenderContext* context);
    // Opens the verse span of the context's current verse (nothing without a verse anchor).
    static void openVerseSpan(cHTMLParser& parser, std::string& out, cHTMLBlockRenderContext* context,
        const cHTMLRenderConfiguration* configuration);

    // The number the next footnote gets ("_fn" + number).
    static std::int32_t nextFootnoteNumber();
};
