#include "reports/CopyPassageCopier.h"

#include "engine/references/BibleRef.h"
#include "library/SourceTuple.h"
#include "platform/SettingsRegistry.h"
#include "platform/UserDefaults.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>

// Failures show texts as text.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace {

QString sampleBook(const char* name)
{
    return QStringLiteral(QS_BINARY_DIR "/library/") + QString::fromLatin1(name);
}

SourceTuple::Ptr openBook(const char* name)
{
    auto doc = SourceTuple::allocateSourceForFile(sampleBook(name));
    return doc ? SourceTuple::sourceTupleForSource(doc) : nullptr;
}

#define NEED_BOOK(tuple)                                                                                               \
    if (!(tuple))                                                                                                      \
    GTEST_SKIP() << "the sample library is not built"

// The copy-passage choices in a defaults file of the test's own.
class Choices {
public:
    Choices() : m_defaults(m_folder.filePath(QStringLiteral("defaults.ini")))
    {
        SettingsRegistry::registerDefaultsForAllPreferences(m_defaults);
    }
    Choices& set(const char* key, const QVariant& value)
    {
        m_defaults.setObject(value, QString::fromLatin1(key));
        return *this;
    }
    const UserDefaults& defaults() const { return m_defaults; }

private:
    QTemporaryDir m_folder;
    UserDefaults m_defaults;
};

CopyPassageText compose(const SourceTuple::Ptr& bible, const char* reference, const Choices& choices)
{
    CopyPassageText text;
    CopyPassageError error;
    EXPECT_TRUE(CopyPassageCopier::composeVerse(QString::fromUtf8(reference), bible, choices.defaults(), text, &error))
        << error.description.toStdString();
    return text;
}

// Compares a text with a golden file of tests/reports/golden (QS_UPDATE_GOLDEN=1 rewrites the file).
void expectGolden(const QString& text, const QString& name)
{
    const QString path = QStringLiteral(QS_SOURCE_DIR "/tests/reports/golden/") + name;
    QFile file(path);
    if (qEnvironmentVariableIsSet("QS_UPDATE_GOLDEN")) {
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text.toUtf8());
        return;
    }
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    EXPECT_EQ(text.toStdString(), QString::fromUtf8(file.readAll()).toStdString()) << name.toStdString();
}

const QString kVerse12 = QStringLiteral("<span id='_s45.8.12'><sup><small>12</small></sup></span>Therefore");

}  // namespace

// ---- The markup passes, on the markup the renderer writes ----

TEST(CopyPassageMarkup, VerseNumbersTakeEachStyleOrVanish)
{
    const auto plain = [](int style) {
        PassageOptions options;
        options.plainVerseDelimiters = style;
        return CopyPassageCopier::stringWithVerseNumbersWrappedForPlainTextFromHtml(kVerse12, options);
    };
    EXPECT_EQ(plain(1), QStringLiteral("<span id='_s45.8.12'>[12] </span>Therefore"));
    EXPECT_EQ(plain(2), QStringLiteral("<span id='_s45.8.12'>(12) </span>Therefore"));
    EXPECT_EQ(plain(3), QStringLiteral("<span id='_s45.8.12'>12 </span>Therefore"));
    EXPECT_EQ(plain(4), QStringLiteral("<span id='_s45.8.12'></span>Therefore"));
    EXPECT_EQ(plain(9), QStringLiteral("<span id='_s45.8.12'>12</span>Therefore"));

    PassageOptions rich;
    rich.richVerseDelimiters = 2;
    rich.plainVerseDelimiters = 4;
    EXPECT_EQ(CopyPassageCopier::stringWithVerseNumbersWrappedForHtmlTextFromHtml(kVerse12, rich),
        QStringLiteral("<span id='_s45.8.12'><b>12</b> </span>Therefore"));

    // An empty anchor stays as it is.
    const QString empty = QStringLiteral("<span id='_s45.8.13'></span>and");
    EXPECT_EQ(CopyPassageCopier::stringWithVerseNumbersWrappedForPlainTextFromHtml(empty, {}), empty);
}

