#include "render/HTMLInterlinear.h"

#include <cstdlib>
#include <string>
#include <vector>

#include "engine/bookfile/BkTextMarkers.h"
#include "engine/bookfile/cBkWordAttributeDefs.h"
#include "engine/foundation/LanguageSupport.h"
#include "render/cHTMLParser.h"
#include "render/cHTMLRenderConfiguration.h"
#include "render/cHTMLTagElement.h"

namespace HTMLInterlinear {
namespace {

constexpr const char* kZeroWidthSpace = "\xE2\x80\x8B";
// Elements nest at most this deep in a tree we rewrite; deeper parts are left as they are.
constexpr int kMaxDepth = 256;

bool isHeading(HTMLTagCode t)
{
    return t >= HTMLTag::h1 && t <= HTMLTag::h9;
}

bool isWrappingExempt(HTMLTagCode t)
{
    switch (t) {
    case HTMLTag::blockquote:
    case HTMLTag::dir:
    case HTMLTag::dl:
    case HTMLTag::fieldset:
    case HTMLTag::form:
    case HTMLTag::nobr:
    case HTMLTag::ol:
    case HTMLTag::p:
    case HTMLTag::pre:
    case HTMLTag::table:
    case HTMLTag::ul:
    case HTMLTag::qs_relhdg:
    case HTMLTag::div:
        return true;
    default:
        return isHeading(t);
    }
}

bool isBoundary(HTMLTagCode t)
{
    switch (t) {
    case HTMLTag::caption:
    case HTMLTag::col:
    case HTMLTag::colgroup:
    case HTMLTag::dd:
    case HTMLTag::dt:
    case HTMLTag::legend:
    case HTMLTag::li:
    case HTMLTag::map:
    case HTMLTag::menu:
    case HTMLTag::optgroup:
    case HTMLTag::option:
    case HTMLTag::select:
    case HTMLTag::tbody:
    case HTMLTag::td:
    case HTMLTag::tfoot:
    case HTMLTag::th:
    case HTMLTag::thead:
    case HTMLTag::tr:
        return true;
    default:
        return isWrappingExempt(t);
    }
}

cHTMLTagElement* textNode(const std::string& text)
{
    auto* node = new cHTMLTagElement(HTMLTag::untagged_text);
    node->attributes().addCodedStringValue(HTMLAttr::untagged_text, text);
    return node;
}

cHTMLTagElement* element(HTMLTagCode tag)
{
    return new cHTMLTagElement(tag);
}

// Cuts the next word off the front of `text` (see the header).
std::string cutWord(std::string& text)
{
    auto skipRun = [&](size_t i) {  // i at a 0x02: the position after its 0x03 (or the end)
        const size_t end = text.find(BkTextMarker::kAttributesEnd, i);
        return end == std::string::npos ? text.size() : end + 1;
    };
    size_t i = 0;
    while (i < text.size() && text[i] != BkTextMarker::kWordStart)
        i = text[i] == BkTextMarker::kAttributeStart ? skipRun(i) : i + 1;
    if (i >= text.size()) {
        std::string all;
        all.swap(text);
        return all;
    }
    size_t j = i + 1;
    while (j < text.size() && text[j] != BkTextMarker::kWordStart) {
        if (text[j] == BkTextMarker::kAttributeStart) {
            j = skipRun(j);
            continue;
        }
        if (text[j] == ' ') {
            ++j;
            break;
        }
        ++j;
    }
    std::string word = text.substr(0, j);
    text.erase(0, j);
    return word;
}

std::vector<std::string> splitFields(const std::string& entry)
{
    std::vector<std::string> fields;
    size_t from = 0;
    for (;;) {
        const size_t at = entry.find(BkTextMarker::kAttributeField, from);
        fields.push_back(entry.substr(from, at == std::string::npos ? std::string::npos : at - from));
        if (at == std::string::npos)
            return fields;
        from = at + 1;
    }
}

std::string withNonBreakingBlanks(const std::string& text)
{
    std::string out;
    for (char c : text) {
        if (c == ' ')
            out += "&nbsp;";
        else
            out += c;
    }
    return out;
}

// The word's table: R + 1 rows of one centred cell each.
cHTMLTagElement* wordTable(
    const std::string& word, cHTMLTagElement* node, const cBkWordAttributeDefs* defs, int32_t rows)
{
    std::string visible = word;
    std::vector<std::string> entries;
    const size_t first = word.find(BkTextMarker::kAttributeStart);
    if (first != std::string::npos) {
        visible = word.substr(0, first);
        size_t from = first + 1;
        for (;;) {
            const size_t next = word.find(BkTextMarker::kAttributeStart, from);
            entries.push_back(word.substr(from, next == std::string::npos ? std::string::npos : next - from));
            if (next == std::string::npos)
                break;
            from = next + 1;
        }
        std::string& last = entries.back();
        const size_t end = last.find(BkTextMarker::kAttributesEnd);
        if (end != std::string::npos) {
            visible += last.substr(end + 1);
            last.erase(end);
        }
    }

    cHTMLTagElement* table = element(HTMLTag::table);
    table->attributes().addCodedStringValue(HTMLAttr::class_, "_interlinearwordtable");
    for (int32_t r = 0; r <= rows; ++r) {
        cHTMLTagElement* tr = element(HTMLTag::tr);
        tr->attributes().addCodedStringValue(HTMLAttr::class_, r == 0 ? "_interlineartoprow" : "_interlinearrow");
        cHTMLTagElement* td = element(HTMLTag::td);
        td->attributes().addCodedStringValue(HTMLAttr::align, "center");
        tr->appendChildren(td);
        table->appendChildren(tr);
        if (r == 0) {
            // The word keeps its inline formatting: copies of its ancestors up to the first boundary.
            cHTMLTagElement* content = textNode(withNonBreakingBlanks(visible));
            for (cHTMLTagElement* a = node->parent();
                 a != nullptr && a->parent() != nullptr && !isBoundary(a->tagCode()); a = a->parent()) {
                auto* copy = new cHTMLTagElement(*a);
                copy->attributes().removeByCode(HTMLAttr::textat);
                copy->attributes().removeByCode(HTMLAttr::untagged_text);
                copy->appendChildren(content);
                content = copy;
            }
            td->appendChildren(content);
            continue;
        }
        for (const std::string& entry : entries) {
            const std::vector<std::string> f = splitFields(entry);
            if (f.size() < 2 || f[1].empty() || defs == nullptr)
                continue;
            const int32_t d = static_cast<int32_t>(std::strtol(f[0].c_str(), nullptr, 10));
            if (d < 0 || d >= defs->definitionCount() || defs->fieldAsInteger(d) != r)
                continue;
            if (td->firstChild() != nullptr)
                td->appendChildren(textNode("&nbsp;"));
            const std::string text =
                (f.size() > 2 ? f[2] : "") + defs->renderField(d) + f[1] + (f.size() > 3 ? f[3] : "");
            const std::string link = defs->linkType(d);
            if (link.empty()) {
                td->appendChildren(textNode(text));
            } else {
                cHTMLTagElement* a = element(HTMLTag::a);
                a->attributes().addCodedStringValue(HTMLAttr::href, link + defs->syncPrefix(d) + f[1]);
                a->appendChildren(textNode(text));
                td->appendChildren(a);
            }
        }
        if (td->firstChild() == nullptr)
            td->appendChildren(textNode("&nbsp;"));
    }
    return table;
}

// Removes the node when it has no children, and each ancestor left without children. Top-level
// items (children of the parser's root) stay, so that the caller's item is never destroyed.
void removeIfEmpty(cHTMLTagElement* node)
{
    while (node != nullptr && node->firstChild() == nullptr && node->parent() != nullptr &&
        node->parent()->parent() != nullptr) {
        cHTMLTagElement* parent = node->parent();
        node->unlink();
        delete node;
        node = parent;
    }
}

void rewrite(cHTMLTagElement* item, const cHTMLRenderConfiguration* config, int depth)
{
    const cBkWordAttributeDefs* defs = config != nullptr ? config->wordAttributeDefinitions : nullptr;
    const int32_t rows = defs != nullptr ? defs->maxFieldValue() : 0;
    const bool onePerParagraph =
        config != nullptr && config->oneVersePerParagraph != nullptr && *config->oneVersePerParagraph;
    for (cHTMLTagElement* node = item; node != nullptr;) {
        cHTMLTagElement* next = node->nextSibling();
        const HTMLTagCode tag = node->tagCode();
        if (tag == HTMLTag::qs_note) {
            node->unlink();
            delete node;
            node = next;
            continue;
        }
        if (tag == HTMLTag::td) {
            const std::string style = node->attributes().valueForCode(HTMLAttr::style);
            node->attributes().removeByCode(HTMLAttr::valign);
            node->attributes().addCodedStringValue(HTMLAttr::style, "vertical-align:top;" + style);
        }
        if (onePerParagraph && tag == HTMLTag::qs_sync && node->previousSibling() == nullptr &&
            (node->parent() == nullptr || !isWrappingExempt(node->parent()->tagCode()))) {
            cHTMLTagElement* clear = element(HTMLTag::div);
            clear->attributes().addCodedStringValue(HTMLAttr::style, "clear:both");
            node->insertBefore(clear);
        }
        if (node->attributes().hasCode(HTMLAttr::untagged_text)) {
            std::string text = node->attributes().valueForCode(HTMLAttr::untagged_text);
            for (size_t at = text.find(kZeroWidthSpace); at != std::string::npos;
                 at = text.find(kZeroWidthSpace, at + 4))
                text.insert(at, 1, BkTextMarker::kWordStart);
            const bool isText = node->isTextNode();
            while (!text.empty()) {
                cHTMLTagElement* table = wordTable(cutWord(text), node, defs, rows);
                if (isText)
                    node->insertBefore(table);
                else
                    node->appendChildren(table);
            }
            node->attributes().removeByCode(HTMLAttr::untagged_text);
            node->attributes().removeByCode(HTMLAttr::textat);
            removeIfEmpty(node);
        } else if (node->firstChild() != nullptr && depth < kMaxDepth) {
            rewrite(node->firstChild(), config, depth + 1);
        }
        node = next;
    }
}

void prepare(cHTMLParser& parser, cHTMLTagElement* node, std::uint16_t language, const cHTMLRenderConfiguration* config,
    int depth)
{
    if (depth > kMaxDepth)
        return;
    for (; node != nullptr; node = node->nextSibling()) {
        std::uint16_t lang = language;
        if (node->tagCode() == HTMLTag::qs_lang)
            lang = languageCodeForName(cLString8(node->attributes().valueForCode(HTMLAttr::value).c_str()));
        if (!node->attributes().hasCode(HTMLAttr::untagged_text) && node->attributes().hasCode(HTMLAttr::textat))
            parser.requestTextNode(node, lang, isRightToLeftLanguage(lang), config);
        if (node->firstChild() != nullptr)
            prepare(parser, node->firstChild(), lang, config, depth + 1);
    }
}

}  // namespace

std::uint16_t languageForValue(const std::string& value)
{
    return languageCodeForName(cLString8(value.c_str()));
}

bool isRightToLeft(std::uint16_t language)
{
    return isRightToLeftLanguage(language);
}

cHTMLTagElement* wrapItem(cHTMLTagElement* item)
{
    if (item == nullptr || isWrappingExempt(item->tagCode()))
        return item;
    cHTMLTagElement* div = element(HTMLTag::div);
    div->attributes().addCodedStringValue(HTMLAttr::class_, "qs_interlinear");
    div->setSectionNumber(item->sectionNumber(), false);
    if (item->parent() != nullptr || item->previousSibling() != nullptr || item->nextSibling() != nullptr) {
        item->insertBefore(div);
        item->unlink();
    }
    div->appendChildren(item);
    return div;
}

void prepareInterlinearText(
    cHTMLParser& parser, cHTMLTagElement* item, std::uint16_t language, const cHTMLRenderConfiguration* configuration)
{
    if (item == nullptr)
        return;
    // The item alone with its descendants: its following siblings are not part of it.
    std::uint16_t lang = language;
    if (item->tagCode() == HTMLTag::qs_lang)
        lang = languageCodeForName(cLString8(item->attributes().valueForCode(HTMLAttr::value).c_str()));
    if (!item->attributes().hasCode(HTMLAttr::untagged_text) && item->attributes().hasCode(HTMLAttr::textat))
        parser.requestTextNode(item, lang, isRightToLeftLanguage(lang), configuration);
    prepare(parser, item->firstChild(), lang, configuration, 1);
}

void interlinearize(cHTMLParser& /*parser*/, cHTMLTagElement* item, std::uint16_t /*language*/, bool /*rightToLeft*/,
    const cHTMLRenderConfiguration* configuration, cHTMLBlockRenderContext* /*context*/)
{
    rewrite(item, configuration, 0);
}

}  // namespace HTMLInterlinear
