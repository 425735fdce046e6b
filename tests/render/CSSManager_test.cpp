#include "platform/SettingsKeys.h"
#include "render/CSSManager.h"

#include "platform/ReadableColors.h"
#include "platform/SettingsRegistry.h"
#include "platform/UserDefaults.h"
#include "render/cHTMLColor.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

// Top-level rules of a one-line sheet: blocks closed at brace depth 0 (keyframes count once).
int countRules(const QString& css)
{
    int depth = 0, rules = 0;
    for (QChar c : css) {
        if (c == u'{')
            ++depth;
        else if (c == u'}' && --depth == 0)
            ++rules;
    }
    return rules;
}

// The declarations of the first rule whose selector is exactly `selector`.
QString ruleBody(const QString& css, const QString& selector)
{
    int depth = 0, start = 0;
    for (int i = 0; i < css.size(); ++i) {
        if (css[i] == u'{') {
            if (depth++ == 0 && css.mid(start, i - start).trimmed() == selector) {
                const int end = css.indexOf(u'}', i);
                return css.mid(i + 1, end - i - 1);
            }
        } else if (css[i] == u'}' && --depth == 0) {
            start = i + 1;
        }
    }
    return QStringLiteral("<missing>");
}

// The rules of the highlight colours beyond the template's sixteen, with the registered defaults: one
// for each of the 123 colours, and the words of Christ, links, Strong's numbers or found words set
// apart on the colours where theirs would not read.
constexpr int kColorTableRules = 427;

class CSSManagerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_defaults = std::make_shared<UserDefaults>(m_dir.filePath(QStringLiteral("settings.conf")));
        SettingsRegistry::registerDefaultsForAllPreferences(*m_defaults);
    }

    CSSManager css() const { return CSSManager(*m_defaults); }

    QTemporaryDir m_dir;
    std::shared_ptr<UserDefaults> m_defaults;
};

TEST_F(CSSManagerTest, TemplatesHaveTheirFixedSizesAndRuleCounts)
{
    EXPECT_EQ(CSSManager::baseTemplate().size(), 2133);
    EXPECT_EQ(countRules(CSSManager::baseTemplate()), 29);
    EXPECT_EQ(CSSManager::highlightTemplate().size(), 5125);
    EXPECT_EQ(countRules(CSSManager::highlightTemplate()), 68);
    EXPECT_EQ(countRules(CSSManager::highlightStyleRules()), 2);
    EXPECT_FALSE(CSSManager::baseTemplate().contains(u'\n'));
    EXPECT_FALSE(CSSManager::highlightTemplate().contains(u'\n'));
}

TEST_F(CSSManagerTest, BookSheetWithRegisteredDefaultsMatchesGolden)
{
    QFile golden(QStringLiteral(QS_SOURCE_DIR "/tests/render/golden/cssForBookView-defaults.css"));
    ASSERT_TRUE(golden.open(QIODevice::ReadOnly));
    const QString expected = QString::fromUtf8(golden.readAll());
    const QString sheet = css().cssForBookView();
    EXPECT_EQ(sheet, expected);
    EXPECT_EQ(countRules(sheet), 29 + 68 + 2 + 1 + kColorTableRules);
    EXPECT_FALSE(sheet.contains(QStringLiteral("%@!")));
    EXPECT_TRUE(sheet.startsWith(QStringLiteral("body {padding:0; margin:0 4px 0 12px; font:normal 12pt \"Arial\";")));
    EXPECT_TRUE(sheet.contains(QStringLiteral("p {margin:0em 0em 0.5em 0em;}\th1 {")));
}