TEST(CopyPassageMarkup, UnneededSpansGoStrongsAndHighlightsStay)
{
    const QString html = QStringLiteral(
        "<span class='verse'>a</span><span class='_stgrk'>G25</span><span class=\"bluehighlight\">b</span>"
        "<span class=\"yellow\" data-verse-span=\"sel_s1.1.1\">c</span><span>d</span>");
    EXPECT_EQ(CopyPassageCopier::stringWithUnneededSpansRemoved(html),
        QStringLiteral("a<span class='_stgrk'>G25</span><span class=\"bluehighlight\">b</span>"
                       "<span class=\"yellow\" data-verse-span=\"sel_s1.1.1\">c</span>d"));
    // The dialog's profile keeps Strong's spans only.
    EXPECT_EQ(CopyPassageCopier::stringWithUnneededSpansRemoved(html, CopyPassageProfile::dialog()),
        QStringLiteral("a<span class='_stgrk'>G25</span>bcd"));
    // Nested spans unwrap from the inside out; a stray closing tag is kept.
    EXPECT_EQ(CopyPassageCopier::stringWithUnneededSpansRemoved(
                  QStringLiteral("<b><span><span class='_stheb'>H1</span>x</span></b></span>")),
        QStringLiteral("<b><span class='_stheb'>H1</span>x</b></span>"));
}

TEST(CopyPassageMarkup, NoteLinksLinksAndTagPairs)
{
    const QString note = QStringLiteral("a<a href=\"javascript:href('note:_001001001000')\">Note</a>&nbsp;b"
                                        "<a href=\"note:_002001001000\">Note</a>&nbsp;c");
    EXPECT_EQ(CopyPassageCopier::stringWithUserNoteLinksRemoved(note), QStringLiteral("abc"));
    // Other links and a note link whose text never ends are left alone.
    const QString other = QStringLiteral("<a href=\"bible:Ge 1:1\">Ge 1:1</a><a href=\"note:_1\">N");
    EXPECT_EQ(CopyPassageCopier::stringWithUserNoteLinksRemoved(other), other);

    EXPECT_EQ(CopyPassageCopier::stringWithLinksRemoved(
                  QStringLiteral("<a href=\"x\">one</a> <qs_link type=b>two</qs_link> <abbr>three</abbr>")),
        QStringLiteral("one two <abbr>three</abbr>"));
    EXPECT_EQ(CopyPassageCopier::stringWithTagPairsRemoved(
                  QStringLiteral("<b>x</b><br><b class=c>y</b>"), QStringLiteral("b")),
        QStringLiteral("x<br>y"));
}

TEST(CopyPassageMarkup, EmptyElementsVanish)
{
    const auto clean = [](const char* html) {
        return CopyPassageCopier::stringWithEmptyTagPairsRemoved(QString::fromUtf8(html)).toStdString();
    };
    EXPECT_EQ(clean("<p><b></b></p>x"), "x");
    EXPECT_EQ(clean("<p> \n</p>y"), "y");                    // a block holding only white space
    EXPECT_EQ(clean("<span> </span>z"), "<span> </span>z");  // an inline one keeps its blank
    EXPECT_EQ(clean("<p>a <i></i>b</p>"), "<p>a b</p>");
    EXPECT_EQ(clean("<div><br/></div>"), "<div><br/></div>");
    EXPECT_EQ(clean("</p>text"), "</p>text");
}

