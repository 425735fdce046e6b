// A highlight chosen from one book pane's context menu shows at once in every pane showing that
// verse: two live book panes on the same chapter of the sample KJV, the study pane's services behind
// the panes' commands, the rendered page of the second pane read back. One process (live web views).

#include <gtest/gtest.h>

#include "documents/cBookUserData.h"
#include "engine/references/cBibleRef.h"
#include "library/EngineStrings.h"
#include "library/GoToRequest.h"
#include "library/SourceManager.h"
#include "library/SourceTupleArray.h"
#include "panes/bookpane/BookPaneCommands.h"
#include "panes/bookpane/BookPanePage.h"
#include "panes/bookpane/BookPaneTabs.h"
#include "panes/bookpane/BookPaneViewController.h"
#include "panes/layout/LayoutManager.h"
#include "panes/page/BookPageScheme.h"
#include "panes/page/BookPageView.h"
#include "platform/Alerts.h"
#include "platform/NotificationCenter.h"
#include "platform/SettingsRegistry.h"
#include "platform/UserDefaults.h"
#include "studypane/StudyPaneBookPaneHooks.h"
#include "studypane/StudyPaneBookmarksViewController.h"
#include "support/TestSupport.h"
#include "userdata/cSQLiteDbBase.h"
#include "userdata/cVerseHighlightDoc.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMenu>
#include <QTemporaryDir>
#include <QWebEnginePage>

namespace {

using TestSupport::waitFor;

const QString kBuild = QStringLiteral(QS_BINARY_DIR);

constexpr quint32 key(quint32 book, quint32 chapter, quint32 verse)
{
    return (book << 16) | (chapter << 8) | verse;
}

// The pane's page's answer to a script giving a number (-1 when the page did not answer).
int evaluate(BookPaneViewController* pane, const QString& script)
{
    const std::optional<QVariant> answer = TestSupport::runScript(pane->page()->page(), script, 10000);
    return answer.has_value() && answer->isValid() ? answer->toInt() : -1;
}

// The number of elements of the class on the pane's page.
int countOnPage(BookPaneViewController* pane, const QString& cls)
{
    return evaluate(pane, QStringLiteral("document.getElementsByClassName('%1').length").arg(cls));
}

// Whether the pane's page shows the verse (its anchor element is there).
bool showsVerse(BookPaneViewController* pane, const QString& anchor)
{
    return evaluate(pane, QStringLiteral("document.getElementById('%1') ? 1 : 0").arg(anchor)) == 1;
}

QAction* findAction(QMenu* menu, const QString& text)
{
    for (QAction* a : menu->actions()) {
        if (a->text() == text)
            return a;
        if (a->menu() != nullptr)
            if (QAction* inner = findAction(a->menu(), text))
                return inner;
    }
    return nullptr;
}

}  // namespace

