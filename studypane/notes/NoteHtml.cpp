#include "studypane/notes/NoteHtml.h"

#include "library/JavaScript.h"
#include "render/HTMLEntities.h"
#include "render/HTMLFilter.h"
#include "search/core/Metaphone.h"
#include "search/core/TextFolding.h"
#include "search/core/WildcardPattern.h"
#include "search/core/WordStemming.h"
#include "userdata/NoteText.h"

#include <QRegularExpression>

#include <optional>
#include <string>

namespace {

const QString kSearchOpen = QStringLiteral("<span class='_search'>");
const QString kSearchClose = QStringLiteral("</span>");

// Applied in this order when escaping, undone in the same order.
const std::pair<QString, QString> kHrefEscapes[] = {
    {QStringLiteral("\\"), QStringLiteral("@@bs@@")},
    {QStringLiteral("'"), QStringLiteral("@@apos@@")},
    {QStringLiteral("\""), QStringLiteral("@@quot@@")},
    {QStringLiteral("\b"), QStringLiteral("@@backspace@@")},
    {QStringLiteral("\f"), QStringLiteral("@@formfeed@@")},
    {QStringLiteral("\n"), QStringLiteral("@@newline@@")},
    {QStringLiteral("\r"), QStringLiteral("@@return@@")},
    {QStringLiteral("\t"), QStringLiteral("@@tab@@")},
    {QStringLiteral("\v"), QStringLiteral("@@verticaltab@@")},
};

// Drops the named elements with everything inside them (an unclosed one runs to the end): their
// content is code or page furniture, never note text.
QString withoutElements(const QString& html, std::initializer_list<const char*> names)
{
    QString out = html;
    for (const char* name : names) {
        const QRegularExpression open(
            QStringLiteral("<%1(\\s[^>]*)?>").arg(QLatin1String(name)), QRegularExpression::CaseInsensitiveOption);
        const QRegularExpression close(
            QStringLiteral("</%1\\s*>").arg(QLatin1String(name)), QRegularExpression::CaseInsensitiveOption);
        qsizetype from = 0;
        for (;;) {
            const QRegularExpressionMatch m = open.match(out, from);
            if (!m.hasMatch())
                break;
            const QRegularExpressionMatch end = close.match(out, m.capturedEnd());
            const qsizetype stop = end.hasMatch() ? end.capturedEnd() : out.size();
            out.remove(m.capturedStart(), stop - m.capturedStart());
            from = m.capturedStart();
        }
    }
    return out;
}

QString filtered(const QString& html, int strength, bool convertEntities)
{
    std::string text = withoutElements(html, {"script"}).toStdString();
    filterHtmlByStrength(text, strength, convertEntities);
    return QString::fromStdString(text);
}

QString normalized(const QString& html)
{
    std::string text = html.toStdString();
    normalizeNoteParagraphs(text);
    return QString::fromStdString(text);
}

// Writes a tag back from its name and attributes; values are always quoted so that none can end
// the attribute early.
QString rebuildTag(const QString& name, const QVariantMap& attributes, bool selfClosing)
{
    QString tag = QLatin1Char('<') + name;
    for (auto it = attributes.cbegin(); it != attributes.cend(); ++it) {
        QString value = it.value().toString();
        if (value.contains(QLatin1Char('"')) && !value.contains(QLatin1Char('\'')))
            tag += QStringLiteral(" %1='%2'").arg(it.key(), value);
        else
            tag +=
                QStringLiteral(" %1=\"%2\"").arg(it.key(), value.replace(QLatin1Char('"'), QStringLiteral("&quot;")));
    }
    tag += selfClosing ? QStringLiteral(" />") : QStringLiteral(">");
    return tag;
}

QString attributeKey(const QVariantMap& attributes, QLatin1StringView name)
{
    for (auto it = attributes.cbegin(); it != attributes.cend(); ++it)
        if (it.key().compare(name, Qt::CaseInsensitive) == 0)
            return it.key();
    return {};
}

bool isLetterUnit(QChar c)
{
    return c.isLetter() || c.toLower() != c || c.toUpper() != c || c.combiningClass() != 0;
}

// Every form of the apostrophe counts as the straight one, in the note's words and in the searched forms.
bool isApostrophe(QChar c)
{
    return TextFolding::isApostrophe(c.unicode());
}

QString straightApostrophes(const QString& text)
{
    QString out = text;
    for (QChar& c : out)
        if (isApostrophe(c))
            c = QLatin1Char('\'');
    return out;
}

bool formMatches(const QString& searched, const QString& found)
{
    const QString form = straightApostrophes(searched);
    const QString word = straightApostrophes(found);
    if (form.startsWith(QLatin1Char('@'))) {
        std::string stem = stemWordForLanguage(word.toStdString(), kStemLanguageEnglish);
        return QString::fromStdString(stem).compare(form.mid(1), Qt::CaseInsensitive) == 0;
    }
    if (form.startsWith(QLatin1Char('$'))) {
        std::string key =
            metaphoneKey(std::u16string_view(reinterpret_cast<const char16_t*>(word.utf16()), word.size()));
        return QString::fromStdString(key).compare(form.mid(1), Qt::CaseInsensitive) == 0;
    }
    if (hasWildcard(reinterpret_cast<const char16_t*>(form.utf16())))
        return matchSearchPattern(
            reinterpret_cast<const char16_t*>(form.utf16()), reinterpret_cast<const char16_t*>(word.utf16()), 0);
    return form.compare(word, Qt::CaseInsensitive) == 0;
}

}  // namespace

