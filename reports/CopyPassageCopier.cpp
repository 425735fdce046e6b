#include "reports/CopyPassageCopier.h"
#include "reports/CopyPassageMarkup.h"

#include "engine/references/BibleRef.h"
#include "library/GoToLink.h"
#include "library/JavaScript.h"
#include "library/SourceManager.h"
#include "library/SourceTuple.h"
#include "library/SourceTupleLocations.h"
#include "platform/SettingsKeys.h"
#include "platform/UserDefaults.h"
#include "render/cHTMLColor.h"

#include <QSet>

#include <algorithm>

#include <vector>

using namespace CopyPassageMarkup;

namespace {

constexpr std::uint32_t kNoBlock = 0xFFFFFFFFu;

// Whether a rendered block of a Bible holds text of a verse whose section lies in [start, end]: a verse
// span (either form) of such a verse.
bool carriesVerseText(const QString& html, std::uint32_t start, std::uint32_t end, const SourceTupleLocations& bible)
{
    for (TagAt tag = nextTag(html, 0); tag.valid(); tag = nextTag(html, tag.end())) {
        bool numbered = false;
        const std::uint32_t key = verseSpanKey(tag.text, numbered);
        if (key == 0)
            continue;
        const std::uint32_t section = bible.sectionForBibleKey(key);
        if (section >= start && section <= end)
            return true;
    }
    return false;
}

bool isHighlightClass(const QString& cls)
{
    if (cls.size() >= 9 && cls.endsWith(QLatin1String("highlight")))
        return true;
    if (cls == QLatin1String("_temphl"))
        return true;
    // The renderer writes a highlight as the compact lower-case name of its colour or style, alone or
    // followed by a selection class.
    static const QSet<QString> names = [] {
        QSet<QString> set;
        const auto add = [&set](std::uint32_t value) {
            const std::string name = highlightStyleClassName(value);
            if (!name.empty())
                set.insert(QString::fromStdString(name));
        };
        for (std::uint32_t value = 1; value <= 140; ++value)
            add(value);
        for (std::uint32_t style : {kHighlightStyleBold, kHighlightStyleItalic, kHighlightStyleUnderline,
                 kHighlightStyleDottedUnderline, kHighlightStyleDashedUnderline})
            add(style);
        return set;
    }();
    return names.contains(cls.section(QLatin1Char(' '), 0, 0));
}

bool isStrongsClass(const QString& cls)
{
    return cls == QLatin1String("_stheb") || cls == QLatin1String("_stgrk") || cls == QLatin1String("strongshebrew") ||
        cls == QLatin1String("strongsgreek");
}

}  // namespace

const CopyPassageProfile& CopyPassageProfile::copier()
{
    static const CopyPassageProfile profile {true, false};
    return profile;
}

const CopyPassageProfile& CopyPassageProfile::dialog()
{
    static const CopyPassageProfile profile {false, true};
    return profile;
}

void CopyPassageCopier::verseNumberDecoration(int style, bool html, QString& open, QString& close)
{
    switch (style) {
    case 1:
        open = html ? QStringLiteral("<sup><small>") : QStringLiteral("[");
        close = html ? QStringLiteral("</small></sup>") : QStringLiteral("] ");
        break;
    case 2:
        open = html ? QStringLiteral("<b>") : QStringLiteral("(");
        close = html ? QStringLiteral("</b> ") : QStringLiteral(") ");
        break;
    case 3:
        open = html ? QStringLiteral("<i>") : QString();
        close = html ? QStringLiteral("</i> ") : QStringLiteral(" ");
        break;
    default:
        open.clear();
        close.clear();
        break;
    }
}

// ---- Passage forms ----

void CopyPassageCopier::clipboardTextForBibleRef(const BibleRef& ref, const std::shared_ptr<SourceTuple>& bible,
    QString* plain, QString* html, const PassageOptions& options, const CopyPassageProfile& profile)
{
    if (!bible)
        return;
    const std::uint32_t start = bible->locations().sectionForBibleKey(ref.bibleKey());
    const std::uint32_t end = bible->locations().lastSectionForAmbiguousKey(ref.endBibleKey());
    clipboardTextForStartSectionFromBible(start, end, bible, plain, html, options, profile);
}

