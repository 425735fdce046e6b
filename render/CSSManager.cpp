#include "render/CSSManager.h"

#include "platform/ReadableColors.h"
#include "platform/SettingsKeys.h"
#include "platform/SettingsRegistry.h"
#include "platform/UserDefaults.h"
#include "render/cHTMLColor.h"

#include <QLatin1String>
#include <QList>
#include <QPair>
#include <QRegularExpression>
#include <QSet>

#include <algorithm>
#include <limits>

namespace {

// clang-format off
static constexpr const char kBaseTemplate[] =
    "body {padding:0; margin:0 %@!RIGHTMARGIN!@%px 0 %@!LEFTMARGIN!@%px; font:normal %@!BASEFONTSIZE!@%pt %@!FONTSTYLE!@%; background-color: %@!BACKCOLOR!@%; color:%@!COLOR!@%;  line-height: %@!LINEHEIGHT!@%;}"
    " p {margin:0em 0em 0.5em 0em;}"
    "\th1 {margin:0.4em 0 0.3em 0; font-size:%@!H1FONTSIZE!@%pt;}"
    " h2 {margin:0.3em 0 0.2em 0; font-size:%@!H2FONTSIZE!@%pt;}"
    " h3 {margin:0.2em 0 0.1em 0; font-size:%@!H3FONTSIZE!@%pt;}"
    " h4 {margin:0.1em 0 0.1em 0; font-size:%@!H4FONTSIZE!@%pt;}"
    " h5 {margin:0.1em 0 0.1em 0; font-size:%@!H5FONTSIZE!@%pt;}"
    " h6 {margin:0.1em 0 0.1em 0; font-size:%@!BASEFONTSIZE!@%pt;}"
    " table {font-size:inherit;}"
    "._interlinearversenumbertable {float:left;margin-bottom:1em;-webkit-border-horizontal-spacing:0px;border-collapse:collapse;}"
    " ._interlinearnotelinktable {float:left;margin-bottom:1em;-webkit-border-horizontal-spacing:0px;border-collapse:collapse;}"
    " ._interlinearwordtable {float:left;margin-bottom:1em;-webkit-border-horizontal-spacing:0px;border-collapse:collapse;}"
    " ._interlineartoprow {border-bottom:1px solid transparent;}"
    " ._interlineartoprow td {padding-left:2px;padding-right:2px;}"
    " ._interlinearrow {font-size:80%;color:%@!STRONGSCOLOR!@%;}"
    " ._interlinearrow td {padding-left:2px;padding-right:2px;}"
    " ._interlinearrow a {color:%@!STRONGSCOLOR!@%;text-decoration:%@!STRONGSDECORATION!@%;}"
    " ._inlinewordattribute {font-size:80%;display:%@!WORDATTRDISPLAY!@%;}"
    " #topwhitespace {text-align:center; font:24pt; color:#C8C8C8;}"
    " #startofpage { margin:3pt 0 3pt 0; height:24pt; text-align: center ; font: 24pt; color:#C8C8C8;}"
    " #endofpage { margin:3pt 0 3pt 0; height:24pt; text-align: center ; font: 24pt; color:#C8C8C8;}"
    ".note {padding:0px 5px 0px 5px;}"
    ".footnote { display:%@!FOOTNOTEDISPLAY!@%;background-color:%@!FNBACKCOLOR!@%;}"
    ".footnotetoggle { display:%@!FOOTNOTETOGGLEDISPLAY!@%; }"
    "a {color:%@!LINKCOLOR!@%;}"
    "a-placeholder {color:%@!LINKCOLOR!@%; text-decoration:underline;}"
    "blockquote {margin:0.25em %@!BQRIGHTMARGIN!@%px 0.25em %@!BQLEFTMARGIN!@%px;}"
    "div.devoread {background-color:%@!DEVOREADCOLOR!@%;color:%@!DEVOREADTEXTCOLOR!@%;}"
    "div.devounread {background-color:%@!DEVOUNREADCOLOR!@%;color:%@!DEVONOTREADTEXTCOLOR!@%;}";
static constexpr const char kHighlightTemplate[] =
    "._stheb {font-size:80%;display:%@!STRONGSHEBDISPLAY!@%;}"
    "._stgrk {font-size:80%;display:%@!STRONGSGRKDISPLAY!@%;}"
    "._stheb a {color:%@!STRONGSCOLOR!@%;text-decoration:%@!STRONGSDECORATION!@%;}"
    "._stgrk a {color:%@!STRONGSCOLOR!@%;text-decoration:%@!STRONGSDECORATION!@%;}"
    "span._woc {color:%@!WOCCOLOR!@%; font-weight:%@!WOCBOLD!@%;}"
    "span._search {color:%@!SEARCHCOLOR!@%; font-weight:%@!SEARCHBOLD!@%;}"
    "._temphl {text-decoration:none; background-color:%@!TEMPHLCOLOR!@%;}"
    ".yellow {text-decoration:none; background-color:#FFFF00; color:#000000;}"
    ".yellow ._woc {color:%@!WOC-OR-BLACK!@%;}"
    ".yellow ._stheb a, .yellow ._stgrk a {color:#707070;}"
    ".khaki {text-decoration:none; background-color:#F0E68C; color:#000000;}"
    ".khaki ._woc {color:%@!WOC-OR-BLACK!@%;}"
    ".khaki ._stheb a, .khaki ._stgrk a {color:#646464;}"
    ".hotpink {text-decoration:none; background-color:#FF69B4; color:#000000;}"
    ".hotpink ._woc {color:%@!PINKWOC!@%;}"
    ".hotpink ._stheb a, .hotpink ._stgrk a {color:#373737;}"
    ".pink {text-decoration:none; background-color:#FFC0CB; color:#000000;}"
    ".pink ._woc {color:%@!WOC-OR-BLACK!@%;}"
    ".pink ._stheb a, .pink ._stgrk a {color:#5a5a5a;}"
    ".cornflowerblue {text-decoration:none; background-color:#6495ED; color:#000000;}"
    ".cornflowerblue ._woc {color:%@!WOCONCFBLUE!@%;}"
    ".cornflowerblue ._stheb a, .cornflowerblue ._stgrk a {color:#2f2f2f;}"
    ".lightblue {text-decoration:none; background-color:#ADD8E6; color:#000000;}"
    ".lightblue ._woc {color:%@!WOC-OR-BLACK!@%;}"
    ".lightblue ._stheb a, .lightblue ._stgrk a {color:#5a5a5a;}"
    ".lightblue a {color:#0000c0;}"
    ".aqua {text-decoration:none; background-color:#00FFFF; color:#000000;}"
    ".aqua ._woc {color:%@!WOC-OR-BLACK!@%;}"
    ".aqua ._stheb a, .aqua ._stgrk a {color:#676767;}"
    ".limegreen {text-decoration:none; background-color:#32CD32; color:#000000;}"
    ".limegreen ._woc {color:%@!PINKWOC!@%;}"
    ".limegreen ._stheb a, .limegreen ._stgrk a {color:#454545;}"
    ".limegreen ._search {color:#004000;}"
    ".palegreen {text-decoration:none; background-color:#98FB98; color:#000000;}"
    ".palegreen ._woc {color:%@!WOC-OR-BLACK!@%;}"
    ".palegreen ._stheb a, .palegreen ._stgrk a {color:#666666;}"
    ".palegreen ._search {color:#008000;}"
    ".gold {text-decoration:none; background-color:#FFD700; color:#000000;}"
    ".gold ._woc {color:%@!WOC-OR-BLACK!@%;}"
    ".gold ._stheb a, .gold ._stgrk a {color:#606060;}"
    ".goldenrod {text-decoration:none; background-color:#DAA520; color:#000000;}"
    ".goldenrod ._woc {color:%@!PINKWOC!@%;}"
    ".goldenrod ._stheb a, .goldenrod ._stgrk a {color:#424242;}"
    ".tan {text-decoration:none; background-color:#D2B48C; color:#000000;}"
    ".tan ._woc {color:%@!WOC-OR-BLACK!@%;}"
    ".tan ._stheb a, .tan ._stgrk a {color:#4a4a4a;}"
    ".crimson {text-decoration:none; background-color:#DC143C; color:#ffffff;}"
    ".crimson ._woc {color:%@!WOCONCRIMSON!@%;}"
    ".crimson ._stheb a, .crimson ._stgrk a {color:#f4f4f4;}"
    ".fuchsia {text-decoration:none; background-color:#FF00FF; color:#000000;}"
    ".fuchsia ._woc {color:%@!WOCONFUCHSIA!@%;}"
    ".fuchsia ._stheb a, .fuchsia ._stgrk a {color:#2b2b2b;}"
    ".salmon {text-decoration:none; background-color:#FA8072; color:#000000;}"
    ".salmon ._woc {color:%@!PINKWOC!@%;}"
    ".salmon ._stheb a, .salmon ._stgrk a {color:#3a3a3a;}"
    ".silver {text-decoration:none; background-color:#C0C0C0; color:#000000;}"
    ".silver ._woc {color:%@!WOC-OR-BLACK!@%;}"
    ".silver ._stheb a, .silver ._stgrk a {color:#4f4f4f;}"
    ".underline{text-decoration:none;border-bottom:1px solid;}"
    ".dashedunderline{text-decoration:none;border-bottom:1px dashed;}"
    ".dottedunderline{text-decoration:none;border-bottom:1px dotted;}"
    ".marching-ants{background-size:8px 1px,8px 1px,1px 8px,1px 8px;background-position:0 0,0 100%,0 0,100% 0;background-repeat: repeat-x,repeat-x,repeat-y,repeat-y;-webkit-animation:marching-ants-1 1s;animation:marching-ants-1 1s;-webkit-animation-timing-function:linear;animation-timing-function:linear;-webkit-animation-iteration-count:infinite;animation-iteration-count:infinite;background-image:-webkit-linear-gradient(left,#fff 50%,#444 50%),-webkit-linear-gradient(left,#fff 50%,#444 50%),-webkit-linear-gradient(top,#fff 50%,#444 50%),-webkit-linear-gradient(top,#fff 50%,#444 50%);background-image:linear-gradient(to right,#fff 50%,#444 50%),linear-gradient(to right,#fff 50%,#444 50%),linear-gradient(to bottom,#fff 50%,#444 50%),linear-gradient(to bottom,#fff 50%,#444 50%);-webkit-animation-play-state:paused;animation-play-state:paused;}"
    "@-webkit-keyframes marching-ants-1{0%{background-position:0 0,0 100%,0 0,100% 0;}100%{background-position:40px 0,-40px 100%,0 -40px,100% 40px;}}"
    "@keyframes marching-ants-1{0%{background-position:0 0,0 100%,0 0,100% 0;}100%{background-position:40px 0,-40px 100%,0 -40px,100% 40px;}}"
    "@-webkit-keyframes marching-ants-2 {0% {background-position:0 0,0 100%,0 0,100% 0;}100% {background-position:40px 0,-40px 100%,0 -40px,100% 40px;}}"
    "@keyframes marching-ants-2{0%{background-position:0 0,0 100%,0 0,100% 0;}100%{background-position:40px 0,-40px 100%,0 -40px,100% 40px;}}"
    "@-webkit-keyframes marching-ants-3{0%{background-position:0 0,0 100%,0 0,100% 0;}100%{background-position:40px 0,-40px 100%,0 -40px,100% 40px;}}"
    "@keyframes marching-ants-3{0%{background-position:0 0,0 100%,0 0,100% 0;}100% {background-position:40px 0,-40px 100%,0 -40px,100% 40px;}}";
// clang-format on

// The found words of a notes search, marked in the note viewer: the note sheet lacks the highlight
// template, so it takes this one rule of it.
constexpr const char kSearchWordRule[] = "span._search {color:%@!SEARCHCOLOR!@%; font-weight:%@!SEARCHBOLD!@%;}";

// A book page sets a paragraph apart by the space above it, not below it: a Bible's verses are blocks
// of their own, and the space belongs above the verse that opens a paragraph, between it and the
// verse before. The rule follows the base template's paragraph rule and takes its place.
constexpr const char kBookParagraphRule[] = "p {margin:0.5em 0em 0em 0em;}";

// The highlight styles Bold and Italic give these class names to highlighted text.
constexpr const char kHighlightStyleRules[] = ".bold{text-decoration:none;font-weight:bold;}"
                                              ".italic{text-decoration:none;font-style:italic;}";

constexpr int kLadderTop = 300;

// The ladder size that follows s.
int nextLadderSize(int s)
{
    if (s < 10)
        return s + 1;
    return s + 2 + (s - 10) / 5;
}

// The largest size whose next size is at most s; s itself when there is none.
int previousLadderSize(int s)
{
    for (int t = std::min(s - 1, kLadderTop - 1); t >= 1; --t)
        if (nextLadderSize(t) <= s)
            return t;
    return s;
}

int clampToInt(qint64 value)
{
    return static_cast<int>(
        std::clamp<qint64>(value, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

QString flagWord(bool set, const char* whenSet, const char* otherwise)
{
    return QString::fromLatin1(set ? whenSet : otherwise);
}

// The rules of a highlight colour that the highlight template does not style: its background with
// text in black or white by contrast with it, and the words of Christ, links, Strong's numbers and
// found words in their colours on the page where these read on it, else moved until they do.
QString highlightColorRule(const QString& name, const ReadableColors::Rgb& back, const CSSManager::PageInks& inks)
{
    using namespace ReadableColors;
    const QString cls = QLatin1Char('.') + name;
    const QString backText = toHtml(back);
    const QString text = toHtml(labelColorOn(back));
    QString rule = cls + QStringLiteral(" {text-decoration:none; background-color:%1; color:%2;}").arg(backText, text);
    auto differs = [](const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) != 0; };
    const bool setApart = !inks.wordsOfChrist.isEmpty();
    const QString words = setApart ? readableOn(inks.wordsOfChrist, backText) : text;
    if (differs(words, setApart ? inks.wordsOfChrist : inks.text))
        rule += cls + QStringLiteral(" ._woc {color:%1;}").arg(words);
    if (const QString strongs = readableOn(inks.strongs, backText); differs(strongs, inks.strongs))
        rule += QStringLiteral("%1 ._stheb a, %1 ._stgrk a {color:%2;}").arg(cls, strongs);
    if (const QString link = readableOn(inks.link, backText); differs(link, inks.link))
        rule += cls + QStringLiteral(" a {color:%1;}").arg(link);
    if (const QString search = readableOn(inks.search, backText); differs(search, inks.search))
        rule += cls + QStringLiteral(" ._search {color:%1;}").arg(search);
    return rule;
}

}  // namespace

QString CSSManager::baseTemplate()
{
    return QString::fromLatin1(kBaseTemplate);
}
QString CSSManager::highlightTemplate()
{
    return QString::fromLatin1(kHighlightTemplate);
}
QString CSSManager::highlightStyleRules()
{
    return QString::fromLatin1(kHighlightStyleRules);
}

int CSSManager::getFontHeightRelativeToBase(int base, int relativeSize)
{
    if (relativeSize < 2)
        relativeSize = 1;
    if (relativeSize == 3 || base > kLadderTop - 1)
        return base;
    int size = base;
    if (relativeSize > 3) {
        for (int step = relativeSize - 3; step > 0 && size < kLadderTop; --step)
            size = nextLadderSize(size);
    } else {
        for (int step = 3 - relativeSize; step > 0; --step)
            size = previousLadderSize(size);
    }
    return size;
}

QString CSSManager::cssFontFamily(const QString& family)
{
    if (family.isEmpty())
        return QStringLiteral("serif");
    QString out;
    out.reserve(family.size() + 2);
    out += QLatin1Char('"');
    for (char32_t c : family.toUcs4()) {
        const bool plain = (c >= U'a' && c <= U'z') || (c >= U'A' && c <= U'Z') || (c >= U'0' && c <= U'9') ||
            c == U' ' || c == U'-' || c == U'_' || c == U'.';
        if (plain) {
            out += QChar(static_cast<char16_t>(c));
            continue;
        }
        if (c == 0 || (c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF)
            c = 0xFFFD;
        out += QString::asprintf("\\%06X", static_cast<unsigned>(c));
    }
    out += QLatin1Char('"');
    return out;
}

QString CSSManager::cssForBookView() const
{
    return buildSheet(Sheet::BookView);
}

QString CSSManager::cssForSearchResultsView() const
{
    return buildSheet(Sheet::SearchResults);
}

QString CSSManager::cssForNoteViewEdit() const
{
    return buildSheet(Sheet::NoteView);
}

QString CSSManager::buildSheet(Sheet sheet) const
{
    const UserDefaults& d = m_defaults;
    QString css = baseTemplate();
    if (sheet != Sheet::NoteView)
        css += highlightTemplate() + highlightStyleRules();
    else
        css += QString::fromLatin1(kSearchWordRule);
    if (sheet == Sheet::BookView)
        css += QString::fromLatin1(kBookParagraphRule);

    const bool results = sheet == Sheet::SearchResults;
    const bool notes = sheet == Sheet::NoteView;
    QList<QPair<const char*, QString>> values;
    auto set = [&values](const char* placeholder, const QString& value) { values.append({placeholder, value}); };
    // Sizes are held to their ranges: a stored text size of 0 would blank every page.
    auto integer = [&d](const SettingKey<qint64>& key) {
        return QString::number(SettingsRegistry::clampedInteger(d, key));
    };
    auto string = [&d](const SettingKey<QString>& key) { return d.value(key); };
    auto flag = [&d](const SettingKey<bool>& key) { return d.value(key); };

    const int baseSize = clampToInt(SettingsRegistry::clampedInteger(d, SettingsKeys::BaseFontSize));
    set("%@!FONTSTYLE!@%", cssFontFamily(string(SettingsKeys::BodyFont)));
    set("%@!BASEFONTSIZE!@%", QString::number(baseSize));
    static constexpr const char* kHeadings[] = {
        "%@!H1FONTSIZE!@%", "%@!H2FONTSIZE!@%", "%@!H3FONTSIZE!@%", "%@!H4FONTSIZE!@%", "%@!H5FONTSIZE!@%"};
    for (int h = 0; h < 5; ++h)
        set(kHeadings[h], QString::number(results ? baseSize : getFontHeightRelativeToBase(baseSize, 8 - h)));
    set("%@!LINEHEIGHT!@%",
        results ? QStringLiteral("1.1")
                : QString::asprintf("%.1f", SettingsRegistry::clampedDouble(d, SettingsKeys::LineHeight)));
    // The page's text, and every ink drawn on the page's background below, keeps its colour where it
    // reads there and is lightened or darkened just enough where it does not (dark blue links or a
    // dark green for found words on a black page).
    const QString backColor = string(SettingsKeys::BackColor);
    const QString textColor = ReadableColors::readableOn(string(SettingsKeys::TextColor), backColor);
    set("%@!BACKCOLOR!@%", backColor);
    set("%@!COLOR!@%", textColor);
    if (results) {
        set("%@!LEFTMARGIN!@%", QStringLiteral("0"));
        set("%@!RIGHTMARGIN!@%", QStringLiteral("0"));
    } else if (notes) {
        set("%@!LEFTMARGIN!@%", QStringLiteral("6"));
        set("%@!RIGHTMARGIN!@%", QStringLiteral("6"));
    } else {
        set("%@!LEFTMARGIN!@%", integer(SettingsKeys::LeftMargin));
        set("%@!RIGHTMARGIN!@%", integer(SettingsKeys::RightMargin));
    }
    set("%@!TEMPHLCOLOR!@%", string(SettingsKeys::TempHLColor));

    if (results) {
        set("%@!FOOTNOTEDISPLAY!@%", QStringLiteral("none"));
        set("%@!FOOTNOTETOGGLEDISPLAY!@%", QStringLiteral("none"));
    } else {
        // Any other value leaves both placeholders in the sheet.
        const QString style = string(SettingsKeys::FootnoteStyle);
        if (style == QLatin1String("Hide")) {
            set("%@!FOOTNOTEDISPLAY!@%", QStringLiteral("none"));
            set("%@!FOOTNOTETOGGLEDISPLAY!@%", QStringLiteral("none"));
        } else if (style == QLatin1String("Collapse")) {
            set("%@!FOOTNOTEDISPLAY!@%", QStringLiteral("none"));
            set("%@!FOOTNOTETOGGLEDISPLAY!@%", QStringLiteral("inline"));
        } else if (style == QLatin1String("Expand")) {
            set("%@!FOOTNOTEDISPLAY!@%", QStringLiteral("inline"));
            set("%@!FOOTNOTETOGGLEDISPLAY!@%", QStringLiteral("inline"));
        }
    }
    set("%@!FNBACKCOLOR!@%", string(SettingsKeys::FootnoteBGColor));
    const QString linkColor = ReadableColors::readableOn(string(SettingsKeys::LinkColor), backColor);
    set("%@!LINKCOLOR!@%", linkColor);

    const bool indent = !results && flag(SettingsKeys::IndentPoetry);
    set("%@!BQLEFTMARGIN!@%", indent ? integer(SettingsKeys::PoetryLeft) : QStringLiteral("0"));
    set("%@!BQRIGHTMARGIN!@%", indent ? integer(SettingsKeys::PoetryRight) : QStringLiteral("0"));

    const QString strongsDisplay = flagWord(!results && flag(SettingsKeys::StrongsNumbers), "inline", "none");
    set("%@!STRONGSHEBDISPLAY!@%", strongsDisplay);
    set("%@!STRONGSGRKDISPLAY!@%", strongsDisplay);
    set("%@!STRONGSCOLOR!@%", ReadableColors::readableOn(string(SettingsKeys::StrongsColor), backColor));
    set("%@!STRONGSDECORATION!@%", string(SettingsKeys::StrongsDecoration));
    set("%@!WORDATTRDISPLAY!@%", QStringLiteral("none"));
    set("%@!SEARCHCOLOR!@%", ReadableColors::readableOn(string(SettingsKeys::SearchColor), backColor));
    set("%@!SEARCHBOLD!@%", flagWord(flag(SettingsKeys::SearchBold), "bold", "normal"));
    set("%@!DEVOREADCOLOR!@%", string(SettingsKeys::DevoReadColor));
    set("%@!DEVOUNREADCOLOR!@%", string(SettingsKeys::DevoUnreadColor));
    set("%@!DEVOREADTEXTCOLOR!@%", QStringLiteral("#000000"));
    set("%@!DEVONOTREADTEXTCOLOR!@%", QStringLiteral("#000000"));

    // Words of Christ, in plain text and over each highlight colour.
    const bool wocInRed = flag(SettingsKeys::WocInRed);
    const QString wocColor = ReadableColors::readableOn(string(SettingsKeys::WocColor), backColor);
    set("%@!WOCCOLOR!@%", wocInRed ? wocColor : textColor);
    set("%@!WOC-OR-BLACK!@%", wocInRed ? wocColor : QStringLiteral("#000000"));
    set("%@!PINKWOC!@%", wocInRed ? QStringLiteral("#760000") : textColor);
    set("%@!WOCONCRIMSON!@%", wocInRed ? QStringLiteral("#b6ffff") : QStringLiteral("#ffffff"));
    set("%@!WOCONFUCHSIA!@%", wocInRed ? QStringLiteral("#00009f") : textColor);
    set("%@!WOCONCFBLUE!@%", wocInRed ? QStringLiteral("#670000") : textColor);
    set("%@!WOCBOLD!@%", flagWord(wocInRed && flag(SettingsKeys::WocBold), "bold", "normal"));

    for (const auto& [placeholder, value] : values)
        css.replace(QLatin1String(placeholder), value);
    // The page's text over the footnote and linked-passage backgrounds, where it would not read on
    // them (white text of a night scheme on the light backgrounds these keep).
    if (sheet != Sheet::NoteView) {
        const QString footnoteBack = string(SettingsKeys::FootnoteBGColor);
        const QString tempBack = string(SettingsKeys::TempHLColor);
        if (const QString text = ReadableColors::readableOn(textColor, footnoteBack); text != textColor)
            css += QStringLiteral(".footnote {color:%1;}").arg(text);
        if (const QString text = ReadableColors::readableOn(textColor, tempBack); text != textColor)
            css += QStringLiteral("._temphl {color:%1;}").arg(text);
    }
    if (sheet == Sheet::BookView)
        css += colorRules(nullptr);
    return css;
}

QString CSSManager::highlightColorRulesFor(const QString& html) const
{
    static const QRegularExpression classAttribute(QStringLiteral("\\bclass\\s*=\\s*[\"']([^\"']*)[\"']"));
    QSet<QString> classes;
    for (auto it = classAttribute.globalMatch(html); it.hasNext();) {
        const QString value = it.next().captured(1);
        for (const QString& name : value.split(QLatin1Char(' '), Qt::SkipEmptyParts))
            classes.insert(name);
    }
    return classes.isEmpty() ? QString() : colorRules(&classes);
}

QString CSSManager::colorRules(const QSet<QString>* only) const
{
    const UserDefaults& d = m_defaults;
    const QString back = d.value(SettingsKeys::BackColor);
    PageInks inks;
    // The inks as the page draws them (see buildSheet).
    inks.text = ReadableColors::readableOn(d.value(SettingsKeys::TextColor), back);
    if (d.value(SettingsKeys::WocInRed))
        inks.wordsOfChrist = ReadableColors::readableOn(d.value(SettingsKeys::WocColor), back);
    inks.link = ReadableColors::readableOn(d.value(SettingsKeys::LinkColor), back);
    inks.strongs = ReadableColors::readableOn(d.value(SettingsKeys::StrongsColor), back);
    inks.search = ReadableColors::readableOn(d.value(SettingsKeys::SearchColor), back);
    return highlightColorRules(inks, only);
}

QString CSSManager::highlightColorRules(const PageInks& inks, const QSet<QString>* only)
{
    const QString styled = highlightTemplate();
    QString rules;
    for (const HighlightColorRow& row : highlightColorTable()) {
        if (row.id == 0 || row.id == kHighlightColorEndMarker)
            continue;
        const QString name = QString::fromStdString(highlightStyleClassName(row.id));
        if ((only != nullptr && !only->contains(name)) ||
            styled.contains(QLatin1Char('.') + name + QStringLiteral(" {")))
            continue;
        if (row.rgb == kTransparentRGB) {
            rules += QLatin1Char('.') + name + QStringLiteral(" {text-decoration:none; background-color:transparent;}");
            continue;
        }
        const ReadableColors::Rgb back {
            ((row.rgb >> 16) & 0xFF) / 255.0, ((row.rgb >> 8) & 0xFF) / 255.0, (row.rgb & 0xFF) / 255.0};
        rules += highlightColorRule(name, back, inks);
    }
    return rules;
}