QString NoteHtml::emptyNoteHtml()
{
    return QStringLiteral("<p>&nbsp;</p><p align='center'><i>Note is empty.</i></p>");
}

QString NoteHtml::viewBody(const QString& note, const QList<SearchItem>& searchWords)
{
    // A note kept from before that shows nothing reads as the empty note it is.
    const bool empty = note.isEmpty() || !hasVisibleContent(note);
    std::string text = withoutElements(empty ? emptyNoteHtml() : note, {"script"}).toStdString();
    filterHtmlByStrength(text, 6, true);
    normalizeNoteParagraphs(text);
    linkBibleReferencesInHtml(text);
    QString body = QString::fromStdString(text);
    removeRemoteImages(body);
    wrapHrefs(body, QStringLiteral("javascript:href('"), QStringLiteral("');"));
    markSearchWords(searchWords, body);
    return body;
}

QString NoteHtml::viewPage(
    const QString& note, const QString& css, const QString& script, const QList<SearchItem>& searchWords)
{
    // The script is the program's own resource; the note and the style sheet must not end the
    // elements they are placed in.
    QString style = css;
    style.replace(QStringLiteral("</"), QStringLiteral("<\\/"));
    return QStringLiteral("<html><head><title>*** TITLE ***</title><style type=\"text/css\">") + style +
        QStringLiteral("</style><script language=\"javascript\">") + script + QStringLiteral("</script></head><body>") +
        viewBody(note, searchWords) + QStringLiteral("</body></html>");
}

QString NoteHtml::richEditorContent(const QString& note)
{
    if (note.isEmpty())
        return {};
    QString content = filtered(normalized(note), 6, false);
    removeRemoteImages(content);
    return content;
}

QString NoteHtml::richEditorPage(const QString& note, const QString& css)
{
    QString style = css;
    style.replace(QStringLiteral("</"), QStringLiteral("<\\/"));
    return QStringLiteral("<html><head><title>*** TITLE ***</title><style type=\"text/css\">") + style +
        QStringLiteral("</style></head><body><div id='editor' contenteditable='true' autofocus "
                       "style='position:relative; top:5px; bottom:5px; width:100%; height:98%; "
                       "scrollHeight:auto; resize:vertical; overflow:auto;'>") +
        richEditorContent(note) + QStringLiteral("</div></body></html>");
}