void CopyPassageCopier::clipboardTextForStartSectionFromBible(std::uint32_t start, std::uint32_t end,
    const std::shared_ptr<SourceTuple>& bible, QString* plain, QString* html, const PassageOptions& options,
    const CopyPassageProfile& profile)
{
    if (!bible || start < 1 || start > end)
        return;
    const std::uint32_t first = bible->locations().blockForSection(start);
    const std::uint32_t last = bible->locations().blockForSection(bible->numSections() > end + 1 ? end + 1 : end);
    if (first == kNoBlock || last == kNoBlock || first > last)
        return;

    const QString& open = options.blockOpenTag;
    const QString& close = options.blockCloseTag;
    std::vector<QString> blocks;
    for (std::uint32_t block = first; block <= last; ++block) {
        blocks.push_back(bible->locations().htmlTextForBlock(block, options.display));
        if (block == kNoBlock - 1)
            break;
    }
    // The blocks after the end verse's own are rendered for the text the verse carries on into them.
    // Those that carry none of the passage's verses belong to what follows it (the heading of the next
    // chapter, book or stanza) and are left out.
    const std::uint32_t endBlock = bible->locations().blockForSection(end);
    while (!blocks.empty() && endBlock != kNoBlock && first + (blocks.size() - 1) > endBlock &&
        !carriesVerseText(blocks.back(), start, end, bible->locations()))
        blocks.pop_back();
    const bool paragraphs = profile.joinsParagraphs && open.isEmpty() && close.isEmpty();
    if (paragraphs)
        blocks = joinedIntoParagraphs(blocks);
    QString text;
    for (const QString& block : blocks)
        text += open + block + close;
    text = stringWithUserNoteLinksRemoved(stringFrom(text, start, end, bible));

    if (html != nullptr) {
        QString h = stringWithVerseNumbersWrappedForHtmlTextFromHtml(text, options);
        h = finishHtml(stringWithUnneededSpansRemoved(h, profile), bible, profile);
        const int location = options.referenceLocation;
        const QString reference = QString(options.referenceFormat).replace(QLatin1String("%@"), options.reference);
        if (location == 4)
            h = stringByInsertingReference(QStringLiteral(" ") + reference, h, false);
        else if (location == 2)
            h = stringByInsertingReference(reference + QStringLiteral(" "), h, true);
        *html += h;
    }
    if (plain != nullptr) {
        QString p = stringWithVerseNumbersWrappedForPlainTextFromHtml(text, options);
        p = stringWithUnneededSpansRemoved(p, profile);
        *plain += finishPlain(p, paragraphs);
    }
}

void CopyPassageCopier::clipboardTextForStartSection(std::uint32_t start, std::uint32_t end,
    const std::shared_ptr<SourceTuple>& source, QString* plain, QString* html, const PassageOptions& options,
    const CopyPassageProfile& profile)
{
    if (!source)
        return;
    if (source->docSupports(kDocSupportsIsBible)) {
        clipboardTextForStartSectionFromBible(start, end, source, plain, html, options, profile);
        return;
    }
    if (start < 1 || start > end)
        return;
    clipboardTextForStartBlock(source->locations().blockForSection(start), source->locations().lastBlockForSection(end),
        source, plain, html, options, profile);
}

void CopyPassageCopier::clipboardTextForStartBlock(std::uint32_t start, std::uint32_t end,
    const std::shared_ptr<SourceTuple>& source, QString* plain, QString* html, const PassageOptions& options,
    const CopyPassageProfile& profile)
{
    if (!source || start == kNoBlock || end == kNoBlock || start > end)
        return;
    QString text;
    for (std::uint32_t block = start; block <= end; ++block) {
        text += source->locations().htmlTextForBlock(block, options.display);
        if (block == kNoBlock - 1)
            break;
    }
    text = stringWithUserNoteLinksRemoved(text);
    if (html != nullptr)
        *html += finishHtml(stringWithUnneededSpansRemoved(text, profile), source, profile);
    if (plain != nullptr)
        *plain += finishPlain(stringWithUnneededSpansRemoved(text, profile));
}

