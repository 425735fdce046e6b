// The reader's colours in the running window: a black page with white text chosen in Settings > Color
// (through the colour chooser and its keys) leaves the study pane's buttons, the pane's title and
// its tab bar's "+" readable, and links and Strong's numbers read on the page; a verse highlighted in
// a colour of the colour table beyond the menu's (Light Pink, from another computer) is painted in it.
// On a near-black page the study pane's lists (Recent Verses, Find's results, Library Search) take
// the page's colours, every colour they draw reads there, and the current tab stands out.

#include "app/QuillsteadAppController.h"
#include "app/QuillsteadWindowController.h"
#include "app/preferences/ColorPreferencesViewController.h"
#include "app/preferences/ColorWell.h"
#include "app/preferences/MASPreferencesWindowController.h"
#include "engine/references/cBibleRef.h"
#include "library/GoToRequest.h"
#include "panes/bookpane/PaneTabBar.h"
#include "panes/layoutview/LayoutPanes.h"
#include "panes/layoutview/LayoutView.h"
#include "panes/layoutview/LayoutViewController.h"
#include "panes/page/BookPageView.h"
#include "platform/ReadableColors.h"
#include "platform/SettingsKeys.h"
#include "platform/UserDefaults.h"
#include "platform/ui/CommandNames.h"
#include "search/execution/SearchResultsAggregator.h"
#include "studypane/HighlightStore.h"
#include "studypane/StudyPaneBibleGotoViewController.h"
#include "studypane/StudyPaneLibrarySearchViewController.h"
#include "studypane/StudyPaneResultListModel.h"
#include "studypane/StudyPaneSearchResultsViewController.h"
#include "studypane/StudyPaneViewController.h"

#include "ReaderTestProgram.h"

#include <gtest/gtest.h>

#include <QColorDialog>
#include <QHash>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QTableView>
#include <QTest>
#include <QToolButton>
#include <algorithm>
#include <cmath>
#include <functional>

namespace {

using reader_test::evaluate;
using reader_test::waitFor;

class ColorsWindow : public reader_test::ReaderWindow {
protected:
    static void SetUpTestSuite() { startProgram("reader-colors-test"); }

    void TearDown() override
    {
        ReaderWindow::TearDown();
        UserDefaults& d = reader_test::programEnvironment().settings();
        for (const auto* key : {&SettingsKeys::BackColor, &SettingsKeys::TextColor})
            d.remove(*key);
        d.remove(SettingsKeys::ColorScheme);
    }

    // Picks a colour in a well of Settings > Color as the user does: a click opens the chooser, the
    // colour is chosen in it and Return closes it with OK.
    static void pickWithTheChooser(ColorWell* well, const QColor& color)
    {
        QTest::mouseClick(well, Qt::LeftButton);
        QColorDialog* chooser = well->chooser();
        ASSERT_NE(chooser, nullptr);
        ASSERT_TRUE(waitFor([chooser] { return chooser->isVisible(); }));
        chooser->setCurrentColor(color);
        QWidget* focus = chooser->focusWidget();
        QTest::keyClick(focus != nullptr ? focus : chooser, Qt::Key_Return);
        ASSERT_TRUE(waitFor([chooser] { return !chooser->isVisible(); }));
    }

    static ReadableColors::Rgb rgb(QRgb c) { return {qRed(c) / 255.0, qGreen(c) / 255.0, qBlue(c) / 255.0}; }

    // The colours the window draws in the widget's place, with how many pixels have each.
    static QHash<QRgb, int> drawnColors(QMainWindow* window, const QWidget* widget)
    {
        const QRect place(widget->mapTo(window, QPoint(0, 0)), widget->size());
        const QImage image = window->grab(place).toImage().convertToFormat(QImage::Format_RGB32);
        QHash<QRgb, int> counts;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                ++counts[image.pixel(x, y) & 0xffffff];
        return counts;
    }

    // The colour that most of the pixels counted for which `which` holds have (0 when none).
    static QRgb mostDrawn(const QHash<QRgb, int>& counts, const std::function<bool(QRgb)>& which = {})
    {
        QRgb color = 0;
        int most = -1;
        for (auto it = counts.cbegin(); it != counts.cend(); ++it)
            if (it.value() > most && (!which || which(it.key()))) {
                most = it.value();
                color = it.key();
            }
        return color;
    }

    // How well what the window draws in the widget's place reads: the contrast between the colour
    // most of it has (what it is drawn on) and the colour that stands out most from it (its text).
    static double drawnContrast(QMainWindow* window, const QWidget* widget)
    {
        const QHash<QRgb, int> counts = drawnColors(window, widget);
        const QRgb background = mostDrawn(counts);
        double best = 1;
        for (auto it = counts.cbegin(); it != counts.cend(); ++it)
            best = std::max(best, ReadableColors::contrast(rgb(it.key()), rgb(background)));
        return best;
    }

