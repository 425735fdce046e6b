#include "render/cHTMLBlockRenderer.h"

#include <atomic>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <strings.h>

#include "engine/bookfile/BkEngineStrings.h"
#include "engine/bookfile/cBkWordAttributeDefs.h"
#include "engine/bookfile/cPlatformImage.h"
#include "engine/references/cBibleRef.h"
#include "render/HTMLInlineMarkers.h"
#include "render/HTMLInterlinear.h"
#include "render/cBlockRenderUserData.h"
#include "render/cHTMLColor.h"
#include "render/cHTMLParser.h"
#include "render/cHTMLRenderConfiguration.h"
#include "render/cHTMLTagElement.h"

namespace {

std::atomic<std::int32_t> g_footnoteCounter {1};
// Image maps render other sections, which may hold image maps again.
thread_local int t_imageMapDepth = 0;
constexpr int kMaxImageMapDepth = 4;
constexpr int kMaxDepth = 256;

using Context = cHTMLBlockRenderContext;

bool isBlockTag(HTMLTagCode t)
{
    switch (t) {
    case HTMLTag::blockquote:
    case HTMLTag::caption:
    case HTMLTag::col:
    case HTMLTag::colgroup:
    case HTMLTag::dd:
    case HTMLTag::dir:
    case HTMLTag::dl:
    case HTMLTag::dt:
    case HTMLTag::hr:
    case HTMLTag::li:
    case HTMLTag::ol:
    case HTMLTag::p:
    case HTMLTag::table:
    case HTMLTag::tbody:
    case HTMLTag::td:
    case HTMLTag::tfoot:
    case HTMLTag::th:
    case HTMLTag::thead:
    case HTMLTag::tr:
    case HTMLTag::ul:
        return true;
    default:
        return t >= HTMLTag::h1 && t <= HTMLTag::h9;
    }
}

bool isInlineTag(HTMLTagCode t)
{
    switch (t) {
    case HTMLTag::a:
    case HTMLTag::b:
    case HTMLTag::big:
    case HTMLTag::br:
    case HTMLTag::font:
    case HTMLTag::i:
    case HTMLTag::nobr:
    case HTMLTag::qs_link:
    case HTMLTag::pre:
    case HTMLTag::s:
    case HTMLTag::small:
    case HTMLTag::sub:
    case HTMLTag::sup:
    case HTMLTag::u:
        return true;
    default:
        return false;
    }
}

bool flag(const bool* f)
{
    return f != nullptr && *f;
}
std::string str(const cLString8* s)
{
    return s != nullptr ? bkStd(*s) : std::string();
}

bool containsClass(const std::string& classes, const char* name)
{
    std::string padded = " " + classes + " ";
    std::string wanted = std::string(" ") + name + " ";
    for (auto& c : padded)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return padded.find(wanted) != std::string::npos;
}

// Attribute values are written between quotation marks; these characters would end or break them.
std::string escapeAttribute(const std::string& value)
{
    std::string out;
    out.reserve(value.size());
    for (size_t i = 0; i < value.size(); ++i) {
        const char c = value[i];
        switch (c) {
        case '"':
            out += "&quot;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '&': {
            // An entity reference stays; a bare ampersand is escaped.
            size_t j = i + 1;
            if (j < value.size() && value[j] == '#')
                ++j;
            while (j < value.size() && std::isalnum(static_cast<unsigned char>(value[j])))
                ++j;
            out += (j > i + 1 && j < value.size() && value[j] == ';') ? "&" : "&amp;";
            break;
        }
        default:
            out += c;
            break;
        }
    }
    return out;
}

std::string escapeLinkTarget(const std::string& value)
{
    std::string out;
    for (char c : value) {
        switch (c) {
        case '\\':
            out += "@@bs@@";
            break;
        case '\'':
            out += "@@apos@@";
            break;
        case '"':
            out += "@@quot@@";
            break;
        case '\b':
            out += "@@backspace@@";
            break;
        case '\f':
            out += "@@formfeed@@";
            break;
        case '\n':
            out += "@@newline@@";
            break;
        case '\r':
            out += "@@return@@";
            break;
        case '\t':
            out += "@@tab@@";
            break;
        case '\v':
            out += "@@verticaltab@@";
            break;
        default:
            out += c;
            break;
        }
    }
    return out;
}