QString CopyPassageCopier::finishHtml(
    QString html, const std::shared_ptr<SourceTuple>& source, const CopyPassageProfile& profile)
{
    html = profile.keepsBibleLinks ? stringWithLinksButBibleLinksRemoved(html) : stringWithLinksRemoved(html);
    html = stringWithEmptyTagPairsRemoved(html);
    return stringWithImgSrcPatched(html, source);
}

// ---- Verse trimming ----

QString CopyPassageCopier::stringFrom(
    const QString& html, std::uint32_t before, std::uint32_t after, const std::shared_ptr<SourceTuple>& source)
{
    QString out;
    std::vector<OpenElement> stack;
    int skip = 0;
    qsizetype heldAt = -1;  // output length where holding back began; -1 while nothing is held back
    const auto writing = [&] { return skip == 0 && heldAt < 0; };

    qsizetype at = 0;
    for (TagAt tag = nextTag(html, 0); tag.valid(); tag = nextTag(html, at)) {
        if (tag.start > at && writing())
            out += html.mid(at, tag.start - at);
        at = tag.end();
        const QString& t = tag.text;
        const QString name = JavaScript::tagName(t);

        if (JavaScript::isClosingTag(t)) {
            // Elements the block left open (the renderer leaves a verse's wrapper span open at the end
            // of its block) close with the element that holds them.
            if (const qsizetype depth = openDepth(stack, name); depth > 0) {
                for (qsizetype i = 0; i < depth; ++i) {
                    if (stack.back().name == QLatin1String("span") && skip > 0)
                        --skip;
                    stack.pop_back();
                }
            }
            bool write = writing();
            if (!stack.empty() && stack.back().name == name) {
                const OpenElement e = stack.back();
                stack.pop_back();
                if (heldAt >= 0 && e.position < heldAt) {
                    const bool startsThere = out.size() >= e.position + e.tag.size() &&
                        QStringView(out).mid(e.position, e.tag.size()) == e.tag;
                    if (startsThere && out.size() > e.position + e.tag.size()) {
                        write = skip == 0;
                    } else if (startsThere && out.size() == e.position + e.tag.size()) {
                        out.chop(e.tag.size());
                        heldAt = std::max<qsizetype>(0, heldAt - e.tag.size());
                    }
                }
            }
            if (name == QLatin1String("span") && skip > 0) {
                --skip;
                continue;
            }
            if (write)
                out += t;
            continue;
        }

        const bool selfClosing = JavaScript::isSelfClosingTag(t);
        if (!selfClosing)
            stack.push_back({t, name, out.size()});

        if (t.startsWith(QLatin1String("<qs_sync ")))
            continue;
        if (name != QLatin1String("span")) {
            if (writing())
                out += t;
            continue;
        }
        if (skip > 0) {
            ++skip;
            continue;
        }
        bool numbered = false;
        const std::uint32_t key = verseSpanKey(t, numbered);
        if (key == 0) {
            if (heldAt < 0)
                out += t;
            continue;
        }
        const std::uint32_t section = source ? source->locations().sectionForBibleKey(key) : 0;
        if (section < before || section > after) {
            skip = 1;
            continue;
        }
        if (!numbered) {
            if (heldAt < 0)
                out += t;
            continue;
        }
        const bool empty = QStringView(html).mid(at).startsWith(QLatin1String("</span>"));
        if (empty) {
            // The anchor and its closing tag go out together; a verse that is not front or back
            // matter then holds back what follows until the next numbered verse.
            if (heldAt < 0)
                // html-safe: a tag of the filtered passage HTML
                out += t + QStringLiteral("</span>");
            stack.pop_back();
            at += 7;
            BibleRef ref;
            ref.setBibleKey(key);
            if (!ref.isFrontOrBack() && heldAt < 0)
                heldAt = out.size();
            continue;
        }
        if (heldAt >= 0) {
            // Holding back ends: the tags opened since it began are written again, this span included.
            for (OpenElement& e : stack) {
                if (e.position >= heldAt) {
                    e.position = out.size();
                    out += e.tag;
                }
            }
            heldAt = -1;
        } else {
            out += t;
        }
    }
    if (at < html.size() && writing())
        out += html.mid(at);
    return out;
}