TEST_F(CSSManagerTest, EachSheetIsBuiltFromItsTemplates)
{
    const QString base = css().cssForNoteViewEdit();
    // The note sheet: the base template and the one rule that shows a notes search's found words.
    EXPECT_EQ(countRules(base), 29 + 1);
    EXPECT_FALSE(base.contains(QStringLiteral("._stheb")));
    EXPECT_TRUE(base.startsWith(QStringLiteral("body {padding:0; margin:0 6px 0 6px;")));
    EXPECT_TRUE(base.endsWith(QStringLiteral("span._search {color:#008000; font-weight:normal;}")));
    m_defaults->set(SettingsKeys::SearchColor, QStringLiteral("#aa00aa"));
    m_defaults->set(SettingsKeys::SearchBold, true);
    EXPECT_EQ(ruleBody(css().cssForNoteViewEdit(), QStringLiteral("span._search")),
        QStringLiteral("color:#aa00aa; font-weight:bold;"));
    const QString results = css().cssForSearchResultsView();
    EXPECT_EQ(countRules(results), 29 + 68 + 2);
    EXPECT_FALSE(results.contains(QStringLiteral("%@!")));
    EXPECT_EQ(ruleBody(results, QStringLiteral("body")),
        QStringLiteral("padding:0; margin:0 0px 0 0px; font:normal 12pt \"Arial\"; background-color: #ffffff; "
                       "color:#000000;  line-height: 1.1;"));
    // Result lists: plain heading sizes, no footnotes, no poetry indent, no Strong's numbers.
    EXPECT_EQ(ruleBody(results, QStringLiteral("h1")), QStringLiteral("margin:0.4em 0 0.3em 0; font-size:12pt;"));
    EXPECT_EQ(ruleBody(results, QStringLiteral(".footnotetoggle")), QStringLiteral(" display:none; "));
    EXPECT_EQ(ruleBody(results, QStringLiteral("blockquote")), QStringLiteral("margin:0.25em 0px 0.25em 0px;"));
    EXPECT_EQ(ruleBody(results, QStringLiteral("._stgrk")), QStringLiteral("font-size:80%;display:none;"));
}

TEST_F(CSSManagerTest, EachDisplaySettingChangesItsRule)
{
    struct Case {
        const char* key;
        QVariant value;
        const char* selector;
        const char* expected;
    };
    const std::vector<Case> cases = {
        {"bodyFont", "Georgia", "body",
            "padding:0; margin:0 4px 0 12px; font:normal 12pt \"Georgia\"; background-color: #ffffff; color:#000000;  "
            "line-height: 1.2;"},
        // Black text does not read there: it is lightened just enough.
        {"backColor", "#101010", "body",
            "padding:0; margin:0 4px 0 12px; font:normal 12pt \"Arial\"; background-color: #101010; color:#7c7c7c;  "
            "line-height: 1.2;"},
        {"lineHeight", 1.75, "body",
            "padding:0; margin:0 4px 0 12px; font:normal 12pt \"Arial\"; background-color: #ffffff; color:#000000;  "
            "line-height: 1.8;"},
        {"leftMargin", 30, "body",
            "padding:0; margin:0 4px 0 30px; font:normal 12pt \"Arial\"; background-color: #ffffff; color:#000000;  "
            "line-height: 1.2;"},
        {"rightMargin", 9, "body",
            "padding:0; margin:0 9px 0 12px; font:normal 12pt \"Arial\"; background-color: #ffffff; color:#000000;  "
            "line-height: 1.2;"},
        {"baseFontSize", 16, "h1", "margin:0.4em 0 0.3em 0; font-size:37pt;"},
        {"tempHLColor", "#abcdef", "._temphl", "text-decoration:none; background-color:#abcdef;"},
        {"footnoteBGColor", "#eeeeee", ".footnote", " display:none;background-color:#eeeeee;"},
        {"footnoteStyle", "Hide", ".footnotetoggle", " display:none; "},
        {"footnoteStyle", "Expand", ".footnote", " display:inline;background-color:#e0e0ff;"},
        {"linkColor", "#006600", "a", "color:#006600;"},
        {"poetryLeft", 40, "blockquote", "margin:0.25em 10px 0.25em 40px;"},
        {"poetryRight", 3, "blockquote", "margin:0.25em 3px 0.25em 20px;"},
        {"indentPoetry", false, "blockquote", "margin:0.25em 0px 0.25em 0px;"},
        {"strongsNumbers", false, "._stheb", "font-size:80%;display:none;"},
        {"strongsColor", "#123456", "._interlinearrow", "font-size:80%;color:#123456;"},
        {"strongsDecoration", "underline", "._stgrk a", "color:#0000CC;text-decoration:underline;"},
        {"searchColor", "#aa00aa", "span._search", "color:#aa00aa; font-weight:normal;"},
        {"searchBold", true, "span._search", "color:#008000; font-weight:bold;"},
        {"wocColor", "#aa0000", "span._woc", "color:#aa0000; font-weight:normal;"},
        {"wocBold", true, "span._woc", "color:#CC0000; font-weight:bold;"},
        {"textColor", "#333333", "body",
            "padding:0; margin:0 4px 0 12px; font:normal 12pt \"Arial\"; background-color: #ffffff; color:#333333;  "
            "line-height: 1.2;"},
        {"devoReadColor", "#010101", "div.devoread", "background-color:#010101;color:#000000;"},
        {"devoUnreadColor", "#020202", "div.devounread", "background-color:#020202;color:#000000;"},
    };
    const QString before = css().cssForBookView();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key);
        m_defaults->setObject(c.value, QLatin1String(c.key));
        const QString after = css().cssForBookView();
        EXPECT_EQ(ruleBody(after, QLatin1String(c.selector)), QLatin1String(c.expected));
        EXPECT_NE(after, before);
        m_defaults->removeObjectForKey(QLatin1String(c.key));
    }
    EXPECT_EQ(css().cssForBookView(), before);
}