void convertText(std::string& text, const cHTMLRenderConfiguration* config)
{
    convertStrongsMarkersToLinks(text, config);
    markSearchWordSpans(text);
    // Attribute entries left in running text would otherwise reach the page as control bytes.
    convertWordAttributeMarkersToSpans(text);
}

std::int64_t attributeNumber(const cHTMLTagElement* e, std::int32_t code)
{
    return std::strtoll(e->attributes().valueForCode(code).c_str(), nullptr, 10);
}

class Renderer {
public:
    Renderer(cHTMLParser& parser, std::string& out, const cHTMLRenderConfiguration* config, Context* context)
        : m_parser(parser), m_out(out), m_config(config), m_context(context)
    {
    }

    void chain(cHTMLTagElement* item, std::uint16_t language, bool rtl, int depth);

private:
    // A heading is no verse's text: inside one no verse span is opened, so no verse's highlight or
    // selection reaches it.
    void openSpanIfNeeded()
    {
        if (m_context != nullptr && m_context->state == Context::kVerseSpanNeeded && m_headingDepth == 0)
            cHTMLBlockRenderer::openVerseSpan(m_parser, m_out, m_context, m_config);
    }
    void closeVerseSpan()
    {
        if (m_context != nullptr && m_context->state == Context::kVerseSpanOpen) {
            m_out += "</span>";
            m_context->state = Context::kVerseSpanNeeded;
        }
    }
    void writeTag(cHTMLTagElement* e, const std::string& name);
    void appendText(cHTMLTagElement* e, std::uint16_t language, bool rtl);
    bool content(cHTMLTagElement* e, std::uint16_t language, bool rtl, int depth);
    void element(cHTMLTagElement* e, std::uint16_t language, bool rtl, int depth);
    void strongsLink(cHTMLTagElement* e);
    void verseMarker(cHTMLTagElement* e);
    struct ImageSize {
        std::int64_t originalWidth = 0, originalHeight = 0, adjustedWidth = 0, adjustedHeight = 0;
    };
    ImageSize sizeImage(cHTMLTagElement* e);
    void imageMap(cHTMLTagElement* e, const ImageSize& size);
    void scaleArea(cHTMLTagElement* e);
    std::int32_t attributeRows() const
    {
        return m_config != nullptr && m_config->wordAttributeDefinitions != nullptr
            ? m_config->wordAttributeDefinitions->maxFieldValue()
            : 0;
    }
    bool interlinear() const { return m_context != nullptr && m_context->interlinear != 0; }

    cHTMLParser& m_parser;
    std::string& m_out;
    const cHTMLRenderConfiguration* m_config;
    Context* m_context;
    int m_headingDepth = 0;
};

void Renderer::writeTag(cHTMLTagElement* e, const std::string& name)
{
    m_out += "<" + name;
    const cHTMLAttributeList& list = e->attributes();
    const bool wrapLinks = m_config != nullptr && (m_config->linkPrefix != nullptr || m_config->linkSuffix != nullptr);
    for (std::int32_t i = 0; i < list.count(); ++i) {
        const std::int32_t code = list.nameEntryAt(i);
        if (code == HTMLAttr::textat || code == HTMLAttr::untagged_text)
            continue;
        std::string value = list.valueAt(i);
        if (code == HTMLAttr::href && wrapLinks)
            value = str(m_config->linkPrefix) + escapeLinkTarget(value) + str(m_config->linkSuffix);
        m_out += " " + list.nameAt(i) + "=\"" + escapeAttribute(value) + "\"";
    }
    if (e->isEmptyElement() && e->firstChild() == nullptr)
        m_out += " /";
    m_out += ">";
}

void Renderer::appendText(cHTMLTagElement* e, std::uint16_t language, bool rtl)
{
    if (e->attributes().hasCode(HTMLAttr::textat) && !e->attributes().hasCode(HTMLAttr::untagged_text))
        m_parser.requestTextNode(e, language, rtl, m_config);
    std::string text = e->attributes().valueForCode(HTMLAttr::untagged_text);
    convertText(text, m_config);
    m_out += text;
}