// ---- Note links, verse numbers, spans, links, empty elements ----

QString CopyPassageCopier::stringWithUserNoteLinksRemoved(const QString& html)
{
    // The renderer writes a note link as an "a" tag whose href holds "note:_" (after the page's link
    // prefix), followed by the text "Note</a>&nbsp;".
    static const QString kOpen = QStringLiteral("<a href=\"");
    static const QString kEnd = QStringLiteral("Note</a>&nbsp;");
    QString out = html;
    qsizetype from = 0;
    for (;;) {
        const qsizetype start = out.indexOf(kOpen, from);
        if (start < 0)
            break;
        const qsizetype hrefEnd = out.indexOf(QLatin1Char('"'), start + kOpen.size());
        if (hrefEnd < 0)
            break;
        const QStringView href = QStringView(out).mid(start + kOpen.size(), hrefEnd - start - kOpen.size());
        if (!href.contains(QLatin1String("note:_"))) {
            from = start + 1;
            continue;
        }
        const qsizetype tagEnd = out.indexOf(QLatin1Char('>'), hrefEnd);
        if (tagEnd < 0)
            break;
        const qsizetype end = out.indexOf(kEnd, tagEnd);
        if (end < 0)
            break;
        out.remove(start, end + kEnd.size() - start);
        from = start;
    }
    return out;
}

QString CopyPassageCopier::stringWithVerseNumbersWrappedForHtmlTextFromHtml(
    const QString& html, const PassageOptions& options)
{
    return stringWithVerseNumbersWrapped(html, options, true);
}

QString CopyPassageCopier::stringWithVerseNumbersWrappedForPlainTextFromHtml(
    const QString& html, const PassageOptions& options)
{
    return stringWithVerseNumbersWrapped(html, options, false);
}

QString CopyPassageCopier::stringWithVerseNumbersWrapped(
    const QString& html, const PassageOptions& options, bool forHtml)
{
    const int style = forHtml ? options.richVerseDelimiters : options.plainVerseDelimiters;
    QString open, close;
    verseNumberDecoration(style, forHtml, open, close);

    QString out;
    qsizetype at = 0;
    for (TagAt tag = nextTag(html, 0); tag.valid(); tag = nextTag(html, at)) {
        out += QStringView(html).mid(at, tag.start - at);
        out += tag.text;
        at = tag.end();
        if (!tag.text.startsWith(QLatin1String("<span id='_s")))
            continue;
        // Tags right after the anchor (the renderer's <sup><small>) are dropped until text or its
        // "</span>" comes.
        TagAt next = nextTag(html, at);
        while (next.valid() && next.start == at && next.text != QLatin1String("</span>")) {
            at = next.end();
            next = nextTag(html, at);
        }
        if (next.valid() && next.start == at)
            continue;  // an empty anchor stays as it is; its "</span>" is copied by the walk
        const qsizetype numberEnd = next.valid() ? next.start : html.size();
        const QString number = html.mid(at, numberEnd - at);
        if (style != 4)
            out += open + number + close;
        // Everything after the number up to the anchor's "</span>" goes.
        const qsizetype closeAt = html.indexOf(QLatin1String("</span>"), numberEnd);
        if (closeAt < 0) {
            at = html.size();
            break;
        }
        out += QStringLiteral("</span>");
        at = closeAt + 7;
        // A plain decoration that ends in a blank already parts the number from the verse's text: the
        // blanks the text begins with would double it.
        if (!forHtml && close.endsWith(QLatin1Char(' ')))
            while (at < html.size() && html.at(at) == QLatin1Char(' '))
                ++at;
    }
    out += QStringView(html).mid(at);
    return out;
}