QString NoteHtml::textEditorPage(const QString& note)
{
    // "<" is escaped too: a note holding "</textarea>" must stay inside the text area.
    QString source = note;
    source.replace(QLatin1Char('&'), QStringLiteral("&amp;")).replace(QLatin1Char('<'), QStringLiteral("&lt;"));
    return QStringLiteral("<html><body><textarea id='raw-editor' autofocus style='position:relative; top:5px; "
                          "bottom:5px; width:100%; height:98%; scrollHeight:auto; resize:vertical; "
                          "overflow:auto;'>") +
        source + QStringLiteral("</textarea></body></html>");
}

QString NoteHtml::savedText(const QString& editorText, Source source, SaveKind kind)
{
    QString text = editorText.normalized(QString::NormalizationForm_D);
    if (source == Source::RichEdit)
        text = convertDivsToParagraphs(text);
    if (kind == SaveKind::Final) {
        text = trimTrailingBreaks(text);
        text = withLinksRestored(text);
        text = layoutNoteLines(text);
        text = filtered(text, 2, false);
    } else {
        // An intermediate save is stored too: it keeps the markup and placeholders but no script.
        text = filtered(text, 6, false);
    }
    removeRemoteImages(text);
    // What shows nothing is no note: an editor emptied by the user leaves breaks and empty
    // paragraphs behind, and storing those would keep the note, and its link, alive.
    if (!hasVisibleContent(text))
        return {};
    return text;
}

bool NoteHtml::hasVisibleContent(const QString& html)
{
    return !NoteText::showsNothing(std::u16string_view(reinterpret_cast<const char16_t*>(html.utf16()), html.size()));
}

QString NoteHtml::pastedContent(const QString& html)
{
    return withLinkPlaceholders(richEditorContent(withoutElements(html, {"head", "script", "style", "title"})));
}

QString NoteHtml::withLinkPlaceholders(const QString& html)
{
    QString out = html;
    out.replace(QStringLiteral("<a "), QStringLiteral("<a-placeholder "));
    out.replace(QStringLiteral("</a>"), QStringLiteral("</a-placeholder>"));
    return out;
}

QString NoteHtml::withLinksRestored(const QString& html)
{
    QString out = html;
    out.replace(QStringLiteral("<a-placeholder "), QStringLiteral("<a "));
    out.replace(QStringLiteral("</a-placeholder>"), QStringLiteral("</a>"));
    return out;
}

QString NoteHtml::escapeHref(const QString& href)
{
    QString out = href;
    for (const auto& [from, to] : kHrefEscapes)
        out.replace(from, to);
    return out;
}

QString NoteHtml::unescapeHref(const QString& escaped)
{
    QString out = escaped;
    for (const auto& [from, to] : kHrefEscapes)
        out.replace(to, from);
    return out;
}

namespace {

// Hands each opening tag of the HTML, with its name, to `rewrite`; a tag it gives an answer for is
// replaced by that answer (an empty one removes the tag), and the walk goes on after the answer.
template <class Rewrite> void rewriteOpeningTags(QString& html, Rewrite rewrite)
{
    qsizetype pos = 0;
    while (pos < html.size()) {
        const StringRange r = JavaScript::rangeOfHtmlTagInRange(html, {pos, html.size() - pos});
        if (!r.found() || r.length <= 0)
            break;
        const QString tag = html.mid(r.location, r.length);
        pos = r.location + r.length;
        if (JavaScript::isClosingTag(tag))
            continue;
        const std::optional<QString> replacement = rewrite(tag, JavaScript::tagName(tag));
        if (!replacement)
            continue;
        html.replace(r.location, r.length, *replacement);
        pos = r.location + replacement->size();
    }
}

}  // namespace