TEST(CopyPassageMarkup, ReferenceInsertion)
{
    EXPECT_EQ(CopyPassageCopier::stringByInsertingReference(
                  QStringLiteral("(Ro 8:28) "), QStringLiteral("<p><span>And</span></p>"), true),
        QStringLiteral("<p>(Ro 8:28) <span>And</span></p>"));
    EXPECT_EQ(CopyPassageCopier::stringByInsertingReference(
                  QStringLiteral(" (Ro 8:28)"), QStringLiteral("<p><b>And</b></p></blockquote>"), false),
        QStringLiteral("<p><b>And</b> (Ro 8:28)</p></blockquote>"));
    EXPECT_EQ(CopyPassageCopier::stringByInsertingReference(QStringLiteral("R "), QStringLiteral("text"), true),
        QStringLiteral("R text"));
    // The renderer's blocks are divisions: the reference goes inside them, at either end, without a
    // second blank where the text ends in one.
    EXPECT_EQ(CopyPassageCopier::stringByInsertingReference(
                  QStringLiteral("R "), QStringLiteral("<div><p>x</p></div>"), true),
        QStringLiteral("<div><p>R x</p></div>"));
    EXPECT_EQ(CopyPassageCopier::stringByInsertingReference(
                  QStringLiteral("(R) "), QStringLiteral("<div><sup><small>1</small></sup>x</div>"), true),
        QStringLiteral("<div>(R) <sup><small>1</small></sup>x</div>"));
    EXPECT_EQ(CopyPassageCopier::stringByInsertingReference(
                  QStringLiteral(" (R)"), QStringLiteral("<div>a</div><h3>H</h3><div>x. </div>"), false),
        QStringLiteral("<div>a</div><h3>H</h3><div>x. (R)</div>"));
    EXPECT_EQ(CopyPassageCopier::stringByInsertingReference(QStringLiteral(" (R)"), QStringLiteral("<b>x</b>"), false),
        QStringLiteral("<b>x</b> (R)"));
}

TEST(CopyPassageMarkup, HostileMarkupNeverBreaksAPass)
{
    QRandomGenerator random(20261207);
    const QStringList pieces {QStringLiteral("<span id='_s1.1."), QStringLiteral("<span data-verse-span=\"sel_s"),
        QStringLiteral("</span>"), QStringLiteral("<p>"), QStringLiteral("</p>"), QStringLiteral("<"),
        QStringLiteral(">"), QStringLiteral("'"), QStringLiteral("\""), QStringLiteral("<a href=\"note:_"),
        QStringLiteral("Note</a>&nbsp;"), QStringLiteral("<img src="), QStringLiteral("text "),
        QStringLiteral("<qs_sync a=1>"), QStringLiteral("999.999.999'>"), QStringLiteral("<b>")};
    for (int round = 0; round < 400; ++round) {
        QString html;
        const int count = static_cast<int>(random.bounded(40));
        for (int i = 0; i < count; ++i)
            html += pieces[static_cast<int>(random.bounded(pieces.size()))];
        PassageOptions options;
        options.plainVerseDelimiters = 1;
        CopyPassageCopier::stringFrom(html, 2, 5, nullptr);
        CopyPassageCopier::stringWithUserNoteLinksRemoved(html);
        CopyPassageCopier::stringWithVerseNumbersWrappedForPlainTextFromHtml(html, options);
        CopyPassageCopier::stringWithUnneededSpansRemoved(html);
        CopyPassageCopier::stringWithEmptyTagPairsRemoved(html);
        CopyPassageCopier::stringByInsertingReference(QStringLiteral("R"), html, round % 2 == 0);
        const QString patched = CopyPassageCopier::stringWithImgSrcPatched(html, nullptr);
        EXPECT_EQ(patched, html);  // without a book, images stay as they are
    }
}