QString CopyPassageCopier::stringWithUnneededSpansRemoved(const QString& html, const CopyPassageProfile& profile)
{
    QString out;
    std::vector<OpenElement> stack;
    walkTags(
        html, [&](const QString& text) { out += text; },
        [&](const QString& tag) {
            const QString name = JavaScript::tagName(tag);
            if (!JavaScript::isClosingTag(tag)) {
                if (!JavaScript::isSelfClosingTag(tag))
                    stack.push_back({tag, name, out.size()});
                out += tag;
                return;
            }
            // Closes the span on top: a kept one gets its closing tag, any other is unwrapped.
            const auto closeSpan = [&] {
                const OpenElement e = stack.back();
                stack.pop_back();
                const QString cls = attributesOf(e.tag).value(QStringLiteral("class")).toString();
                if (isStrongsClass(cls) || (profile.keepsHighlightSpans && isHighlightClass(cls))) {
                    out += QStringLiteral("</span>");
                } else if (QStringView(out).mid(e.position).startsWith(e.tag)) {
                    out.remove(e.position, e.tag.size());
                    // Later entries were written after the removed tag.
                    for (OpenElement& later : stack)
                        if (later.position > e.position)
                            later.position -= e.tag.size();
                }
            };
            if (name == QLatin1String("span") && !stack.empty() && stack.back().name == QLatin1String("span")) {
                closeSpan();
                return;
            }
            // Spans the block left open close with the element that holds them.
            if (const qsizetype depth = openDepth(stack, name); depth > 0) {
                for (qsizetype i = 0; i < depth; ++i) {
                    if (stack.back().name == QLatin1String("span"))
                        closeSpan();
                    else
                        stack.pop_back();
                }
            }
            if (!stack.empty() && stack.back().name == name)
                stack.pop_back();
            out += tag;
        });
    return out;
}

QString CopyPassageCopier::stringWithTagPairsRemoved(const QString& html, const QString& tag)
{
    const QString open = QStringLiteral("<") + tag + QStringLiteral(">");
    const QString close = QStringLiteral("</") + tag + QStringLiteral(">");
    const QString openWithAttributes = QStringLiteral("<") + tag + QStringLiteral(" ");
    QString out;
    walkTags(
        html, [&](const QString& text) { out += text; },
        [&](const QString& t) {
            if (t == open || t == close || t.startsWith(openWithAttributes))
                return;
            out += t;
        });
    return out;
}

QString CopyPassageCopier::stringWithLinksRemoved(const QString& html)
{
    return stringWithTagPairsRemoved(stringWithTagPairsRemoved(html, QStringLiteral("a")), QStringLiteral("qs_link"));
}

QString CopyPassageCopier::stringWithLinksButBibleLinksRemoved(const QString& html)
{
    QString out;
    std::vector<bool> kept;  // per open link: whether its tags are written
    walkTags(
        html, [&](const QString& text) { out += text; },
        [&](const QString& t) {
            const QString name = JavaScript::tagName(t);
            if (name == QLatin1String("qs_link"))
                return;
            if (name != QLatin1String("a")) {
                out += t;
                return;
            }
            if (JavaScript::isClosingTag(t)) {
                if (!kept.empty()) {
                    if (kept.back())
                        out += QStringLiteral("</a>");
                    kept.pop_back();
                }
                return;
            }
            // The page writes its links as "javascript:href('bible:...');"; the copy keeps the target.
            const GoToLink::PageHref page =
                GoToLink::readPageHref(attributesOf(t).value(QStringLiteral("href")).toString());
            const QString href = page.target;
            const bool bible =
                (page.kind == GoToLink::PageHref::Kind::Target || page.kind == GoToLink::PageHref::Kind::Plain) &&
                GoToLink::classify(href).kind == GoToLink::LinkKind::Bible && href.size() > 6 && href.size() <= 256;
            if (!JavaScript::isSelfClosingTag(t))
                kept.push_back(bible);
            if (bible)
                // html-safe: the target is escaped as an attribute value
                out += QStringLiteral("<a href=\"%1\">").arg(href.toHtmlEscaped());
        });
    return out;
}

