#include "render/HTMLInlineMarkers.h"

#include <algorithm>
#include <cctype>

#include "engine/bookfile/BkEngineStrings.h"
#include "engine/bookfile/BkTextMarkers.h"
#include "render/cHTMLRenderConfiguration.h"

namespace {

bool isStrongsMarker(char c)
{
    return c == BkTextMarker::kStrongsGreek || c == BkTextMarker::kStrongsHebrew;
}

std::string text(const cLString8* s)
{
    return s != nullptr ? bkStd(*s) : std::string();
}

}  // namespace

void convertStrongsMarkersToLinks(std::string& s, const cHTMLRenderConfiguration* config)
{
    const std::string tag = config != nullptr ? text(config->strongsTag) : std::string();
    size_t from = 0;
    for (;;) {
        const size_t p = s.find_first_of("\x05\x06", from);
        if (p == std::string::npos)
            return;
        const bool hebrew = p + 1 < s.size() && s[p + 1] == 'h';
        size_t q = p + 2;
        while (q < s.size() && s[q] >= '0' && s[q] <= '9')
            ++q;
        // The suffix letter is the marker's last byte; a letter with another letter after it starts
        // the next word (texts of two nodes joined), so it stays text.
        if (q < s.size() && s[q] >= 'a' && s[q] <= 'z' &&
            (q + 1 >= s.size() || !std::isalpha(static_cast<unsigned char>(s[q + 1]))))
            ++q;
        q = std::min(q, s.size());
        const std::string number = p + 2 < q ? s.substr(p + 2, q - p - 2) : std::string();
        const std::string letter = hebrew ? "H" : "G";
        const bool another = q < s.size() && isStrongsMarker(s[q]);

        std::string opening, closing;
        if (tag.empty()) {
            opening = std::string("<span class='") + (hebrew ? "_stheb" : "_stgrk") + "'><a href=\"" +
                (config != nullptr ? text(config->linkPrefix) : std::string()) + "sync:@@bs@@@@bs@@" + letter + number +
                (config != nullptr ? text(config->linkSuffix) : std::string()) + "\">" + letter;
            closing = another ? "</a>&nbsp;</span>" : "</a></span>";
        } else {
            const std::string attributes =
                text(hebrew ? config->strongsHebrewTagAttributes : config->strongsGreekTagAttributes);
            opening = "<" + tag + (attributes.empty() ? std::string() : " " + attributes) + ">" + letter;
            closing = "</" + tag + (another ? ">&nbsp;" : ">");
        }
        const size_t markerLength = std::min<size_t>(2, s.size() - p);
        s.insert(q, closing);
        s.replace(p, markerLength, opening);
        from = q - markerLength + opening.size() + closing.size();
    }
}

void markSearchWordSpans(std::string& s)
{
    static const std::string kOpen = "<span class='_search'>", kClose = "</span>";
    size_t from = 0;
    for (;;) {
        const size_t end = s.find(BkTextMarker::kHitEnd, from);
        if (end == std::string::npos)
            break;
        const size_t start = end == 0 ? std::string::npos : s.rfind(BkTextMarker::kWordStart, end - 1);
        if (start == std::string::npos) {
            s.erase(end, 1);
            from = end;
            continue;
        }
        s.replace(end, 1, kClose);
        s.replace(start, 1, kOpen);
        from = end + kOpen.size() - 1 + kClose.size();
    }
    std::erase(s, BkTextMarker::kWordStart);
}

void convertWordAttributeMarkersToSpans(std::string& s)
{
    static const std::string kOpen = "<span class='_inlinewordattribute'>";
    size_t from = 0;
    for (;;) {
        const size_t p = s.find(BkTextMarker::kAttributeStart, from);
        if (p == std::string::npos)
            return;
        // The byte after the opener is the definition index's first digit in well-formed text; looking
        // from there also ends an entry that is empty or cut short.
        size_t q = p + 1 < s.size() ? s.find_first_of("\x02\x03", p + 1) : std::string::npos;
        if (q == std::string::npos)
            q = s.size();
        if (q < s.size() && s[q] == BkTextMarker::kAttributesEnd)
            s.erase(q, 1);
        const std::string closing = q < s.size() && s[q] == BkTextMarker::kAttributeStart ? "&nbsp;</span>" : "</span>";
        s.insert(q, closing);
        s.replace(p, 1, kOpen);
        from = q + kOpen.size() - 1 + closing.size();
    }
}