    // A list drawn on the page's colour (what most of its rows are drawn on), its text reading there.
    static void expectListOnThePage(QMainWindow* window, QAbstractItemView* list, const ReadableColors::Rgb& page)
    {
        ASSERT_TRUE(waitFor([list] { return list->model() != nullptr && list->model()->rowCount() > 0; }));
        ASSERT_TRUE(TestSupport::waitForViewsPainted(window));
        const QHash<QRgb, int> counts = drawnColors(window, list->viewport());
        const QRgb background = mostDrawn(counts);
        EXPECT_LT(ReadableColors::contrast(rgb(background), page), 1.1)
            << "the list is drawn on #" << QString::number(background, 16).toStdString();
        EXPECT_GE(drawnContrast(window, list->viewport()), ReadableColors::kTargetContrast);
    }

    // Settings > Color, opened through its command: the page of the colour wells.
    QWidget* colorSettings(QuillsteadWindowController* window)
    {
        EXPECT_TRUE(reader_test::choose(window, CommandNames::ColorSettings));
        MASPreferencesWindowController* settings = m_controller->preferencesWindowController();
        return settings == nullptr ? nullptr
                                   : settings->viewControllerForIdentifier(
                                         QString::fromLatin1(ColorPreferencesViewController::kIdentity.identifier));
    }
};

}  // namespace

TEST_F(ColorsWindow, ABlackPageLeavesTheControlsAndTheLinksReadable)
{
    const auto [window, kjv, study] = launchAtKjv();
    ASSERT_TRUE(kjv);
    ASSERT_NE(study, nullptr);
    QMainWindow* main = window->window();

    // Settings > Color: background black, text white.
    QWidget* page = colorSettings(window);
    ASSERT_NE(page, nullptr);
    pickWithTheChooser(page->findChild<ColorWell*>(SettingsKeys::BackColor.name), Qt::black);
    pickWithTheChooser(page->findChild<ColorWell*>(SettingsKeys::TextColor.name), Qt::white);
    UserDefaults& d = reader_test::programEnvironment().settings();
    // OK stores the colour at once.
    EXPECT_EQ(d.value(SettingsKeys::BackColor), QStringLiteral("#000000"));
    EXPECT_EQ(d.value(SettingsKeys::TextColor), QStringLiteral("#ffffff"));
    m_controller->preferencesWindowController()->close();
    QApplication::processEvents();

    // The study pane's buttons, the pane's title and the tab bar's "+", each against what it is
    // drawn on.
    QWidget* studyView = panes()->view()->studyPane()->paneView();
    ASSERT_NE(studyView, nullptr);
    QStringList seen;
    for (QToolButton* button : studyView->findChildren<QToolButton*>(Qt::FindDirectChildrenOnly)) {
        if (!button->isVisible())
            continue;
        seen.append(button->text());
        SCOPED_TRACE(button->text().toStdString());
        EXPECT_GE(drawnContrast(main, button), ReadableColors::kTargetContrast);
    }
    for (const char* label : {"Find", "B'marks", "H'lites"})
        EXPECT_TRUE(seen.contains(QLatin1String(label))) << label << " is not shown: " << seen.join('|').toStdString();
    LayoutBookPane* pane = panes()->currentBookPane();
    ASSERT_NE(pane, nullptr);
    QWidget* paneView = pane->paneView();
    QLabel* title = nullptr;
    for (QLabel* label : paneView->findChildren<QLabel*>())
        if (label->isVisible() && label->text().contains(QStringLiteral("(KJV)")))
            title = label;
    ASSERT_NE(title, nullptr) << "no pane title names the King James Version";
    EXPECT_GE(drawnContrast(main, title), ReadableColors::kTargetContrast) << title->text().toStdString();
    QToolButton* add = nullptr;
    for (QToolButton* button : paneView->findChildren<QToolButton*>())
        if (button->isVisible() && button->text() == QStringLiteral("+"))
            add = button;
    ASSERT_NE(add, nullptr);
    EXPECT_GE(drawnContrast(main, add), ReadableColors::kTargetContrast);

    // The page: black, with its links and Strong's numbers in colours that read on it.
    BookPageView* view = kjvPage();
    ASSERT_NE(view, nullptr);
    const QString probe = QStringLiteral(
        "(function(){var s=document.createElement('span');s.className='_stgrk';var a=document.createElement('a');"
        "a.href='#';a.textContent='G26';s.appendChild(a);var l=document.createElement('a');l.href='#';"
        "document.body.appendChild(s);document.body.appendChild(l);var r=[getComputedStyle(document.body)"
        ".backgroundColor,getComputedStyle(a).color,getComputedStyle(l).color];s.remove();l.remove();return r;})()");
    QStringList colors;
    ASSERT_TRUE(waitFor([&] {
        colors = evaluate(view, probe).toStringList();
        return colors.size() == 3 && colors[0] == QStringLiteral("rgb(0, 0, 0)");
    })) << colors.join('|').toStdString();
    for (int i = 1; i < 3; ++i) {
        const QStringList parts = colors[i].mid(4).chopped(1).split(QStringLiteral(", "));
        ASSERT_EQ(parts.size(), 3) << colors[i].toStdString();
        const ReadableColors::Rgb rgb {parts[0].toInt() / 255.0, parts[1].toInt() / 255.0, parts[2].toInt() / 255.0};
        EXPECT_GE(ReadableColors::contrast(rgb, {0, 0, 0}), ReadableColors::kTargetContrast - 0.05)
            << colors[i].toStdString();
    }
}