namespace {

enum class ItemKind { tag, whitespace, text };

struct StackItem {
    ItemKind kind;
    QString tag;  // the opening tag, for tag items
    QString name;
    qsizetype position;
};

bool onlyWhitespace(const QString& text)
{
    for (QChar c : text)
        if (c != QLatin1Char(' ') && c != QLatin1Char('\t') && c != QLatin1Char('\n') && c != QLatin1Char('\r'))
            return false;
    return true;
}

// Merges the text items on top of the stack: a whitespace item absorbs the item above it (and becomes
// text when that was text); a text item absorbs the item above it; any other item stops the merge.
void mergeTextItemsOnTopOfStack(std::vector<StackItem>& stack)
{
    while (stack.size() >= 2) {
        StackItem& below = stack[stack.size() - 2];
        const StackItem& top = stack.back();
        if (top.kind == ItemKind::tag || below.kind == ItemKind::tag)
            break;
        if (below.kind == ItemKind::whitespace && top.kind == ItemKind::text)
            below.kind = ItemKind::text;
        stack.pop_back();
    }
}

}  // namespace

QString CopyPassageCopier::stringWithEmptyTagPairsRemoved(const QString& html)
{
    QString out;
    std::vector<StackItem> stack;
    walkTags(
        html,
        [&](const QString& text) {
            stack.push_back({onlyWhitespace(text) ? ItemKind::whitespace : ItemKind::text, {}, {}, out.size()});
            out += text;
            mergeTextItemsOnTopOfStack(stack);
        },
        [&](const QString& tag) {
            if (!JavaScript::isClosingTag(tag)) {
                if (JavaScript::isSelfClosingTag(tag)) {
                    stack.push_back({ItemKind::text, {}, {}, out.size()});
                    out += tag;
                    mergeTextItemsOnTopOfStack(stack);
                } else {
                    stack.push_back({ItemKind::tag, tag, JavaScript::tagName(tag), out.size()});
                    out += tag;
                }
                return;
            }
            const QString name = JavaScript::tagName(tag);
            const auto opens = [&](const StackItem& item) { return item.kind == ItemKind::tag && item.name == name; };
            if (!stack.empty() && opens(stack.back())) {
                out.truncate(stack.back().position);
                stack.pop_back();
                return;
            }
            if (JavaScript::isBlockLevelTag(tag) && stack.size() >= 2 && stack.back().kind == ItemKind::whitespace &&
                opens(stack[stack.size() - 2])) {
                out.truncate(stack[stack.size() - 2].position);
                stack.pop_back();
                stack.pop_back();
                return;
            }
            if (stack.size() >= 2 && stack.back().kind != ItemKind::tag && opens(stack[stack.size() - 2])) {
                stack.erase(stack.end() - 2);
                mergeTextItemsOnTopOfStack(stack);
            }
            out += tag;
        });
    return out;
}

// ---- Reference ----

QString CopyPassageCopier::stringByInsertingReference(const QString& reference, const QString& html, bool atBeginning)
{
    // The renderer writes most blocks of a Bible as divisions: the reference goes inside them too, or
    // one "on the same line" would stand on a line of its own.
    static const QString kBlockTags =
        QStringLiteral("/blockquote/dir/div/dl/form/h1/h2/h3/h4/h5/h6/h7/h8/h9/map/menu/nobr/ol/p/pre/table/ul/");
    const auto listed = [](const QString& tag) {
        const QString name = JavaScript::tagName(tag);
        return !name.isEmpty() && kBlockTags.contains(QLatin1Char('/') + name + QLatin1Char('/'));
    };
    QString out = html;
    if (atBeginning) {
        qsizetype at = 0;
        for (TagAt tag = nextTag(html, 0); tag.valid() && tag.start == at; tag = nextTag(html, at)) {
            if (JavaScript::isClosingTag(tag.text) || !listed(tag.text))
                break;
            at = tag.end();
        }
        out.insert(at, reference);
        return out;
    }
    // From the end, back over each closing block tag.
    qsizetype at = html.size();
    for (;;) {
        QStringView before = QStringView(html).left(at);
        if (!before.endsWith(QLatin1Char('>')))
            break;
        const qsizetype open = before.lastIndexOf(QLatin1Char('<'));
        if (open < 0)
            break;
        const QString tag = html.mid(open, at - open);
        if (!JavaScript::isClosingTag(tag) || !listed(tag))
            break;
        at = open;
    }
    // The blank that parts the reference from the passage is not doubled where the text ends in one.
    const bool blankBefore = at > 0 && html.at(at - 1).isSpace();
    out.insert(at, blankBefore && reference.startsWith(QLatin1Char(' ')) ? reference.mid(1) : reference);
    return out;
}

