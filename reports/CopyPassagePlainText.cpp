// The passage as the page's paragraphs and as plain text: joining a Bible's verse divisions into
// paragraphs, and filtering the finished markup into lines (a heading, and with paragraphs each block,
// on a line of its own).
#include "reports/CopyPassageCopier.h"
#include "reports/CopyPassageMarkup.h"

#include <QRegularExpression>
#include <QSet>

#include <algorithm>
#include <optional>

namespace CopyPassageMarkup {

namespace {

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

}  // namespace

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

}  // namespace CopyPassageMarkup

using namespace CopyPassageMarkup;

namespace {

// An opening tag of a heading, h1 to h9.
bool isHeadingOpening(const QString& tag)
{
    if (JavaScript::isClosingTag(tag))
        return false;
    const QString name = JavaScript::tagName(tag).toLower();
    return name.size() == 2 && name[0] == QLatin1Char('h') && name[1] >= QLatin1Char('1') &&
        name[1] <= QLatin1Char('9');
}

QString filteredPlain(const QString& html)
{
    return JavaScript::stringByFilteringHtmlStrength(html, 5, true);
}

}  // namespace

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
