#include "studypane/notes/NoteHtml.h"

#include <gtest/gtest.h>

#include <QRegularExpression>

namespace {

using Item = NoteHtml::SearchItem;

// No script element, no handler attribute, no script URL other than the page's own link form, nothing
// fetched from elsewhere. Script text left without its element is plain text.
bool inert(const QString& html)
{
    static const QRegularExpression handler(
        QStringLiteral("<[^>]*\\son[a-z]+\\s*="), QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression scriptUrl(
        QStringLiteral("<[^>]*(javascript|vbscript):(?!href\\(')"), QRegularExpression::CaseInsensitiveOption);
    const QString lower = html.toLower();
    return !lower.contains(QLatin1String("<script")) && !lower.contains(QLatin1String("<iframe")) &&
        !lower.contains(QLatin1String("evil.example")) && !handler.match(html).hasMatch() &&
        !scriptUrl.match(html).hasMatch();
}

const QString kHostile =
    QStringLiteral("<p onclick=\"alert(1)\">Grace <script>alert(2)</script>and peace</p>"
                   "<a href=\"javascript:alert(3)\">x</a><a href='vbscript:msgbox(4)'>y</a>"
                   "<img src=\"http://evil.example/t.png\"><IMG SRC='//evil.example/u.png' onerror='alert(5)'>"
                   "<iframe src='http://evil.example/'></iframe><b onmouseover=alert(6)>bold</b>");

}  // namespace

TEST(NoteHtml, RealNotesRoundTripThroughBothEditors)
{
    const QString note = QStringLiteral("<p>Faith is the <b>substance</b> of things hoped for; see "
                                        "<a href=\"bible:Heb 11:1\">Heb 11:1</a>.</p>\n<ul><li>one</li>\n"
                                        "<li>two &amp; three</li>\n</ul>\n<p><i>Amen</i></p>\n");
    // Final save of a stored note is a fixed point.
    const QString stored = NoteHtml::savedText(note, NoteHtml::Source::TextEdit, NoteHtml::SaveKind::Final);
    EXPECT_EQ(stored.toStdString(), note.toStdString());
    EXPECT_EQ(NoteHtml::savedText(stored, NoteHtml::Source::RichEdit, NoteHtml::SaveKind::Final), stored);
    // The rich editor shows the stored form; saving it back gives the same text.
    const QString content = NoteHtml::richEditorContent(note);
    EXPECT_EQ(NoteHtml::savedText(content, NoteHtml::Source::RichEdit, NoteHtml::SaveKind::Final), stored);
    // The text editor escapes the source so that it stays inside the text area.
    const QString page = NoteHtml::textEditorPage(QStringLiteral("a &amp; b</textarea><script>"));
    EXPECT_TRUE(page.contains(QLatin1String(">a &amp;amp; b&lt;/textarea>&lt;script></textarea>")));
}

TEST(NoteHtml, SaveConversions)
{
    // Plain text before the first div becomes a paragraph, the divs become paragraphs.
    EXPECT_EQ(NoteHtml::savedText(
                  QStringLiteral("intro<div>second</div>"), NoteHtml::Source::RichEdit, NoteHtml::SaveKind::Final),
        QStringLiteral("<p>intro</p>\n<p>second</p>\n"));
    // Trailing breaks go at the final save only.
    const QString tail = QStringLiteral("<p>x</p>text<br><BR/>&nbsp; ");
    EXPECT_EQ(NoteHtml::savedText(tail, NoteHtml::Source::TextEdit, NoteHtml::SaveKind::Final),
        QStringLiteral("<p>x</p>\ntext"));
    EXPECT_EQ(NoteHtml::savedText(tail, NoteHtml::Source::TextEdit, NoteHtml::SaveKind::Intermediate), tail);
    // Backslash-n in the text survives the line layout; existing line feeds are not doubled.
    EXPECT_EQ(NoteHtml::layoutNoteLines(QStringLiteral("<p>a\\nb</p>\n<p>c</p>")),
        QStringLiteral("<p>a\\nb</p>\n<p>c</p>\n"));
    // Decomposed storage.
    EXPECT_EQ(NoteHtml::savedText(
                  QString::fromUtf16(u"<p>\u00e9</p>"), NoteHtml::Source::TextEdit, NoteHtml::SaveKind::Intermediate),
        QString::fromUtf16(u"<p>e\u0301</p>"));
}

TEST(NoteHtml, TextThatShowsNothingIsStoredAsNoNote)
{
    // What an emptied editor leaves, from either tab and either save, deletes the note.
    const QStringList blank {QStringLiteral("<p><br>\n</p>"), QStringLiteral("<br>"),
        QStringLiteral("<div><br></div><div>&nbsp;</div>"), QStringLiteral(" \n\t&nbsp;&#160;&#xA0;&ensp;\u200b"),
        QStringLiteral("<p></p><ul><li>  </li></ul><h1><b><i> </i></b></h1>"),
        QStringLiteral("<!-- a comment --><p></p>"), QString::fromUtf16(u"<p>\u00a0</p>")};
    for (const QString& text : blank) {
        for (auto source : {NoteHtml::Source::RichEdit, NoteHtml::Source::TextEdit})
            for (auto kind : {NoteHtml::SaveKind::Intermediate, NoteHtml::SaveKind::Final})
                EXPECT_EQ(NoteHtml::savedText(text, source, kind), QString()) << text.toStdString();
    }
    // A blank note stored before reads as empty in the view.
    EXPECT_EQ(NoteHtml::viewBody(QStringLiteral("<p><br>\n</p>")), NoteHtml::viewBody(QString()));
    // One visible thing keeps it: a letter, a sign, a character reference, a lone "<", a picture carried
    // in the note, a rule.
    const QStringList shown {QStringLiteral("<p><br>.</p>"), QStringLiteral("<p>&amp;</p>"),
        QStringLiteral("<p>&#8212;</p>"), QStringLiteral("1 < 2"), QStringLiteral("<p>&bogus;</p>"),
        QStringLiteral("<p><img src=\"data:image/png;base64,AAAA\"></p>"), QStringLiteral("<hr>")};
    for (const QString& text : shown) {
        EXPECT_TRUE(NoteHtml::hasVisibleContent(text)) << text.toStdString();
        EXPECT_FALSE(NoteHtml::savedText(text, NoteHtml::Source::TextEdit, NoteHtml::SaveKind::Final).isEmpty())
            << text.toStdString();
    }
}

TEST(NoteHtml, PastedLinksArePlaceholdersUntilTheFinalSave)
{
    const QString pasted = NoteHtml::withLinkPlaceholders(QStringLiteral("<p><a href=\"bible:John 3:16\">J</a></p>"));
    EXPECT_EQ(pasted, QStringLiteral("<p><a-placeholder href=\"bible:John 3:16\">J</a-placeholder></p>"));
    const QString intermediate =
        NoteHtml::savedText(pasted, NoteHtml::Source::RichEdit, NoteHtml::SaveKind::Intermediate);
    EXPECT_TRUE(intermediate.contains(QLatin1String("a-placeholder"))) << intermediate.toStdString();
    EXPECT_EQ(NoteHtml::savedText(intermediate, NoteHtml::Source::RichEdit, NoteHtml::SaveKind::Final),
        QStringLiteral("<p><a href=\"bible:John 3:16\">J</a></p>\n"));
}

TEST(NoteHtml, HostileHtmlComesOutInert)
{
    for (auto kind : {NoteHtml::SaveKind::Intermediate, NoteHtml::SaveKind::Final}) {
        for (auto source : {NoteHtml::Source::RichEdit, NoteHtml::Source::TextEdit}) {
            const QString saved = NoteHtml::savedText(kHostile, source, kind);
            EXPECT_TRUE(inert(saved)) << saved.toStdString();
            EXPECT_TRUE(saved.contains(QLatin1String("Grace"))) << saved.toStdString();
            EXPECT_TRUE(saved.contains(QLatin1String("bold")));
        }
    }
    // Pasted hostile links stay inert as placeholders and after restoring them.
    const QString pasted = NoteHtml::withLinkPlaceholders(kHostile);
    EXPECT_TRUE(inert(NoteHtml::savedText(pasted, NoteHtml::Source::RichEdit, NoteHtml::SaveKind::Intermediate)));
    EXPECT_TRUE(inert(NoteHtml::savedText(pasted, NoteHtml::Source::RichEdit, NoteHtml::SaveKind::Final)));
    // A note stored before filtering is filtered on its way into the pages.
    const QString body = NoteHtml::viewBody(kHostile);
    EXPECT_TRUE(inert(body)) << body.toStdString();
    EXPECT_FALSE(body.contains(QLatin1String("javascript:alert")));
    EXPECT_TRUE(inert(NoteHtml::richEditorContent(kHostile)));
    // Pictures carried in the note stay.
    QString image = QStringLiteral("<p><img src=\"data:image/png;base64,AAAA\"></p>");
    NoteHtml::removeRemoteImages(image);
    EXPECT_TRUE(image.contains(QLatin1String("<img")));
}

TEST(NoteHtml, ViewPageLinksAndEmptyNote)
{
    const QString page = NoteHtml::viewPage(QString(), QStringLiteral("p{}"), QStringLiteral("function href(){}"));
    EXPECT_TRUE(page.contains(QLatin1String("<i>Note is empty.</i>")));
    EXPECT_TRUE(page.startsWith(QLatin1String("<html><head><title>*** TITLE ***</title><style type=\"text/css\">p{}")));

    const QString body = NoteHtml::viewBody(QStringLiteral("<p><a href=\"bible:it's\">x</a></p>"));
    EXPECT_TRUE(body.contains(QLatin1String("href=\"javascript:href('bible:it@@apos@@s');\""))) << body.toStdString();
    // Already wrapped links are left alone.
    QString wrapped = body;
    NoteHtml::wrapHrefs(wrapped, QStringLiteral("javascript:href('"), QStringLiteral("');"));
    EXPECT_EQ(wrapped, body);

    const QString all = QStringLiteral("a\\'\"\b\f\n\r\t\vz");
    EXPECT_EQ(NoteHtml::escapeHref(all),
        QStringLiteral("a@@bs@@@@apos@@@@quot@@@@backspace@@@@formfeed@@@@newline@@@@return@@@@tab@@@@verticaltab@@z"));
    EXPECT_EQ(NoteHtml::unescapeHref(NoteHtml::escapeHref(all)), all);
}

TEST(NoteHtml, TagRewritesReachEveryTagOnce)
{
    // Remote pictures side by side all go (the walk resumes where a removed one stood); closing tags,
    // other tags and a picture carried in the note stay.
    QString images = QStringLiteral(
        "<p>a<img src=\"http://x/1.png\"><img src=\"http://x/2.png\"></img><img src=\"data:image/png;base64,AA\">"
        "b</p><input src=\"x.png\"><i>c</i>");
    NoteHtml::removeRemoteImages(images);
    EXPECT_EQ(images, QStringLiteral("<p>a</img><img src=\"data:image/png;base64,AA\">b</p><i>c</i>"));

    // Each link is wrapped once, the walk going on after the longer tag; a tag with no target and a
    // wrapped one are left as they are.
    QString links = QStringLiteral("<a href=\"a\">1</a><area href=\"b\"><a name=\"n\">2</a><a "
                                   "href=\"javascript:href('c');\">3</a>");
    NoteHtml::wrapHrefs(links, QStringLiteral("javascript:href('"), QStringLiteral("');"));
    EXPECT_EQ(links,
        QStringLiteral("<a href=\"javascript:href('a');\">1</a><area href=\"javascript:href('b');\" />"
                       "<a name=\"n\">2</a><a href=\"javascript:href('c');\">3</a>"))
        << links.toStdString();
    // No prefix: nothing to wrap with.
    QString unchanged = QStringLiteral("<a href=\"a\">1</a>");
    NoteHtml::wrapHrefs(unchanged, QString(), QStringLiteral("');"));
    EXPECT_EQ(unchanged, QStringLiteral("<a href=\"a\">1</a>"));
}

TEST(NoteHtml, SearchWordsAreMarked)
{
    QString html = QStringLiteral("<p class=\"faith\">Faith &amp; faith's works, 1,000 faithful; faithless</p>");
    NoteHtml::markSearchWords({Item {{QStringLiteral("*")}}, Item {{QStringLiteral("faith")}},
                                  Item {{QStringLiteral("1,000")}}, Item {{QStringLiteral("amp")}}},
        html);
    EXPECT_EQ(html,
        QStringLiteral("<p class=\"faith\"><span class='_search'>Faith</span> &amp; faith's works, "
                       "<span class='_search'>1,000</span> faithful; faithless</p>"));

    QString stems = QStringLiteral("<p>He believed and believes; loving</p>");
    NoteHtml::markSearchWords({Item {{QStringLiteral("@believ")}}, Item {{QStringLiteral("lov*")}}}, stems);
    EXPECT_EQ(stems,
        QStringLiteral("<p>He <span class='_search'>believed</span> and <span class='_search'>believes</span>; "
                       "<span class='_search'>loving</span></p>"));

    // A hyphenated word is marked whole when a form takes it whole, else in the parts the forms take.
    QString hyphens = QStringLiteral("<p>loving-kindness, self-love, well-known, kind-</p>");
    NoteHtml::markSearchWords(
        {Item {{QStringLiteral("@love")}}, Item {{QStringLiteral("@kind")}}, Item {{QStringLiteral("well-known")}}},
        hyphens);
    EXPECT_EQ(hyphens,
        QStringLiteral("<p><span class='_search'>loving</span>-<span class='_search'>kindness</span>, "
                       "self-<span class='_search'>love</span>, <span class='_search'>well-known</span>, "
                       "<span class='_search'>kind</span>-</p>"));

    const QString body = NoteHtml::viewBody(QStringLiteral("<p>Grace to you</p>"), {Item {{QStringLiteral("grace")}}});
    EXPECT_TRUE(body.contains(QLatin1String("<span class='_search'>Grace</span>"))) << body.toStdString();
}
