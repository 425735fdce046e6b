// The tag walk the copier's passes share (internal to reports/): tags found as the page script's
// JavaScript helpers find them, the verse spans the block renderer writes, and the stack entries of
// the passes that track open elements. Used by CopyPassageCopier's files only.
#pragma once

#include "library/JavaScript.h"

#include <QString>
#include <QVariantMap>

#include <cstdint>
#include <vector>

namespace CopyPassageMarkup {

// One tag of a walk over HTML: where it starts and its text.
struct TagAt {
    qsizetype start = -1;
    QString text;
    bool valid() const { return start >= 0; }
    qsizetype end() const { return start + text.size(); }
};

TagAt nextTag(const QString& html, qsizetype from);

// Walks the tags of a text, handing each run of text and each tag to the callbacks in order.
template <typename OnText, typename OnTag> void walkTags(const QString& html, OnText onText, OnTag onTag)
{
    qsizetype at = 0;
    for (TagAt tag = nextTag(html, 0); tag.valid(); tag = nextTag(html, at)) {
        if (tag.start > at)
            onText(html.mid(at, tag.start - at));
        onTag(tag.text);
        at = tag.end();
    }
    if (at < html.size())
        onText(html.mid(at));
}

// How many elements stand above the innermost open element named `name`; -1 when none is open.
template <typename Entry> qsizetype openDepth(const std::vector<Entry>& stack, const QString& name)
{
    for (qsizetype i = static_cast<qsizetype>(stack.size()) - 1; i >= 0; --i)
        if (stack[static_cast<std::size_t>(i)].name == name)
            return static_cast<qsizetype>(stack.size()) - 1 - i;
    return -1;
}

QVariantMap attributesOf(const QString& tag);

// An element a pass holds open: its opening tag, its name and where the pass wrote the tag.
struct OpenElement {
    QString tag;
    QString name;
    qsizetype position = 0;
};

// The Bible key a verse span names, or 0 when the tag is not a verse span. `numbered` tells which of
// the two forms it is: the verse-number anchor "<span id='_s" or the data-verse-span wrapper.
std::uint32_t verseSpanKey(const QString& tag, bool& numbered);

// The blocks of a Bible passage as the page's paragraphs (the copy-passage dialog's profile).
std::vector<QString> joinedIntoParagraphs(const std::vector<QString>& blocks);

}  // namespace CopyPassageMarkup
