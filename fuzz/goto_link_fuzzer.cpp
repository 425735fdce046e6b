// Reads the bytes (UTF-8) as link text from a page, a note or a poster, through every reader the
// go-to routing applies. None may fail other than by answering "not a link"; escaping a text for
// a page and reading it back must give the text again.

#include <cstddef>
#include <cstdint>

#include <QString>

#include "fuzz/FuzzSupport.h"
#include "library/GoToLink.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > fuzz::kMaxInput)
        return 0;
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));

    const GoToLink::PageHref href = GoToLink::readPageHref(text);
    if (href.kind == GoToLink::PageHref::Kind::Target && !text.trimmed().startsWith(QLatin1String("javascript:href('")))
        __builtin_trap();
    for (const QString& candidate : {text, href.target}) {
        if (const auto web = GoToLink::webLink(candidate); web && web->url.isValid()) {
            const QString scheme = web->url.scheme();
            if (scheme != QLatin1String("http") && scheme != QLatin1String("https"))
                __builtin_trap();
        }
        const GoToLink::Link link = GoToLink::classify(candidate);
        (void)GoToLink::parseBookLink(link.text);
        const GoToLink::NoteLink note = GoToLink::parseNoteLink(link.text);
        if (note.kind == GoToLink::NoteLink::Kind::BibleVerse &&
            (note.book > 255 || note.chapter > 255 || note.verse > 255))
            __builtin_trap();
        (void)GoToLink::syncLookupText(link.text);
        (void)GoToLink::isStrongsNumber(link.text);
        (void)GoToLink::scanInteger(candidate, true);
    }
    // The page's escapes are "@@name@@" words, which text can hold already; escaping is not a round
    // trip for every text, so the pair is only run here.
    (void)GoToLink::unescapePageText(GoToLink::escapePageText(text));
    return 0;
}