// A report loads no file: the images the copier points at the book's image cache travel inside it as
// data: URLs, and an image anywhere else, of another kind or too large loses its address.
TEST(CopyPassageMarkup, CachedImagesTravelInlineAndOthersLoseTheirAddress)
{
    const auto kjv = openBook("KJV.tvk");
    NEED_BOOK(kjv);
    QTemporaryDir home;
    const QByteArray previous = qgetenv("XDG_CACHE_HOME");
    qputenv("XDG_CACHE_HOME", home.filePath(QStringLiteral("cache")).toUtf8());
    const QString patched = CopyPassageCopier::stringWithImgSrcPatched(QStringLiteral("<img src=\"a.png\">"), kjv);
    const QRegularExpressionMatch m = QRegularExpression(QStringLiteral("file://([^\"]*)")).match(patched);
    ASSERT_TRUE(m.hasMatch()) << patched.toStdString();
    const QString cache = QFileInfo(m.captured(1)).absolutePath();
    ASSERT_TRUE(QDir().mkpath(cache));
    const QByteArray png = QByteArray::fromBase64(
        "iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJAAAADUlEQVR42mP8z8BQDwAEhQGAhKmMIQAAAABJRU5ErkJggg==");
    const auto write = [](const QString& path, const QByteArray& bytes) {
        QFile f(path);
        return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
    };
    ASSERT_TRUE(write(cache + QStringLiteral("/a.png"), png));
    ASSERT_TRUE(write(cache + QStringLiteral("/notes.txt"), "text"));
    ASSERT_TRUE(write(home.filePath(QStringLiteral("outside.png")), png));
    QFile big(cache + QStringLiteral("/big.png"));
    ASSERT_TRUE(big.open(QIODevice::WriteOnly) && big.resize(CopyPassageCopier::kMaxInlineImageBytes + 1));
    big.close();

    const QString html = QStringLiteral("<p>x<img alt=\"a\" src=\"file://%1/a.png\"><img src='file://%1/notes.txt'>"
                                        "<img src=\"file://%2\"><img src=\"file://%1/../../outside.png\">"
                                        "<img src=\"file://%1/big.png\"><img src=\"file://%1/missing.png\">"
                                        "<a href=\"file://%1/a.png\">link</a></p>")
                             .arg(cache, home.filePath(QStringLiteral("outside.png")));
    EXPECT_EQ(CopyPassageCopier::stringWithCachedImagesInlined(html, kjv),
        QStringLiteral("<p>x<img alt=\"a\" src=\"data:image/png;base64,%1\"><img src=''><img src=\"\"><img src=\"\">"
                       "<img src=\"\"><img src=\"\"><a href=\"file://%2/a.png\">link</a></p>")
            .arg(QString::fromLatin1(png.toBase64()), cache));
    // Without a book, or without a file address, the text stays as it is.
    EXPECT_EQ(CopyPassageCopier::stringWithCachedImagesInlined(html, nullptr), html);
    EXPECT_EQ(CopyPassageCopier::stringWithCachedImagesInlined(QStringLiteral("<img src=x>"), kjv),
        QStringLiteral("<img src=x>"));
    qputenv("XDG_CACHE_HOME", previous);
}

// ---- Passages from the compiled sample Bibles ----

TEST(CopyPassageBible, VersesBeforeAndAfterTheRangeAreCutAway)
{
    const auto kjv = openBook("KJV.tvk");
    NEED_BOOK(kjv);
    QString plain, html;
    BibleRef ref;
    ASSERT_TRUE(ref.parse(QStringLiteral("Rom 8:28-30")));
    PassageOptions options;
    options.plainVerseDelimiters = 2;
    options.richVerseDelimiters = 1;
    options.display.omitStrongsNumbers = true;
    CopyPassageCopier::clipboardTextForBibleRef(ref, kjv, &plain, &html, options);
    EXPECT_TRUE(plain.startsWith(QStringLiteral("(28) And we know that all things work together for good")));
    EXPECT_TRUE(plain.contains(QStringLiteral("according to his purpose. (29) For whom he did foreknow")));
    EXPECT_TRUE(plain.trimmed().endsWith(QStringLiteral("them he also glorified.")));
    EXPECT_FALSE(plain.contains(QStringLiteral("(27)")));
    EXPECT_FALSE(plain.contains(QStringLiteral("(31)")));
    EXPECT_TRUE(html.contains(QStringLiteral("<sup><small>29</small></sup>")));
    EXPECT_FALSE(html.contains(QStringLiteral("<a ")));
    EXPECT_FALSE(html.contains(QStringLiteral("data-verse-span"))) << html.toStdString();

    // The book's last verse renders through its own block only.
    QString last;
    ASSERT_TRUE(ref.parse(QStringLiteral("Rev 22:21")));
    CopyPassageCopier::clipboardTextForBibleRef(ref, kjv, &last, nullptr, options);
    EXPECT_EQ(last.trimmed(), QStringLiteral("(21) The grace of our Lord Jesus Christ be with you all. Amen."));

    // Invalid ranges give nothing.
    QString none;
    CopyPassageCopier::clipboardTextForStartSectionFromBible(9, 3, kjv, &none, &none, options);
    CopyPassageCopier::clipboardTextForStartSectionFromBible(0, 3, kjv, &none, &none, options);
    CopyPassageCopier::clipboardTextForStartBlock(0xFFFFFFFFu, 3, kjv, &none, &none, options);
    EXPECT_TRUE(none.isEmpty());
}

