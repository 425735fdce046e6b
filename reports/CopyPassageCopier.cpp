#include "reports/CopyPassageCopier.h"

#include "engine/references/BibleRef.h"
#include "library/JavaScript.h"
#include "library/SourceManager.h"
#include "library/SourceTuple.h"
#include "platform/AppFolders.h"
#include "platform/FileSave.h"
#include "platform/UserDefaults.h"
#include "render/cHTMLColor.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QUrl>

#include <algorithm>
#include <optional>

#include <vector>

const QString CopyPassageCopier::CopyPassageReferenceLocationKey = QStringLiteral("CopyPassageReferenceLocationKey");
const QString CopyPassageCopier::CopyPassageVerseDelimitersRichKey =
    QStringLiteral("CopyPassageVerseDelimitersRichKey");
const QString CopyPassageCopier::CopyPassageVerseDelimitersPlainKey =
    QStringLiteral("CopyPassageVerseDelimitersPlainKey");
const QString CopyPassageCopier::blockWrapperOpenTag = QStringLiteral("blockWrapperOpenTag");
const QString CopyPassageCopier::blockWrapperCloseTag = QStringLiteral("blockWrapperCloseTag");

namespace {

// The pictures of the application copied beside a copied passage are small; a larger file is no
// picture of ours.
constexpr qint64 kMaxBundleFileBytes = 16 * 1024 * 1024;

constexpr std::uint32_t kNoBlock = 0xFFFFFFFFu;

QString& bundleFolder()
{
    static QString folder = QStringLiteral(":/images");
    return folder;
}

// One tag of a walk over HTML: where it starts and its text.
struct TagAt {
    qsizetype start = -1;
    QString text;
    bool valid() const { return start >= 0; }
    qsizetype end() const { return start + text.size(); }
};

TagAt nextTag(const QString& html, qsizetype from)
{
    const StringRange r = JavaScript::rangeOfHtmlTagInRange(html, StringRange {from, html.size() - from});
    if (!r.found())
        return {};
    return {r.location, html.mid(r.location, r.length)};
}

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

QVariantMap attributesOf(const QString& tag)
{
    return JavaScript::dictionaryOfAttributesFromString(tag).value_or(QVariantMap());
}

struct OpenElement {
    QString tag;
    QString name;
    qsizetype position = 0;
};

// The Bible key a verse span names, or 0 when the tag is not a verse span. `numbered` tells which of
// the two forms it is: the verse-number anchor "<span id='_s" or the data-verse-span wrapper.
std::uint32_t verseSpanKey(const QString& tag, bool& numbered)
{
    QString numbers;
    if (tag.startsWith(QLatin1String("<span id='_s"))) {
        numbered = true;
        const qsizetype end = tag.indexOf(QLatin1Char('\''), 12);
        numbers = tag.mid(12, end < 0 ? -1 : end - 12);
    } else if (tag.startsWith(QLatin1String("<span "))) {
        numbered = false;
        const QVariantMap attributes = attributesOf(tag);
        const QString value = attributes.value(QStringLiteral("data-verse-span")).toString();
        if (!value.startsWith(QLatin1String("sel_s")))
            return 0;
        numbers = value.mid(5);
    } else {
        return 0;
    }
    const QStringList parts = numbers.split(QLatin1Char('.'));
    if (parts.size() != 3)
        return 0;
    bool ok[3] = {false, false, false};
    const int book = parts[0].toInt(&ok[0]), chapter = parts[1].toInt(&ok[1]), verse = parts[2].toInt(&ok[2]);
    if (!ok[0] || !ok[1] || !ok[2] || book < 1 || book > 255 || chapter < 0 || chapter > 255 || verse < 0 ||
        verse > 255)
        return 0;
    return (static_cast<std::uint32_t>(book) << 16) | (static_cast<std::uint32_t>(chapter) << 8) |
        static_cast<std::uint32_t>(verse);
}

// Whether a rendered block of a Bible holds text of a verse whose section lies in [start, end]: a verse
// span (either form) of such a verse.
bool carriesVerseText(
    const QString& html, std::uint32_t start, std::uint32_t end, const std::shared_ptr<SourceTuple>& bible)
{
    for (TagAt tag = nextTag(html, 0); tag.valid(); tag = nextTag(html, tag.end())) {
        bool numbered = false;
        const std::uint32_t key = verseSpanKey(tag.text, numbered);
        if (key == 0)
            continue;
        const std::uint32_t section = bible->sectionForBibleKey(key);
        if (section >= start && section <= end)
            return true;
    }
    return false;
}

// Elements that never have content, and so never a closing tag.
bool isVoidElement(const QString& name)
{
    static const QSet<QString> names {QStringLiteral("br"), QStringLiteral("img"), QStringLiteral("hr"),
        QStringLiteral("wbr"), QStringLiteral("input"), QStringLiteral("meta"), QStringLiteral("link"),
        QStringLiteral("area"), QStringLiteral("col"), QStringLiteral("embed"), QStringLiteral("param"),
        QStringLiteral("source"), QStringLiteral("track")};
    return names.contains(name);
}

// A rendered block of a Bible that is one verse division: a single "div" or "p" element around the
// whole block, holding a numbered verse. `inner` is its content with the elements the renderer left
// open (a verse's wrapper span) closed at its end.
struct VerseDivision {
    QString openTag;
    QString name;
    QString inner;
};

std::optional<VerseDivision> verseDivisionOf(const QString& block)
{
    const QString html = block.trimmed();
    const TagAt first = nextTag(html, 0);
    if (!first.valid() || first.start != 0 || JavaScript::isClosingTag(first.text) ||
        JavaScript::isSelfClosingTag(first.text))
        return std::nullopt;
    const QString name = JavaScript::tagName(first.text).toLower();
    const QString closing = QStringLiteral("</") + name + QLatin1Char('>');
    if ((name != QLatin1String("div") && name != QLatin1String("p")) || !html.endsWith(closing, Qt::CaseInsensitive))
        return std::nullopt;
    const QString inner = html.mid(first.end(), html.size() - closing.size() - first.end());
    std::vector<QString> open;
    bool verse = false;
    for (TagAt tag = nextTag(inner, 0); tag.valid(); tag = nextTag(inner, tag.end())) {
        const QString tagName = JavaScript::tagName(tag.text).toLower();
        if (JavaScript::isClosingTag(tag.text)) {
            const auto match = std::find(open.rbegin(), open.rend(), tagName);
            if (match == open.rend()) {
                if (tagName == name)
                    return std::nullopt;  // the division ends before the block does
                continue;
            }
            open.erase(std::next(match).base(), open.end());
            continue;
        }
        if (tag.text.startsWith(QLatin1String("<span id='_s")))
            verse = true;
        if (!JavaScript::isSelfClosingTag(tag.text) && !isVoidElement(tagName))
            open.push_back(tagName);
    }
    if (!verse)
        return std::nullopt;
    VerseDivision division {first.text, name, inner};
    for (auto it = open.rbegin(); it != open.rend(); ++it)
        division.inner += QStringLiteral("</") + *it + QLatin1Char('>');
    return division;
}

// The blocks of a Bible passage as the page's paragraphs. The renderer writes each verse as a
// division of its own, a "p" for a verse that opens a paragraph and a bare "div" for one that goes
// on with it; the verses of one paragraph become one division (the tag of its first verse) and a
// verse that opens a paragraph starts the next. Headings and any other block stand as they are.
std::vector<QString> joinedIntoParagraphs(const std::vector<QString>& blocks)
{
    std::vector<QString> out;
    QString closing;  // the closing tag of the paragraph being joined; empty when none is open
    const auto close = [&] {
        if (!closing.isEmpty())
            out.back() += closing;
        closing.clear();
    };
    for (const QString& block : blocks) {
        const std::optional<VerseDivision> verse = verseDivisionOf(block);
        const bool goesOn = verse && verse->openTag == QLatin1String("<div>");
        if (verse && goesOn && !closing.isEmpty()) {
            const QString& last = out.back();
            if (!last.isEmpty() && !last.back().isSpace())
                out.back() += QLatin1Char(' ');
            out.back() += verse->inner;
            continue;
        }
        close();
        if (verse && (goesOn || verse->name == QLatin1String("p"))) {
            out.push_back(verse->openTag + verse->inner);
            closing = QStringLiteral("</") + verse->name + QLatin1Char('>');
        } else {
            out.push_back(block);
        }
    }
    close();
    return out;
}

// An opening tag of a heading, h1 to h9.
bool isHeadingOpening(const QString& tag)
{
    if (JavaScript::isClosingTag(tag))
        return false;
    const QString name = JavaScript::tagName(tag).toLower();
    return name.size() == 2 && name[0] == QLatin1Char('h') && name[1] >= QLatin1Char('1') &&
        name[1] <= QLatin1Char('9');
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

int intOption(const QVariantMap& options, const QString& key, int fallback)
{
    const auto it = options.constFind(key);
    if (it == options.constEnd())
        return fallback;
    bool ok = false;
    const int value = it->toInt(&ok);
    return ok ? value : fallback;
}

QString filteredPlain(const QString& html)
{
    return JavaScript::stringByFilteringHtmlStrength(html, 5, true);
}

// A local copy of an image: the book's image cache folder and the last path component of the
// URL-decoded source.
QString cachePathFor(const QString& source, const std::shared_ptr<SourceTuple>& tuple)
{
    QVariantMap identity;
    identity.insert(QStringLiteral("pubID"), static_cast<qlonglong>(tuple->pubID()));
    identity.insert(QStringLiteral("bookID"), static_cast<qlonglong>(tuple->bookID()));
    identity.insert(QStringLiteral("editionNumber"), static_cast<qlonglong>(tuple->editionNumber()));
    identity.insert(QStringLiteral("revisionNumber"), static_cast<qlonglong>(tuple->revisionNumber()));
    const QString folder = AppFolders::bookImageCache(identity);
    QString name = QUrl::fromPercentEncoding(source.toUtf8());
    name = name.section(QLatin1Char('/'), -1);
    // A name from a book is untrusted: only its last component is used, and never ".." or empty.
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        name = QStringLiteral("_image");
    return QDir(folder).filePath(name);
}

// The image types a report carries inline, by file name.
QString inlineImageMime(const QString& path)
{
    const QString lower = path.toLower();
    if (lower.endsWith(QLatin1String(".png")))
        return QStringLiteral("image/png");
    if (lower.endsWith(QLatin1String(".jpg")) || lower.endsWith(QLatin1String(".jpeg")))
        return QStringLiteral("image/jpeg");
    if (lower.endsWith(QLatin1String(".gif")))
        return QStringLiteral("image/gif");
    if (lower.endsWith(QLatin1String(".bmp")))
        return QStringLiteral("image/bmp");
    return QString();
}

}  // namespace

const CopyPassageProfile& CopyPassageProfile::copier()
{
    static const CopyPassageProfile profile {CopyPassageCopier::CopyPassageReferenceLocationKey,
        CopyPassageCopier::CopyPassageVerseDelimitersRichKey, CopyPassageCopier::CopyPassageVerseDelimitersPlainKey,
        true, true, true, false};
    return profile;
}

const CopyPassageProfile& CopyPassageProfile::dialog()
{
    static const CopyPassageProfile profile {QStringLiteral("referenceLocation"),
        QStringLiteral("richTextVerseDelimiters"), QStringLiteral("plainTextVerseDelimiters"), false, false, false,
        true};
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
    QString* plain, QString* html, const QVariantMap& options, const CopyPassageProfile& profile)
{
    if (!bible)
        return;
    const std::uint32_t start = bible->sectionForBibleKey(ref.bibleKey());
    const std::uint32_t end = bible->lastSectionForAmbiguousKey(ref.endBibleKey());
    clipboardTextForStartSectionFromBible(start, end, bible, plain, html, options, profile);
}

void CopyPassageCopier::clipboardTextForStartSectionFromBible(std::uint32_t start, std::uint32_t end,
    const std::shared_ptr<SourceTuple>& bible, QString* plain, QString* html, const QVariantMap& options,
    const CopyPassageProfile& profile)
{
    if (!bible || start < 1 || start > end)
        return;
    const std::uint32_t first = bible->blockForSection(start);
    const std::uint32_t last = bible->blockForSection(bible->numSections() > end + 1 ? end + 1 : end);
    if (first == kNoBlock || last == kNoBlock || first > last)
        return;

    const QString open = profile.usesBlockWrappers ? options.value(blockWrapperOpenTag).toString() : QString();
    const QString close = profile.usesBlockWrappers ? options.value(blockWrapperCloseTag).toString() : QString();
    std::vector<QString> blocks;
    for (std::uint32_t block = first; block <= last; ++block) {
        blocks.push_back(bible->htmlTextForBlock(block, options));
        if (block == kNoBlock - 1)
            break;
    }
    // The blocks after the end verse's own are rendered for the text the verse carries on into them.
    // Those that carry none of the passage's verses belong to what follows it (the heading of the next
    // chapter, book or stanza) and are left out.
    const std::uint32_t endBlock = bible->blockForSection(end);
    while (!blocks.empty() && endBlock != kNoBlock && first + (blocks.size() - 1) > endBlock &&
        !carriesVerseText(blocks.back(), start, end, bible))
        blocks.pop_back();
    const bool paragraphs = profile.joinsParagraphs && open.isEmpty() && close.isEmpty();
    if (paragraphs)
        blocks = joinedIntoParagraphs(blocks);
    QString text;
    for (const QString& block : blocks)
        text += open + block + close;
    text = stringWithUserNoteLinksRemoved(stringFrom(text, start, end, bible));

    if (html != nullptr) {
        QString h = stringWithVerseNumbersWrappedForHtmlTextFromHtml(text, options, profile);
        h = finishHtml(stringWithUnneededSpansRemoved(h, profile), bible);
        const int location = intOption(options, profile.referenceLocationKey, 0);
        const QString format = options.value(QStringLiteral("htmlTextRefFormatString")).toString();
        const QString reference =
            QString(format).replace(QLatin1String("%@"), options.value(QStringLiteral("referenceString")).toString());
        if (location == 4)
            h = stringByInsertingReference(QStringLiteral(" ") + reference, h, false);
        else if (location == 2)
            h = stringByInsertingReference(reference + QStringLiteral(" "), h, true);
        *html += h;
    }
    if (plain != nullptr) {
        QString p = stringWithVerseNumbersWrappedForPlainTextFromHtml(text, options, profile);
        p = stringWithUnneededSpansRemoved(p, profile);
        *plain += finishPlain(p, paragraphs);
    }
}

void CopyPassageCopier::clipboardTextForStartSection(std::uint32_t start, std::uint32_t end,
    const std::shared_ptr<SourceTuple>& source, QString* plain, QString* html, const QVariantMap& options,
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
    clipboardTextForStartBlock(
        source->blockForSection(start), source->lastBlockForSection(end), source, plain, html, options, profile);
}

void CopyPassageCopier::clipboardTextForStartBlock(std::uint32_t start, std::uint32_t end,
    const std::shared_ptr<SourceTuple>& source, QString* plain, QString* html, const QVariantMap& options,
    const CopyPassageProfile& profile)
{
    if (!source || start == kNoBlock || end == kNoBlock || start > end)
        return;
    QString text;
    for (std::uint32_t block = start; block <= end; ++block) {
        text += source->htmlTextForBlock(block, options);
        if (block == kNoBlock - 1)
            break;
    }
    text = stringWithUserNoteLinksRemoved(text);
    if (html != nullptr)
        *html += finishHtml(stringWithUnneededSpansRemoved(text, profile), source);
    if (plain != nullptr)
        *plain += finishPlain(stringWithUnneededSpansRemoved(text, profile));
}

QString CopyPassageCopier::finishHtml(QString html, const std::shared_ptr<SourceTuple>& source)
{
    html = stringWithLinksRemoved(html);
    html = stringWithEmptyTagPairsRemoved(html);
    return stringWithImgSrcPatched(html, source);
}

QString CopyPassageCopier::finishPlain(QString html, bool linePerBlock)
{
    html = stringWithEmptyTagPairsRemoved(html);
    // Each block is a division of its own (a verse, often), and the filter drops division tags without
    // leaving a break: a blank keeps the last word of one block off the first of the next.
    static const QString kDivisionEnd = QStringLiteral("</div>");
    for (qsizetype at = html.indexOf(kDivisionEnd); at >= 0; at = html.indexOf(kDivisionEnd, at + 1)) {
        const qsizetype after = at + kDivisionEnd.size();
        if (after < html.size() && at > 0 && !html.at(at - 1).isSpace() && !html.at(after).isSpace())
            html.insert(after, QLatin1Char(' '));
    }
    // A heading inside the passage (of a chapter, a book or a psalm's stanza) stands on a line of its
    // own. The filter ends the line after it; the line before it ends at its opening tag, so the text
    // is filtered a heading at a time.
    QString plain;
    qsizetype from = 0;
    const auto appendUpTo = [&](qsizetype end) {
        const QString piece = filteredPlain(html.mid(from, end - from));
        from = end;
        if (piece.isEmpty())
            return;
        while (!plain.isEmpty() && (plain.back() == QLatin1Char(' ') || plain.back() == QLatin1Char('\t')))
            plain.chop(1);
        if (!plain.isEmpty() && !plain.endsWith(QLatin1Char('\n')) && !plain.endsWith(QLatin1Char('\r')))
            plain += QStringLiteral("\r\n");
        plain += piece;
    };
    // Blocks of the page's paragraphs are lines of their own as well.
    int depth = 0;
    for (TagAt tag = nextTag(html, 0); tag.valid(); tag = nextTag(html, tag.end())) {
        const bool closing = JavaScript::isClosingTag(tag.text);
        const QString name = JavaScript::tagName(tag.text).toLower();
        const bool block = name == QLatin1String("div") || JavaScript::isBlockLevelTag(tag.text);
        if (tag.start > from && !closing && (isHeadingOpening(tag.text) || (linePerBlock && block && depth == 0)))
            appendUpTo(tag.start);
        if (block && !JavaScript::isSelfClosingTag(tag.text))
            depth = std::max(0, depth + (closing ? -1 : 1));
    }
    if (from == 0)
        plain = filteredPlain(html);
    else
        appendUpTo(html.size());
    // Blanks a block begins or ends with do not lead or trail the lines.
    static const QRegularExpression kEdgeBlanks(QStringLiteral("[ \\t]+(?=[\\r\\n]|$)|(?:^|(?<=[\\r\\n]))[ \\t]+"));
    plain.remove(kEdgeBlanks);
    // The verses of a paragraph are joined with a blank, and a verse may end in one of its own: the
    // page draws such runs as one blank, and so does the copy.
    if (linePerBlock) {
        static const QRegularExpression kBlankRuns(QStringLiteral("[ \\t]{2,}"));
        plain.replace(kBlankRuns, QStringLiteral(" "));
    }
    // A passage read as paragraphs ends with its last word, whichever block it ends in.
    while (linePerBlock && (plain.endsWith(QLatin1Char('\n')) || plain.endsWith(QLatin1Char('\r'))))
        plain.chop(1);
    return plain;
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
        const std::uint32_t section = source ? source->sectionForBibleKey(key) : 0;
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
    const QString& html, const QVariantMap& options, const CopyPassageProfile& profile)
{
    return stringWithVerseNumbersWrapped(html, options, profile, true);
}

QString CopyPassageCopier::stringWithVerseNumbersWrappedForPlainTextFromHtml(
    const QString& html, const QVariantMap& options, const CopyPassageProfile& profile)
{
    return stringWithVerseNumbersWrapped(html, options, profile, false);
}

QString CopyPassageCopier::stringWithVerseNumbersWrapped(
    const QString& html, const QVariantMap& options, const CopyPassageProfile& profile, bool forHtml)
{
    const int style = intOption(options, forHtml ? profile.richVerseDelimitersKey : profile.plainVerseDelimitersKey, 0);
    const bool include = !profile.readsIncludeVerseNumbers ||
        options.value(QStringLiteral("copyPassageIncludeVerseNumbers"), true).toBool();
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
        if (include && style != 4)
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
        if (!forHtml && include && close.endsWith(QLatin1Char(' ')))
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

// ---- Reference and images ----

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

QString CopyPassageCopier::stringWithImgSrcPatched(const QString& html, const std::shared_ptr<SourceTuple>& book)
{
    QString out;
    walkTags(
        html, [&](const QString& text) { out += text; },
        [&](const QString& tag) {
            if (!tag.startsWith(QLatin1String("<img "), Qt::CaseInsensitive) || !book) {
                out += tag;
                return;
            }
            const QVariantMap attributes = attributesOf(tag);
            const auto src = attributes.constFind(QStringLiteral("src"));
            if (src == attributes.constEnd()) {
                out += tag;
                return;
            }
            const QString path = src->toString() == QLatin1String("logo100x24.bmp")
                ? copyFile(QStringLiteral("Tavrosen Logo"), QStringLiteral("png"), book)
                : copyFileFromTvkToCache(src->toString(), book);
            QString rebuilt = QStringLiteral("<img ");
            for (auto it = attributes.constBegin(); it != attributes.constEnd(); ++it) {
                const QString value =
                    it.key() == QLatin1String("src") ? QStringLiteral("file://") + path : it.value().toString();
                const QChar quote = value.contains(QLatin1Char('"')) ? QLatin1Char('\'') : QLatin1Char('"');
                rebuilt += it.key() + QLatin1Char('=') + quote + value + quote + QLatin1Char(' ');
            }
            rebuilt += QStringLiteral("/>");
            out += rebuilt;
        });
    return out;
}

QString CopyPassageCopier::stringWithCachedImagesInlined(const QString& html, const std::shared_ptr<SourceTuple>& book)
{
    if (!book || !html.contains(QLatin1String("file://")))
        return html;
    const QString folder = QFileInfo(cachePathFor(QStringLiteral("_image"), book)).dir().canonicalPath();
    // The form stringWithImgSrcPatched writes: src, a quote, file://, the cache path, the quote.
    static const QRegularExpression source(
        QStringLiteral("(<img\\s[^>]*?\\bsrc=)([\"'])file://([^\"'>]*)\\2"), QRegularExpression::CaseInsensitiveOption);
    QString out;
    qsizetype from = 0;
    for (auto it = source.globalMatch(html); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        out += html.mid(from, m.capturedStart() - from);
        from = m.capturedEnd();
        const QFileInfo file(m.captured(3));
        const QString mime = inlineImageMime(file.fileName());
        QFile image(file.canonicalFilePath());
        const bool inCache = !folder.isEmpty() && file.canonicalFilePath().startsWith(folder + QLatin1Char('/'));
        if (inCache && !mime.isEmpty() && file.size() <= kMaxInlineImageBytes && image.open(QIODevice::ReadOnly)) {
            out += m.captured(1) + m.captured(2) + QStringLiteral("data:") + mime + QStringLiteral(";base64,") +
                QString::fromLatin1(image.read(kMaxInlineImageBytes).toBase64()) + m.captured(2);
        } else {
            // An image the report cannot carry is left out rather than named.
            out += m.captured(1) + m.captured(2) + m.captured(2);
        }
    }
    out += html.mid(from);
    return out;
}

QString CopyPassageCopier::copyFile(const QString& name, const QString& type, const std::shared_ptr<SourceTuple>& tuple)
{
    const QString fileName = name + QLatin1Char('.') + type;
    const QString cached = cachePathFor(fileName, tuple);
    if (QFileInfo::exists(cached))
        return cached;
    // Written whole or not at all: a copy cut short by a full disk would be served from then on.
    QFile source(QDir(bundleFolder()).filePath(fileName));
    if (source.open(QIODevice::ReadOnly) && source.size() <= kMaxBundleFileBytes) {
        const QByteArray bytes = source.readAll();
        if (source.error() == QFileDevice::NoError)
            FileSave::writeFile(cached, bytes);
    }
    return cached;
}

QString CopyPassageCopier::copyFileFromTvkToCache(const QString& source, const std::shared_ptr<SourceTuple>& tuple)
{
    const QString cached = cachePathFor(source, tuple);
    QDir().mkpath(QFileInfo(cached).absolutePath());
    tuple->extractImage(QFileInfo(cached).fileName(), cached);
    return cached;
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
    ref.setLanguage(static_cast<int>(bible->bookLanguage()));
    // Text that parses to nothing at all (an empty field, blanks) is no reference either.
    if (!ref.parse(reference) || ref.numRanges() == 0) {
        fail(error, "Unrecognized verse reference.", "Choose a different passage to copy.",
            "Quillstead could not parse the reference you entered.");
        return false;
    }
    const auto notFound = [error] {
        fail(error, "Could not find the passage in this Bible.", "Choose a different passage to copy.",
            "The selected Bible may not contain the book(s) from which you're trying to copy.");
        return false;
    };
    if (!ref.mapToTranslation(bible->abbr()))
        return notFound();
    // A passage with no verse in this Bible ("John 3:99") copies nothing: that is a failure, not an
    // empty copy under its reference.
    const QList<BibleRef> ranges = ref.arrayOfRefsFromRanges();
    if (ranges.isEmpty())
        return notFound();
    for (const BibleRef& range : ranges) {
        quint32 start = 0, end = 0;
        if (!bible->sectionRangeForVerse(range, &start, &end) || start < 1 || start > end)
            return notFound();
    }

    const QString plainFormat = delimiterFormat(defaults.integerForKey(QStringLiteral("cpRefDelimPlain")));
    QString htmlFormat = delimiterFormat(defaults.integerForKey(QStringLiteral("cpRefDelimRich")));
    if (defaults.boolForKey(QStringLiteral("cpRefStyleBold")))
        htmlFormat = fill(QStringLiteral("<b>%@</b>"), htmlFormat);
    if (defaults.boolForKey(QStringLiteral("cpRefStyleItalic")))
        htmlFormat = fill(QStringLiteral("<i>%@</i>"), htmlFormat);
    if (defaults.boolForKey(QStringLiteral("cpRefStyleUnderline")))
        htmlFormat = fill(QStringLiteral("<u>%@</u>"), htmlFormat);

    const qint64 location = defaults.integerForKey(QStringLiteral("cpRefLocation"));
    const qint64 format = defaults.integerForKey(QStringLiteral("cpRefFormat"));
    const bool abbreviatedBook = format >= 1 && format <= 3;
    const bool withTranslation = format == 2 || format == 3 || format == 5 || format == 6;
    const bool abbreviatedTranslation = format == 2 || format == 5;

    result = {};
    result.clipboardFormat = static_cast<int>(defaults.integerForKey(QStringLiteral("cpClipboardFormat")));
    const CopyPassageProfile& profile = CopyPassageProfile::dialog();
    for (BibleRef range : ranges) {
        if (!result.plain.isEmpty() && !result.plain.endsWith(QLatin1Char('\r')) &&
            !result.plain.endsWith(QLatin1Char('\n')))
            result.plain += QLatin1Char('\r');
        range.setLanguage(static_cast<int>(bible->bookLanguage()));
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
        QVariantMap options;
        options.insert(profile.referenceLocationKey, location);
        options.insert(QStringLiteral("htmlTextRefFormatString"), htmlFormat);
        options.insert(QStringLiteral("referenceString"), spelled);
        options.insert(profile.richVerseDelimitersKey, defaults.integerForKey(QStringLiteral("cpVerseDelimRich")));
        options.insert(profile.plainVerseDelimitersKey, defaults.integerForKey(QStringLiteral("cpVerseDelimPlain")));
        options.insert(QStringLiteral("footnoteOption"), 0);
        options.insert(QStringLiteral("omitStrongsNumbersInDecode"), true);
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