void NoteHtml::wrapHrefs(QString& html, const QString& prefix, const QString& suffix)
{
    if (prefix.isEmpty())
        return;
    rewriteOpeningTags(html, [&](const QString& tag, const QString& name) -> std::optional<QString> {
        if (name.isEmpty() || !QStringLiteral("/a/area/link/").contains(QLatin1Char('/') + name + QLatin1Char('/')))
            return std::nullopt;
        auto attributes = JavaScript::dictionaryOfAttributesFromString(tag);
        if (!attributes)
            return std::nullopt;
        const QString key = attributeKey(*attributes, QLatin1StringView("href"));
        if (key.isEmpty())
            return std::nullopt;
        const QString href = attributes->value(key).toString();
        if (href.startsWith(prefix) || href.endsWith(suffix))
            return std::nullopt;
        (*attributes)[key] = prefix + escapeHref(href) + suffix;
        return rebuildTag(name, *attributes, JavaScript::isSelfClosingTag(tag));
    });
}

void NoteHtml::removeRemoteImages(QString& html)
{
    rewriteOpeningTags(html, [](const QString& tag, const QString& name) -> std::optional<QString> {
        if (name != QLatin1String("img") && name != QLatin1String("image") && name != QLatin1String("input"))
            return std::nullopt;
        const auto attributes = JavaScript::dictionaryOfAttributesFromString(tag);
        if (!attributes)
            return QString();
        for (const char* attr : {"src", "srcset", "lowsrc", "dynsrc", "background"}) {
            const QString key = attributeKey(*attributes, QLatin1StringView(attr));
            if (key.isEmpty())
                continue;
            // Only pictures carried in the note itself are shown.
            if (!attributes->value(key).toString().trimmed().startsWith(
                    QLatin1String("data:image/"), Qt::CaseInsensitive))
                return QString();
        }
        return std::nullopt;
    });
}

QString NoteHtml::convertDivsToParagraphs(const QString& html)
{
    QString text = html;
    const qsizetype first = text.indexOf(QLatin1String("<div>"), 0, Qt::CaseInsensitive);
    if (first > 0)
        text = normalized(text.left(first)) + text.mid(first);
    text.replace(QLatin1String("<div>"), QLatin1String("<p>"), Qt::CaseInsensitive);
    text.replace(QLatin1String("</div>"), QLatin1String("</p>"), Qt::CaseInsensitive);
    text.replace(QLatin1String("<div "), QLatin1String("<p "), Qt::CaseInsensitive);
    return text;
}

QString NoteHtml::trimTrailingBreaks(const QString& html)
{
    static const QLatin1String tokens[] = {
        QLatin1String("<br>"), QLatin1String("&nbsp;"), QLatin1String("<br />"), QLatin1String("<br/>")};
    QString text = html;
    for (;;) {
        qsizetype end = text.size();
        while (end > 0 &&
            (text[end - 1] == u' ' || text[end - 1] == u'\t' || text[end - 1] == u'\n' || text[end - 1] == u'\r'))
            --end;
        if (end < text.size()) {
            text.truncate(end);
            continue;
        }
        bool cut = false;
        for (const auto& token : tokens) {
            if (text.endsWith(token, Qt::CaseInsensitive)) {
                text.chop(token.size());
                cut = true;
                break;
            }
        }
        if (!cut)
            return text;
    }
}