TEST(CopyPassageBible, DefaultChoicesGiveTheExpectedText)
{
    const auto kjv = openBook("KJV.tvk");
    NEED_BOOK(kjv);
    Choices choices;
    const CopyPassageText text = compose(kjv, "Romans 8:28-30", choices);
    EXPECT_EQ(text.plain,
        QStringLiteral(
            "(Ro 8:28-30)\r[28] And we know that all things work together for good to them that love God, "
            "to them who are the called according to his purpose. [29] For whom he did foreknow, he also "
            "did predestinate to be conformed to the image of his Son, that he might be the firstborn among "
            "many brethren. [30] Moreover whom he did predestinate, them he also called: and whom he called, "
            "them he also justified: and whom he justified, them he also glorified."));
    EXPECT_TRUE(text.html.startsWith(QStringLiteral("<p>(Ro 8:28-30)</p>")));
    EXPECT_TRUE(text.html.contains(QStringLiteral("<sup><small>28</small></sup>And we know")));
    EXPECT_EQ(text.clipboardFormat, 1);
}

TEST(CopyPassageBible, ReferenceLocationsFormatsAndStyles)
{
    const auto kjv = openBook("KJV.tvk");
    NEED_BOOK(kjv);
    {
        // Two ranges with the reference on its own line: a reference line before each passage.
        Choices choices;
        const CopyPassageText text = compose(kjv, "Ge 1:1; Ps 23:1", choices);
        EXPECT_TRUE(text.plain.startsWith(QStringLiteral("(Ge 1:1)\r[1] In the beginning God created")));
        EXPECT_TRUE(text.plain.contains(QStringLiteral("the earth.\r(Ps 23:1)\r")));
        EXPECT_TRUE(text.plain.contains(QStringLiteral("The LORD is my shepherd; I shall not want.")));
        EXPECT_EQ(text.html.count(QStringLiteral("<p>(")), 2);
    }
    {
        // After the passage on the same line, em-dash delimiter, full book with abbreviated translation.
        Choices choices;
        choices.set("cpRefLocation", 4).set("cpRefDelimPlain", 3).set("cpRefFormat", 5).set("cpVerseDelimPlain", 4);
        const CopyPassageText text = compose(kjv, "John 11:35", choices);
        EXPECT_EQ(text.plain, QStringLiteral("Jesus wept. \u2014 John 11:35 (KJV)"));
        EXPECT_TRUE(text.html.contains(QStringLiteral(" (John 11:35 (KJV))")));
    }
    {
        // Bold and underline around the bracketed rich reference; the reference inline at the start.
        Choices choices;
        choices.set("cpRefLocation", 2)
            .set("cpRefDelimRich", 2)
            .set("cpRefStyleBold", true)
            .set("cpRefStyleUnderline", true);
        const CopyPassageText text = compose(kjv, "John 11:35", choices);
        EXPECT_TRUE(text.plain.startsWith(QStringLiteral("(Jn 11:35) [35] Jesus wept.")));
        EXPECT_TRUE(text.html.contains(QStringLiteral("<u><b>[Jn 11:35]</b></u> ")));
    }
    {
        // A delimiter outside 1 to 3 gives the bare reference; a location outside 1 to 4 none at all.
        Choices choices;
        choices.set("cpRefDelimPlain", 7);
        EXPECT_TRUE(compose(kjv, "John 11:35", choices).plain.startsWith(QStringLiteral("Jn 11:35\r")));
        choices.set("cpRefLocation", 9);
        EXPECT_EQ(compose(kjv, "John 11:35", choices).plain.trimmed(), QStringLiteral("[35] Jesus wept."));
    }
}