// Step 5 of an element: its text or its children. Answers whether there was content.
bool Renderer::content(cHTMLTagElement* e, std::uint16_t language, bool rtl, int depth)
{
    const bool hasText = e->attributes().hasCode(HTMLAttr::textat);
    if (!hasText && e->firstChild() == nullptr)
        return false;
    if (hasText)
        openSpanIfNeeded();
    if (e->firstChild() == nullptr)
        appendText(e, language, rtl);
    else if (depth < kMaxDepth)
        chain(e->firstChild(), language, rtl, depth + 1);
    return true;
}

void Renderer::strongsLink(cHTMLTagElement* e)
{
    const std::string name = e->attributes().valueForCode(HTMLAttr::name);
    if (name != "strongshebrew" && name != "strongsgreek")
        return;
    std::string marker = name == "strongshebrew" ? std::string("\x06h") : std::string("\x05g");
    marker += e->attributes().valueForCode(HTMLAttr::value);
    convertStrongsMarkersToLinks(marker, m_config);
    m_out += marker;
}

void Renderer::verseMarker(cHTMLTagElement* e)
{
    Context& c = *m_context;
    const cHTMLRenderConfiguration* config = m_config;
    if (c.state == Context::kVerseSpanOpen) {
        m_out += "</span>";
        c.state = Context::kVerseSpanNeeded;
        if (c.oneVersePerParagraph)
            m_out += "<br />";
    }
    // The value is a reference spelled for the book's translation, or a Bible key in decimal.
    const std::string value = e->attributes().valueForCode(HTMLAttr::value);
    cBibleRef ref;
    ref.setLanguage(c.language);
    char* end = nullptr;
    const unsigned long number = std::strtoul(value.c_str(), &end, 10);
    if (!value.empty() && end != nullptr && *end == '\0') {
        ref.setFromKey(static_cast<packedBibleKey>(number));
    } else {
        int translation = 0;
        std::int32_t at = 0;
        if (cBibleRef::matchTranslationAbbreviation(c.translationAbbreviation.c_str(), at, translation))
            ref.setTranslation(translation);
        std::int32_t position = 0;
        ref.parse(value.c_str(), position);
        // A book the translation does not hold (the books between the testaments, or Psalm 151, in
        // a Bible read in the King James translation's frame) is read by its name alone, so its
        // verses keep their anchors and numbers.
        if (ref.startKey() == 0 && translation != 0) {
            cBibleRef plain;
            plain.setLanguage(c.language);
            position = 0;
            plain.parse(value.c_str(), position);
            if (plain.startKey() != 0)
                ref = plain;
        }
    }
    const packedBibleKey key = ref.startKey();
    const int book = bibleKeyBook(key), chapter = bibleKeyChapter(key), verse = bibleKeyVerse(key);
    c.verseAnchorId = "_s" + std::to_string(book) + "." + std::to_string(chapter) + "." + std::to_string(verse);
    c.verseEndText = "-1";

    const std::int32_t style = config != nullptr && config->highlightStyle != nullptr ? *config->highlightStyle : 0;
    const bool tempEnabled = config != nullptr && flag(config->enableTempHighlights);
    std::string cls;
    bool found = false;
    if (style != 2) {
        std::uint16_t fore = 0, back = 0;
        if (cBlockRenderUserData::current().verseHighlight(ref, fore, back)) {
            found = true;
            cls = highlightStyleClassName(back != 0 ? back : fore);
        }
    }
    if ((!found || (style == 2 && tempEnabled)) && tempEnabled && config->tempHighlightStartSection != 0 &&
        config->tempHighlightEndSection != 0 && m_parser.nodeSource() != nullptr) {
        std::uint32_t section = key;
        if (m_parser.nodeSource()(
                m_parser.sourceContext(), kHTMLRequestVerseToSection, nullptr, nullptr, nullptr, &section) &&
            section >= config->tempHighlightStartSection && section <= config->tempHighlightEndSection)
            cls = "_temphl";
    }

    const bool now = strcasecmp(e->attributes().valueForCode(HTMLAttr::display).c_str(), "now") == 0;
    if (now) {
        c.highlightClass = (style == 0 || (style == 2 && cls == "_temphl")) ? cls : std::string();
        if (c.state == Context::kVerseSpanNeeded)
            cHTMLBlockRenderer::openVerseSpan(m_parser, m_out, m_context, config);
    } else {
        c.highlightClass.clear();
    }
    const bool il = interlinear();
    const std::int32_t rows = attributeRows();
    auto closeRows = [&] {
        m_out += "</td></tr>";
        for (std::int32_t r = 0; r < rows; ++r)
            m_out += "<tr class=\"_interlinearrow\"><td>&nbsp;</td></tr>";
        m_out += "</table>";
    };
    if (il)
        m_out += "<table class=\"_interlinearversenumbertable\" style=''><tr class=\"_interlineartoprow\"><td>&nbsp;";
    if (style == 1 && !cls.empty())
        m_out += "<span id='" + c.verseAnchorId + "' class='" + cls + "'>";
    else
        m_out += "<span id='" + c.verseAnchorId + "'>";
    if (now && (config == nullptr || !flag(config->hideVerseNumbers))) {
        cBibleRef number(ref);
        number.formatSpelling(kSpellVerseOnly | kSpellUTF8);
        const std::string n = number.spellingText();
        if (c.oneVersePerParagraph)
            m_out += "<strong style=\"margin:.3em\">" + n + "</strong>";
        else if (il)
            m_out += "<small>" + n + "</small>";
        else
            m_out += "<sup><small>" + n + "</small></sup>";
    }
    m_out += "</span>";
    if (il)
        closeRows();
    if (now && (config == nullptr || !flag(config->omitUserNoteLinks)) &&
        cBlockRenderUserData::current().hasBibleNote(ref)) {
        if (il)
            m_out += "<table class=\"_interlinearnotelinktable\"><tr class=\"_interlineartoprow\"><td>";
        char digits[16];
        std::snprintf(digits, sizeof digits, "%03d%03d%03d", book, chapter, verse);
        m_out += "<a href=\"" + (config != nullptr ? str(config->linkPrefix) : std::string()) + "note:_" + digits +
            "000" + (config != nullptr ? str(config->linkSuffix) : std::string()) + "\">Note</a>&nbsp;";
        if (il)
            closeRows();
    }
}