// ---- Copying a typed reference ----

namespace {

QString delimiterFormat(qint64 choice)
{
    switch (choice) {
    case 1:
        return QStringLiteral("(%@)");
    case 2:
        return QStringLiteral("[%@]");
    case 3:
        return QStringLiteral("\u2014 %@");
    default:
        return QStringLiteral("%@");
    }
}

QString fill(const QString& format, const QString& reference)
{
    return QString(format).replace(QLatin1String("%@"), reference);
}

// The last verse of the chapter of `key` in the Bible; 0 when the Bible lacks the chapter.
quint32 lastVerseOfChapter(const SourceTupleLocations& locations, packedBibleKey key)
{
    const quint32 chapter = key & 0xFFFFFF00;
    quint32 last = 0;
    for (quint32 verse = 1; verse < 255; ++verse) {
        const quint32 section = locations.sectionForBibleKey(chapter | verse);
        if (section != 0 && locations.keyForSection(section) == (chapter | verse))
            last = verse;
    }
    return last;
}

void fail(CopyPassageError* error, const char* description, const char* suggestion, const char* reason)
{
    if (error != nullptr)
        *error = {QString::fromUtf8(description), QString::fromUtf8(suggestion), QString::fromUtf8(reason)};
}

}  // namespace

bool CopyPassageCopier::composeVerse(const QString& reference, const std::shared_ptr<SourceTuple>& bible,
    const UserDefaults& defaults, CopyPassageText& result, CopyPassageError* error)
{
    if (!bible) {
        fail(error, "Could not open the selected Bible.", "Choose a different Bible from which to copy.",
            "The selected Bible does not appear to be installed.");
        return false;
    }
    BibleRef ref;
    ref.setLanguage(static_cast<int>(bible->record().bookLanguage));
    // Read as Go To reads it, in this Bible (its own book names and abbreviations). Text that parses
    // to nothing at all (an empty field, blanks) is no reference either.
    const auto notFound = [error] {
        fail(error, "Could not find the passage in this Bible.", "Choose a different passage to copy.",
            "The selected Bible may not contain the book(s) from which you're trying to copy.");
        return false;
    };
    if (!ref.parse(reference, bible->record().abbr) || ref.numRanges() == 0) {
        // A reference to a book this Bible does not hold ("Tobit 1:1" in the KJV) is read without it.
        BibleRef anywhere;
        anywhere.setLanguage(static_cast<int>(bible->record().bookLanguage));
        if (anywhere.parse(reference) && anywhere.numRanges() > 0)
            return notFound();
        fail(error, "Unrecognized verse reference.", "Choose a different passage to copy.",
            "Quillstead could not parse the reference you entered.");
        return false;
    }
    if (!ref.mapToTranslation(bible->record().abbr))
        return notFound();
    // A range that ends before it starts, or a chapter past its book's end, is named as such.
    if (const SourceTupleLocations::ReferenceFault fault = bible->locations().referenceFault(ref); !fault.isEmpty()) {
        if (error != nullptr)
            *error = {fault.description, QStringLiteral("Choose a different passage to copy."), fault.reason};
        return false;
    }
    // A passage with no verse in this Bible ("John 3:99") copies nothing: that is a failure, not an
    // empty copy under its reference.
    const QList<BibleRef> ranges = ref.arrayOfRefsFromRanges();
    if (ranges.isEmpty())
        return notFound();
    for (const BibleRef& range : ranges) {
        quint32 start = 0, end = 0;
        if (bible->locations().sectionRangeForVerse(range, &start, &end) && start >= 1 && start <= end)
            continue;
        // A verse past its chapter's end is named, with the chapter's last verse; a book or chapter
        // this Bible lacks keeps the general answer.
        for (const packedBibleKey key : {range.bibleKey(), range.endBibleKey()}) {
            const quint32 last = lastVerseOfChapter(bible->locations(), key);
            if (last == 0 || (key & 0xFF) <= last)
                continue;
            BibleRef missing = BibleRef::bibleRefWithStartKey(key, key);
            missing.setLanguage(static_cast<int>(bible->record().bookLanguage));
            const QString chapter = missing.isOneChapterBook()
                ? missing.bookSpelling()
                : QStringLiteral("%1 %2").arg(missing.bookSpelling()).arg((key >> 8) & 0xFF);
            if (error != nullptr)
                *error = {QStringLiteral("%1 is not in this Bible.").arg(missing.fullSpelling()),
                    QStringLiteral("Choose a different passage to copy."),
                    QStringLiteral("%1 ends at verse %2.").arg(chapter).arg(last)};
            return false;
        }
        return notFound();
    }

    const QString plainFormat = delimiterFormat(defaults.value(SettingsKeys::CpRefDelimPlain));
    QString htmlFormat = delimiterFormat(defaults.value(SettingsKeys::CpRefDelimRich));
    if (defaults.value(SettingsKeys::CpRefStyleBold))
        htmlFormat = fill(QStringLiteral("<b>%@</b>"), htmlFormat);
    if (defaults.value(SettingsKeys::CpRefStyleItalic))
        htmlFormat = fill(QStringLiteral("<i>%@</i>"), htmlFormat);
    if (defaults.value(SettingsKeys::CpRefStyleUnderline))
        htmlFormat = fill(QStringLiteral("<u>%@</u>"), htmlFormat);

    const qint64 location = defaults.value(SettingsKeys::CpRefLocation);
    const qint64 format = defaults.value(SettingsKeys::CpRefFormat);
    const bool abbreviatedBook = format >= 1 && format <= 3;
    const bool withTranslation = format == 2 || format == 3 || format == 5 || format == 6;
    const bool abbreviatedTranslation = format == 2 || format == 5;

    result = {};
    result.clipboardFormat = static_cast<int>(defaults.value(SettingsKeys::CpClipboardFormat));
    const CopyPassageProfile& profile = CopyPassageProfile::dialog();
    for (BibleRef range : ranges) {
        if (!result.plain.isEmpty() && !result.plain.endsWith(QLatin1Char('\r')) &&
            !result.plain.endsWith(QLatin1Char('\n')))
            result.plain += QLatin1Char('\r');
        range.setLanguage(static_cast<int>(bible->record().bookLanguage));
        const QString spelled =
            range.spellingUsingAbbreviatedBookName(abbreviatedBook, withTranslation, abbreviatedTranslation);
        const QString plainReference = fill(plainFormat, spelled);
        const QString htmlParagraph =
            QStringLiteral("<p>") + fill(htmlFormat, spelled.toHtmlEscaped()) + QStringLiteral("</p>");
        if (location == 1) {
            result.plain += plainReference + QLatin1Char('\r');
            result.html += htmlParagraph;
        } else if (location == 2) {
            result.plain += plainReference + QLatin1Char(' ');
        }
        PassageOptions options;
        // Stored numbers out of the styles' range read as none.
        const auto style = [](qint64 value) { return static_cast<int>(std::clamp<qint64>(value, 0, 5)); };
        options.referenceLocation = style(location);
        options.referenceFormat = htmlFormat;
        options.reference = spelled;
        options.richVerseDelimiters = style(defaults.value(SettingsKeys::CpVerseDelimRich));
        options.plainVerseDelimiters = style(defaults.value(SettingsKeys::CpVerseDelimPlain));
        options.display.omitFootnotes = true;
        options.display.omitStrongsNumbers = true;
        clipboardTextForBibleRef(range, bible, &result.plain, &result.html, options, profile);
        // A reference that follows the passage follows its last word, not the line break after it.
        if (location == 3 || location == 4) {
            while (!result.plain.isEmpty() && result.plain.back().isSpace())
                result.plain.chop(1);
        }
        if (location == 3) {
            result.plain += QLatin1Char('\r') + plainReference;
            result.html += htmlParagraph;
        } else if (location == 4) {
            result.plain += QLatin1Char(' ') + plainReference;
        }
    }
    return true;
}