TEST_F(ColorsWindow, AVerseHighlightedInLightPinkIsPaintedInIt)
{
    const auto [window, kjv, study] = launchAtKjv();
    ASSERT_TRUE(kjv);
    (void)window;
    (void)study;
    // Colour 2 of the colour table, not one of the highlight menu's colours, as a highlight synced
    // from another computer has it.
    const quint32 john316 = makeBibleKey(43, 3, 16);
    HighlightStore(&reader_test::programEnvironment().notifications(), reader_test::programEnvironment().highlights())
        .highlightVerses({john316}, 2);
    GoToRequest go;
    go.layoutUuid = panes()->goToPanes().currentLayoutUuid();
    go.sourceTuple = kjv;
    go.section = kjv->locations().sectionForBibleKey(john316);
    go.bibleKey = john316;
    go.activate = true;
    go.post(NotificationCenter::defaultCenter(), nullptr);
    BookPageView* view = kjvPage();
    ASSERT_NE(view, nullptr);
    const QString paint = QStringLiteral(
        "(function(){var e=document.querySelector('.lightpink');return e?getComputedStyle(e).backgroundColor+'|'+"
        "getComputedStyle(e).color+'|'+e.textContent:'';})()");
    QString painted;
    EXPECT_TRUE(waitFor([&] {
        painted = evaluate(view, paint).toString();
        return !painted.isEmpty();
    })) << "no highlighted verse on the page";
    const QStringList parts = painted.split(QLatin1Char('|'));
    ASSERT_EQ(parts.size(), 3);
    EXPECT_EQ(parts[0], QStringLiteral("rgb(255, 182, 193)"));
    EXPECT_EQ(parts[1], QStringLiteral("rgb(0, 0, 0)"));
    EXPECT_TRUE(parts[2].contains(QStringLiteral("loved")) && parts[2].contains(QStringLiteral("everlasting")))
        << parts[2].toStdString();
    HighlightStore(&reader_test::programEnvironment().notifications(), reader_test::programEnvironment().highlights())
        .highlightVerses({john316}, 0);
}