TEST(CopyPassageBible, WebAndReinaValera)
{
    const auto web = openBook("WEB.tvk");
    const auto rv = openBook("RV1909.tvk");
    NEED_BOOK(web && rv);
    Choices choices;
    // Footnotes and Strong's numbers stay out of the copy; words around a note stay apart.
    const CopyPassageText gen = compose(web, "Gen 1:1", choices);
    EXPECT_EQ(
        gen.plain.trimmed(), QStringLiteral("(Ge 1:1)\r[1] In the beginning, God created the heavens and the earth."));
    // A range across chapters brings the chapter heading along.
    const CopyPassageText across = compose(web, "Gen 1:31-2:1", choices);
    EXPECT_TRUE(across.plain.contains(QStringLiteral("a sixth day.")));
    const qsizetype heading = across.plain.indexOf(QStringLiteral("Genesis 2"));
    EXPECT_GT(heading, across.plain.indexOf(QStringLiteral("a sixth day.")));
    EXPECT_GT(across.plain.indexOf(QStringLiteral("[1] The heavens, the earth")), heading);
    // Spanish names and text.
    choices.set("cpRefFormat", 4);
    const CopyPassageText juan = compose(rv, "Juan 3:16", choices);
    EXPECT_TRUE(juan.plain.startsWith(QStringLiteral("(Juan 3:16)\r[16] Porque de tal manera amó Dios al mundo")));
}

// The last verse of a chapter, of a book, of the Bible and of a stanza, in both copy formats with the
// reference after the passage (on its own line and on the same line), against the golden copies in
// tests/reports/golden. QS_UPDATE_GOLDEN=1 rewrites them; read the difference before committing it.
TEST(CopyPassageBible, LastVersesKeepToThemselves)
{
    struct Bible {
        const char* file;
        const char* golden;
        std::vector<const char*> references;
        std::vector<const char*> after;  // what follows in the Bible and must not be copied
    };
    const Bible bibles[] = {
        {"KJV.tvk", "copy-kjv.txt", {"Gen 1:31", "Mal 4:6", "Rev 22:21", "Ps 119:8"}, {"Genesis 2", "MATTHEW", "BETH"}},
        {"WEB.tvk", "copy-web.txt", {"Gen 1:31", "Mal 4:6", "Rev 22:21", "Ps 119:8"},
            {"Genesis 2", "Matthew", "JUDITH", "Judith", "BETH"}},
        {"RV1909.tvk", "copy-rv1909.txt", {"Génesis 1:31", "Malaquías 4:6", "Apocalipsis 22:21", "Salmos 119:8"},
            {"Génesis 2", "MATEO", "Mateo", "BETH"}},
    };
    for (const Bible& b : bibles) {
        const auto bible = openBook(b.file);
        NEED_BOOK(bible);
        QString all;
        for (const char* reference : b.references) {
            for (int location : {3, 4}) {
                Choices choices;
                choices.set("cpRefLocation", location);
                const CopyPassageText text = compose(bible, reference, choices);
                SCOPED_TRACE(std::string(reference) + " location " + std::to_string(location));
                for (const char* leak : b.after) {
                    EXPECT_FALSE(text.plain.contains(QString::fromUtf8(leak))) << text.plain.toStdString();
                    EXPECT_FALSE(text.html.contains(QString::fromUtf8(leak))) << text.html.toStdString();
                }
                // The reference closes the copy: nothing of the next heading comes after it, and in the
                // HTML it stands outside any heading.
                const QRegularExpression closing(
                    location == 3 ? QStringLiteral("\\S\r\\([^()\r]+\\)$") : QStringLiteral("\\S \\([^()\r]+\\)$"));
                EXPECT_TRUE(closing.match(text.plain).hasMatch()) << text.plain.toStdString();
                EXPECT_FALSE(text.plain.contains(QStringLiteral("  "))) << text.plain.toStdString();
                EXPECT_FALSE(text.html.contains(QRegularExpression(QStringLiteral("<h[1-6][^>]*>[^<]*\\("))))
                    << text.html.toStdString();
                all += QStringLiteral("== %1, reference location %2, plain\n%3\n== html\n%4\n")
                           .arg(QString::fromUtf8(reference))
                           .arg(location)
                           .arg(QString(text.plain).replace(QLatin1Char('\r'), QLatin1Char('\n')), text.html);
            }
        }
        expectGolden(all, QString::fromLatin1(b.golden));
    }
}

