// cHTMLRenderConfiguration: the optional options a caller hands to the markup renderers (the block
// renderer that writes display HTML and the plain-text renderer of cHTMLRenderString).
//
// The options that the section text writer reads are in the base, cBkSectionTextConfiguration.
// Every option is optional. A pointer field points at the caller's value; null means "not given",
// and the renderer falls back to its own behaviour. The caller owns every value pointed to and
// keeps it alive while the configuration is in use; the configuration owns only its integer list.
//
// A configuration is built on the caller's stack for one rendering and is never shared between
// threads. Callers fill the fields and then call update().

#pragma once

#include <cstdint>
#include <memory>

#include "engine/bookfile/cBkSectionTextConfiguration.h"
#include "engine/foundation/cLObjectArray.h"
#include "engine/foundation/cLStringTmpl.h"
#include "render/cHTMLColor.h"

class cBkWordAttributeDefs;

class cHTMLRenderConfiguration : public cBkSectionTextConfiguration {
public:
    // Link prefix and suffix that the book handle's default loader sets: a link target is written
    // as a call of the page script's href function.
    static constexpr const char* kDefaultLinkPrefix = "javascript:href('";
    static constexpr const char* kDefaultLinkSuffix = "');";
    // Selected-section class given with selected sections (the animated frame of the page sheet).
    static constexpr const char* kSelectedSectionClass = " marching-ants";

    cHTMLRenderConfiguration() = default;
    virtual ~cHTMLRenderConfiguration() = default;
    cHTMLRenderConfiguration(const cHTMLRenderConfiguration&) = delete;
    cHTMLRenderConfiguration& operator=(const cHTMLRenderConfiguration&) = delete;

    // Called by callers after filling the fields; the base configuration has nothing to derive.
    virtual void update() { }

    // No user-note links are written (`omitUserNoteLinks`).
    const bool* omitUserNoteLinks = nullptr;
    // Section numbers as text (`selectedSections`); their verse spans get selectedSectionClass.
    const cLObjectArray<cLString8>* selectedSections = nullptr;
    const cLString8* selectedSectionClass = nullptr;
    // When set, each image named by an img src is extracted from the book into this folder.
    const cLString8* imageCacheFolder = nullptr;
    // Put before an img src that is not the logo below (`imgSrcFolder`).
    const cLString8* imageSourceFolder = nullptr;
    // An img whose src equals logoOriginalName (ignoring case) gets logoReplacementName as its src;
    // both must be set.
    const cLString8* logoOriginalName = nullptr;
    const cLString8* logoReplacementName = nullptr;
    // Display font of the book's language (excerpt configurations).
    const cLString8* fontName = nullptr;
    const std::int32_t* footnoteOption = nullptr;
    // Given only when non-zero.
    const std::int32_t* highlightStyle = nullptr;
    // Set and not empty: verse markers are written even when the book asks for no verse numbers.
    const cLString8* verseNumberOverrideText = nullptr;
    // Colours of the rendering.
    const cHTMLColor* backgroundColor = nullptr;
    const cHTMLColor* textColor = nullptr;
    const bool* showStrongsNumbers = nullptr;
    const cLString8* strongsTag = nullptr;
    const cLString8* strongsGreekTagAttributes = nullptr;
    const cLString8* strongsHebrewTagAttributes = nullptr;
    // Stored directly, not pointers.
    std::uint32_t tempHighlightStartSection = 0;
    std::uint32_t tempHighlightEndSection = 0;
    // Given only with both sections above.
    const bool* enableTempHighlights = nullptr;
    // Written around a verse marker's reference by the plain-text renderer.
    const cLString8* verseMarkerPrefix = nullptr;
    const cLString8* verseMarkerSuffix = nullptr;
    // Verse markers are written only when set and not empty.
    const cLString8* verseMarkerSwitch = nullptr;
    // Notes are rendered, bracketed "[*" ... "]", only when set and not empty.
    const cLString8* noteMarkerText = nullptr;
    // Elements marked for another language are left out of plain text.
    const std::uint16_t* languageNumber = nullptr;
    const bool* oneVersePerParagraph = nullptr;
    // A non-zero byte suppresses verse markers.
    const bool* hideVerseNumbers = nullptr;
    const float* paneWidth = nullptr;
    // Stored directly: set when `use100PercentOverPaneWidthKey` is present.
    std::uint8_t fullWidthOverPane = 0;
    const cBkWordAttributeDefs* wordAttributeDefinitions = nullptr;
};