TEST(HighlightInPanes, ASecondPaneOnTheSameChapterShowsTheHighlightAtOnce)
{
    if (!QFile::exists(kBuild + QStringLiteral("/library/KJV.tvk")))
        GTEST_SKIP() << "the sample library is not built";
    QTemporaryDir temp;
    const QString books = temp.filePath(QStringLiteral("books"));
    QDir().mkpath(books);
    ASSERT_TRUE(
        QFile::link(kBuild + QStringLiteral("/library/KJV.tvk"), QDir(books).filePath(QStringLiteral("KJV.tvk"))));
    SourceManager::Folders folders;
    folders.books = books;
    folders.cache = temp.filePath(QStringLiteral("cache"));
    folders.refused = temp.filePath(QStringLiteral("refused"));
    QDir().mkpath(folders.cache);
    SourceManager library(folders);
    const SourceTuple::Ptr kjv = library.allSources()->tupleForPubID(1, 101);
    ASSERT_TRUE(kjv);

    NotificationCenter center;
    LayoutManager manager {center};
    Layout* layout = manager.addLayoutWithDescriptor(QStringLiteral("H1"), LayoutRect {0, 0, 1000, 700}, QString());
    layout->splitRegion(0, true, true, 0.5, QString());
    // The panes' bookmark and highlight commands are the study pane's services, posting where the
    // panes listen.
    StudyPaneEnvironment services;
    services.center = &center;
    services.highlights = cVerseHighlightDoc::verseHighlightDocInstance();
    const auto hooks = std::make_shared<StudyPaneBookPaneHooks>(services);
    std::vector<BookPaneViewController*> panes;
    for (const auto& contents : layout->contents()) {
        if (!contents->state())
            contents->setState(std::make_unique<LayoutRegionContentsState>());
        BookPaneViewController::Environment env;
        env.window.setNotifications(&center);
        env.window.setSettings(&TestSupport::privateDefaults());
        env.window.setAlert(&Alerts::shared());
        env.window.setLayoutManager(&manager);
        env.window.setBooks(&library);
        env.hooks = hooks;
        auto pane = BookPaneViewController::factory(contents.get(), env);
        panes.push_back(pane.get());
        contents->setViewController(std::move(pane));
        panes.back()->view()->resize(500, 600);
        panes.back()->view()->show();
    }
    ASSERT_EQ(panes.size(), 2u);

    const quint32 verse = key(43, 3, 16);
    for (BookPaneViewController* pane : panes) {
        pane->tabs().openBookFromSourceTuple(kjv, true);
        GoToRequest request;
        request.section = kjv->locations().sectionForBibleKey(verse);
        pane->page()->goTo(pane->pageHost().pageSourceFor(kjv), request);
    }
    for (BookPaneViewController* pane : panes)
        ASSERT_TRUE(waitFor([pane] { return showsVerse(pane, QStringLiteral("_s43.3.16")); }));
    ASSERT_EQ(countOnPage(panes[1], QStringLiteral("yellow")), 0);

    // Highlight the verse in the first pane from its context menu.
    panes[0]->makeYourselfCurrent(true);
    panes[0]->commands().setSelectionOverride(
        QStringLiteral("For God so loved the world"), QStringLiteral("For God so loved the world"));
    panes[0]->commands().setSelectedBlocksOrKeys({verse});
    std::unique_ptr<QMenu> menu(panes[0]->commands().contextMenu({}, {}, nullptr));
    ASSERT_TRUE(menu);
    QAction* yellow = findAction(menu.get(), QStringLiteral("Yellow"));
    ASSERT_NE(yellow, nullptr);
    EXPECT_EQ(yellow->data().toMap().value("colorID").toUInt(), 84u);
    ASSERT_NE(findAction(menu.get(), QStringLiteral("Remove Highlight")), nullptr);
    yellow->trigger();

    std::uint16_t fore = 0, back = 0;
    EXPECT_TRUE(cVerseHighlightDoc::verseHighlightDocInstance()->getHighlight(cBibleRef(verse), fore, back));
    EXPECT_EQ(back, 84);
    // Both panes draw it without being asked again.
    EXPECT_TRUE(waitFor([&] { return countOnPage(panes[1], QStringLiteral("yellow")) > 0; }));
    EXPECT_TRUE(waitFor([&] { return countOnPage(panes[0], QStringLiteral("yellow")) > 0; }));

    // "Remove Highlight" takes it away everywhere.
    menu.reset(panes[0]->commands().contextMenu({}, {}, nullptr));
    QAction* remove = findAction(menu.get(), QStringLiteral("Remove Highlight"));
    ASSERT_NE(remove, nullptr);
    remove->trigger();
    EXPECT_TRUE(waitFor([&] { return countOnPage(panes[1], QStringLiteral("yellow")) == 0; }));
}

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    TestSupport::startApplication("highlight-in-panes-test");
    TestSupport::usePrivateEngineData();
    cBookUserData::install();
    return RUN_ALL_TESTS();
}