TEST_F(CSSManagerTest, WordsOfChristFollowTheRedLetterSetting)
{
    m_defaults->set(SettingsKeys::TextColor, QStringLiteral("#222222"));
    m_defaults->set(SettingsKeys::WocBold, true);
    m_defaults->set(SettingsKeys::WocInRed, false);
    QString sheet = css().cssForBookView();
    EXPECT_EQ(ruleBody(sheet, QStringLiteral("span._woc")), QStringLiteral("color:#222222; font-weight:normal;"));
    for (const char* cls : {"yellow", "khaki", "pink", "lightblue", "aqua", "palegreen", "gold", "tan", "silver"})
        EXPECT_EQ(
            ruleBody(sheet, QStringLiteral(".%1 ._woc").arg(QLatin1String(cls))), QStringLiteral("color:#000000;"))
            << cls;
    for (const char* cls : {"hotpink", "limegreen", "goldenrod", "salmon", "cornflowerblue", "fuchsia"})
        EXPECT_EQ(
            ruleBody(sheet, QStringLiteral(".%1 ._woc").arg(QLatin1String(cls))), QStringLiteral("color:#222222;"))
            << cls;
    EXPECT_EQ(ruleBody(sheet, QStringLiteral(".crimson ._woc")), QStringLiteral("color:#ffffff;"));

    m_defaults->set(SettingsKeys::WocInRed, true);
    sheet = css().cssForBookView();
    EXPECT_EQ(ruleBody(sheet, QStringLiteral("span._woc")), QStringLiteral("color:#CC0000; font-weight:bold;"));
    EXPECT_EQ(ruleBody(sheet, QStringLiteral(".yellow ._woc")), QStringLiteral("color:#CC0000;"));
    EXPECT_EQ(ruleBody(sheet, QStringLiteral(".salmon ._woc")), QStringLiteral("color:#760000;"));
    EXPECT_EQ(ruleBody(sheet, QStringLiteral(".crimson ._woc")), QStringLiteral("color:#b6ffff;"));
    EXPECT_EQ(ruleBody(sheet, QStringLiteral(".fuchsia ._woc")), QStringLiteral("color:#00009f;"));
    EXPECT_EQ(ruleBody(sheet, QStringLiteral(".cornflowerblue ._woc")), QStringLiteral("color:#670000;"));
}

