// The bookmark, highlight and go-to sub-panes in the main window of a running reader: Go To, Highlights
// and Bookmarks are enabled and open their sub-panes; a reference typed into the Bible go-to sends the
// King James pane there through the routing; a highlight and a bookmark made through the book panes'
// services show in their sub-panes.

#include "app/QuillsteadAppController.h"
#include "app/QuillsteadWindowController.h"
#include "library/SourceManager.h"
#include "library/SourceTupleArray.h"
#include "panes/bookpane/BookPaneHooks.h"
#include "panes/layout/Layout.h"
#include "panes/layout/LayoutManager.h"
#include "panes/layout/LayoutRegionContents.h"
#include "panes/layoutview/LayoutPanes.h"
#include "panes/layoutview/LayoutView.h"
#include "panes/layoutview/LayoutViewController.h"
#include "panes/page/BookPageScheme.h"
#include "platform/AppFolders.h"
#include "platform/RecordingAlerts.h"
#include "platform/UserDefaults.h"
#include "search/execution/SearchExecutor.h"
#include "studypane/StudyPaneViewController.h"
#include "studypane/subpanes/StudyPaneBibleGotoViewController.h"
#include "studypane/subpanes/StudyPaneBookmarksViewController.h"
#include "studypane/subpanes/StudyPaneHighlightsViewController.h"

#include "ReaderTestProgram.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QTableWidget>
#include <QTemporaryDir>

namespace {

using reader_test::waitFor;

class SubpaneWindow : public reader_test::ReaderWindow {
protected:
    static void SetUpTestSuite()
    {
        reader_test::startReaderTestProgram("subpane-window-test");
        Alerts::setShared(std::make_shared<RecordingAlerts>());
    }
};

}  // namespace

TEST_F(SubpaneWindow, GoToHighlightsAndBookmarksOpenTheirSubpanesAndGoThere)
{
    QuillsteadAppController& app = launch();
    QuillsteadWindowController* window = app.mainWindowController();
    const SourceTuple::Ptr kjv = activateKjv();
    ASSERT_TRUE(kjv);
    StudyPaneViewController* study = studyPane();
    ASSERT_NE(study, nullptr);
    window->actions().updateStates();
    for (const CommandId& id : {CommandNames::GoTo, CommandNames::Highlights, CommandNames::Bookmarks})
        EXPECT_TRUE(window->actions().action(id)->isEnabled()) << id.name;

    // Go To with the King James book active: the Bible go-to; a typed reference goes there.
    EXPECT_TRUE(reader_test::choose(window, CommandNames::GoTo));
    auto* go = dynamic_cast<StudyPaneBibleGotoViewController*>(study->subpaneViewController());
    ASSERT_NE(go, nullptr);
    ASSERT_TRUE(go->view()->isVisible());
    EXPECT_TRUE(kjv->isEqual(*go->sourceTuple()));
    go->verseComboBox()->setEditText(QStringLiteral("ps 23.1"));
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QCoreApplication::sendEvent(go->verseComboBox()->lineEdit(), &enter);
    Layout* layout = LayoutManager::sharedLayoutManager().currentLayout();
    LayoutBookPane* kjvPane = asBookPane(layout->contentsAt(size_t(kjvRegion()))->viewController());
    ASSERT_NE(kjvPane, nullptr);
    const quint32 psalm = kjv->sectionForBibleKey((19u << 16) | (23u << 8) | 1u);
    EXPECT_TRUE(waitFor([&] { return kjvPane->currentSourceSection() == psalm; }))
        << kjvPane->currentSourceSection() << " " << psalm;
    EXPECT_EQ(study->recentGoToVerseKeys().value(0), (19u << 16) | (23u << 8) | 1u);
    waitFor([] { return false; }, 500);  // the pages settle
    QDir().mkpath(QStringLiteral(QS_BINARY_DIR "/screenshots"));
    window->window()->grab().save(QStringLiteral(QS_BINARY_DIR "/screenshots/bible-goto-in-window.png"));

    // A highlight through the book panes' services shows in Highlights.
    BookPaneHooks::current().highlight({(19u << 16) | (23u << 8) | 1u}, 84);
    EXPECT_TRUE(reader_test::choose(window, CommandNames::Highlights));
    auto* highlights = dynamic_cast<StudyPaneHighlightsViewController*>(study->subpaneViewController());
    ASSERT_NE(highlights, nullptr);
    EXPECT_GE(highlights->resultsTableView()->rowCount(), 1);
    EXPECT_TRUE(highlights->highlightedVerses().contains(psalm));

    // A bookmark through the same services shows in Bookmarks under "All Bookmarks".
    BookPaneHooks::current().bookmark(
        kjv, (43u << 16) | (3u << 8) | 16u, true, {{"searchTitle", QStringLiteral("No Category")}, {"categoryID", 0}});
    EXPECT_TRUE(reader_test::choose(window, CommandNames::Bookmarks));
    auto* bookmarks = dynamic_cast<StudyPaneBookmarksViewController*>(study->subpaneViewController());
    ASSERT_NE(bookmarks, nullptr);
    bookmarks->onCategorySelected(0);
    EXPECT_TRUE(bookmarks->bookmarkedSections().contains(kjv->sectionForBibleKey((43u << 16) | (3u << 8) | 16u)));
    BookPaneHooks::current().highlight({(19u << 16) | (23u << 8) | 1u}, 0);
    BookPaneHooks::current().removeBookmark(
        kjv, (43u << 16) | (3u << 8) | 16u, true, {{"searchTitle", QStringLiteral("*")}, {"categoryID", 65535}});
}
