// cHTMLRenderString: a markup parser coupled with two text services.
//  - renderRange: the plain text of a stretch of a book (first and last section, first and last text
//    position) with line breaks, indentation, list markers, bracketed image texts and, as the
//    configuration asks, note and verse markers. The documents quote the text around a note or a
//    bookmark with it.
//  - the template reader (cHTMLTemplateText.h), selected by parseFromText with no callback.
//
// A render string lives for one request of its owner on one thread: constructed, given its source
// and configuration, used, destroyed. The configuration is borrowed.

#pragma once

#include <cstdint>
#include <string>

#include "engine/foundation/cLStringTmpl.h"
#include "render/cHTMLParser.h"
#include "render/cHTMLTemplateText.h"

class cHTMLRenderConfiguration;

class cHTMLRenderString {
public:
    cHTMLRenderString() = default;
    virtual ~cHTMLRenderString() = default;
    cHTMLRenderString(const cHTMLRenderString&) = delete;
    cHTMLRenderString& operator=(const cHTMLRenderString&) = delete;

    // Text mode with the callback (null: the template reader over `context`, a cHTMLTemplateText, or
    // over the render string's own template state when none is given). Does not parse; true.
    virtual bool parseFromText(HTMLTextSourceCallback callback, void* context);
    // Node mode with the callback (null: bookSectionTreeProvider, the context being an open
    // cBkBookFile), then the parser's initial parse; its result.
    virtual bool parseFromNodes(HTMLNodeSourceCallback callback, void* context);

    void setConfiguration(const cHTMLRenderConfiguration* configuration) { m_configuration = configuration; }

    // Appends the plain text of the range to `text`; 1 on success, 0 otherwise (text unchanged).
    int renderRange(std::uint32_t firstSection, std::uint32_t firstTextPosition, std::uint32_t lastSection,
        std::uint32_t lastTextPosition, cLString16& text);
    int renderRange(std::uint32_t firstSection, std::uint32_t firstTextPosition, std::uint32_t lastSection,
        std::uint32_t lastTextPosition, std::string& utf8);

    cHTMLParser& parser() { return m_parser; }

private:
    class Walk;

    void* m_context = nullptr;
    bool m_contextIsBook = false;
    cHTMLParser m_parser;
    cHTMLTemplateText m_template;
    const cHTMLRenderConfiguration* m_configuration = nullptr;
    std::int32_t m_listCounter = 0;
    char m_listStyle = 0;
    std::int32_t m_indent = 0;
    bool m_firstVerseMarker = true;
};