Renderer::ImageSize Renderer::sizeImage(cHTMLTagElement* e)
{
    cHTMLAttributeList& a = e->attributes();
    ImageSize size;
    const std::string src = a.valueForCode(HTMLAttr::src);
    if (src.empty() || (a.hasCode(HTMLAttr::height) && a.hasCode(HTMLAttr::width))) {
        size.originalHeight = attributeNumber(e, HTMLAttr::height);
        size.originalWidth = attributeNumber(e, HTMLAttr::width);
    } else {
        cPlatformImage holder;
        if (m_parser.imageWidthUsable(src, &holder)) {
            size.originalHeight = holder.height();
            size.originalWidth = holder.width();
            if (!a.hasCode(HTMLAttr::height))
                a.addCodedStringValue(HTMLAttr::height, std::to_string(holder.height()));
            if (!a.hasCode(HTMLAttr::width))
                a.addCodedStringValue(HTMLAttr::width, std::to_string(holder.width()));
        }
    }
    const float pane = m_config != nullptr && m_config->paneWidth != nullptr ? *m_config->paneWidth : 0.0f;
    std::int64_t width = attributeNumber(e, HTMLAttr::width), height = attributeNumber(e, HTMLAttr::height);
    if (pane > 0) {
        size.adjustedWidth = width;
        size.adjustedHeight = height;
        if (static_cast<float>(width) > pane) {
            if (m_config->fullWidthOverPane == 0) {
                const auto paneWidth = static_cast<std::int64_t>(pane);
                height = width != 0
                    ? static_cast<std::int64_t>(static_cast<double>(height) * pane / static_cast<double>(width))
                    : 0;
                width = paneWidth;
                a.addCodedStringValue(HTMLAttr::height, std::to_string(height));
                a.addCodedStringValue(HTMLAttr::width, std::to_string(width));
                size.adjustedWidth = width;
                size.adjustedHeight = height;
            } else {
                a.addCodedStringValue(HTMLAttr::height, "auto");
                a.addCodedStringValue(HTMLAttr::width, "100%");
            }
        }
    }
    if (a.hasCode(HTMLAttr::usemap))
        a.addCodedStringValue(HTMLAttr::usemap, "#_map" + a.valueForCode(HTMLAttr::usemap));
    if (m_config != nullptr && m_config->imageCacheFolder != nullptr && !src.empty())
        m_parser.extractFile(str(m_config->imageCacheFolder), src);
    const std::string original = m_config != nullptr ? str(m_config->logoOriginalName) : std::string();
    const std::string replacement = m_config != nullptr ? str(m_config->logoReplacementName) : std::string();
    if (m_config != nullptr && m_config->logoOriginalName != nullptr && m_config->logoReplacementName != nullptr &&
        strcasecmp(src.c_str(), original.c_str()) == 0) {
        a.addCodedStringValue(HTMLAttr::src, replacement);
        if (pane > 2.0f * static_cast<float>(width)) {
            a.addCodedStringValue(HTMLAttr::height, std::to_string(height * 2));
            a.addCodedStringValue(HTMLAttr::width, std::to_string(width * 2));
        }
    } else if (m_config != nullptr && m_config->imageSourceFolder != nullptr && !src.empty()) {
        a.addCodedStringValue(HTMLAttr::src, str(m_config->imageSourceFolder) + src);
    }
    return size;
}

