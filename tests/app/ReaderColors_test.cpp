// The reader's colours in the running window: a black page with white text chosen in Settings > Color
// (through the colour chooser and its keys) leaves the study pane's buttons, the pane's title and
// its tab bar's "+" readable, and links and Strong's numbers read on the page; a verse highlighted in
// a colour of the colour table beyond the menu's (Light Pink, from another computer) is painted in it.

#include "app/QuillsteadAppController.h"
#include "app/QuillsteadWindowController.h"
#include "app/preferences/ColorPreferencesViewController.h"
#include "app/preferences/ColorWell.h"
#include "app/preferences/MASPreferencesWindowController.h"
#include "engine/references/cBibleRef.h"
#include "library/GoToRequest.h"
#include "panes/layoutview/LayoutPanes.h"
#include "panes/layoutview/LayoutView.h"
#include "panes/layoutview/LayoutViewController.h"
#include "panes/page/BookPageView.h"
#include "platform/ReadableColors.h"
#include "platform/SettingsKeys.h"
#include "platform/UserDefaults.h"
#include "platform/ui/CommandNames.h"
#include "studypane/HighlightStore.h"
#include "studypane/StudyPaneViewController.h"

#include "ReaderTestProgram.h"

#include <gtest/gtest.h>

#include <QColorDialog>
#include <QHash>
#include <QImage>
#include <QLabel>
#include <QMainWindow>
#include <QTest>
#include <QToolButton>

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

    // How well what the window draws in the widget's place reads: the contrast between the colour
    // most of it has (what it is drawn on) and the colour that stands out most from it (its text).
    static double drawnContrast(QMainWindow* window, const QWidget* widget)
    {
        const QRect place(widget->mapTo(window, QPoint(0, 0)), widget->size());
        const QImage image = window->grab(place).toImage().convertToFormat(QImage::Format_RGB32);
        QHash<QRgb, int> counts;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                ++counts[image.pixel(x, y)];
        QRgb background = 0;
        int most = -1;
        for (auto it = counts.cbegin(); it != counts.cend(); ++it)
            if (it.value() > most) {
                most = it.value();
                background = it.key();
            }
        auto rgb = [](QRgb c) { return ReadableColors::Rgb {qRed(c) / 255.0, qGreen(c) / 255.0, qBlue(c) / 255.0}; };
        double best = 1;
        for (auto it = counts.cbegin(); it != counts.cend(); ++it)
            best = std::max(best, ReadableColors::contrast(rgb(it.key()), rgb(background)));
        return best;
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
    ASSERT_TRUE(reader_test::choose(window, CommandNames::ColorSettings));
    MASPreferencesWindowController* settings = m_controller->preferencesWindowController();
    ASSERT_NE(settings, nullptr);
    QWidget* page = settings->viewControllerForIdentifier(
        QString::fromLatin1(ColorPreferencesViewController::kIdentity.identifier));
    ASSERT_NE(page, nullptr);
    pickWithTheChooser(page->findChild<ColorWell*>(SettingsKeys::BackColor.name), Qt::black);
    pickWithTheChooser(page->findChild<ColorWell*>(SettingsKeys::TextColor.name), Qt::white);
    UserDefaults& d = reader_test::programEnvironment().settings();
    // OK stores the colour at once.
    EXPECT_EQ(d.value(SettingsKeys::BackColor), QStringLiteral("#000000"));
    EXPECT_EQ(d.value(SettingsKeys::TextColor), QStringLiteral("#ffffff"));
    settings->close();
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