TEST_F(CSSManagerTest, UnknownFootnoteStyleLeavesItsPlaceholders)
{
    m_defaults->set(SettingsKeys::FootnoteStyle, QStringLiteral("Sideways"));
    const QString sheet = css().cssForBookView();
    EXPECT_TRUE(sheet.contains(QStringLiteral("display:%@!FOOTNOTEDISPLAY!@%;")));
    EXPECT_TRUE(sheet.contains(QStringLiteral("display:%@!FOOTNOTETOGGLEDISPLAY!@%;")));
    EXPECT_EQ(sheet.count(QStringLiteral("%@!")), 2);
    // Result lists never depend on it.
    EXPECT_FALSE(css().cssForSearchResultsView().contains(QStringLiteral("%@!")));
}

TEST_F(CSSManagerTest, BoldAndItalicHighlightStylesHaveRules)
{
    const QString sheet = css().cssForBookView();
    EXPECT_EQ(ruleBody(sheet, QStringLiteral(".bold")), QStringLiteral("text-decoration:none;font-weight:bold;"));
    EXPECT_EQ(ruleBody(sheet, QStringLiteral(".italic")), QStringLiteral("text-decoration:none;font-style:italic;"));
    EXPECT_EQ(ruleBody(sheet, QStringLiteral(".dottedunderline")),
        QStringLiteral("text-decoration:none;border-bottom:1px dotted;"));
    EXPECT_TRUE(css().cssForSearchResultsView().contains(QStringLiteral(".italic{")));
}

TEST(CSSManagerFontLadder, StepsAlongTheLadder)
{
    const int base12[] = {26, 22, 19, 16, 14};
    const int base16[] = {37, 31, 26, 22, 19};
    for (int h = 0; h < 5; ++h) {
        EXPECT_EQ(CSSManager::getFontHeightRelativeToBase(12, 8 - h), base12[h]);
        EXPECT_EQ(CSSManager::getFontHeightRelativeToBase(16, 8 - h), base16[h]);
    }
    EXPECT_EQ(CSSManager::getFontHeightRelativeToBase(12, 3), 12);
    EXPECT_EQ(CSSManager::getFontHeightRelativeToBase(300, 8), 300);
    EXPECT_EQ(CSSManager::getFontHeightRelativeToBase(299, 4), 358);  // one step past the top stops there
    EXPECT_EQ(CSSManager::getFontHeightRelativeToBase(290, 100000), 348);
    EXPECT_EQ(CSSManager::getFontHeightRelativeToBase(10, 4), 12);
    EXPECT_EQ(CSSManager::getFontHeightRelativeToBase(15, 4), 18);
    // Down: the largest size whose next size is at most the base.
    EXPECT_EQ(CSSManager::getFontHeightRelativeToBase(12, 2), 10);
    EXPECT_EQ(CSSManager::getFontHeightRelativeToBase(12, 1), 9);
    EXPECT_EQ(CSSManager::getFontHeightRelativeToBase(12, -50), 9);  // below 2 counts as 1
    EXPECT_EQ(CSSManager::getFontHeightRelativeToBase(18, 2), 15);
    EXPECT_EQ(CSSManager::getFontHeightRelativeToBase(1, 1), 1);  // no smaller neighbour
    EXPECT_EQ(CSSManager::getFontHeightRelativeToBase(0, 5), 2);
    EXPECT_EQ(CSSManager::getFontHeightRelativeToBase(-4, 1), -4);
}

TEST_F(CSSManagerTest, AStoredTextSizeOutOfRangeIsHeldToIt)
{
    // A text size is 6 to 72 points: a stored 300 is read as 72, a stored 0 (which blanked every page)
    // as 6.
    m_defaults->set(SettingsKeys::BaseFontSize, 300);
    QString sheet = css().cssForBookView();
    EXPECT_TRUE(sheet.contains(QStringLiteral("font:normal 72pt"))) << sheet.left(200).toStdString();
    EXPECT_TRUE(ruleBody(sheet, QStringLiteral("h6")).endsWith(QStringLiteral("font-size:72pt;")));
    m_defaults->set(SettingsKeys::BaseFontSize, 0);
    sheet = css().cssForBookView();
    EXPECT_TRUE(sheet.contains(QStringLiteral("font:normal 6pt"))) << sheet.left(200).toStdString();
}