void Renderer::imageMap(cHTMLTagElement* e, const ImageSize& size)
{
    const std::string usemap = e->attributes().valueForCode(HTMLAttr::usemap);
    if (usemap.rfind("#_map", 0) != 0 || usemap.size() == 5 || m_parser.nodeSource() == nullptr ||
        t_imageMapDepth >= kMaxImageMapDepth)
        return;
    char* end = nullptr;
    const unsigned long section = std::strtoul(usemap.c_str() + 5, &end, 10);
    if (end == nullptr || *end != '\0' || section > 0x7FFFFFFF)
        return;
    cHTMLParser maps;
    maps.setNodeSource(m_parser.nodeSource(), m_parser.sourceContext());
    if (!maps.parseSection(static_cast<std::uint32_t>(section)) || maps.rootElement()->firstChild() == nullptr)
        return;
    cHTMLTagElement* map = maps.rootElement()->firstChild();
    cHTMLAttributeList& a = map->attributes();
    a.addNamedStringValue("data-original-width", std::to_string(size.originalWidth));
    a.addNamedStringValue("data-original-height", std::to_string(size.originalHeight));
    a.addNamedStringValue("data-adjusted-width", std::to_string(size.adjustedWidth));
    a.addNamedStringValue("data-adjusted-height", std::to_string(size.adjustedHeight));
    ++t_imageMapDepth;
    cHTMLBlockRenderer::renderItem(
        maps, map, m_out, m_context != nullptr ? m_context->language : 1033, false, m_config, m_context);
    --t_imageMapDepth;
}

void Renderer::scaleArea(cHTMLTagElement* e)
{
    cHTMLTagElement* map = e->parent();
    if (map == nullptr)
        return;
    const cHTMLAttributeList& m = map->attributes();
    const auto number = [&](const char* name) { return std::strtoll(m.valueForName(name).c_str(), nullptr, 10); };
    const std::int64_t ow = number("data-original-width"), oh = number("data-original-height");
    const std::int64_t aw = number("data-adjusted-width"), ah = number("data-adjusted-height");
    if (ow == 0 || oh == 0 || aw == 0 || ah == 0 || aw == ow || ah == oh)
        return;
    const float factor = static_cast<float>(aw) / static_cast<float>(ow);
    const std::string coords = e->attributes().valueForCode(HTMLAttr::coords);
    std::string scaled;
    size_t from = 0;
    for (;;) {
        const size_t comma = coords.find(',', from);
        const std::string part = coords.substr(from, comma == std::string::npos ? std::string::npos : comma - from);
        if (!scaled.empty() || from > 0)
            scaled += ",";
        scaled += std::to_string(
            static_cast<std::int64_t>(static_cast<float>(std::strtoll(part.c_str(), nullptr, 10)) * factor));
        if (comma == std::string::npos)
            break;
        from = comma + 1;
    }
    e->attributes().addCodedStringValue(HTMLAttr::coords, scaled);
}