TEST_F(ColorsWindow, ANearBlackPageReachesTheListsAndTheCurrentTab)
{
    const auto [window, kjv, study] = launchAtKjv();
    ASSERT_TRUE(kjv);
    ASSERT_NE(study, nullptr);
    QMainWindow* main = window->window();

    // Settings > Color: a near-black background; the text stays the default black.
    QWidget* colors = colorSettings(window);
    ASSERT_NE(colors, nullptr);
    pickWithTheChooser(colors->findChild<ColorWell*>(SettingsKeys::BackColor.name), QColor(0x10, 0x10, 0x10));
    m_controller->preferencesWindowController()->close();
    QApplication::processEvents();
    const ReadableColors::Rgb page = *ReadableColors::fromHtml(QStringLiteral("#101010"));

    // Recent Verses, after a go-to by the keys.
    ASSERT_TRUE(reader_test::pressKeys(window, QKeySequence(QStringLiteral("Ctrl+L"))));
    StudyPaneBibleGotoViewController* gotoPane = nullptr;
    ASSERT_TRUE(waitFor([&] {
        gotoPane = dynamic_cast<StudyPaneBibleGotoViewController*>(study->subpaneViewController());
        QWidget* focus = QApplication::focusWidget();
        return gotoPane != nullptr && focus != nullptr &&
            (focus == gotoPane->verseComboBox() || gotoPane->verseComboBox()->isAncestorOf(focus));
    })) << "the keys are in "
        << (QApplication::focusWidget() ? QApplication::focusWidget()->metaObject()->className() : "nothing");
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("John 3:16"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    auto* recent = study->paneView()->findChild<QTableView*>(QStringLiteral("recentVerses"));
    ASSERT_NE(recent, nullptr);
    {
        SCOPED_TRACE("Recent Verses");
        expectListOnThePage(main, recent, page);
    }

    // Find's results, with the found words in a green that reads on the page.
    ASSERT_TRUE(reader_test::pressKeys(window, QKeySequence(QStringLiteral("Ctrl+F"))));
    auto* find =
        dynamic_cast<StudyPaneSearchResultsViewController*>(study->subpane(StudyPaneViewController::kSearchSubpane));
    ASSERT_NE(find, nullptr);
    ASSERT_TRUE(waitFor([&] { return study->subpaneViewController() == find && find->searchField()->hasFocus(); }));
    QTest::keyClicks(find->searchField(), QStringLiteral("loved"));
    QTest::keyClick(find->searchField(), Qt::Key_Return);
    ASSERT_TRUE(waitFor([find] { return find->aggregator().isComplete(); }));
    {
        SCOPED_TRACE("Find");
        QTableView* results = find->searchResultsTableView();
        expectListOnThePage(main, results, page);
        const QRgb green = mostDrawn(drawnColors(main, results->viewport()),
            [](QRgb c) { return qGreen(c) > std::max(qRed(c), qBlue(c)) + 40; });
        ASSERT_NE(green, 0u) << "no found word is drawn in green";
        EXPECT_GE(ReadableColors::contrast(rgb(green), page), ReadableColors::kTargetContrast - 0.05)
            << "#" << QString::number(green, 16).toStdString();
    }

    // Library Search.
    ASSERT_TRUE(reader_test::choose(window, CommandNames::LibrarySearch));
    auto* library = dynamic_cast<StudyPaneLibrarySearchViewController*>(
        study->subpane(StudyPaneViewController::kLibrarySearchSubpane));
    ASSERT_NE(library, nullptr);
    ASSERT_TRUE(waitFor([&] { return study->subpaneViewController() == library; }));
    library->searchField()->setFocus();
    QTest::keyClicks(library->searchField(), QStringLiteral("loved"));
    QTest::keyClick(library->searchField(), Qt::Key_Return);
    const QAbstractItemModel* rows = library->searchResultsTableView()->model();
    ASSERT_TRUE(waitFor([rows] {
        const QString title = rows->headerData(0, Qt::Horizontal).toString();
        return title.endsWith(QStringLiteral(" Books in Library")) && !title.startsWith(QStringLiteral("Searched"));
    }));
    {
        SCOPED_TRACE("Library Search");
        expectListOnThePage(main, library->searchResultsTableView(), page);
    }

    // The King James pane's current tab: set apart from the page its pane is drawn on, its label readable.
    LayoutBookPane* pane = panes()->currentBookPane();
    ASSERT_NE(pane, nullptr);
    PaneTabBar* tabs = pane->paneView()->findChild<PaneTabBar*>();
    ASSERT_NE(tabs, nullptr);
    ASSERT_GE(tabs->currentIndex(), 0);
    const QRect tab = tabs->tabRect(tabs->currentIndex());
    const QImage drawn = main->grab(QRect(tabs->mapTo(main, tab.topLeft()), tab.size())).toImage();
    QHash<QRgb, int> tabColors;
    for (int y = 0; y < drawn.height(); ++y)
        for (int x = 0; x < drawn.width(); ++x)
            ++tabColors[drawn.pixel(x, y) & 0xffffff];
    const QRgb fill = mostDrawn(tabColors);
    EXPECT_GE(ReadableColors::contrast(rgb(fill), page), 1.5) << "#" << QString::number(fill, 16).toStdString();
    double label = 1;
    for (auto it = tabColors.cbegin(); it != tabColors.cend(); ++it)
        label = std::max(label, ReadableColors::contrast(rgb(it.key()), rgb(fill)));
    EXPECT_GE(label, ReadableColors::kTargetContrast);
}

// Find's chosen row draws its found words in a colour that reads on the selection, on the light
// page and on a near-black one.
TEST_F(ColorsWindow, FindsChosenRowDrawsItsFoundWordsReadably)
{
    const auto [window, kjv, study] = launchAtKjv();
    ASSERT_TRUE(kjv);
    ASSERT_NE(study, nullptr);
    QMainWindow* main = window->window();
    ASSERT_TRUE(reader_test::pressKeys(window, QKeySequence(QStringLiteral("Ctrl+F"))));
    auto* find =
        dynamic_cast<StudyPaneSearchResultsViewController*>(study->subpane(StudyPaneViewController::kSearchSubpane));
    ASSERT_NE(find, nullptr);
    ASSERT_TRUE(waitFor([&] { return study->subpaneViewController() == find && find->searchField()->hasFocus(); }));
    find->searchField()->selectAll();
    QTest::keyClicks(find->searchField(), QStringLiteral("loved"));
    QTest::keyClick(find->searchField(), Qt::Key_Return);
    ASSERT_TRUE(waitFor([find] { return find->aggregator().isComplete(); }));
    QTableView* results = find->searchResultsTableView();
    // Down enters the results at the first, chosen.
    QTest::keyClick(find->searchField(), Qt::Key_Down);
    ASSERT_EQ(QApplication::focusWidget(), results);
    ASSERT_TRUE(results->selectionModel()->isSelected(results->currentIndex()));

    // The colour most of the chosen row's pixels have that is neither the selection nor a blend of
    // it with the text colour: the found words' own; it reads on the selection.
    const auto expectFoundWordsRead = [&](const char* scheme) {
        SCOPED_TRACE(scheme);
        ASSERT_TRUE(results->selectionModel()->isSelected(results->currentIndex()));
        ASSERT_FALSE(results->currentIndex().data(StudyPaneResultListModel::HtmlRole).toString().isEmpty());
        ASSERT_TRUE(TestSupport::waitForViewsPainted(main));
        // (Inside the row's edges: its current-row frame and the line under it are left out.)
        const QRect row = results->visualRect(results->currentIndex()).adjusted(4, 3, -4, -3);
        QHash<QRgb, int> counts;
        const QImage image = main->grab(QRect(results->viewport()->mapTo(main, row.topLeft()), row.size()))
                                 .toImage()
                                 .convertToFormat(QImage::Format_RGB32);
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                ++counts[image.pixel(x, y) & 0xffffff];
        // The selection is what the row is drawn on, the text what most of the rest is drawn in.
        const QRgb selection = mostDrawn(counts);
        const QRgb text =
            mostDrawn(counts, [&](QRgb c) { return ReadableColors::contrast(rgb(c), rgb(selection)) > 2; });
        const auto offTheTextsBlend = [&](QRgb c) {
            // The distance from the line between the selection and the text colour.
            const double s[3] = {double(qRed(selection)), double(qGreen(selection)), double(qBlue(selection))};
            const double d[3] = {qRed(text) - s[0], qGreen(text) - s[1], qBlue(text) - s[2]};
            const double p[3] = {qRed(c) - s[0], qGreen(c) - s[1], qBlue(c) - s[2]};
            const double length = d[0] * d[0] + d[1] * d[1] + d[2] * d[2];
            const double t = length > 0 ? std::clamp((p[0] * d[0] + p[1] * d[1] + p[2] * d[2]) / length, 0.0, 1.0) : 0;
            double off = 0;
            for (int i = 0; i < 3; ++i)
                off += (p[i] - t * d[i]) * (p[i] - t * d[i]);
            return std::sqrt(off) > 24;
        };
        const QRgb found = mostDrawn(counts, offTheTextsBlend);
        ASSERT_NE(found, 0u) << "the chosen row shows no found word";
        // (The glyphs' own pixels come within a little of the colour they are drawn in.)
        EXPECT_GE(ReadableColors::contrast(rgb(found), rgb(selection)), ReadableColors::kTargetContrast - 0.25)
            << "#" << QString::number(found, 16).toStdString() << " on #"
            << QString::number(selection, 16).toStdString();
    };
    expectFoundWordsRead("the light page");

    // Settings > Color: a near-black background.
    QWidget* colors = colorSettings(window);
    ASSERT_NE(colors, nullptr);
    pickWithTheChooser(colors->findChild<ColorWell*>(SettingsKeys::BackColor.name), QColor(0x10, 0x10, 0x10));
    m_controller->preferencesWindowController()->close();
    QApplication::processEvents();
    // The list is drawn again in the page's colours: Down from the field chooses the first result again.
    find->searchField()->setFocus(Qt::OtherFocusReason);
    ASSERT_TRUE(waitFor([find] {
        if (QApplication::activeWindow() == nullptr)
            find->searchField()->window()->activateWindow();
        return QApplication::focusWidget() == find->searchField();
    }));
    QTest::keyClick(find->searchField(), Qt::Key_Down);
    ASSERT_EQ(QApplication::focusWidget(), results);
    expectFoundWordsRead("the near-black page");
}