TEST_F(CSSManagerTest, EachManagerReadsTheDefaultsItIsMadeWith)
{
    QTemporaryDir otherDir;
    ASSERT_TRUE(otherDir.isValid());
    UserDefaults other(otherDir.filePath(QStringLiteral("settings.conf")));
    SettingsRegistry::registerDefaultsForAllPreferences(other);
    other.set(SettingsKeys::BaseFontSize, 31);
    m_defaults->set(SettingsKeys::BaseFontSize, 17);
    const CSSManager mine(*m_defaults);
    const CSSManager theirs(other);
    EXPECT_TRUE(ruleBody(mine.cssForBookView(), QStringLiteral("body")).contains(QStringLiteral(" 17pt ")));
    EXPECT_TRUE(ruleBody(theirs.cssForBookView(), QStringLiteral("body")).contains(QStringLiteral(" 31pt ")));
    // A change of the defaults shows in the next sheet of a manager already made.
    other.set(SettingsKeys::BaseFontSize, 19);
    EXPECT_TRUE(ruleBody(theirs.cssForBookView(), QStringLiteral("body")).contains(QStringLiteral(" 19pt ")));
    EXPECT_TRUE(ruleBody(mine.cssForBookView(), QStringLiteral("body")).contains(QStringLiteral(" 17pt ")));
}

}  // namespace

TEST_F(CSSManagerTest, FontFamilyIsQuotedAndEscaped)
{
    EXPECT_EQ(CSSManager::cssFontFamily(QStringLiteral("Nimbus Roman")), QStringLiteral("\"Nimbus Roman\""));
    EXPECT_EQ(CSSManager::cssFontFamily(QString()), QStringLiteral("serif"));
    EXPECT_EQ(CSSManager::cssFontFamily(QStringLiteral("Nimbus Roman [urw]")),
        QStringLiteral("\"Nimbus Roman \\00005Burw\\00005D\""));
    EXPECT_EQ(CSSManager::cssFontFamily(QStringLiteral("A\"B\\C")), QStringLiteral("\"A\\000022B\\00005CC\""));
    EXPECT_EQ(CSSManager::cssFontFamily(QString(QChar(0)) + QStringLiteral("Ä") + QString::fromUcs4(U"\U0001F600", 1)),
        QStringLiteral("\"\\00FFFD\\0000C4\\01F600\""));
    EXPECT_EQ(CSSManager::cssFontFamily(QString(QChar(0xD800))), QStringLiteral("\"\\00FFFD\""));

    // A hostile family stays inside the body's font declaration: the rule keeps its declarations,
    // the sheet its rules, and no placeholder in the name is filled.
    m_defaults->set(
        SettingsKeys::BodyFont, QStringLiteral("x\"; } body { color:red; } </style><script>%@!BASEFONTSIZE!@%\n/*"));
    const QString sheet = css().cssForBookView();
    EXPECT_EQ(countRules(sheet), 29 + 68 + 2 + 1 + kColorTableRules);
    const QString body = ruleBody(sheet, QStringLiteral("body"));
    EXPECT_EQ(body.count(QLatin1Char(';')), 6) << body.toStdString();
    EXPECT_EQ(body.count(QLatin1Char('"')), 2) << body.toStdString();
    EXPECT_FALSE(sheet.contains(QStringLiteral("</style")));
    EXPECT_FALSE(sheet.contains(QStringLiteral("color:red")));
    EXPECT_FALSE(sheet.contains(QLatin1Char('\n')));
    EXPECT_TRUE(body.contains(QStringLiteral("font:normal 12pt \"x\\000022\\00003B \\00007D body")));
}