// Passages across a chapter's, a psalm stanza's and a book's heading, in both copy formats with each
// reference placement, against the golden copies in tests/reports/golden (QS_UPDATE_GOLDEN=1 rewrites
// them). A heading stands on a line of its own; a reference "on the same line" shares the line of the
// passage's first or last words, in the HTML as in the plain text.
TEST(CopyPassageBible, HeadingsInsideAPassageStandOnTheirOwnLines)
{
    struct Passage {
        const char* reference;
        std::vector<const char*> headings;  // as their lines read in the plain copy
    };
    struct Bible {
        const char* file;
        const char* golden;
        std::vector<Passage> passages;
    };
    const Bible bibles[] = {
        {"KJV.tvk", "copy-headings-kjv.txt",
            {{"Gen 1:31-2:1", {"Genesis 2"}}, {"Ps 119:8-9", {"\u05d1 BETH."}},
                {"Mal 4:6-Matt 1:1", {"THE GOSPEL ACCORDING TO ST. MATTHEW", "Matthew 1"}}}},
        {"WEB.tvk", "copy-headings-web.txt",
            // The WEB's books between the testaments follow Malachi: its last before Matthew is 4 Maccabees.
            {{"Gen 1:31-2:1", {"Genesis 2"}}, {"Ps 119:8-9", {"BETH"}},
                {"4 Maccabees 18:24-Matt 1:1", {"The Good News According to", "Matthew 1"}}}},
        {"RV1909.tvk", "copy-headings-rv1909.txt",
            {{"Génesis 1:31-2:1", {"Génesis 2"}}, {"Malaquías 4:6-Mateo 1:1", {"San Mateo", "San Mateo 1"}}}},
    };
    const QRegularExpression block(QStringLiteral("^<(div|p)[ >]"));
    for (const Bible& b : bibles) {
        const auto bible = openBook(b.file);
        NEED_BOOK(bible);
        QString all;
        for (const Passage& passage : b.passages) {
            for (int location : {1, 2, 3, 4}) {
                Choices choices;
                // Each placement with another verse-number style, so that every style is in a golden.
                choices.set("cpRefLocation", location)
                    .set("cpVerseDelimPlain", location)
                    .set("cpVerseDelimRich", location)
                    .set("cpRefDelimRich",
                        location == 1       ? 3
                            : location == 2 ? 1
                            : location == 3 ? 4
                                            : 2);
                const CopyPassageText text = compose(bible, passage.reference, choices);
                SCOPED_TRACE(std::string(passage.reference) + " location " + std::to_string(location));
                const QStringList lines = text.plain.split(QRegularExpression(QStringLiteral("\r\n?|\n")));
                for (const char* heading : passage.headings)
                    EXPECT_TRUE(lines.contains(QString::fromUtf8(heading))) << text.plain.toStdString();
                for (const QString& line : lines)
                    EXPECT_FALSE(line.endsWith(QLatin1Char(' '))) << text.plain.toStdString();
                // The same line: the reference sits inside the passage's first or last block.
                if (location == 2) {
                    const qsizetype first = text.html.indexOf(QLatin1Char('>'));
                    EXPECT_TRUE(block.match(text.html).hasMatch()) << text.html.toStdString();
                    EXPECT_TRUE(QStringView(text.html).mid(first + 1).startsWith(QLatin1Char('(')))
                        << text.html.toStdString();
                } else if (location == 4) {
                    EXPECT_TRUE(text.html.contains(QRegularExpression(QStringLiteral(R"(\S \[[^\[<]+\]</(div|p)>$)"))))
                        << text.html.toStdString();
                }
                all += QStringLiteral("== %1, reference location %2, plain\n%3\n== html\n%4\n")
                           .arg(QString::fromUtf8(passage.reference))
                           .arg(location)
                           .arg(QString(text.plain)
                                    .replace(QStringLiteral("\r\n"), QStringLiteral("\n"))
                                    .replace(QLatin1Char('\r'), QLatin1Char('\n')),
                               text.html);
            }
        }
        expectGolden(all, QString::fromLatin1(b.golden));
    }

    // Reading aloud takes the plain text of the dialog's profile by sections: the heading is a line too.
    const auto kjv = openBook("KJV.tvk");
    BibleRef ref;
    ASSERT_TRUE(ref.parse(QStringLiteral("Gen 1:31-2:1")));
    quint32 start = 0, end = 0;
    ASSERT_TRUE(kjv->locations().sectionRangeForVerse(ref, &start, &end));
    QString spoken;
    PassageOptions options;
    options.display.omitStrongsNumbers = true;
    options.display.omitFootnotes = true;
    CopyPassageCopier::clipboardTextForStartSectionFromBible(
        start, end, kjv, &spoken, nullptr, options, CopyPassageProfile::dialog());
    EXPECT_TRUE(spoken.contains(QStringLiteral("the sixth day.\r\nGenesis 2\r\n"))) << spoken.toStdString();
}