void Renderer::element(cHTMLTagElement* e, std::uint16_t language, bool rtl, int depth)
{
    const HTMLTagCode tag = e->tagCode();
    std::string name = tagNameForCode(tag);

    if (m_context == nullptr) {
        if (tag == HTMLTag::qs_attr) {
            strongsLink(e);
            return;
        }
        if (tag == HTMLTag::qs_lang) {
            const std::uint16_t lang = HTMLInterlinear::languageForValue(e->attributes().valueForCode(HTMLAttr::value));
            content(e, lang, HTMLInterlinear::isRightToLeft(lang), depth);
            return;
        }
        writeTag(e, name);
        content(e, language, rtl, depth);
        if (!e->isEmptyElement())
            m_out += "</" + name + ">";
        return;
    }

    ImageSize imageSize;
    switch (tag) {
    case HTMLTag::qs_attr:
        if (m_config == nullptr || !flag(m_config->omitStrongsNumbersInDecode)) {
            openSpanIfNeeded();
            strongsLink(e);
        }
        return;
    case HTMLTag::qs_lang: {
        openSpanIfNeeded();
        const std::uint16_t lang = HTMLInterlinear::languageForValue(e->attributes().valueForCode(HTMLAttr::value));
        content(e, lang, HTMLInterlinear::isRightToLeft(lang), depth);
        return;
    }
    case HTMLTag::qs_noconc:
    case HTMLTag::qs_nolinks:
    case HTMLTag::qs_vlskip:
        content(e, language, rtl, depth);
        return;
    case HTMLTag::qs_note: {
        if (m_config != nullptr && m_config->footnoteOption != nullptr && *m_config->footnoteOption == 0)
            return;
        openSpanIfNeeded();
        const std::string n = std::to_string(cHTMLBlockRenderer::nextFootnoteNumber());
        m_out += "<a href=\"javascript:toggleFootnote('_fn" + n + "');\" class='footnotetoggle'>*</a>";
        m_out += "<span id='_fn" + n + "' class='footnote'>[";
        content(e, language, rtl, depth);
        m_out += "]</span>";
        return;
    }
    case HTMLTag::qs_sync:
        if (m_context->isBible && strcasecmp(e->attributes().valueForCode(HTMLAttr::type).c_str(), "verse") == 0)
            verseMarker(e);
        return;
    case HTMLTag::qs_woc:
        openSpanIfNeeded();
        m_out += "<span class='_woc'>";
        content(e, language, rtl, depth);
        m_out += "</span>";
        return;
    case HTMLTag::img:
        openSpanIfNeeded();
        imageSize = sizeImage(e);
        break;
    case HTMLTag::area:
        scaleArea(e);
        break;
    case HTMLTag::map:
        e->attributes().addCodedStringValue(HTMLAttr::name, "_map" + std::to_string(e->sectionNumber()));
        break;
    default:
        if (isInlineTag(tag)) {
            openSpanIfNeeded();
        } else if (isBlockTag(tag)) {
            closeVerseSpan();
            if (tag >= HTMLTag::h7 && tag <= HTMLTag::h9)
                name = "h6";
            // The word's top row takes the verse's highlight, as a class of its own.
            if (tag == HTMLTag::tr && !m_context->highlightClass.empty() &&
                containsClass(e->attributes().valueForCode(HTMLAttr::class_), "_interlineartoprow"))
                e->attributes().addCodedStringValue(
                    HTMLAttr::class_, e->attributes().valueForCode(HTMLAttr::class_) + " " + m_context->highlightClass);
        }
        break;
    }

    writeTag(e, name);
    const bool heading = tag >= HTMLTag::h1 && tag <= HTMLTag::h9;
    m_headingDepth += heading ? 1 : 0;
    const bool rendered = content(e, language, rtl, depth);
    m_headingDepth -= heading ? 1 : 0;
    if (rendered && (isBlockTag(tag) || e->parent() == nullptr))
        closeVerseSpan();
    if (!e->isEmptyElement())
        m_out += "</" + name + ">";
    if (tag == HTMLTag::img)
        imageMap(e, imageSize);
}