QString NoteHtml::layoutNoteLines(const QString& html)
{
    QString text = html;
    text.replace(QLatin1String("\\"), QLatin1String("\\\\"));
    text.replace(QLatin1String("\n"), QLatin1String("\\n"));
    text.replace(QLatin1String("<div>"), QLatin1String("<p>"), Qt::CaseInsensitive);
    text.replace(QLatin1String("</div>"), QLatin1String("</p>"), Qt::CaseInsensitive);
    text.replace(QLatin1String("<div "), QLatin1String("<p "), Qt::CaseInsensitive);
    for (const char* tag : {"</li>", "<br>", "</p>", "</ol>", "</ul>", "</table>", "</tr>"}) {
        const QLatin1String t(tag);
        // Keep the tag's own spelling: insert a line feed after each occurrence.
        qsizetype at = 0;
        while ((at = text.indexOf(t, at, Qt::CaseInsensitive)) >= 0) {
            text.insert(at + t.size(), QLatin1Char('\n'));
            at += t.size() + 1;
        }
    }
    text.replace(QLatin1String("\n\\n"), QLatin1String("\n"));
    // Undo the escapes in one pass so that "\\n" comes back as backslash and n.
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'\\' && i + 1 < text.size()) {
            if (text[i + 1] == u'\\') {
                out += QLatin1Char('\\');
                ++i;
                continue;
            }
            if (text[i + 1] == u'n') {
                out += QLatin1Char('\n');
                ++i;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

void NoteHtml::markSearchWords(const QList<SearchItem>& words, QString& html)
{
    if (words.isEmpty() || html.isEmpty())
        return;
    qsizetype i = 0;
    while (i < html.size()) {
        const QChar c = html[i];
        if (c == u'&') {
            const qsizetype semi = html.indexOf(QLatin1Char(';'), i + 1);
            if (semi > i && semi - i <= 40) {
                const std::string name = html.mid(i + 1, semi - i - 1).toStdString();
                std::size_t length = 0;
                if (matchCharacterEntity(name + ';', true, length) != 0 && length == name.size() + 1) {
                    i = semi + 1;
                    continue;
                }
            }
            ++i;
            continue;
        }
        if (c == u'<') {
            StringRange r = JavaScript::rangeOfHtmlTagInRange(html, {i, html.size() - i});
            i = (r.found() && r.location == i && r.length > 0) ? i + r.length : i + 1;
            continue;
        }
        qsizetype end = i;
        if (isLetterUnit(c)) {
            while (end < html.size()) {
                if (isLetterUnit(html[end])) {
                    ++end;
                } else if ((html[end] == u'-' || isApostrophe(html[end])) && end + 1 < html.size() &&
                    isLetterUnit(html[end + 1]) && html.size() - end >= 2) {
                    ++end;
                } else {
                    break;
                }
            }
        } else if (c.isDigit()) {
            while (end < html.size()) {
                if (html[end].isDigit())
                    ++end;
                else if (html[end] == u',' && end + 1 < html.size() && html[end + 1].isDigit())
                    ++end;
                else
                    break;
            }
        } else {
            ++i;
            continue;
        }
        const auto matches = [&words](const QString& word) {
            for (const SearchItem& item : words) {
                if (item.forms.size() == 1 && item.forms.front() == QLatin1String("*"))
                    continue;
                for (const QString& form : item.forms)
                    if (!form.isEmpty() && formMatches(form, word))
                        return true;
            }
            return false;
        };
        if (matches(html.mid(i, end - i))) {
            html.insert(end, kSearchClose);
            html.insert(i, kSearchOpen);
            i = end + kSearchOpen.size() + kSearchClose.size();
            continue;
        }
        // A hyphenated word that no form takes whole ("loving-kindness") has its parts marked that
        // one takes, last part first so that the earlier parts keep their places.
        qsizetype partEnd = end;
        qsizetype inserted = 0;
        for (qsizetype at = end - 1; at >= i - 1; --at) {
            if (at >= i && html[at] != u'-')
                continue;
            const qsizetype partStart = at + 1;
            if (partStart < partEnd && partEnd - partStart < end - i &&
                matches(html.mid(partStart, partEnd - partStart))) {
                html.insert(partEnd, kSearchClose);
                html.insert(partStart, kSearchOpen);
                inserted += kSearchOpen.size() + kSearchClose.size();
            }
            partEnd = at;
        }
        i = end + inserted;
    }
}