TEST(CopyPassageBible, RefusedReferencesSayWhy)
{
    const auto kjv = openBook("KJV.tvk");
    NEED_BOOK(kjv);
    Choices choices;
    CopyPassageText text;
    CopyPassageError error;
    EXPECT_FALSE(CopyPassageCopier::composeVerse(QStringLiteral("Jn 3:16"), nullptr, choices.defaults(), text, &error));
    EXPECT_EQ(error.description, QStringLiteral("Could not open the selected Bible."));
    EXPECT_EQ(error.failureReason, QStringLiteral("The selected Bible does not appear to be installed."));
    EXPECT_FALSE(
        CopyPassageCopier::composeVerse(QStringLiteral("no such book"), kjv, choices.defaults(), text, &error));
    EXPECT_EQ(error.description, QStringLiteral("Unrecognized verse reference."));
    EXPECT_EQ(error.recoverySuggestion, QStringLiteral("Choose a different passage to copy."));
    EXPECT_FALSE(CopyPassageCopier::composeVerse(QStringLiteral("Tobit 1:1"), kjv, choices.defaults(), text, &error));
    EXPECT_EQ(error.description, QStringLiteral("Could not find the passage in this Bible."));
    EXPECT_TRUE(text.plain.isEmpty() && text.html.isEmpty());
}

TEST(CopyPassageBible, EveryChapterOfJohnCopiesWithoutMarkup)
{
    const auto kjv = openBook("KJV.tvk");
    NEED_BOOK(kjv);
    Choices choices;
    choices.set("cpRefLocation", 0);
    for (int chapter = 1; chapter <= 21; ++chapter) {
        const QByteArray reference = "John " + QByteArray::number(chapter);
        const CopyPassageText text = compose(kjv, reference.constData(), choices);
        SCOPED_TRACE(reference.toStdString());
        EXPECT_TRUE(text.plain.startsWith(QStringLiteral("[1] ")));
        for (const char* leak : {"<", ">", "&nbsp;", "&amp;", "&#", "Note", "sync:", "_s43", "H430", "G25"})
            EXPECT_FALSE(text.plain.contains(QString::fromLatin1(leak)))
                << leak << " in " << text.plain.left(300).toStdString();
        for (const char* leak : {"<a ", "qs_link", "qs_sync", "note:_", "data-verse-span", "<span id="})
            EXPECT_FALSE(text.html.contains(QString::fromLatin1(leak)))
                << leak << " in " << text.html.left(400).toStdString();
        // Every verse number of the chapter is there once, in order.
        qsizetype at = 0;
        for (int verse = 1; verse <= 25 && at >= 0; ++verse) {
            const qsizetype next = text.plain.indexOf(QStringLiteral("[%1] ").arg(verse), at);
            if (next < 0)
                break;
            EXPECT_GE(next, at);
            at = next;
        }
    }
}