void Renderer::chain(cHTMLTagElement* item, std::uint16_t language, bool rtl, int depth)
{
    for (cHTMLTagElement* e = item; e != nullptr; e = e->nextSibling()) {
        if (e->isTextNode()) {
            openSpanIfNeeded();
            appendText(e, language, rtl);
        } else if (e->tagCode() != 0) {
            element(e, language, rtl, depth);
        }
    }
}

}  // namespace

std::int32_t cHTMLBlockRenderer::nextFootnoteNumber()
{
    return g_footnoteCounter.fetch_add(1);
}

void cHTMLBlockRenderer::openVerseSpan(
    cHTMLParser& /*parser*/, std::string& out, cHTMLBlockRenderContext* context, const cHTMLRenderConfiguration* config)
{
    if (context == nullptr || context->verseAnchorId.empty())
        return;
    std::string cls;
    if (config != nullptr && config->selectedSections != nullptr && config->selectedSectionClass != nullptr) {
        const std::string wanted = "sel" + context->verseAnchorId;
        for (std::int32_t i = 0; i < config->selectedSections->count(); ++i) {
            const cLString8* s = config->selectedSections->at(i);
            if (s != nullptr && bkStd(*s) == wanted) {
                cls = bkStd(*config->selectedSectionClass);
                break;
            }
        }
    }
    if (context->interlinear == 0)
        cls = context->highlightClass + cls;
    out += "<span ";
    if (!cls.empty())
        out += "class=\"" + cls + "\" ";
    out += "data-verse-span=\"sel" + context->verseAnchorId + "\">";
    context->state = cHTMLBlockRenderContext::kVerseSpanOpen;
}

void cHTMLBlockRenderer::renderElement(cHTMLParser& parser, cHTMLTagElement* item, std::string& out,
    std::uint16_t language, bool rightToLeft, const cHTMLRenderConfiguration* configuration,
    cHTMLBlockRenderContext* context)
{
    const cBlockRenderUserData::LookupBatch lookups(cBlockRenderUserData::current());
    Renderer(parser, out, configuration, context).chain(item, language, rightToLeft, 0);
}

void cHTMLBlockRenderer::renderItem(cHTMLParser& parser, cHTMLTagElement* item, std::string& out,
    std::uint16_t language, bool rightToLeft, const cHTMLRenderConfiguration* configuration,
    cHTMLBlockRenderContext* context)
{
    const bool* omit = configuration != nullptr ? configuration->omitStrongsNumbersInDecode : nullptr;
    if ((omit != nullptr && (context == nullptr || *omit)) || (omit == nullptr && context == nullptr)) {
        renderElement(parser, item, out, language, rightToLeft, configuration, context);
        return;
    }
    cHTMLTagElement* root = parser.rootElement();
    if (item != nullptr && context != nullptr && root != nullptr && item->parent() == root) {
        context->interlinear = 0;
        const std::string cls = item->attributes().valueForCode(HTMLAttr::class_);
        if (containsClass(cls, "qs_interlinear") && !containsClass(cls, "_interlinearified")) {
            context->interlinear = 1;
            item = HTMLInterlinear::wrapItem(item);
            HTMLInterlinear::prepareInterlinearText(parser, item, language, configuration);
            HTMLInterlinear::interlinearize(parser, item, language, rightToLeft, configuration, context);
            if (cHTMLTagElement* first = root->firstChild())
                first->attributes().addCodedStringValue(
                    HTMLAttr::class_, "_interlinearified " + first->attributes().valueForCode(HTMLAttr::class_));
        }
    }
    renderElement(parser, item, out, language, rightToLeft, configuration, context);
}