TEST_F(CSSManagerTest, EveryColourOfTheTablePaintsAndLinksReadOnAnyBackground)
{
    // Each colour of the highlight colour table: its own background, text in black or white by
    // contrast, in book pages and result lists, not in notes.
    const QString sheet = css().cssForBookView();
    int painted = 0;
    for (const HighlightColorRow& row : highlightColorTable()) {
        if (row.id == 0 || row.id == kHighlightColorEndMarker)
            continue;
        const QString cls = QLatin1Char('.') + QString::fromStdString(highlightStyleClassName(row.id));
        SCOPED_TRACE(cls.toStdString());
        const QString body = ruleBody(sheet, cls).toLower();
        const QString back = row.rgb == kTransparentRGB ? QStringLiteral("transparent")
                                                        : QStringLiteral("#%1").arg(row.rgb, 6, 16, QLatin1Char('0'));
        EXPECT_TRUE(body.contains(QStringLiteral("background-color:") + back)) << body.toStdString();
        if (row.rgb != kTransparentRGB) {
            const auto text = QRegularExpression(QStringLiteral("[ ;]color:(#[0-9a-f]{6})")).match(body);
            ASSERT_TRUE(text.hasMatch()) << body.toStdString();
            EXPECT_GE(
                ReadableColors::contrast(*ReadableColors::fromHtml(text.captured(1)), *ReadableColors::fromHtml(back)),
                4.5);
        }
        ++painted;
    }
    EXPECT_EQ(painted, 139);
    EXPECT_EQ(ruleBody(sheet, QStringLiteral(".lightpink")),
        QStringLiteral("text-decoration:none; background-color:#ffb6c1; color:#000000;"));
    EXPECT_EQ(ruleBody(sheet, QStringLiteral(".navy")),
        QStringLiteral("text-decoration:none; background-color:#000080; color:#ffffff;"));
    // On navy the page's blue links would vanish: they are lightened there.
    EXPECT_NE(ruleBody(sheet, QStringLiteral(".navy a")), QStringLiteral("<missing>"));
    EXPECT_EQ(ruleBody(sheet, QStringLiteral(".lightpink a")), QStringLiteral("<missing>"));
    EXPECT_EQ(ruleBody(css().cssForNoteViewEdit(), QStringLiteral(".lightpink")), QStringLiteral("<missing>"));
    // A result-list cell takes the rules of the colours it names, and only those.
    const QString cell = css().highlightColorRulesFor(
        QStringLiteral("<span class=\"_verse lightpink\">red</span><span class='navy'>x</span> class=aqua"));
    EXPECT_EQ(ruleBody(cell, QStringLiteral(".lightpink")), ruleBody(sheet, QStringLiteral(".lightpink")));
    EXPECT_EQ(ruleBody(cell, QStringLiteral(".navy a")), ruleBody(sheet, QStringLiteral(".navy a")));
    for (const QString& rule : cell.split(QLatin1Char('}'), Qt::SkipEmptyParts))
        EXPECT_TRUE(rule.startsWith(QStringLiteral(".lightpink")) || rule.startsWith(QStringLiteral(".navy")))
            << rule.toStdString();
    EXPECT_GE(countRules(cell), 2);
    EXPECT_TRUE(css().highlightColorRulesFor(QStringLiteral("<p>plain</p>")).isEmpty());

    // A black page: the dark blue links and Strong's numbers become a blue that reads on it; the
    // stored colours stay as the user chose them, and a light page keeps them as they are.
    m_defaults->set(SettingsKeys::LinkColor, QStringLiteral("#0000c0"));
    m_defaults->set(SettingsKeys::StrongsColor, QStringLiteral("#0000c0"));
    EXPECT_EQ(ruleBody(css().cssForBookView(), QStringLiteral("a")), QStringLiteral("color:#0000c0;"));
    m_defaults->set(SettingsKeys::BackColor, QStringLiteral("#000000"));
    const QString night = css().cssForBookView();
    const ReadableColors::Rgb black {0, 0, 0};
    for (const char* selector : {"a", "._stgrk a", "._interlinearrow a"}) {
        SCOPED_TRACE(selector);
        const auto color =
            QRegularExpression(QStringLiteral("color:(#[0-9a-f]{6});")).match(ruleBody(night, QLatin1String(selector)));
        ASSERT_TRUE(color.hasMatch());
        const ReadableColors::Rgb rgb = *ReadableColors::fromHtml(color.captured(1));
        EXPECT_NEAR(ReadableColors::contrast(rgb, black), ReadableColors::kTargetContrast, 0.1);
        EXPECT_GT(rgb.blue, rgb.red);  // still a blue
    }
    EXPECT_EQ(m_defaults->value(SettingsKeys::LinkColor), QStringLiteral("#0000c0"));
    // So do the found words' green (4.1:1 on black) and the words of Christ's red, on the page and in
    // the result lists.
    for (const QString& sheet : {night, css().cssForSearchResultsView()}) {
        for (const char* selector : {"span._search", "span._woc"}) {
            SCOPED_TRACE(selector);
            const auto color = QRegularExpression(QStringLiteral("color:(#[0-9a-f]{6});"))
                                   .match(ruleBody(sheet, QLatin1String(selector)));
            ASSERT_TRUE(color.hasMatch()) << ruleBody(sheet, QLatin1String(selector)).toStdString();
            EXPECT_NEAR(ReadableColors::contrast(*ReadableColors::fromHtml(color.captured(1)), black),
                ReadableColors::kTargetContrast, 0.1);
        }
    }
    // The black text is lightened on the black page; white text keeps to it, and on the light
    // footnote and linked-passage backgrounds it is darkened until it reads.
    const auto nightText =
        QRegularExpression(QStringLiteral("color:(#[0-9a-f]{6});")).match(ruleBody(night, QStringLiteral("body")));
    ASSERT_TRUE(nightText.hasMatch());
    EXPECT_NEAR(ReadableColors::contrast(*ReadableColors::fromHtml(nightText.captured(1)), black), 4.5, 0.1);
    m_defaults->set(SettingsKeys::TextColor, QStringLiteral("#ffffff"));
    const QString white = css().cssForBookView();
    EXPECT_EQ(ruleBody(white, QStringLiteral("body")).count(QStringLiteral("color:#ffffff;")), 1);
    for (const auto& [selector, back] : {std::pair {".footnote {color:", "#e0e0ff"}, {"._temphl {color:", "#ffd8bd"}}) {
        SCOPED_TRACE(selector);
        const qsizetype at = white.indexOf(QLatin1String(selector));
        ASSERT_GE(at, 0);
        const auto text = ReadableColors::fromHtml(white.mid(at + qsizetype(strlen(selector)), 7));
        ASSERT_TRUE(text);
        EXPECT_NEAR(ReadableColors::contrast(*text, *ReadableColors::fromHtml(QLatin1String(back))), 4.5, 0.1);
    }
    // A colour that reads is kept as written, one short of the controls' contrast is moved (a pink of
    // 3.1:1 on white); text that is no #rrggbb colour is left alone.
    EXPECT_EQ(ReadableColors::readableOn(QStringLiteral("#767676"), QStringLiteral("#FFFFFF")), "#767676");
    const auto pink =
        ReadableColors::fromHtml(ReadableColors::readableOn(QStringLiteral("#C08080"), QStringLiteral("#FFFFF8")));
    ASSERT_TRUE(pink);
    const double pinkContrast = ReadableColors::contrast(*pink, *ReadableColors::fromHtml(QStringLiteral("#FFFFF8")));
    EXPECT_GE(pinkContrast, ReadableColors::kTargetContrast);
    EXPECT_LT(pinkContrast, ReadableColors::kTargetContrast + 0.1);
    EXPECT_EQ(ReadableColors::readableOn(QStringLiteral("blue"), QStringLiteral("#000000")), "blue");
}
